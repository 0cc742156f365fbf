// The backup tool's engine: lists what a guestbook on the server has worth saving (its
// skins and its personal data files) and downloads the chosen ones into a new folder below
// "sauvegardes". Both steps run in worker threads, one at a time, on FTP session 33; they
// reach the user only through a BackupReporter.
//
// Server side, below the login directory (`folder` is the guestbook folder of the record):
//   folder/skins/<skin>/cfg_variables.php     a skin's settings
//   folder/skins/<skin>/imgs/<file>           its images (not "index.php", "Thumbs.db")
//   folder/chmod_perso/<file>                 personal data (not "index.php", "code_ecrit.php")
// Local side, below the working directory, the same layout inside
//   sauvegardes/sauvegarde_YYYY_MM_DD__hh_mm_ss/skins/... and .../chmod_perso/...
#pragma once
#include <atomic>
#include <cstdint>
#include <map>
#include <string>

#include "backup/backup_folder.h"
#include "backup/backup_report.h"
#include "ftp/ftp_session.h"
#include "settings/connection_settings.h"

namespace velmo::backup {

inline constexpr int backupSession = 33;

enum class SourceList { Skins, PersonalFiles };

// How the engine meets the window. Called from the engine's worker thread.
class BackupReporter {
public:
    virtual ~BackupReporter() = default;

    // Set while the engine works on the server after a successful login; the backup
    // window cannot be closed meanwhile.
    virtual void setBusy(bool busy) = 0;

    // Listing.
    virtual void loginFailed() = 0;   // says so; the window is then closed
    // A folder that is there could not be read whole: says so; the window is then closed
    // (lists that lack what could not be read would pass for the whole guestbook).
    virtual void listingFailed() = 0;
    virtual void clearSources() = 0;
    // A new last row: the name, checked, status notSavedStatus.
    virtual void addSource(SourceList list, const std::string& name) = 0;
    virtual void sourcesListed() = 0;  // the backup may now be started

    // Backup.
    virtual void backupStarting() = 0;
    virtual int sourceCount(SourceList list) = 0;
    // The row's name when it is to be saved now: the row exists and is checked.
    virtual bool sourceToSave(SourceList list, int row, std::string& name) = 0;
    virtual void setSourceStatus(SourceList list, int row, const std::string& status) = 0;
    // The backup is over and the session closed; says how it went (summarize).
    virtual void backupEnded(const BackupOutcome& outcome) = 0;
};

// One backup window's work: the connection record (the guestbook folder is the one of
// the settings file), what the listing found, and the window's stop request.
struct BackupJob {
    ConnectionSettings settings;
    std::string loginDirectory;
    // The personal files' sizes as listed: a download is bounded by them.
    std::map<std::string, std::int64_t> listedSizes;
    // Skins and personal files the listing had to leave out (over-long lines): never in
    // the lists, so never saved, and counted in the closing message.
    int unlistedSources = 0;
    // Raised by the window (any thread) to stop a running backup: the download under way
    // is given up, nothing more is asked for, and the closing message says what is missing.
    std::atomic<bool> stopRequested{false};
};

// Opens session 33 with the record and fills both lists in the server's order: the
// sub-folders of folder/skins ("." and ".." left out) and the plain files of
// folder/chmod_perso ("index.php" and "code_ecrit.php" left out). A folder the server says
// is not there leaves its list empty. False after reporter.loginFailed when the login
// failed, and after reporter.listingFailed when a listing was cut, refused or lost with
// the connection. The session stays open for runBackup.
bool listBackupSources(BackupJob& job, BackupReporter& reporter);

// Downloads the checked rows into a new folder made by createBackupFolder inside
// `backupsRoot`, reopening the session first when the server dropped it meanwhile. A skin
// row ends with skinStatus, a personal file row with savedStatus or failedStatus; only
// successful downloads count as saved, and a file whose download failed is not left
// half-written. Files are only ever asked for in the folder they belong to: a folder that
// cannot be entered fails its files. Every download is bounded (downloadBounds): a server
// sending more than the file it listed, or sending it without end, fails that file. Once
// job.stopRequested is raised the running download is given up and the rows not reached
// keep notSavedStatus. Closes the session, then reporter.backupEnded.
// The bounds of one download: the listed size with a margin (a file that grew a little
// since the listing still comes whole) and a time in proportion to it. `listedBytes` < 0:
// a file no listing gave the size of (a skin's settings file), bounded far beyond any.
ftp::ReceiveBounds downloadBounds(std::int64_t listedBytes);

BackupOutcome runBackup(BackupJob& job, BackupReporter& reporter,
                        const std::string& backupsRoot = backupsFolder);

}  // namespace velmo::backup
