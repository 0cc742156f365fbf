// The backup window (number 1): the two lists the engine fills and marks, "Sauvegarder"
// that becomes "Fermer", and the engine's reporter that works on them.
#include "backup/backup_engine.h"
#include "backup/backup_app.h"
#include "platform/text_codec.h"

namespace velmo::backup {

using ui::ControlKind;
using ui::ControlSpec;

namespace {

int listControl(SourceList list) { return list == SourceList::Skins ? ids::skinsList : ids::filesList; }

// The engine's view of one backup window. A worker may outlive its window (a login still
// running when the user closed it): once another window is open, or none, it changes
// nothing and says nothing, so that no later window gets its rows or its close request.
class WindowReporter : public BackupReporter {
public:
    WindowReporter(BackupApp& app, int window) : app_(app), ui_(app.ui), window_(window) {}

    void setBusy(bool busy) override {
        if (mine()) app_.busy = busy;
    }
    void loginFailed() override {
        if (!mine()) return;
        ui_.messageBox("Avertissement.", app_.connectionErrorText, ui::MessageIcon::Warning);
        app_.closeRequest = window_;
        ui_.wake(ids::mainWindow);
    }
    void clearSources() override {
        if (!mine()) return;
        ui_.clearRows(ids::backupWindow, ids::skinsList);
        ui_.clearRows(ids::backupWindow, ids::filesList);
    }
    void addSource(SourceList list, const std::string& name) override {
        if (!mine()) return;
        const int row = ui_.addRow(ids::backupWindow, listControl(list), {name, notSavedStatus});
        ui_.setRowChecked(ids::backupWindow, listControl(list), row, true);
    }
    void sourcesListed() override {
        if (mine()) ui_.setEnabled(ids::backupWindow, ids::backupButton, true);
    }
    void backupStarting() override { ui_.setEnabled(ids::backupWindow, ids::backupButton, false); }
    int sourceCount(SourceList list) override {
        return mine() ? ui_.rowCount(ids::backupWindow, listControl(list)) : 0;
    }
    bool sourceToSave(SourceList list, int row, std::string& name) override {
        if (!mine() || !ui_.isRowChecked(ids::backupWindow, listControl(list), row)) return false;
        name = ui_.getCell(ids::backupWindow, listControl(list), row, 0);
        return true;
    }
    void setSourceStatus(SourceList list, int row, const std::string& status) override {
        ui_.setCell(ids::backupWindow, listControl(list), row, 1, status);
    }
    void backupEnded(const BackupOutcome& outcome) override {
        const BackupSummary summary = summarize(outcome);
        const ui::MessageIcon icon = summary.kind == SummaryKind::Saved        ? ui::MessageIcon::Information
                                     : summary.kind == SummaryKind::Incomplete ? ui::MessageIcon::Warning
                                                                               : ui::MessageIcon::Error;
        ui_.messageBox(summary.title, summary.text, icon);
        ui_.setEnabled(ids::backupWindow, ids::backupButton, true);
        ui_.setText(ids::backupWindow, ids::backupButton, closeButtonText);
    }

private:
    bool mine() const { return app_.openWindowNumber == window_; }

    BackupApp& app_;
    ui::Ui& ui_;
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
void startEngineStep(const std::shared_ptr<BackupApp>& app,
                     std::function<void(BackupJob&, BackupReporter&)> step) {
    const std::shared_ptr<BackupJob> job = app->windowJob;
    const int window = app->openWindowNumber;
    startWorker([app, job, window, step = std::move(step)] {
        std::lock_guard<std::mutex> lock(app->engineLock);
        WindowReporter reporter(*app, window);
        step(*job, reporter);
    });
}

}  // namespace

void openBackupWindow(BackupApp& app) {
    ui::Ui& u = app.ui;
    ConnectionSettings& s = app.settings;
    s.serverAddress = text::trimBlanks(u.getText(ids::mainWindow, ids::addressField));
    s.userId = text::trimBlanks(u.getText(ids::mainWindow, ids::userField));
    s.password = text::trimBlanks(u.getText(ids::mainWindow, ids::passwordField));
    s.passiveFlag = u.isChecked(ids::mainWindow, ids::passiveBox) ? 1 : 0;
    s.port = portFromFieldText(u.getText(ids::mainWindow, ids::portField));

    // The job lives with the window: the backup goes on from where its listing logged in.
    app.windowJob = std::make_shared<BackupJob>();
    app.windowJob->settings = s;
    app.openWindowNumber = ++app.windowsOpened;
    app.listingStarted = false;
    app.busy = false;
    if (!u.createWindow(ui::WindowSpec{ids::backupWindow, "Sauvegarde des dossiers et fichiers.", 400, 480},
                        backupWindowControls())) {
        app.openWindowNumber = 0;
        return;
    }
    u.setWindowEnabled(ids::mainWindow, false);
}

void closeBackupWindow(BackupApp& app) {
    app.openWindowNumber = 0;
    app.ui.destroyWindow(ids::backupWindow);
    app.ui.setWindowEnabled(ids::mainWindow, true);
    frame::bringWindowToFront(app.ui, ids::mainWindow);
    app.listingStarted = false;
}

void serviceBackupWindow(const std::shared_ptr<BackupApp>& app) {
    if (!app->ui.windowExists(ids::backupWindow)) return;
    if (!app->listingStarted) {
        app->listingStarted = true;
        startEngineStep(app, [](BackupJob& job, BackupReporter& reporter) { listBackupSources(job, reporter); });
    }
    const int request = app->closeRequest.exchange(0);
    if (request != 0 && request == app->openWindowNumber) closeBackupWindow(*app);
}

void backupButtonPressed(const std::shared_ptr<BackupApp>& app) {
    if (app->ui.getText(ids::backupWindow, ids::backupButton) != backupButtonText) {
        closeBackupWindow(*app);
        return;
    }
    // Busy from the press on: the window cannot be closed under a backup about to start.
    app->busy = true;
    app->ui.setEnabled(ids::backupWindow, ids::backupButton, false);
    startEngineStep(app, [](BackupJob& job, BackupReporter& reporter) { runBackup(job, reporter); });
}

}  // namespace velmo::backup
