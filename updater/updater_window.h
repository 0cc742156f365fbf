// Velmo_Maj's window: the installed and the newest version at the top, and a panel of two
// tabs, "Vérifier les mises à jour" (the check and the update's description) and
// "Effectuer les mises à jour" (the FTP form, the package's file list and the button that
// installs it). No menu. Closing it returns to the launcher.
#pragma once
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>

#include "updater/official_site.h"
#include "updater/updater_reporter.h"
#include "ui/ui.h"

namespace velmo::updater {

namespace ids {
constexpr int mainWindow = 0;
constexpr int versionFrame = 1, installedCaption = 2, installedValue = 3, latestCaption = 4, latestValue = 5,
              versionStatus = 6, tabs = 7, description = 8, checkButton = 9, hostNotice = 10, addressFrame = 11,
              addressHelp = 12, addressExample = 13, addressField = 14, userFrame = 15, userHelp = 16,
              userField = 17, passwordFrame = 18, passwordHelp = 19, passwordField = 20, optionsFrame = 21,
              chmodBox = 22, passiveBox = 23, portField = 24, portLabel = 25, folderFrame = 26, folderHelp = 27,
              folderField = 28, actionsFrame = 29, actionStatus = 30, fileList = 31, applyButton = 32;
}  // namespace ids

constexpr int checkTab = 0, applyTab = 1;

// What the window's threads share: the main loop, the one worker (a check or an
// installation) and the reporter the worker talks through.
struct UpdaterApp {
    UpdaterApp(ui::Ui& u, OfficialSite s) : ui(u), site(std::move(s)) {}

    ui::Ui& ui;
    const OfficialSite site;
    UpdaterState state;
    // A worker's fatal message was answered: the loop ends, without the launcher.
    std::atomic<bool> endRequested{false};

    // One worker at a time: a check and an installation must not mix their file lists and
    // versions. Running while `workerBusy`; the loop re-enables the buttons when it ends.
    std::atomic<bool> workerBusy{false};
    std::atomic<bool> workerEnded{false};
    std::mutex workerLock;
    std::condition_variable workerIdle;
};

// Opens the window and fills it: the installed version from the local version files, the
// form from the connection settings file. False when the program must end at once (no
// window, no local version file, no settings file: the message was given).
bool buildUpdaterWindow(UpdaterApp& app);

// The program: builds the window, runs the event loop until the window is closed (then
// returns to the launcher) or a fatal message ended it. Returns the exit code.
int runUpdater(ui::Ui& ui, const OfficialSite& site);

// Starts a worker for `body` unless one is running (false then). The buttons are
// disabled until it ends.
bool startWorker(UpdaterApp& app, std::function<void()> body);
// Blocks until no worker runs (tests, and the loop's end).
void waitForWorker(UpdaterApp& app);

}  // namespace velmo::updater
