// Velmo_Maj's window: the installed and the newest version at the top, and a panel of two
// tabs, "Vérifier les mises à jour" (the check and the update's description) and
// "Effectuer les mises à jour" (the FTP form, the package's file list and the button that
// installs it). No menu. Closing it returns to the launcher.
#pragma once
#include <functional>
#include <memory>

#include "frame/connection_form.h"
#include "frame/program.h"
#include "updater/engine/official_site.h"
#include "updater/engine/updater_reporter.h"
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

// Where the connection form lies: on the installation tab's page.
frame::ConnectionFormLayout updaterFormLayout();
// The window's table of controls (main window, number frame::mainWindow), the form's rows
// among them.
std::vector<ui::ControlSpec> updaterControls(const frame::ConnectionForm& form);
// The main window (title, size, that table); no menu, no About window, the close box
// returns to the launcher.
frame::ProgramDescription updaterDescription(const frame::ConnectionForm& form);

// The program's state: made in runUpdater and shared with the worker and the tasks it
// posts, which may outlive the loop. Everything but `state` belongs to the window's thread.
struct UpdaterApp : std::enable_shared_from_this<UpdaterApp> {
    UpdaterApp(ui::Ui& ui, OfficialSite s) : program(ui, updaterDescription(form)), site(std::move(s)) {}

    ui::Ui& ui() const { return program.ui(); }

    const frame::ConnectionForm form{updaterFormLayout()};  // before `program`, built from it
    frame::Program program;
    const OfficialSite site;
    // The worker's while it runs (the window sets only its stop), the window's between two
    // runs: the worker's end, posted to the window's thread, comes after the worker is done
    // with it.
    UpdaterState state;

    // The start-up (fillUpdaterWindow): at the Opened event, or at a command that came first.
    enum class StartUp { Pending, Done, Failed } startUp = StartUp::Pending;
    // One worker at a time: a check and an installation must not mix their file lists and
    // versions. Both buttons stay disabled while it runs.
    bool workerBusy = false;
    bool installing = false;  // the worker is an installation
    // The window was asked to close while the worker ran: the worker was told to stop
    // (state.stopRequested), and the reports it still posts show no box; once it has
    // ended, the program returns to the launcher and ends.
    bool closing = false;
    // The installation tab's lock as the window sees it: closed at a check's start, then
    // as the last run left state.applyLocked and state.checkPending.
    bool applyLocked = true;
    bool checkPending = true;
};

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

// Starts a worker for `body` unless one is running (false then); the window's thread only.
// The worker holds the app while it runs; the buttons are disabled until it ends, and its
// end reaches the window through a posted task.
bool startWorker(UpdaterApp& app, std::function<void(UpdaterApp&)> body);

}  // namespace velmo::updater
