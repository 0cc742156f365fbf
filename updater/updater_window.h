// Velmo_Maj's window: the installed and the newest version at the top, and a panel of two
// tabs, "Vérifier les mises à jour" (the check and the update's description) and
// "Effectuer les mises à jour" (the FTP form, the package's file list and the button that
// installs it). No menu. Closing it returns to the launcher.
#pragma once
#include <atomic>
#include <functional>

#include "frame/connection_form.h"
#include "frame/program.h"
#include "updater/official_site.h"
#include "updater/updater_reporter.h"
#include "ui/ui.h"

namespace velmo::updater {

namespace ids {
constexpr int mainWindow = frame::mainWindow;
constexpr int versionFrame = 1, installedCaption = 2, installedValue = 3, latestCaption = 4, latestValue = 5,
              versionStatus = 6, tabs = 7, description = 8, checkButton = 9, hostNotice = 10, addressFrame = 11,
              addressHelp = 12, addressExample = 13, addressField = 14, userFrame = 15, userHelp = 16,
              userField = 17, passwordFrame = 18, passwordHelp = 19, passwordField = 20, optionsFrame = 21,
              chmodBox = 22, passiveBox = 23, portField = 24, portLabel = 25, folderFrame = 26, folderHelp = 27,
              folderField = 28, actionsFrame = 29, actionStatus = 30, fileList = 31, applyButton = 32;
}  // namespace ids

constexpr int checkTab = 0, applyTab = 1;

// What the window's threads share: the program (its loop runs in the main thread), the
// one worker (a check or an installation) and the state they hand over.
struct UpdaterApp {
    UpdaterApp(frame::Program& p, const frame::ConnectionForm& f, OfficialSite s)
        : program(p), ui(p.ui()), form(f), site(std::move(s)) {}

    frame::Program& program;
    ui::Ui& ui;
    const frame::ConnectionForm& form;
    const OfficialSite site;
    UpdaterState state;

    // One worker at a time: a check and an installation must not mix their file lists and
    // versions. Both buttons stay disabled while it runs.
    bool workerBusy = false;  // main thread only
    bool installing = false;  // main thread only: the worker is an installation
    // The window was asked to close while the worker ran: the worker was told to stop
    // (state.stopRequested) and shows nothing more; once it has ended, the program
    // returns to the launcher and ends. Set in the main thread, read by the worker's
    // reporter.
    std::atomic<bool> closing{false};
};

// Where the connection form lies: on the installation tab's page.
frame::ConnectionFormLayout updaterFormLayout();
// The window's table of controls (main window, number frame::mainWindow), the form's rows
// among them.
std::vector<ui::ControlSpec> updaterControls(const frame::ConnectionForm& form);

// The start once the window shows: the installed version from the local version files,
// the form from the connection settings file. False when the program must end at once
// (no local version file, no settings file: the message was given).
bool fillUpdaterWindow(UpdaterApp& app);

// The program: builds the window, runs the event loop until the window is closed (then
// the launcher starts again) or a fatal message ended it. Returns the exit code.
int runUpdater(ui::Ui& ui, const OfficialSite& site);

// The close box: with no worker running the program returns to the launcher and ends.
// During an installation it asks first (No: nothing changes); during a check, or after
// Yes, the worker is told to stop, and the launcher starts only once it has ended, so no
// box of the worker outlives the window and the launcher never runs beside it.
void onCloseRequested(UpdaterApp& app);

// Starts a worker for `body` unless one is running (false then); main thread only. The
// buttons are disabled until it ends.
bool startWorker(UpdaterApp& app, std::function<void()> body);

}  // namespace velmo::updater
