#include "locator/window/locator_window.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "locator/window/locator_app.h"
#include "locator/window/locator_texts.h"
#include "platform/net.h"
#include "platform/worker.h"
#include "settings/connection_settings.h"
#include "frame/notice_box.h"
#include "suite/messages.h"
#include "trust/tool_connection.h"

namespace velmo::locator {

namespace {

using frame::mainWindow;
using ui::MessageIcon;
namespace titles = suite::titles;

// Not connected: "Connexion" and the connection fields enabled, the rest disabled, the
// list and the listing it showed gone, the run over.
void showNotConnected(LocatorApp& app) {
    app.engine->cancel();
    app.listing = ServerListing{};
    ui::Ui& u = app.ui();
    u.clearRows(mainWindow, ids::serverList);
    u.setEnabled(mainWindow, ids::connectButton, true);
    u.setEnabled(mainWindow, ids::cancelButton, false);
    u.setEnabled(mainWindow, ids::testButton, false);
    app.form.setEnabled(u, true);
}

// The window's side of a connect-and-list: every report is posted to the window's thread,
// where the list and the buttons change, and dropped there when its run was cancelled or
// replaced meanwhile ("Annuler" runs on that thread too, so the two never interleave).
class WindowReporter final : public ListingReporter {
public:
    explicit WindowReporter(std::shared_ptr<LocatorApp> app) : app_(std::move(app)) {}

