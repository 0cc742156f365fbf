// Start, event loop and end of Velmo_Maj, and its one worker thread.
#include "updater/window/updater_window.h"

#include "ftp/ftp_session.h"
#include "platform/worker.h"
#include "settings/connection_settings.h"
#include "suite/messages.h"
#include "suite/paths.h"
#include "updater/engine/update_apply.h"
#include "updater/engine/update_check.h"
#include "updater/engine/updater_texts.h"
#include "updater/window/window_reporter.h"

namespace velmo::updater {
namespace {

void setButtonsEnabled(ui::Ui& u, bool enabled) {
    u.setEnabled(ids::mainWindow, ids::checkButton, enabled);
    u.setEnabled(ids::mainWindow, ids::applyButton, enabled);
}

// The start-up, once, before anything the user does: a click that reached the window while
// it was being built comes before the window's Opened event, and a check started then would
// read the local version files while the start-up makes them. False when the program ends.
bool startedUp(UpdaterApp& app) {
    if (app.startUp == UpdaterApp::StartUp::Pending) {
        const bool filled = fillUpdaterWindow(app);
        app.startUp = filled ? UpdaterApp::StartUp::Done : UpdaterApp::StartUp::Failed;
        if (!filled) app.program.quit();
    }
    return app.startUp == UpdaterApp::StartUp::Done;
}

// The installation tab opens only after a check found an update to install.
void onTabChosen(UpdaterApp& app) {
    if (!startedUp(app)) return;
    ui::Ui& u = app.ui();
    if (u.selectedTab(ids::mainWindow, ids::tabs) != applyTab || !app.applyLocked) return;
    u.selectTab(ids::mainWindow, ids::tabs, checkTab);
    u.messageBox(suite::titles::information, app.checkPending ? texts::checkFirst : texts::nothingToInstall,
                 ui::MessageIcon::Information);
}

// The worker's end, on the window's thread after everything it reported: the tab's lock
// as the run left it, the buttons back, or the close asked meanwhile.
void onWorkerEnded(UpdaterApp& app) {
    app.workerBusy = false;
    app.installing = false;
    app.applyLocked = app.state.applyLocked;
    app.checkPending = app.state.checkPending;
    if (app.closing) {
        // A posted task is no event: the loop sees the end at the Quit that follows.
        app.program.close();
        app.ui().postQuit();
        return;
    }
    setButtonsEnabled(app.ui(), true);
}

void startCheck(UpdaterApp& app) {
    if (!startedUp(app)) return;
    // A check locks the installation tab from its start on.
    if (startWorker(app, [](UpdaterApp& a) {
            PostingReporter reporter(a.shared_from_this());
            checkForUpdates(a.state, a.site, reporter);
        }))
        app.applyLocked = true;
}

void startInstallation(UpdaterApp& app) {
    if (!startedUp(app)) return;
    // As typed: the installation trims what it uses.
    const ConnectionSettings form = app.form.read(app.ui(), frame::FormTexts::AsTyped);
    if (startWorker(app, [form](UpdaterApp& a) {
            PostingReporter reporter(a.shared_from_this());
            applyUpdate(a.state, a.site, form, reporter);
        }))
        app.installing = true;
}

}  // namespace

void onCloseRequested(UpdaterApp& app) {
    if (app.closing) return;  // already stopping
    if (!app.workerBusy) {
        app.program.close();
        return;
    }
    if (app.installing &&
        app.ui().messageBox(suite::titles::attention, texts::closeDuringInstallation, ui::MessageIcon::Warning,
                            ui::MessageButtons::YesNo) != ui::MessageBoxResult::Yes)
        return;
    // The worker may have ended while the question was up.
    if (!app.workerBusy) {
        app.program.close();
        return;
    }
    app.closing = true;
    app.state.stopRequested = true;
    app.ui().setText(ids::mainWindow, ids::actionStatus, texts::stopping);
}

bool startWorker(UpdaterApp& app, std::function<void(UpdaterApp&)> body) {
    if (app.workerBusy) return false;
    app.workerBusy = true;
    setButtonsEnabled(app.ui(), false);
    const bool started = worker::start([shared = app.shared_from_this(), body = std::move(body)] {
        body(*shared);
        shared->program.post([shared] { onWorkerEnded(*shared); });
    });
    if (!started) {
        app.workerBusy = false;
        setButtonsEnabled(app.ui(), true);
    }
    return started;
}

int runUpdater(ui::Ui& ui, const OfficialSite& site) {
    ftp::startSessions();
    // Shared with the worker and its posted reports, which may come after the loop ended.
    const auto app = std::make_shared<UpdaterApp>(ui, site);
    // The routes hold the app by plain reference: it owns them, and outlives its loop.
    UpdaterApp& a = *app;
    a.program.addRoutes({
        frame::onOpened(ids::mainWindow, [&a] { startedUp(a); }),
        frame::onCommand(ids::checkButton, [&a] { startCheck(a); }),
        frame::onCommand(ids::applyButton, [&a] { startInstallation(a); }),
        frame::onCommand(ids::tabs, [&a] { onTabChosen(a); }),
        frame::onClose(ids::mainWindow, [&a] { onCloseRequested(a); }),
    });
    const int code = a.program.run();
    // A close waited for the worker's end; what may still run here is a worker whose
    // fatal message ended the loop, and it returns right after that message.
    worker::waitForAll();
    ftp::stopSessions();
    return code;
}

}  // namespace velmo::updater
