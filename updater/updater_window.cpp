// Start, event loop and end of Velmo_Maj, and its one worker thread.
#include "updater/updater_window.h"

#include <thread>

#include "platform/fs.h"
#include "platform/process.h"
#include "ftp/ftp_session.h"
#include "platform/text_codec.h"
#include "settings/connection_settings.h"
#include "updater/update_apply.h"
#include "updater/update_check.h"
#include "updater/updater_texts.h"
#include "updater/window_reporter.h"

namespace velmo::updater {
namespace {

using ui::EventKind;

// Starts "../Velmo_Menu.exe" in "../" when it is present, otherwise says the program will
// close.
void returnToLauncher(ui::Ui& ui) {
    const std::string launcher = "../Velmo_Menu.exe";
    if (fs::fileIsPresent(launcher) && process::startProgram(launcher, "", "../")) return;
    ui.messageBox("Information.", "Impossible de retourner au menu général.\r\n\r\nLe programme va donc se fermer.",
                  ui::MessageIcon::Warning);
}

void setButtonsEnabled(UpdaterApp& app, bool enabled) {
    app.ui.setEnabled(ids::mainWindow, ids::checkButton, enabled);
    app.ui.setEnabled(ids::mainWindow, ids::applyButton, enabled);
}

// The form as typed (the engine trims it).
ConnectionSettings readForm(ui::Ui& u) {
    ConnectionSettings s;
    s.serverAddress = u.getText(ids::mainWindow, ids::addressField);
    s.userId = u.getText(ids::mainWindow, ids::userField);
    s.password = u.getText(ids::mainWindow, ids::passwordField);
    s.guestbookFolder = u.getText(ids::mainWindow, ids::folderField);
    s.permissionFlag = u.isChecked(ids::mainWindow, ids::chmodBox) ? 1 : 0;
    s.passiveFlag = u.isChecked(ids::mainWindow, ids::passiveBox) ? 1 : 0;
    s.port = portFromFieldText(u.getText(ids::mainWindow, ids::portField));
    return s;
}

// The installation tab opens only after a check found an update to install.
void onTabChosen(UpdaterApp& app) {
    if (app.ui.selectedTab(ids::mainWindow, ids::tabs) != applyTab || !app.state.applyLocked) return;
    app.ui.selectTab(ids::mainWindow, ids::tabs, checkTab);
    app.ui.messageBox("Information.", app.state.checkPending ? texts::checkFirst : texts::nothingToInstall,
                      ui::MessageIcon::Information);
}

void onControl(UpdaterApp& app, int controlId) {
    if (controlId == ids::checkButton) {
        startWorker(app, [&app] {
            WindowReporter reporter(app);
            checkForUpdates(app.state, app.site, reporter);
        });
    } else if (controlId == ids::applyButton) {
        const ConnectionSettings form = readForm(app.ui);
        startWorker(app, [&app, form] {
            WindowReporter reporter(app);
            applyUpdate(app.state, app.site, form, reporter);
        });
    } else if (controlId == ids::tabs) {
        onTabChosen(app);
    }
}

}  // namespace

bool startWorker(UpdaterApp& app, std::function<void()> body) {
    if (app.workerBusy.exchange(true)) return false;
    setButtonsEnabled(app, false);
    std::thread([&app, body = std::move(body)] {
        body();
        std::lock_guard<std::mutex> lock(app.workerLock);
        app.workerBusy = false;
        app.workerEnded = true;
        app.workerIdle.notify_all();
        app.ui.wake(ids::mainWindow);
    }).detach();
    return true;
}

void waitForWorker(UpdaterApp& app) {
    std::unique_lock<std::mutex> lock(app.workerLock);
    app.workerIdle.wait(lock, [&app] { return !app.workerBusy; });
}

int runUpdater(ui::Ui& ui, const OfficialSite& site) {
    ftp::startSessions();
    UpdaterApp app(ui, site);
    if (buildUpdaterWindow(app)) {
        for (;;) {
            const ui::Event e = ui.waitEvent();
            if (e.kind == EventKind::Close && e.windowId == ids::mainWindow) {
                returnToLauncher(ui);
                break;
            }
            if (e.kind == EventKind::Command && e.windowId == ids::mainWindow) onControl(app, e.controlId);
            if (app.workerEnded.exchange(false) && !app.endRequested) setButtonsEnabled(app, true);
            if (app.endRequested) break;
        }
    }
    // The window goes at once; a check or an installation still running is let finish
    // (its network waits are bounded) rather than cut off halfway through the server's files.
    ui.destroyWindow(ids::mainWindow);
    waitForWorker(app);
    ftp::closeAllSessions();
    return 0;
}

}  // namespace velmo::updater