    void connectionFailed(int run, ftp::Failure failure) override {
        whenCurrent(run, [failure](LocatorApp& a) {
            frame::showNotice(a.ui(), connectionFailureNotice(failure));
            showNotConnected(a);
        });
    }
    void listingFailed(int run) override {
        whenCurrent(run, [](LocatorApp& a) {
            a.ui().messageBox(titles::warning, listingFailedText, MessageIcon::Warning);
            showNotConnected(a);
        });
    }
    void listed(int run, const ServerListing& listing) override {
        whenCurrent(run, [listing](LocatorApp& a) {
            a.listing = listing;
            showListing(a.ui(), listing);
        });
    }

private:
    void whenCurrent(int run, std::function<void(LocatorApp&)> action) {
        app_->program.post([app = app_, run, action = std::move(action)] {
            if (app->engine->isCurrent(run)) action(*app);
        });
    }
    std::shared_ptr<LocatorApp> app_;
};

void loadSettingsIntoForm(LocatorApp& app) {
    const ConnectionSettingsLoad load = loadConnectionSettings(Tool::Locator);
    // Without the file the fields keep the values they were built with.
    if (load.fileOpened) app.form.fill(app.ui(), load.settings);
}

void connect(LocatorApp& app) {
    ui::Ui& u = app.ui();
    u.setEnabled(mainWindow, ids::connectButton, false);
    u.setEnabled(mainWindow, ids::cancelButton, true);
    app.form.setEnabled(u, false);
    const ConnectionSettings s = app.form.read(u, frame::FormTexts::Trimmed);
    // The run's certificate question, asked only while the run is still the current one
    // (a run cancelled or replaced meanwhile answers No). The engine keeps it for the run's
    // tests, so it holds the program's state weakly.
    const std::weak_ptr<LocatorApp> weak = app.shared_from_this();
    const auto asking = std::make_shared<std::atomic<int>>(0);
    auto ask = [weak, asking](const suite::Notice& question) {
        const std::shared_ptr<LocatorApp> held = weak.lock();
        return held && frame::askFromWorker(held->program, question,
                                            [held, asking] { return held->engine->isCurrent(*asking); });
    };
    const int run = app.engine->beginRun(s, ask);
    *asking = run;
    auto reporter = std::make_shared<WindowReporter>(app.shared_from_this());
    worker::start([engine = app.engine, reporter, run, s] { engine->connectAndList(run, s, *reporter); });
}

void cancel(LocatorApp& app) {
    app.ui().setText(mainWindow, ids::folderField, "");
    showNotConnected(app);
}

void chooseFolder(LocatorApp& app) {
    ui::Ui& u = app.ui();
    const int row = u.selectedRow(mainWindow, ids::serverList);
    const std::string name = row < 0 ? "" : u.getCell(mainWindow, ids::serverList, row, 0);
    if (!isChoosableFolder(app.listing, name)) return;
    u.setText(mainWindow, ids::folderField, name);
    u.setEnabled(mainWindow, ids::testButton, true);
}

// "Tester" said the folder is the guestbook's: the settings file is written, and a file
// that could not be written is said, as the box before it has just promised the file.
void saveTestedFolder(ui::Ui& u, const ConnectionSettings& s) {
    const SettingsSave saved = saveConnectionSettings(Tool::Locator, s);
    if (saved.outcome == SettingsSave::Outcome::Busy)
        u.messageBox(titles::attention, settingsBusyText, MessageIcon::Warning);
    else if (!saved)
        u.messageBox(titles::attention, settingsNotWrittenText, MessageIcon::Warning);
}

// The boxes of a test's result; `toSave` is what a valid folder records.
void showTestResult(ui::Ui& u, FolderTestResult result, ftp::Failure why, const ConnectionSettings& toSave) {
    switch (result) {
    case FolderTestResult::Valid:
        u.messageBox(titles::information, folderValidText, MessageIcon::Information);
        saveTestedFolder(u, toSave);
        break;
    case FolderTestResult::NotOneFolder:
        u.messageBox(titles::information, notOneFolderText, MessageIcon::Warning);
        break;
    case FolderTestResult::NotValid:
        u.messageBox(titles::information, folderNotValidText, MessageIcon::Warning);
        break;
    case FolderTestResult::ListingFailed:
        u.messageBox(titles::warning, folderListingFailedText, MessageIcon::Warning);
        break;
    case FolderTestResult::ConnectionLost:
        frame::showNotice(u, connectionFailureNotice(why));
        break;
    }
}

// What the user did while the test ran, in the order it was done. A held close ends the
// loop only once the loop looks again, which the wake makes it do.
void handleHeldEvents(LocatorApp& app) {
    while (!app.testing && !app.heldEvents.empty()) {
        const std::function<void()> handler = std::move(app.heldEvents.front());
        app.heldEvents.pop_front();
        handler();
    }
    app.ui().wake(mainWindow);
}

void finishTest(LocatorApp& app, FolderTestResult result, ftp::Failure why, const ConnectionSettings& toSave) {
    showTestResult(app.ui(), result, why, toSave);
    app.testing = false;
    handleHeldEvents(app);
}

// "Tester": the test talks to the server in a worker; the window takes no input until its
// boxes are answered (handlers wait in heldEvents).
void testFolder(LocatorApp& app) {
    ui::Ui& u = app.ui();
    const std::string name = u.getText(mainWindow, ids::folderField);
    // The form as it stands (address and user ID untrimmed), FTP_infoChmod 0, no password;
    // the folder as the one name the other tools join to their login directory.
    ConnectionSettings toSave = app.form.read(u, frame::FormTexts::AsTyped);
    toSave.guestbookFolder = oneFolderName(toSave.guestbookFolder);
    app.testing = true;
    const bool started = worker::start([app = app.shared_from_this(), name, toSave] {
        ftp::Failure why = ftp::Failure::None;
        const FolderTestResult result = app->engine->testFolder(name, &why);
        app->program.post([app, result, why, toSave] { finishTest(*app, result, why, toSave); });
    });
    if (!started) {  // no thread: nothing was tested
        app.testing = false;
        handleHeldEvents(app);
    }
}

// A handler that waits while a folder test runs, as every input of the window does.
std::function<void()> unlessTesting(LocatorApp& app, std::function<void()> handler) {
    return [a = &app, handler = std::move(handler)] {
        if (a->testing) a->heldEvents.push_back(handler);
        else handler();
    };
}

void showHelp(LocatorApp& app) { app.ui().messageBox(titles::help, app.helpText, MessageIcon::Information); }

}  // namespace

LocatorApp::LocatorApp(ui::Ui& ui)
    : pictures(loadLocatorPictures()),
      program(ui, locatorDescription(pictures, form)),
      helpText(locator::helpText(runsOnWindows7())) {}

void waitForListingWorkers() {
    worker::waitForAll();
}

int runLocator(ui::Ui& ui) {
    // Shared with the workers' reports, which may come after this function has returned.
    const auto app = std::make_shared<LocatorApp>(ui);
    net::startNetworking();
    showHelp(*app);  // closed before anything else is shown
    // The routes hold the app by plain reference: it owns them, and outlives its loop. The
    // close box and the frame's entries are routed here too, so that they wait for a test.
    LocatorApp& a = *app;
    const frame::Frame& f = a.program.frame();
    a.program.addRoutes({
        frame::onOpened(mainWindow, [&a] { loadSettingsIntoForm(a); }),
        frame::onCommand(ids::connectButton, unlessTesting(a, [&a] { connect(a); })),
        frame::onCommand(ids::cancelButton, unlessTesting(a, [&a] { cancel(a); })),
        frame::onCommand(ids::testButton, unlessTesting(a, [&a] { testFolder(a); })),
        frame::onCommand(ids::helpButton, unlessTesting(a, [&a] { showHelp(a); })),
        frame::onMenu(ids::menuHelp, unlessTesting(a, [&a] { showHelp(a); })),
        frame::onDoubleClick(ids::serverList, unlessTesting(a, [&a] { chooseFolder(a); })),
        frame::onClose(mainWindow, unlessTesting(a, [&a] { a.program.close(); })),
        frame::onMenu(ids::menuQuit, unlessTesting(a, [&a] { a.program.close(); })),
        frame::onMenu(ids::menuSite, unlessTesting(a, [&a] { frame::openInBrowser(a.ui(), frame::officialSiteAddress()); })),
        frame::onMenu(ids::menuForum, unlessTesting(a, [&a] { frame::openInBrowser(a.ui(), frame::forumAddress()); })),
        frame::onMenu(ids::menuAbout, unlessTesting(a, [&f] { frame::showAboutWindow(f); })),
    });
    return app->program.run();
}

}  // namespace velmo::locator
