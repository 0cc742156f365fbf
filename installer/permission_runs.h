// The permission (CHMOD) runs: the two "Outils" menu entries, which run in worker threads
// and report back to the main loop through completion flags, and the upload's own
// permission step. Every run talks over a control connection of its own; controlChannelLock
// keeps two runs from holding one at the same time (a second run waits for the first).
#pragma once
#include "installer/installer_app.h"
#include "settings/connection_settings.h"

namespace velmo::installer {

enum class PermissionAction {
    ApplyWritable,      // "Effectuer les chmods ...": 777 everywhere
    RestoreRestricted,  // "Annuler les chmods ...": 705 on the folders, 604 on the files
};

// Main thread, menu entries 4 and 5: refuses while the settings file says the guestbook
// is not on the server, else puts up the run's panel and starts the worker.
void startPermissionRun(InstallerApp& app, PermissionAction action);
// The same, by menu entry: true for entry 4 (apply), false for entry 5 (restore).
inline void startPermissionRun(InstallerApp& app, bool writable) {
    startPermissionRun(app, writable ? PermissionAction::ApplyWritable : PermissionAction::RestoreRestricted);
}

// Thread entries of the two menu runs.
void applyWritablePermissions(InstallerApp& app);
void restoreRestrictedPermissions(InstallerApp& app);

// Main thread, after every event: acts on (and clears) the completion flags of finished
// menu runs: saves the settings, ticks or unticks "Chmod." and resets the panel.
void actOnPermissionCompletion(InstallerApp& app);

// Engine thread, after an upload with "Chmod." ticked: 777 on the 14 targets. Results of
// the connection, the login and each CHMOD are not looked at; the steps always advance.
void applyUploadPermissions(InstallerApp& app, const ConnectionSettings& settings);

// Bar 41 and label 40 after step i of n.
void showPermissionStep(InstallerApp& app, int i, int n, const std::string& label);

}  // namespace velmo::installer
