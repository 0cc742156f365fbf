#include "installer/window/window_runs.h"

#include "frame/notice_box.h"
#include "installer/window/link_generator.h"
#include "installer/engine/run_completion.h"
#include "installer/window/window_reporter.h"
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

// "Valider" shows the texts the run uses: the fields it trims hold them trimmed.
void showTrimmedTexts(ui::Ui& u, const ConnectionSettings& s) {
    u.setText(ids::mainWindow, ids::addressField, s.serverAddress);
    u.setText(ids::mainWindow, ids::userField, s.userId);
    u.setText(ids::mainWindow, ids::passwordField, s.password);
    u.setText(ids::mainWindow, ids::folderField, s.guestbookFolder);
}

// Main thread, after a menu run that changed every mode: the settings and the box say so.
void recordPermissions(InstallerApp& app, ConnectionSettings s, PermissionAction action) {
    ui::Ui& u = app.ui();
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

// Main thread, after a menu run that connected: its outcome, then its record.
void finishMenuRun(InstallerApp& app, const PermissionResult& result, const ConnectionSettings& settings,
                   PermissionAction action) {
    ui::Ui& u = app.ui();
    // The main window takes no input while the outcome is on screen.
    const bool enabled = u.isWindowEnabled(ids::mainWindow);
    u.setWindowEnabled(ids::mainWindow, false);
    frame::showNotice(u, menuRunNotice(result));
    if (enabled) u.setWindowEnabled(ids::mainWindow, true);
    if (result.outcome == PermissionOutcome::Applied) recordPermissions(app, settings, action);
}

// A stopped run says so, and the bars go back to their start.
void finishStoppedTransfer(InstallerApp& app, const RunReport& report) {
    ui::Ui& u = app.ui();
    frame::showNotice(u, closingNotice(report));
    u.setEnabled(ids::mainWindow, ids::cancelButton, false);
    showFilePercent(app, 0);
    u.setProgress(ids::mainWindow, ids::overallBar, 0);
    giveFormBack(u);
}

// A processed run: the closing box, the records, then the link generator for the folder
// the run installed (which gives the form back when closed).
void finishProcessedTransfer(InstallerApp& app, const RunReport& report) {
    ui::Ui& u = app.ui();
    showFilePercent(app, 0);
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
    openLinkGenerator(app, report.settings.guestbookFolder);
}

}  // namespace

void startUpload(const std::shared_ptr<InstallerApp>& app) {
    ui::Ui& u = app->ui();
    u.setEnabled(ids::mainWindow, ids::validateButton, false);
    setFormEnabled(u, false);
    const UploadJob job{connectionForm().read(u, frame::FormTexts::Trimmed), app->manifest};
    showTrimmedTexts(u, job.settings);
    // An "Annuler" that came after the last run's last file is not this run's.
    app->stopRequested = false;
    app->uploadRunning = true;
    const bool started = worker::start([app, job] {
        WindowReporter reporter(app);
        const RunReport report = runTransfer(job, reporter);
        // Gone with the main window when the program has ended meanwhile.
        onWindowThread(app, [report](InstallerApp& a) { finishTransfer(a, report); });
    });
    if (!started) {
        app->uploadRunning = false;
        giveFormBack(u);
    }
}

void finishTransfer(InstallerApp& app, const RunReport& report) {
    app.uploadRunning = false;
    switch (report.outcome) {
    case UploadOutcome::NoFolder:
    case UploadOutcome::NotConnected:
    case UploadOutcome::Declined:
        giveFormBack(app.ui());
        return;
    case UploadOutcome::Stopped:
        finishStoppedTransfer(app, report);
        return;
    case UploadOutcome::Processed:
        finishProcessedTransfer(app, report);
        return;
    }
}

void startPermissionRun(const std::shared_ptr<InstallerApp>& app, PermissionAction action) {
    ui::Ui& u = app->ui();
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
        WindowReporter reporter(app);
        const PermissionResult result = runMenuPermissions(settings, action, reporter);
        if (result.outcome == PermissionOutcome::NotConnected) return;  // the engine said so
        const bool posted = onWindowThread(app, [result, settings, action](InstallerApp& a) {
            finishMenuRun(a, result, settings, action);
        });
        // With the window gone the outcome box stands alone, as the reporter's do.
        if (!posted) frame::showNotice(app->ui(), menuRunNotice(result));
    });
}

}  // namespace velmo::installer
