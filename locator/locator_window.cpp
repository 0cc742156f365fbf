#include "locator/locator_window.h"

#include <condition_variable>
#include <memory>
#include <string>
#include <thread>
#include <utility>

#include "locator/locator_app.h"
#include "locator/locator_texts.h"
#include "platform/net.h"
#include "platform/text_codec.h"
#include "settings/connection_settings.h"

namespace velmo::locator {

namespace {

using ui::EventKind;
using ui::MessageIcon;

std::mutex workersLock;
std::condition_variable workersEnded;
int runningWorkers = 0;

void startWorker(std::function<void()> body) {
    {
        std::lock_guard<std::mutex> lock(workersLock);
        ++runningWorkers;
    }
    std::thread([body = std::move(body)] {
        body();
        std::lock_guard<std::mutex> lock(workersLock);
        if (--runningWorkers == 0) workersEnded.notify_all();
    }).detach();
}

// Hands a task to the window's thread: the list and the buttons are only ever changed
// there, so a report cannot interleave with "Annuler".
void postToWindow(const std::shared_ptr<LocatorApp>& app, std::function<void()> task) {
    {
        std::lock_guard<std::mutex> lock(app->tasksLock);
        app->tasks.push_back(std::move(task));
    }
    app->ui.wake(ids::mainWindow);
}

void runPostedTasks(LocatorApp& app) {
    std::vector<std::function<void()>> tasks;
    {
        std::lock_guard<std::mutex> lock(app.tasksLock);
        tasks.swap(app.tasks);
    }
    for (auto& task : tasks) task();
}

// Not connected: "Connexion" and the connection fields enabled, the rest disabled, the
// list and the session's listing gone.
void showNotConnected(LocatorApp& app) {
    app.engine->cancel();
    app.listing = ServerListing{};
    app.ui.clearRows(ids::mainWindow, ids::serverList);
    app.ui.setEnabled(ids::mainWindow, ids::connectButton, true);
    app.ui.setEnabled(ids::mainWindow, ids::cancelButton, false);
    app.ui.setEnabled(ids::mainWindow, ids::testButton, false);
    setConnectionFieldsEnabled(app, true);
}

// The window's side of a connect-and-list: every report becomes a task of the window's
// thread, which drops it when its run was cancelled or replaced in the meantime.
class WindowReporter final : public ListingReporter {
public:
    explicit WindowReporter(std::shared_ptr<LocatorApp> app) : app_(std::move(app)) {}

