#include "backup/engine/backup_report.h"

#include "backup/engine/backup_folder.h"
#include "suite/messages.h"

namespace velmo::backup {

namespace {

std::string counted(int n, const char* one, const char* many) {
    return std::to_string(n) + (n == 1 ? one : many);
}

std::string failureLines(const BackupTally& t) {
    std::string lines;
    if (t.failedFiles > 0)
        lines += counted(t.failedFiles, " fichier n'a pas pu être sauvegardé.\r\n",
                         " fichiers n'ont pas pu être sauvegardés.\r\n");
    if (t.unreadFolders > 0)
        lines += counted(t.unreadFolders, " dossier d'images n'a pas pu être lu.\r\n",
                         " dossiers d'images n'ont pas pu être lus.\r\n");
    if (t.unlisted > 0)
        lines += counted(t.unlisted, " élément au nom trop long n'a pas pu être sauvegardé.\r\n",
                         " éléments au nom trop long n'ont pas pu être sauvegardés.\r\n");
    if (t.notReached > 0)
        lines += counted(t.notReached, " élément coché n'a pas été sauvegardé.\r\n",
                         " éléments cochés n'ont pas été sauvegardés.\r\n");
    return lines;
}

const char* const retryLine =
    "Pour réessayer, cliquez sur le bouton \"Fermer\" et ensuite reconnectez-vous.\r\n";

}  // namespace

BackupTally& BackupTally::operator+=(const BackupTally& other) {
    savedFiles += other.savedFiles;
    failedFiles += other.failedFiles;
    unreadFolders += other.unreadFolders;
    unlisted += other.unlisted;
    notReached += other.notReached;
    return *this;
}

std::string skinStatus(const BackupTally& skin) {
    const std::string saved = std::to_string(skin.savedFiles);
    if (!skin.anyFailure()) return saved + " fichier(s) sauvegardé(s).";
    if (skin.savedFiles == 0) return failedStatus;
    // Short enough for the status column: the failures must not fall behind an ellipsis.
    return saved + " sauvegardé(s), " + std::to_string(skin.failedFiles + skin.unreadFolders + skin.unlisted) + " échec(s).";
}

suite::Notice closingNotice(const BackupOutcome& outcome) {
    const BackupTally& t = outcome.tally;
    if (outcome.folderName.empty()) {
        return {suite::titles::attentionPlain,
                std::string("Impossible de créer le dossier de la sauvegarde dans le dossier \"") +
                    backupsFolder + "\".\r\n\r\nAucun fichier n'a été sauvegardé.",
                suite::NoticeKind::Error};
    }
    if (outcome.stopped) {
        return {suite::titles::warning,
                "La sauvegarde a été arrêtée.\r\n\r\n" + failureLines(t) + "\r\n" +
                    (t.savedFiles == 0 ? std::string("Aucun fichier n'a été sauvegardé.\r\n")
                                       : counted(t.savedFiles, " fichier a été sauvegardé", " fichiers ont été sauvegardés") +
                                             " dans le dossier : " + outcome.folderName + "\r\n"),
                suite::NoticeKind::Warning};
    }
    if (!t.anyFailure()) {
        return {suite::titles::information,
                "Les fichiers ont bien été sauvegardés.\r\n\r\n"
                "Le dossier s'appelle : " + outcome.folderName + "\r\n\r\n"
                "Pour faire une nouvelle sauvegarde, cliquez sur le bouton \"Fermer\" et ensuite "
                "reconnectez-vous.\r\n\r\n"
                "Si vous en faites une nouvelle, un dossier sera créé avec un nouveau nom.\r\n"
                "Il n'y a donc aucun risque que vous écrasiez la sauvegarde que vous venez de faire.\r\n",
                suite::NoticeKind::Information};
    }
    if (t.savedFiles == 0) {
        return {suite::titles::attentionPlain,
                "Aucun fichier n'a pu être sauvegardé.\r\n\r\n" + failureLines(t) +
                    "\r\nVérifiez votre connexion. " + retryLine,
                suite::NoticeKind::Error};
    }
    return {suite::titles::warning,
            "La sauvegarde n'est pas complète.\r\n\r\n" + failureLines(t) + "\r\n" +
                counted(t.savedFiles, " fichier a été sauvegardé", " fichiers ont été sauvegardés") +
                " dans le dossier : " + outcome.folderName + "\r\n\r\n" + retryLine +
                "Un nouveau dossier sera créé : cette sauvegarde ne sera pas écrasée.\r\n",
            suite::NoticeKind::Warning};
}

suite::Notice listingFailedNotice() { return {suite::titles::warning, listingFailedText, suite::NoticeKind::Warning}; }

}  // namespace velmo::backup
