// The runs the main window starts (the upload, the permission runs of "Outils") and what
// it does on its own thread when they end.
#pragma once
#include <memory>

#include "installer/window/installer_app.h"
#include "installer/engine/permission_pass.h"
#include "installer/engine/upload_engine.h"
#include "settings/connection_settings.h"

namespace velmo::installer {

// "Valider": disables "Valider" and the form, reads the form once with its texts trimmed,
// shows those texts in the fields and starts the transfer run on them in a worker with no
// stop requested. When the run has ended, the main thread finishes it (finishTransfer).
void startUpload(const std::shared_ptr<InstallerApp>& app);

// Main thread, after a transfer run: a run that did not start sending gives the window
// back; a stopped one says so and gives it back; a processed one shows the closing box,
// records the run and opens the link generator on the run's folder (which gives the form
// back when closed).
void finishTransfer(InstallerApp& app, const RunReport& report);

// Menu entries 4 and 5: refused while the settings file says the guestbook is not on the
// server; otherwise the run's panel and a worker. The main thread shows the outcome of a
// run that connected and records one that changed every mode (the settings and the
// "Chmod." box).
void startPermissionRun(const std::shared_ptr<InstallerApp>& app, PermissionAction action);

}  // namespace velmo::installer