    void connectionFailed(int run) override {
        whenCurrent(run, [](LocatorApp& a) {
            a.ui.messageBox("Avertissement.", a.connectionErrorText, MessageIcon::Warning);
            showNotConnected(a);
        });
    }
    void listingFailed(int run) override {
        whenCurrent(run, [](LocatorApp& a) {
            a.ui.messageBox("Avertissement.", listingFailedText, MessageIcon::Warning);
            showNotConnected(a);
        });
    }
    void listed(int run, const ServerListing& listing) override {
        whenCurrent(run, [listing](LocatorApp& a) {
            a.listing = listing;
            showListing(a, listing);
        });
    }

private:
    void whenCurrent(int run, std::function<void(LocatorApp&)> action) {
        postToWindow(app_, [app = app_, run, action = std::move(action)] {
            if (app->engine->isCurrent(run)) action(*app);
        });
    }
    std::shared_ptr<LocatorApp> app_;
};

void loadSettingsIntoForm(LocatorApp& app) {
    const ConnectionSettingsLoad load = loadConnectionSettings(Tool::Locator);
    if (!load.fileOpened) return;  // the fields keep the values they were built with
    const ConnectionSettings& s = load.settings;
    ui::Ui& u = app.ui;
    u.setText(ids::mainWindow, ids::addressField, s.serverAddress);
    u.setText(ids::mainWindow, ids::userField, s.userId);
    u.setChecked(ids::mainWindow, ids::passiveBox, s.passiveFlag == 1);
    u.setText(ids::mainWindow, ids::portField, std::to_string(s.port));
    u.setText(ids::mainWindow, ids::folderField, s.guestbookFolder);
}

void connect(const std::shared_ptr<LocatorApp>& app) {
    ui::Ui& u = app->ui;
    u.setEnabled(ids::mainWindow, ids::connectButton, false);
    u.setEnabled(ids::mainWindow, ids::cancelButton, true);
    setConnectionFieldsEnabled(*app, false);
    ConnectionSettings s;
    s.serverAddress = text::trimBlanks(u.getText(ids::mainWindow, ids::addressField));
    s.userId = text::trimBlanks(u.getText(ids::mainWindow, ids::userField));
    s.password = text::trimBlanks(u.getText(ids::mainWindow, ids::passwordField));
    s.passiveFlag = u.isChecked(ids::mainWindow, ids::passiveBox) ? 1 : 0;
    s.port = portFromFieldText(u.getText(ids::mainWindow, ids::portField));
    const int run = app->engine->beginRun(s);
    auto reporter = std::make_shared<WindowReporter>(app);
    startWorker([engine = app->engine, reporter, run, s] { engine->connectAndList(run, s, *reporter); });
}

void cancel(LocatorApp& app) {
    app.ui.setText(ids::mainWindow, ids::folderField, "");
    showNotConnected(app);
}

void chooseFolder(LocatorApp& app) {
    const int row = app.ui.selectedRow(ids::mainWindow, ids::serverList);
    const std::string name = row < 0 ? "" : app.ui.getCell(ids::mainWindow, ids::serverList, row, 0);
    if (!isChoosableFolder(app.listing, name)) return;
    app.ui.setText(ids::mainWindow, ids::folderField, name);
    app.ui.setEnabled(ids::mainWindow, ids::testButton, true);
}

void testFolder(LocatorApp& app) {
    ui::Ui& u = app.ui;
    const std::string folder = u.getText(ids::mainWindow, ids::folderField);
    switch (app.engine->testFolder(folder)) {
    case FolderTestResult::Valid: {
        u.messageBox("Information.", folderValidText, MessageIcon::Information);
        const ConnectionSettings s = settingsToSave(
            u.getText(ids::mainWindow, ids::addressField), u.getText(ids::mainWindow, ids::userField),
            u.isChecked(ids::mainWindow, ids::passiveBox), u.getText(ids::mainWindow, ids::portField),
            u.getText(ids::mainWindow, ids::folderField));
        // The box above has just promised the file: a file that could not be written is said.
        if (!saveConnectionSettings(Tool::Locator, s))
            u.messageBox("Attention.", settingsNotWrittenText, MessageIcon::Warning);
        break;
    }
    case FolderTestResult::NotValid:
        u.messageBox("Information.", folderNotValidText, MessageIcon::Warning);
        break;
    case FolderTestResult::ListingFailed:
        u.messageBox("Avertissement.", folderListingFailedText, MessageIcon::Warning);
        break;
    }
}

void showHelp(LocatorApp& app) { app.ui.messageBox(helpTitle, app.helpText, MessageIcon::Information); }

// One event of the main window (or of the About window); false once the program ends.
bool handleEvent(const std::shared_ptr<LocatorApp>& appPtr, const ui::Event& e) {
    LocatorApp& app = *appPtr;
    if (e.kind == EventKind::Quit) return false;
    if (e.kind == EventKind::Wake) {
        runPostedTasks(app);
        return true;
    }
    if (frame::handleAboutEvent(app.frame, e)) return true;
    if (e.windowId != ids::mainWindow) return true;
    switch (e.kind) {
    case EventKind::Close:
        frame::returnToLauncher(app.ui);
        return false;
    case EventKind::Menu:
        switch (e.controlId) {
        case ids::menuHelp: showHelp(app); break;
        case ids::menuQuit: frame::returnToLauncher(app.ui); return false;
        case ids::menuSite: frame::openInBrowser(app.ui, frame::officialSiteAddress()); break;
        case ids::menuForum: frame::openInBrowser(app.ui, frame::forumAddress()); break;
        case ids::menuAbout: frame::showAboutWindow(app.frame); break;
        default: break;
        }
        return true;
    case EventKind::Command:
        switch (e.controlId) {
        case ids::connectButton: connect(appPtr); break;
        case ids::cancelButton: cancel(app); break;
        case ids::testButton: testFolder(app); break;
        case ids::helpButton: showHelp(app); break;
        default: break;
        }
        return true;
    case EventKind::DoubleClick:
        if (e.controlId == ids::serverList) chooseFolder(app);
        return true;
    default:
        return true;
    }
}

}  // namespace

void waitForListingWorkers() {
    std::unique_lock<std::mutex> lock(workersLock);
    workersEnded.wait(lock, [] { return runningWorkers == 0; });
}

int runLocator(ui::Ui& ui) {
    // The pictures are referenced by the window and shared with the workers' tasks, which
    // may outlive this function.
    auto pictures = std::make_shared<LocatorPictures>();
    loadLocatorPictures(*pictures);  // a picture that does not decode only loses its image
    std::shared_ptr<LocatorApp> app(new LocatorApp(ui, *pictures), [pictures](LocatorApp* a) { delete a; });
    app->helpText = helpText(runsOnWindows7());
    app->connectionErrorText = buildConnectionErrorText();
    net::startNetworking();

    showHelp(*app);
    buildMainWindow(*app);
    if (!ui.windowExists(ids::mainWindow)) return 1;
    loadSettingsIntoForm(*app);

    for (;;) {
        const ui::Event e = ui.waitEvent();
        if (!handleEvent(app, e)) break;
    }
    ui.destroyWindow(ids::aboutWindow);
    ui.destroyWindow(ids::mainWindow);
    return 0;
}

}  // namespace velmo::locator
