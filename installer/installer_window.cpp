#include "installer/installer_window.h"

#include <memory>
#include <string>
#include <vector>

#include "frame/tool_frame.h"
#include "ftp/ftp_session.h"
#include "installer/installer_app.h"
#include "installer/link_generator.h"
#include "installer/permission_runs.h"
#include "installer/upload_engine.h"
#include "platform/fs.h"
#include "platform/process.h"
#include "platform/text_codec.h"
#include "settings/connection_settings.h"

namespace velmo::installer {

namespace {

using ui::EventKind;
using ui::MessageIcon;

// Vista (6.0) and 7 (6.1) workstations draw themed bars that glide toward a new value.
bool hasGlidingProgressBars() {
    const process::OsVersion v = process::osVersion();
    return v.workstation && v.major == 6 && (v.minor == 0 || v.minor == 1);
}

void fillTreeList(InstallerApp& app) {
    std::vector<std::string> lines;
    app.manifest = scanManifest(lines);
    for (const std::string& line : lines) app.ui.addLine(ids::mainWindow, ids::treeList, line);
}

void loadSettingsIntoForm(InstallerApp& app) {
    // A missing file or key simply gives the installer's defaults.
    const ConnectionSettings s = loadConnectionSettings(Tool::Installer).settings;
    ui::Ui& u = app.ui;
    u.setText(ids::mainWindow, ids::addressField, s.serverAddress);
    u.setText(ids::mainWindow, ids::userField, s.userId);
    u.setChecked(ids::mainWindow, ids::chmodBox, s.permissionFlag == 1);
    u.setChecked(ids::mainWindow, ids::passiveBox, s.passiveFlag == 1);
    u.setText(ids::mainWindow, ids::portField, std::to_string(s.port));
    u.setText(ids::mainWindow, ids::folderField, s.guestbookFolder);
    setTreeRootLine(app, s.guestbookFolder);
    if (s.permissionFlag == 1) createChmodPanel(app);
}

void showPermissionHelp(InstallerApp& app) {
    app.ui.messageBox("Information.", app.permissionHelpText, MessageIcon::Information);
}

void openLinkGeneratorFromMenu(InstallerApp& app) {
    if (readTransferFlag() == 0) {
        app.ui.messageBox("Information.", noLinkBeforeUploadText, MessageIcon::Warning);
        return;
    }
    app.ui.setWindowEnabled(ids::mainWindow, false);
    openLinkGenerator(app);
}

// "Valider": the form is frozen with its trimmed texts, which the upload thread reads.
void startUpload(const std::shared_ptr<InstallerApp>& app) {
    ui::Ui& u = app->ui;
    u.setEnabled(ids::mainWindow, ids::validateButton, false);
    setFormEnabled(*app, false);
    for (int id : {ids::addressField, ids::userField, ids::passwordField, ids::folderField})
        u.setText(ids::mainWindow, id, text::trimBlanks(u.getText(ids::mainWindow, id)));
    // The worker shares ownership of the state: the program does not wait for it when
    // the window is closed, and what it works on must outlive it.
    startWorker([app] { runTransfer(*app); });
}

void folderFieldEvent(InstallerApp& app) {
    std::string folder = app.ui.getText(ids::mainWindow, ids::folderField);
    if (folder.find('/') != std::string::npos) {
        app.ui.messageBox("ATTENTION.", subFolderWarningText, MessageIcon::Warning);
        std::erase(folder, '/');
        app.ui.setText(ids::mainWindow, ids::folderField, folder);
    }
    setTreeRootLine(app, folder);
}

void chmodBoxClicked(InstallerApp& app) {
    if (app.ui.isChecked(ids::mainWindow, ids::chmodBox)) {
        createChmodPanel(app);
        showPermissionHelp(app);
    } else {
        removePermissionPanel(app);
    }
}

// One event of the main window (or of the About window); false once the program ends.
bool handleEvent(const std::shared_ptr<InstallerApp>& appPtr, const ui::Event& e) {
    InstallerApp& app = *appPtr;
    if (e.kind == EventKind::Quit) return false;
    if (frame::handleAboutEvent(app.frame, e)) return true;
    if (e.windowId != ids::mainWindow) return true;

    switch (e.kind) {
    case EventKind::Close:
        frame::returnToLauncher(app.ui);
        return false;
    case EventKind::Menu:
        switch (e.controlId) {
        case ids::menuLinkGenerator: openLinkGeneratorFromMenu(app); break;
        case ids::menuQuit: frame::returnToLauncher(app.ui); return false;
        case ids::menuApplyChmod: startPermissionRun(app, PermissionAction::ApplyWritable); break;
        case ids::menuRestoreChmod: startPermissionRun(app, PermissionAction::RestoreRestricted); break;
        case ids::menuSite: frame::openInBrowser(app.ui, frame::officialSiteAddress()); break;
        case ids::menuForum: frame::openInBrowser(app.ui, frame::forumAddress()); break;
        case ids::menuAbout: frame::showAboutWindow(app.frame); break;
        default: break;
        }
        return true;
    case EventKind::Command:
    case EventKind::Changed:
        switch (e.controlId) {
        case ids::validateButton: startUpload(appPtr); break;
        case ids::cancelButton: app.stopRequested = 1; break;
        case ids::folderField: folderFieldEvent(app); break;
        case ids::chmodBox: chmodBoxClicked(app); break;
        case ids::infoButton: showPermissionHelp(app); break;
        default: break;
        }
        return true;
    default:
        return true;
    }
}

}  // namespace

int runInstaller(ui::Ui& ui) {
    // Decoded pictures are referenced by the window tables and the app for the whole run;
    // the upload thread may outlive this function, so both are shared with it.
    auto pictures = std::make_shared<InstallerPictures>();
    loadInstallerPictures(*pictures);  // a picture that does not decode only loses its icon
    std::shared_ptr<InstallerApp> app(new InstallerApp(ui, *pictures),
                                      [pictures](InstallerApp* a) { delete a; });
    app->keepGoing = 1;
    app->permissionHelpText = buildPermissionHelpText();
    app->connectionErrorText = buildConnectionErrorText();
    app->writableModesApplied = false;
    app->restrictedModesRestored = false;
    app->themedFileBar = hasGlidingProgressBars();
    ftp::startSessions();  // networking, for the sessions and the control channel alike

    if (!fs::isDirectory("livre-dor")) {
        ui.messageBox("ATTENTION.", missingGuestbookText, MessageIcon::Error);
        return 1;
    }

    buildMainWindow(*app);
    if (!ui.windowExists(ids::mainWindow)) return 1;
    fillTreeList(*app);
    loadSettingsIntoForm(*app);

    for (;;) {
        const ui::Event e = ui.waitEvent();
        // Finished menu permission runs are acted on before the event itself.
        actOnPermissionCompletion(*app);
        if (!handleEvent(app, e)) break;
    }
    ui.destroyWindow(ids::aboutWindow);
    ui.destroyWindow(ids::mainWindow);
    return 0;
}

}  // namespace velmo::installer
