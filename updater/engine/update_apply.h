// The installation of the update a check selected ("Appliquer les mises à jour"), from the
// description that check read and accepted (state.offer, never the mirrored file again): the
// package's files are downloaded into "misesAJour/<package>/", the package's folders are
// made on the server, the files are sent into the guestbook folder, the listed paths get
// the permissions 777 when "Chmod." is ticked, and the new version is recorded.
//
// The version is recorded only when every file of the package was downloaded and sent
// and, with "Chmod.", every listed permission applied; otherwise the failed files and
// permissions are journalled in "softwareDatas/log-erreur-Update.txt", no row of a failed
// file reads "Transféré.", and the final message says what failed. The whole run gets
// state.applyLimitMs; state.stopRequested stops it before its next step. Runs in a worker
// thread of the window and reports through UpdaterReporter.
#pragma once
#include "settings/connection_settings.h"
#include "updater/engine/official_site.h"
#include "updater/engine/updater_reporter.h"

namespace velmo::updater {

// The reply wait of the updater's control channel.
inline constexpr int updaterReplyWaitLimitMs = 5000;

enum class ApplyOutcome {
    PasswordMissing,
    Refused,           // no checked description (state.offer): nothing done
    Unverified,        // a downloaded file does not match the signed description: nothing
                       // sent, nothing recorded (the box given, the journal says why)
    ConnectionFailed,  // the FTP session could not be opened
    FolderMissing,     // the guestbook folder is not on the server
    Installed,         // every file is on the server and the version is recorded
    Incomplete,        // some file or permission failed, or time ran out: journalled,
                       // version not recorded
    Stopped,           // the program is closing (state.stopRequested): stopped between
                       // two files, nothing recorded, no message
};

// `form`: the connection form as typed (address, user ID, password and folder are trimmed
// here); its permission flag is the "Chmod." box. The form's values are saved to the
// connection settings file first, whatever follows.
ApplyOutcome applyUpdate(UpdaterState& state, const OfficialSite& site, const ConnectionSettings& form,
                         UpdaterReporter& reporter);

}  // namespace velmo::updater
