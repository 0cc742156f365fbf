// The phases of one installation (update_apply.h), each in its own file. Internal to the
// updater's engine.
#pragma once
// Internal: only the library's own sources define VELMO_UPDATER_ENGINE_INTERNAL (see its CMakeLists).
#ifndef VELMO_UPDATER_ENGINE_INTERNAL
#error "updater/engine/apply_steps.h is internal to its library: include updater/engine/update_apply.h"
#endif
#include <string>
#include <vector>

#include "ftp/account.h"
#include "ftp/ftp_session.h"
#include "settings/connection_settings.h"
#include "updater/engine/official_site.h"
#include "updater/engine/run_deadline.h"
#include "updater/engine/update_description.h"
#include "updater/engine/updater_reporter.h"

namespace velmo::updater {

struct ApplyRun {
    const OfficialSite& site;
    UpdaterReporter& reporter;
    ConnectionSettings settings;  // trimmed form values
    std::string packageFolder;
    UpdateDescription description;
    std::string startDirectory;   // the FTP login directory
    std::string guestbookPath;    // startDirectory joined with the guestbook folder
    // Per file row: false once its download or its upload failed.
    std::vector<bool> fileOk;
    // Local paths of the failed files, in row order: what the journal lists.
    std::vector<std::string> failedFiles;
    // Per file row: true once the file reached the server.
    std::vector<bool> sent;
    // Journal lines of the permissions that were not applied, in list order.
    std::vector<std::string> failedChmods;
    const UpdaterState* state = nullptr;
    RunDeadline deadline{0};
    // The installation's login, for its session and its permission channel alike: the
    // settings, encrypted when the server offers it, with one trust for the whole run (a
    // certificate accepted for the session is not asked about again for the channel).
    ftp::Account account;
    // The installation's FTP session: open from the guestbook folder's check to the end of
    // the uploads.
    ftp::Session session;

    // True when no further step may start: the program is closing, or the run's time is
    // up (the steps not taken then count as failed).
    bool mustStop() const { return state->stopRequested || deadline.passed(); }

    // "misesAJour/<package>/" + the server name of the package path.
    std::string localCopy(const std::string& packagePath) const;
    void markFailed(std::size_t row);
};

// Downloads every file of the package into the local mirror (folders made as needed) and
// checks each against its digest in the signed description. False at the first file that
// does not match (or whose server's certificate does not hold): its row says so, the box was given and the journal written; nothing of
// the update may then be sent or recorded.
bool downloadPackageFiles(ApplyRun& run);
// Makes the description's folders below the guestbook folder (the session is in it).
void createServerFolders(ApplyRun& run);
// Sends every downloaded file into its folder below the guestbook folder.
void uploadPackageFiles(ApplyRun& run);
// CHMOD 777 on each listed path over a control channel of its own ("Chmod." ticked).
void applyPermissionList(ApplyRun& run);

}  // namespace velmo::updater
