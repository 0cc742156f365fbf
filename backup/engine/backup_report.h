// What a backup tells the user: the status texts of the rows and the closing message, made
// from what the backup counted, and the message of a listing cut short. A file counts as
// saved only when its download succeeded; everything else is said as a failure, never as
// a saved file.
#pragma once
#include <string>

#include "suite/notice.h"

namespace velmo::backup {

// Row statuses.
inline constexpr const char* notSavedStatus = "Non sauvegardé.";
inline constexpr const char* inProgressStatus = "En cours...";
inline constexpr const char* savedStatus = "Sauvegardé.";
inline constexpr const char* failedStatus = "Échec de la sauvegarde.";

// What one skin, or a whole backup, came to.
struct BackupTally {
    int savedFiles = 0;
    int failedFiles = 0;    // downloads that failed, and files that could not be asked for
    int unreadFolders = 0;  // image folders that exist (or may) but could not be listed
    int unlisted = 0;       // skins and files a listing left out (name too long to read)
    int notReached = 0;     // checked rows a stopped backup never came to
    bool anyFailure() const { return failedFiles > 0 || unreadFolders > 0 || unlisted > 0 || notReached > 0; }
    BackupTally& operator+=(const BackupTally& other);
};

// A skin's status: "N fichier(s) sauvegardé(s)." when nothing failed, failedStatus when
// nothing was saved, and "N sauvegardé(s), M échec(s)." in between (an unread image folder
// and an image left out of its listing count as one failure each there).
std::string skinStatus(const BackupTally& skin);

struct BackupOutcome {
    std::string folderName;  // inside "sauvegardes"; "" when no folder could be made
    BackupTally tally;
    bool stopped = false;  // the user stopped it before its end
};

// The closing message, titled and of the kind its box shows. Every attempted file saved
// (or nothing checked): "Information."; some files saved and some not, or stopped by the
// user whatever it had saved by then: "Avertissement." (warning); every attempt failed, or
// no backup folder could be made so nothing was tried: "Attention" (error).
suite::Notice closingNotice(const BackupOutcome& outcome);

// A listing that could not be read whole: the window is then closed.
inline constexpr const char* listingFailedText =
    "La liste des skins et des fichiers n'a pas pu être lue en entier.\r\n\r\n"
    "Raisons possibles :\r\n"
    " > La connexion a été interrompue.\r\n"
    " > Le serveur a refusé d'envoyer la liste.\r\n\r\n"
    "Tentez à nouveau de vous reconnecter.";
suite::Notice listingFailedNotice();

}  // namespace velmo::backup
