// The end of an upload, in the engine thread after the session was closed: the permission
// step, the closing message, the settings save, the journal and the link generator; or,
// after a confirmed stop, the stopped-run message and nothing written.
#pragma once
#include <string>

#include "installer/installer_app.h"
#include "installer/upload_engine.h"

namespace velmo::installer {

void completeRun(InstallerApp& app, UploadRun& run);

// The "Statut transfert." text of a run processed whole.
std::string closingMessage(int filesGivenUp, bool permissionsApplied);

}  // namespace velmo::installer
