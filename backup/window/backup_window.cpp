// The backup window (number 1): the two lists the engine fills and marks, "Sauvegarder"
// that becomes "Fermer", and the engine's reporter that works on them.
#include "backup/window/backup_app.h"
#include "frame/notice_box.h"
#include "platform/worker.h"
#include "suite/messages.h"
#include "trust/tool_connection.h"

namespace velmo::backup {

using ui::ControlKind;
using ui::ControlSpec;

namespace {

void showButton(ui::Ui& u, const std::string& text) {
    u.setText(ids::backupWindow, ids::backupButton, text);
    u.setEnabled(ids::backupWindow, ids::backupButton, true);
}

// New last rows: each name, checked, not saved yet.
void addRows(ui::Ui& u, int list, const std::vector<std::string>& names) {
    for (const std::string& name : names) {
        const int row = u.addRow(ids::backupWindow, list, {name, notSavedStatus});
        u.setRowChecked(ids::backupWindow, list, row, true);
    }
}

// The checked rows of a list, in its order.
std::vector<ChosenSource> checkedRows(ui::Ui& u, int list) {
    std::vector<ChosenSource> chosen;
    const int rows = u.rowCount(ids::backupWindow, list);
    for (int row = 0; row < rows; ++row) {
        if (u.isRowChecked(ids::backupWindow, list, row))
            chosen.push_back({row, u.getCell(ids::backupWindow, list, row, 0)});
    }
    return chosen;
}

// The engine's view of one backup window. Every report becomes a task of the event loop's
// thread, which alone touches the windows and shows the boxes (modal for the windows only
// from there); it runs only while that window is still the open one: a worker may outlive
// its window (a login still running when the user closed it), and no later window may get
// its rows or its close request.
class WindowReporter final : public BackupReporter {
public:
    WindowReporter(std::shared_ptr<BackupApp> app, int window) : app_(std::move(app)), window_(window) {}

    void loggedIn() override {
        onWindow([](BackupApp& app, ui::Ui& u) {
            app.stage = WindowStage::Listing;
            u.clearRows(ids::backupWindow, ids::skinsList);
            u.clearRows(ids::backupWindow, ids::filesList);
        });
    }
    void loginFailed(ftp::Failure failure) override { failListing(connectionFailureNotice(failure)); }
    // Asked only while this window is still the open one.
    bool ask(const suite::Notice& question) override {
        return frame::askFromWorker(app_->program, question,
                                    [app = app_, window = window_] { return app->openWindowNumber == window; });
    }
    void listingFailed() override { failListing(listingFailedNotice()); }
    void sourcesListed(const BackupSources& sources) override {
        onWindow([sources](BackupApp& app, ui::Ui& u) {
            addRows(u, ids::skinsList, sources.skins);
            addRows(u, ids::filesList, sources.personalFiles);
            showButton(u, backupButtonText);
            app.stage = WindowStage::Ready;
        });
    }
    void skinStarted(int row) override { showStatus(ids::skinsList, row, inProgressStatus); }
    void skinProgress(int row, const BackupTally& skin) override { showStatus(ids::skinsList, row, skinStatus(skin)); }
    void personalFileEnded(int row, bool saved) override {
        showStatus(ids::filesList, row, saved ? savedStatus : failedStatus);
    }
    void backupEnded(const BackupOutcome& outcome) override {
        // Said even when the window went meanwhile; the button and the window only while
        // it is still this one.
        app_->program.post([app = app_, window = window_, outcome] {
            const bool mine = app->openWindowNumber == window;
            if (mine) app->stage = WindowStage::Done;
            frame::showNotice(app->ui(), closingNotice(outcome));
            if (!mine) return;
            showButton(app->ui(), closeButtonText);
            // Stopped from the close box (perhaps while this report waited for the
            // question to be answered): the user asked for the window to go.
            if (app->windowJob->stopRequested) closeBackupWindow(*app);
        });
    }

private:
    void onWindow(std::function<void(BackupApp&, ui::Ui&)> change) {
        app_->program.post([app = app_, window = window_, change = std::move(change)] {
            if (app->openWindowNumber == window) change(*app, app->ui());
        });
    }
    void showStatus(int list, int row, std::string status) {
        onWindow([list, row, status = std::move(status)](BackupApp&, ui::Ui& u) {
            u.setCell(ids::backupWindow, list, row, 1, status);
        });
    }
    // The listing ends with a box and the window closes: a new "Connexion" logs in again.
    void failListing(suite::Notice notice) {
        onWindow([notice = std::move(notice)](BackupApp& app, ui::Ui& u) {
            frame::showNotice(u, notice);
            closeBackupWindow(app);
        });
    }

