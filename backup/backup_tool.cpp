#include "backup/backup_tool.h"

#include <memory>

#include "backup/backup_app.h"
#include "ftp/ftp_session.h"

namespace velmo::backup {

namespace {

using ui::EventKind;

void handleMenu(BackupApp& app, int entry, bool& quit) {
    switch (entry) {
    case ids::menuQuit:
        frame::returnToLauncher(app.ui);
        quit = true;
        break;
    case ids::menuSite: frame::openInBrowser(app.ui, frame::officialSiteAddress()); break;
    case ids::menuForum: frame::openInBrowser(app.ui, frame::forumAddress()); break;
    case ids::menuAbout: frame::showAboutWindow(app.frame); break;
    default: break;
    }
}

// One event; false once the program ends.
bool handleEvent(const std::shared_ptr<BackupApp>& app, const ui::Event& e) {
    if (e.kind == EventKind::Quit) return false;
    if (frame::handleAboutEvent(app->frame, e)) return true;
    bool quit = false;
    if (e.windowId == ids::backupWindow) {
        if (e.kind == EventKind::Close && !app->busy) closeBackupWindow(*app);
        if (e.kind == EventKind::Command && e.controlId == ids::backupButton) backupButtonPressed(app);
    } else if (e.windowId == ids::mainWindow) {
        if (e.kind == EventKind::Close) {
            frame::returnToLauncher(app->ui);
            quit = true;
        }
        if (e.kind == EventKind::Menu) handleMenu(*app, e.controlId, quit);
        if (e.kind == EventKind::Command && e.controlId == ids::connectButton) openBackupWindow(*app);
    }
    return !quit;
}

}  // namespace

int runBackupTool(ui::Ui& ui) {
    // The pictures are referenced by the window tables and the workers may outlive this
    // function: both are shared with them.
    auto pictures = std::make_shared<frame::FramePictures>();
    frame::loadFramePictures(*pictures);  // a picture that does not decode only loses its icon
    std::shared_ptr<BackupApp> app(new BackupApp(ui, *pictures), [pictures](BackupApp* a) { delete a; });
    ftp::startSessions();

    buildMainWindow(*app);
    if (!ui.windowExists(ids::mainWindow)) return 1;
    if (!loadSettingsIntoForm(*app)) ui.messageBox("Attention", missingSettingsText, ui::MessageIcon::Error);

    for (;;) {
        const ui::Event e = ui.waitEvent();
        // Flags raised by the workers are acted on before the event itself.
        serviceBackupWindow(app);
        if (!handleEvent(app, e)) break;
    }
    ui.destroyWindow(ids::aboutWindow);
    ui.destroyWindow(ids::backupWindow);
    ui.destroyWindow(ids::mainWindow);
    return 0;
}

}  // namespace velmo::backup
