// Start, event loop and end of Velmo_Maj, and its one worker thread.
#include "updater/updater_window.h"


#include "ftp/ftp_session.h"
#include "platform/worker.h"
#include "settings/connection_settings.h"
#include "suite/messages.h"
#include "suite/paths.h"
#include "updater/update_apply.h"
#include "updater/update_check.h"
#include "updater/updater_texts.h"
#include "updater/window_reporter.h"

namespace velmo::updater {
namespace {

void setButtonsEnabled(ui::Ui& u, bool enabled) {
    u.setEnabled(ids::mainWindow, ids::checkButton, enabled);
    u.setEnabled(ids::mainWindow, ids::applyButton, enabled);
}

// The installation tab opens only after a check found an update to install.
void onTabChosen(UpdaterApp& app) {
    if (app.ui.selectedTab(ids::mainWindow, ids::tabs) != applyTab || !app.state.applyLocked) return;
    app.ui.selectTab(ids::mainWindow, ids::tabs, checkTab);
    app.ui.messageBox(suite::titles::information, app.state.checkPending ? texts::checkFirst : texts::nothingToInstall,
                      ui::MessageIcon::Information);
}

}  // namespace

void onCloseRequested(UpdaterApp& app) {
    if (app.closing) return;  // already stopping
    if (!app.workerBusy) {
        app.program.close();
        return;
    }
    if (app.installing &&
        app.ui.messageBox(suite::titles::attention, texts::closeDuringInstallation, ui::MessageIcon::Warning,
                          ui::MessageButtons::YesNo) != ui::MessageBoxResult::Yes)
        return;
    // The worker may have ended while the question was up.
    if (!app.workerBusy) {
        app.program.close();
        return;
    }
    app.closing = true;
    app.state.stopRequested = true;
    app.ui.setText(ids::mainWindow, ids::actionStatus, texts::stopping);
}

bool startWorker(UpdaterApp& app, std::function<void()> body) {
    if (app.workerBusy) return false;
    app.workerBusy = true;
    setButtonsEnabled(app.ui, false);
    const bool started = worker::start([&app, body = std::move(body)] {
        body();
        // The buttons come back in the main thread, after everything the worker showed;
        // a close asked meanwhile happens now.
        app.program.post([&app] {
            app.workerBusy = false;
            app.installing = false;
            if (app.closing) {
                // A posted task is no event: the loop sees the end at the Quit that follows.
                app.program.close();
                app.ui.postQuit();
                return;
            }
            setButtonsEnabled(app.ui, true);
        });
    });
    if (!started) {
        app.workerBusy = false;
        setButtonsEnabled(app.ui, true);
    }
    return started;
}

int runUpdater(ui::Ui& ui, const OfficialSite& site) {
    ftp::startSessions();
    frame::ProgramDescription description;
    description.window = {ids::mainWindow, "Velmo, Maj - Vérification/Update des mises à jour.", 752, 500};
    description.failureJournal = suite::updaterJournalFile;
    const frame::ConnectionForm form(updaterFormLayout());
    description.controls = updaterControls(form);
    // No menu, no About window; the close box returns to the launcher.
    frame::Program program(ui, std::move(description));
    UpdaterApp app(program, form, site);
    program.addRoutes({
        frame::onOpened(ids::mainWindow, [&app] {
            if (!fillUpdaterWindow(app)) app.program.quit();
        }),
        frame::onCommand(ids::checkButton, [&app] {
            startWorker(app, [&app] {
                WindowReporter reporter(app);
                checkForUpdates(app.state, app.site, reporter);
            });
        }),
        frame::onCommand(ids::applyButton, [&app] {
            // As typed: the installation trims what it uses.
            const ConnectionSettings form = app.form.read(app.ui, frame::FormTexts::AsTyped);
            if (startWorker(app, [&app, form] {
                    WindowReporter reporter(app);
                    applyUpdate(app.state, app.site, form, reporter);
                }))
                app.installing = true;
        }),
        frame::onCommand(ids::tabs, [&app] { onTabChosen(app); }),
        frame::onClose(ids::mainWindow, [&app] { onCloseRequested(app); }),
    });
    const int code = program.run();
    // A close waited for the worker's end; what may still run here is a worker whose
    // fatal message ended the loop, and it returns right after that message.
    worker::waitForAll();
    ftp::closeAllSessions();
    return code;
}

}  // namespace velmo::updater
