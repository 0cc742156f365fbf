// The error journals of the installer (failed sends, appended after every upload that ran
// to its end) and of the updater (files of an update that failed), one layout for both.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "settings/connection_settings.h"
#include "suite/paths.h"

namespace velmo {

inline constexpr const char* installerJournalPath = suite::installerJournalFile;
inline constexpr const char* updaterJournalPath = suite::updaterJournalFile;

// One journal block (CP1252, CR LF line ends, three empty lines at the end). `dateText` and
// `timeText` are already formatted; the password is never part of it. When `wireNote` is
// not empty, a line before its end says that the server got its commands one at a time and
// why (Session::oneAtATimeReason): the run went on, slower, and whoever reads the journal of
// a slow install learns the cause.
std::string formatErrorJournalBlock(const std::vector<std::string>& failedSends,
                                    const ConnectionSettings& settings,
                                    const std::string& dateText, const std::string& timeText,
                                    const std::string& wireNote = std::string());
// The line of that note.
std::string oneAtATimeJournalLine(const std::string& wireNote);

// Appends one block to the journal, creating the file when missing. Failures (missing
// folder, locked file, full disk) are silent.
void writeErrorJournal(const std::vector<std::string>& failedSends,
                       const ConnectionSettings& settings, const std::string& journalPath);
// The same with the local clock supplied by the caller (read once for the date and once for
// the time).
void writeErrorJournal(const std::vector<std::string>& failedSends,
                       const ConnectionSettings& settings, const std::string& journalPath,
                       const std::function<clock::LocalDateTime()>& localClock);

// With the note of formatErrorJournalBlock.
void writeErrorJournal(const std::vector<std::string>& failedSends,
                       const ConnectionSettings& settings, const std::string& journalPath,
                       const std::string& wireNote);

}  // namespace velmo
