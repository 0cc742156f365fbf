#include "installer/permission_runs.h"

#include <mutex>
#include <string>

#include "ftp/control_channel.h"
#include "installer/permission_plan.h"
#include "installer/upload_engine.h"
#include "platform/clock.h"

namespace velmo::installer {

namespace {

struct Modes {
    const char* folder;
    const char* file;
};

Modes modesFor(PermissionAction action) {
    if (action == PermissionAction::ApplyWritable) return {writableMode, writableMode};
    return {restrictedFolderMode, restrictedFileMode};
}

// The 14 CHMOD steps over an open (or failed) conversation; the display always advances.
void changeModes(InstallerApp& app, ftp::ControlChannel& channel, const std::string& folder, Modes modes) {
    for (int i = 0; i < permissionTargetCount; ++i) {
        const PermissionTarget& target = permissionPlan[static_cast<std::size_t>(i)];
        if (channel.connected())
            channel.chmod(folder + target.suffix, target.isFolder ? modes.folder : modes.file);
        showPermissionStep(app, i + 1, permissionTargetCount, target.label);
    }
}

void refuseConnection(InstallerApp& app) {
    app.ui.messageBox("Avertissement.", app.connectionErrorText, ui::MessageIcon::Warning);
}

void runMenuPermissions(InstallerApp& app, PermissionAction action) {
    ui::Ui& u = app.ui;
    // The form as typed: a menu run does not trim.
    ConnectionSettings s;
    s.serverAddress = u.getText(ids::mainWindow, ids::addressField);
    s.userId = u.getText(ids::mainWindow, ids::userField);
    s.password = u.getText(ids::mainWindow, ids::passwordField);
    s.guestbookFolder = u.getText(ids::mainWindow, ids::folderField);
    s.permissionFlag = u.isChecked(ids::mainWindow, ids::chmodBox) ? 1 : 0;
    s.passiveFlag = u.isChecked(ids::mainWindow, ids::passiveBox) ? 1 : 0;
    s.port = portFromFieldText(u.getText(ids::mainWindow, ids::portField));
    const Modes modes = modesFor(action);

    if (s.serverAddress.empty() || s.userId.empty() || s.password.empty()) {
        refuseConnection(app);
        return;
    }
    {
        // One conversation at a time: a run started while another (or the upload's
        // permission step) talks to the server waits for it here.
        std::lock_guard<std::mutex> lock(app.controlChannelLock);
        ftp::ControlChannel channel(installerReplyWaitLimitMs);
        if (!channel.connect(s.serverAddress, s.port)) {
            refuseConnection(app);
            return;
        }
        if (channel.login(s.userId, s.password) == ftp::CommandRejected) {
            channel.close();
            refuseConnection(app);
            return;
        }
        clock::sleepMs(500);
        changeModes(app, channel, s.guestbookFolder, modes);
        channel.close();
    }
    clock::sleepMs(500);

    u.setWindowEnabled(ids::mainWindow, false);
    u.messageBox("Statut Chmod.", "Le programme a effectué les CHMOD sur les dossiers et fichiers adéquates.",
                 ui::MessageIcon::Information);
    u.setWindowEnabled(ids::mainWindow, true);

    {
        std::lock_guard<std::mutex> lock(app.permissionSettingsLock);
        app.permissionRunSettings = s;
    }
    if (action == PermissionAction::ApplyWritable) app.writableModesApplied = true;
    else app.restrictedModesRestored = true;
    // The main loop acts on the flag after its next event: give it one now.
    u.wake(ids::mainWindow);
}

ConnectionSettings finishedRunSettings(InstallerApp& app) {
    std::lock_guard<std::mutex> lock(app.permissionSettingsLock);
    return app.permissionRunSettings;
}

}  // namespace

void showPermissionStep(InstallerApp& app, int i, int n, const std::string& label) {
    app.ui.setProgress(ids::mainWindow, ids::chmodBar, permissionStepPercent(i, n));
    app.ui.setText(ids::mainWindow, ids::chmodStatus, permissionStepText(i, n, label));
}

void startPermissionRun(InstallerApp& app, PermissionAction action) {
    if (readTransferFlag() == 0) {
        app.ui.messageBox("Information.",
                          "Les fichiers du livre d'or doivent être sur le serveur pour pouvoir modifier leur CHMOD.",
                          ui::MessageIcon::Warning);
        return;
    }
    // Replaces the "Chmod" group box (when "Chmod." is ticked) by the run's own panel.
    createMenuRunPanel(app);
    if (action == PermissionAction::ApplyWritable) startWorker([&app] { applyWritablePermissions(app); });
    else startWorker([&app] { restoreRestrictedPermissions(app); });
}

void applyWritablePermissions(InstallerApp& app) { runMenuPermissions(app, PermissionAction::ApplyWritable); }

void restoreRestrictedPermissions(InstallerApp& app) {
    runMenuPermissions(app, PermissionAction::RestoreRestricted);
}

void actOnPermissionCompletion(InstallerApp& app) {
    ui::Ui& u = app.ui;
    if (app.writableModesApplied.exchange(false)) {
        ConnectionSettings s = finishedRunSettings(app);
        s.permissionFlag = 1;
        saveConnectionSettings(Tool::Installer, s);
        u.setChecked(ids::mainWindow, ids::chmodBox, true);
        createChmodPanel(app);  // takes the run's title, label and bar away first
    }
    if (app.restrictedModesRestored.exchange(false)) {
        ConnectionSettings s = finishedRunSettings(app);
        s.permissionFlag = 0;
        saveConnectionSettings(Tool::Installer, s);
        removePermissionPanel(app);
        u.setChecked(ids::mainWindow, ids::chmodBox, false);
    }
}

void applyUploadPermissions(InstallerApp& app, const ConnectionSettings& s) {
    std::lock_guard<std::mutex> lock(app.controlChannelLock);
    ftp::ControlChannel channel(installerReplyWaitLimitMs);
    if (channel.connect(s.serverAddress, s.port)) channel.login(s.userId, s.password);
    clock::sleepMs(500);
    changeModes(app, channel, s.guestbookFolder, modesFor(PermissionAction::ApplyWritable));
    channel.close();
}

}  // namespace velmo::installer
