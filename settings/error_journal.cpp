#include "settings/error_journal.h"

#include "platform/fs.h"

namespace velmo {

namespace {

const std::string equals(40, '=');
const char eol[] = "\r\n";

const char* yesNo(std::int32_t flag) { return flag == 1 ? "oui" : "non"; }

}  // namespace

std::string oneAtATimeJournalLine(const std::string& wireNote) {
    return "Information : le serveur n'a pas suivi les commandes envoyées ensemble (" + wireNote +
           ") ; elles lui ont été envoyées une à une.";
}

std::string formatErrorJournalBlock(const std::vector<std::string>& failedSends,
                                    const ConnectionSettings& settings,
                                    const std::string& dateText, const std::string& timeText,
                                    const std::string& wireNote) {
    std::string b;
    auto line = [&b](const std::string& s) { b += s + eol; };
    line("DEBUT " + equals);
    line("Journal d'erreur des fichiers mal transférés.");
    line("Date        : " + dateText);
    line("Heure       : " + timeText);
    line("Adresse FTP : " + settings.serverAddress);
    line("Rép. dest.  : " + settings.guestbookFolder);
    line(std::string("CHMOD       : ") + yesNo(settings.permissionFlag));
    line(std::string("Mode passif : ") + yesNo(settings.passiveFlag));
    line("Numéro Port : " + std::to_string(settings.port));
    line("");
    line("Information : Chaque fichier mal transféré est envoyé à nouveau et ceci autant de fois");
    line(std::string(14, ' ') + "qu'il le faut jusqu'à ce que celui-ci soit bien sur le serveur.");
    line(equals);
    if (failedSends.empty())
        line("Tous les fichiers ont bien été transférés.");
    for (const std::string& path : failedSends) line(path);
    if (!wireNote.empty()) line(oneAtATimeJournalLine(wireNote));
    line("FIN " + equals);
    line("");
    line("");
    line("");
    return b;
}

namespace {
void appendBlock(const std::vector<std::string>& failedSends, const ConnectionSettings& settings,
                 const std::string& journalPath, const std::function<clock::LocalDateTime()>& localClock,
                 const std::string& wireNote) {
    const std::string date = clock::formatDateMask("%dd/%mm/%yyyy", localClock());
    const std::string time = clock::formatDateMask("%hh:%ii:%ss", localClock());
    // One append of the whole block: the file is created when missing, and a missing
    // folder or a locked file simply leaves the journal as it was.
    fs::appendToFile(journalPath, formatErrorJournalBlock(failedSends, settings, date, time, wireNote));
}
}  // namespace

void writeErrorJournal(const std::vector<std::string>& failedSends,
                       const ConnectionSettings& settings, const std::string& journalPath,
                       const std::function<clock::LocalDateTime()>& localClock) {
    appendBlock(failedSends, settings, journalPath, localClock, std::string());
}

void writeErrorJournal(const std::vector<std::string>& failedSends,
                       const ConnectionSettings& settings, const std::string& journalPath,
                       const std::string& wireNote) {
    appendBlock(failedSends, settings, journalPath, clock::localNow, wireNote);
}

void writeErrorJournal(const std::vector<std::string>& failedSends,
                       const ConnectionSettings& settings, const std::string& journalPath) {
    writeErrorJournal(failedSends, settings, journalPath, clock::localNow);
}

}  // namespace velmo
