#include "installer/window_runs.h"

#include "installer/link_generator.h"
#include "installer/run_completion.h"
#include "installer/window_reporter.h"
#include "platform/worker.h"
#include "suite/messages.h"

namespace velmo::installer {

namespace {

// The last step of a run's end: the form, then "Valider", are usable again.
void giveFormBack(ui::Ui& u) {
    setFormEnabled(u, true);
    u.setEnabled(ids::mainWindow, ids::validateButton, true);
}

// A save that found the file held by another program for the whole wait is said; other
// failures to write the settings stay silent.
void sayIfBusy(ui::Ui& u, const SettingsSave& saved) {
    if (saved.outcome == SettingsSave::Outcome::Busy)
        u.messageBox(suite::titles::attention, settingsBusyText, ui::MessageIcon::Warning);
}

// Main thread, after a menu run that changed every mode: the settings and the box say so.
void recordPermissions(InstallerApp& app, ConnectionSettings s, PermissionAction action) {
    ui::Ui& u = app.ui;
    s.permissionFlag = action == PermissionAction::ApplyWritable ? 1 : 0;
    sayIfBusy(u, saveConnectionSettings(Tool::Installer, s));
    if (s.permissionFlag == 1) {
        u.setChecked(ids::mainWindow, ids::chmodBox, true);
        createChmodPanel(u);  // takes the run's title, label and bar away first
    } else {
        removePermissionPanel(u);
        u.setChecked(ids::mainWindow, ids::chmodBox, false);
    }
}

}  // namespace

void startUpload(const std::shared_ptr<InstallerApp>& app) {
    ui::Ui& u = app->ui;
    u.setEnabled(ids::mainWindow, ids::validateButton, false);
    setFormEnabled(u, false);
    connectionForm().trimFields(u);
    // An "Annuler" that came after the last run's last file is not this run's.
    app->stopRequested = false;
    app->uploadRunning = true;
    const UploadJob job{connectionForm().read(u, frame::FormTexts::Trimmed), app->manifest};
    const bool started = worker::start([app, job] {
        WindowReporter reporter(app);
        const RunReport report = runTransfer(job, reporter);
        // Gone with the main window when the program has ended meanwhile.
        app->ui.post(ids::mainWindow, [app, report] { finishTransfer(app, report); });
    });
    if (!started) {
        app->uploadRunning = false;
        giveFormBack(u);
    }
}

void finishTransfer(const std::shared_ptr<InstallerApp>& app, const RunReport& report) {
    ui::Ui& u = app->ui;
    app->uploadRunning = false;
    switch (report.outcome) {
    case UploadOutcome::NoFolder:
    case UploadOutcome::NotConnected:
    case UploadOutcome::Declined:
        giveFormBack(u);
        return;
    case UploadOutcome::Stopped:
        frame::showNotice(u, closingNotice(report));
        u.setEnabled(ids::mainWindow, ids::cancelButton, false);
        showFilePercent(*app, 0);
        u.setProgress(ids::mainWindow, ids::overallBar, 0);
        giveFormBack(u);
        return;
    case UploadOutcome::Processed:
        break;
    }
    showFilePercent(*app, 0);
    u.setProgress(ids::mainWindow, ids::overallBar, 100);
    // Shown by the main thread, the box keeps the main window (and an open generator)
    // from being used until it is answered.
    frame::showNotice(u, closingNotice(report));
    if (report.permissions.outcome != PermissionOutcome::NotAsked) {
        u.setProgress(ids::mainWindow, ids::chmodBar, 0);
        u.setText(ids::mainWindow, ids::chmodStatus, "En cours :");
    }
    u.setEnabled(ids::mainWindow, ids::validateButton, true);
    u.setEnabled(ids::mainWindow, ids::cancelButton, false);
    sayIfBusy(u, recordRun(report));
    openLinkGenerator(*app);
}

void startPermissionRun(const std::shared_ptr<InstallerApp>& app, PermissionAction action) {
    ui::Ui& u = app->ui;
    if (readTransferFlag() == 0) {
        u.messageBox(suite::titles::information,
                     "Les fichiers du livre d'or doivent être sur le serveur pour pouvoir modifier leur CHMOD.",
                     ui::MessageIcon::Warning);
        return;
    }
    // Replaces the "Chmod" group box (when "Chmod." is ticked) by the run's own panel.
    createMenuRunPanel(u);
    const ConnectionSettings settings = connectionForm().read(u, frame::FormTexts::AsTyped);
    worker::start([app, settings, action] {
        ui::Ui& ui = app->ui;
        WindowReporter reporter(app);
        const PermissionResult result = runMenuPermissions(settings, action, reporter);
        if (result.outcome == PermissionOutcome::NotConnected) return;
        // The main window takes no input while the outcome is on screen.
        const bool enabled = ui.isWindowEnabled(ids::mainWindow);
        ui.setWindowEnabled(ids::mainWindow, false);
        frame::showNotice(ui, menuRunNotice(result));
        if (enabled) ui.setWindowEnabled(ids::mainWindow, true);
        if (result.outcome != PermissionOutcome::Applied) return;
        app->ui.post(ids::mainWindow, [app, settings, action] { recordPermissions(*app, settings, action); });
    });
}

}  // namespace velmo::installer