    const std::shared_ptr<BackupApp> app_;
    const int window_;
};

std::vector<ControlSpec> backupWindowControls() {
    return {
        {28, ControlKind::GroupBox, 10, 10, 380, 170, "Skins"},
        ControlSpec{ids::skinsList, ControlKind::ReportList, 20, 30, 360, 140}
            .withColumns({{"Nom de dossier", 180}, {"Statut", 150}})
            .withRowCheckBoxes(),
        {30, ControlKind::GroupBox, 10, 190, 380, 250, "Fichiers"},
        ControlSpec{ids::filesList, ControlKind::ReportList, 20, 210, 360, 220}
            .withColumns({{"Nom de fichiers", 180}, {"Statut", 150}})
            .withRowCheckBoxes(),
        ControlSpec{ids::backupButton, ControlKind::Button, 125, 450, 152, 24, backupButtonText, ui::FontRole::None}
            .disabled(),
    };
}

// An engine step in a worker, for the window open now and its job; it waits for an earlier
// step that still runs, and keeps the program's state alive while it works.
void startEngineStep(BackupApp& app, std::function<void(BackupJob&, BackupReporter&)> step) {
    const std::shared_ptr<BackupApp> shared = app.shared_from_this();
    const std::shared_ptr<BackupJob> job = app.windowJob;
    const int window = app.openWindowNumber;
    worker::start([shared, job, window, step = std::move(step)] {
        std::lock_guard<std::mutex> lock(shared->engineLock);
        WindowReporter reporter(shared, window);
        step(*job, reporter);
    });
}

void startListing(BackupApp& app) {
    if (app.stage != WindowStage::Opened) return;
    app.stage = WindowStage::LoggingIn;
    startEngineStep(app, [](BackupJob& job, BackupReporter& reporter) { listBackupSources(job, reporter); });
}

void backupButtonPressed(BackupApp& app) {
    if (app.stage == WindowStage::Done) {
        closeBackupWindow(app);
        return;
    }
    if (app.stage != WindowStage::Ready) return;
    // What is ticked now is what is saved: the worker never reads the window.
    BackupChoice choice{checkedRows(app.ui(), ids::skinsList), checkedRows(app.ui(), ids::filesList)};
    // Busy from the press on: the window cannot be closed under a backup about to start.
    app.stage = WindowStage::BackingUp;
    app.ui().setEnabled(ids::backupWindow, ids::backupButton, false);
    startEngineStep(app, [choice = std::move(choice)](BackupJob& job, BackupReporter& reporter) {
        runBackup(job, choice, reporter);
    });
}

// The close box: ignored while the listing runs (it is short and bounded); during a
// backup, which may take long, the user may stop it. The backup's end waits for the
// answer (reports run between events), and then closes the window if it was stopped.
void closeBoxPressed(BackupApp& app) {
    // None: a close box clicked while the window was going (under its last box).
    if (app.stage == WindowStage::None || app.stage == WindowStage::Listing) return;
    if (app.stage != WindowStage::BackingUp) {
        closeBackupWindow(app);
        return;
    }
    if (frame::askNotice(app.ui(), {suite::titles::attention, stopQuestionText, suite::NoticeKind::Warning}))
        app.windowJob->stopRequested = true;
}

}  // namespace

void openBackupWindow(BackupApp& app) {
    ui::Ui& u = app.ui();
    // The login values from the fields; the folder stays the settings file's.
    const std::string folder = app.settings.guestbookFolder;
    app.settings = app.form.read(u, frame::FormTexts::Trimmed);
    app.settings.guestbookFolder = folder;
    const ConnectionSettings& s = app.settings;

    // The job lives with the window: the backup goes on from where its listing logged in.
    app.windowJob = std::make_shared<BackupJob>();
    app.windowJob->settings = s;
    app.openWindowNumber = ++app.windowsOpened;
    app.stage = WindowStage::Opened;
    if (!u.createWindow(ui::WindowSpec{ids::backupWindow, "Sauvegarde des dossiers et fichiers.", 400, 480},
                        backupWindowControls())) {
        app.openWindowNumber = 0;
        app.stage = WindowStage::None;
        return;
    }
    u.setWindowEnabled(ids::mainWindow, false);
}

void closeBackupWindow(BackupApp& app) {
    // Nothing more is saved for a window that is gone.
    if (app.windowJob) app.windowJob->stopRequested = true;
    app.openWindowNumber = 0;
    app.stage = WindowStage::None;
    app.ui().destroyWindow(ids::backupWindow);
    app.ui().setWindowEnabled(ids::mainWindow, true);
    frame::bringWindowToFront(app.ui(), ids::mainWindow);
}

std::vector<frame::Route> backupWindowRoutes(BackupApp& app) {
    // The routes live in the program, which the app owns: they hold it by address.
    BackupApp* a = &app;
    return {
        frame::onOpened(ids::backupWindow, [a] { startListing(*a); }),
        frame::onCommand(ids::backupButton, [a] { backupButtonPressed(*a); }, ids::backupWindow),
        frame::onClose(ids::backupWindow, [a] { closeBoxPressed(*a); }),
    };
}

}  // namespace velmo::backup
