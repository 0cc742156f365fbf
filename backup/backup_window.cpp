// The backup window (number 1): the two lists the engine fills and marks, "Sauvegarder"
// that becomes "Fermer", and the engine's reporter that works on them.
#include "backup/backup_app.h"
#include "frame/notice_box.h"
#include "platform/worker.h"
#include "suite/messages.h"

namespace velmo::backup {

using ui::ControlKind;
using ui::ControlSpec;

namespace {

int listControl(SourceList list) { return list == SourceList::Skins ? ids::skinsList : ids::filesList; }

void showButton(ui::Ui& u, const std::string& text) {
    u.setText(ids::backupWindow, ids::backupButton, text);
    u.setEnabled(ids::backupWindow, ids::backupButton, true);
}

// The engine's view of one backup window. Changes to the window run in the event loop's
// thread and only while that window is the open one: a worker may outlive its window (a
// login still running when the user closed it), and no later window may get its rows or
// its close request. Boxes are shown there too, so that they are modal for the windows.
// The worker still reads the lists itself.
class WindowReporter : public BackupReporter {
public:
    WindowReporter(std::shared_ptr<BackupApp> app, int window) : app_(std::move(app)), window_(window) {}

    void setBusy(bool busy) override {
        if (mine()) app_->busy = busy;
    }
    void loginFailed() override { failListing(suite::connectionFailedNotice()); }
    void listingFailed() override { failListing(listingFailedNotice()); }
    void clearSources() override {
        onWindow([](BackupApp&, ui::Ui& u) {
            u.clearRows(ids::backupWindow, ids::skinsList);
            u.clearRows(ids::backupWindow, ids::filesList);
        });
    }
    void addSource(SourceList list, const std::string& name) override {
        onWindow([list, name](BackupApp&, ui::Ui& u) {
            const int row = u.addRow(ids::backupWindow, listControl(list), {name, notSavedStatus});
            u.setRowChecked(ids::backupWindow, listControl(list), row, true);
        });
    }
    void sourcesListed() override { enableButton(backupButtonText); }
    void backupStarting() override {
        onWindow([](BackupApp&, ui::Ui& u) { u.setEnabled(ids::backupWindow, ids::backupButton, false); });
    }
    int sourceCount(SourceList list) override {
        return mine() ? ui().rowCount(ids::backupWindow, listControl(list)) : 0;
    }
    bool sourceToSave(SourceList list, int row, std::string& name) override {
        if (!mine() || !ui().isRowChecked(ids::backupWindow, listControl(list), row)) return false;
        name = ui().getCell(ids::backupWindow, listControl(list), row, 0);
        return true;
    }
    void setSourceStatus(SourceList list, int row, const std::string& status) override {
        onWindow([list, row, status](BackupApp&, ui::Ui& u) {
            u.setCell(ids::backupWindow, listControl(list), row, 1, status);
        });
    }
    void backupEnded(const BackupOutcome& outcome) override {
        // Said even when the window went meanwhile; the button and the window only while
        // it is still this one.
        app_->program.post([app = app_, window = window_, outcome] {
            frame::showNotice(app->ui(), closingNotice(outcome));
            if (app->openWindowNumber != window) return;
            showButton(app->ui(), closeButtonText);
            // Stopped from the close box: the user asked for the window to go.
            if (outcome.stopped) closeBackupWindow(*app);
        });
    }

private:
    bool mine() const { return app_->openWindowNumber == window_; }
    ui::Ui& ui() const { return app_->ui(); }

    void onWindow(std::function<void(BackupApp&, ui::Ui&)> change) {
        app_->program.post([app = app_, window = window_, change = std::move(change)] {
            if (app->openWindowNumber == window) change(*app, app->ui());
        });
    }
    void enableButton(std::string text) {
        onWindow([text = std::move(text)](BackupApp&, ui::Ui& u) { showButton(u, text); });
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
    if (app.listingStarted.exchange(true)) return;
    startEngineStep(app, [](BackupJob& job, BackupReporter& reporter) { listBackupSources(job, reporter); });
}

void backupButtonPressed(BackupApp& app) {
    if (app.ui().getText(ids::backupWindow, ids::backupButton) != backupButtonText) {
        closeBackupWindow(app);
        return;
    }
    // Busy from the press on: the window cannot be closed under a backup about to start.
    app.busy = true;
    app.backupStarted = true;
    app.ui().setEnabled(ids::backupWindow, ids::backupButton, false);
    startEngineStep(app, [](BackupJob& job, BackupReporter& reporter) { runBackup(job, reporter); });
}

// The close box: ignored while the listing runs (it is short and bounded); during a
// backup, which may take long, the user may stop it.
void closeBoxPressed(BackupApp& app) {
    if (!app.busy) {
        closeBackupWindow(app);
        return;
    }
    if (!app.backupStarted) return;
    const std::shared_ptr<BackupJob> job = app.windowJob;
    if (!frame::askNotice(app.ui(), {suite::titles::attention, stopQuestionText, suite::NoticeKind::Warning})) return;
    job->stopRequested = true;
    // Ended while the question was open: nothing left to stop, the window goes now.
    if (!app.busy && app.windowJob == job) closeBackupWindow(app);
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
    app.listingStarted = false;
    app.busy = false;
    app.backupStarted = false;
    if (!u.createWindow(ui::WindowSpec{ids::backupWindow, "Sauvegarde des dossiers et fichiers.", 400, 480},
                        backupWindowControls())) {
        app.openWindowNumber = 0;
        return;
    }
    u.setWindowEnabled(ids::mainWindow, false);
}

void closeBackupWindow(BackupApp& app) {
    app.openWindowNumber = 0;
    app.ui().destroyWindow(ids::backupWindow);
    app.ui().setWindowEnabled(ids::mainWindow, true);
    frame::bringWindowToFront(app.ui(), ids::mainWindow);
    app.listingStarted = false;
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
