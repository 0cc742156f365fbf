#include "installer/installer_window.h"

#include <memory>
#include <string>
#include <vector>

#include "frame/tool_frame.h"
#include "installer/installer_app.h"
#include "installer/link_generator.h"
#include "installer/window_runs.h"
#include "platform/fs.h"
#include "platform/net.h"
#include "platform/process.h"
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
    app.manifest = std::make_shared<const std::vector<ManifestFolder>>(scanManifest(lines));
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
    setTreeRootLine(u, s.guestbookFolder);
    if (s.permissionFlag == 1) createChmodPanel(u);
}

void showPermissionHelp(InstallerApp& app) {
    app.ui.messageBox("Information.", app.permissionHelpText, MessageIcon::Information);
}

void openLinkGeneratorFromMenu(InstallerApp& app) {
    if (readTransferFlag() == 0) {
        app.ui.messageBox("Information.", noLinkBeforeUploadText, MessageIcon::Warning);
        return;
    }
    openLinkGenerator(app);
}

void folderFieldEvent(InstallerApp& app) {
    std::string folder = app.ui.getText(ids::mainWindow, ids::folderField);
    if (folder.find('/') != std::string::npos) {
        app.ui.messageBox("ATTENTION.", subFolderWarningText, MessageIcon::Warning);
        std::erase(folder, '/');
        app.ui.setText(ids::mainWindow, ids::folderField, folder);
    }
    setTreeRootLine(app.ui, folder);
}

void chmodBoxClicked(InstallerApp& app) {
    if (app.ui.isChecked(ids::mainWindow, ids::chmodBox)) {
        createChmodPanel(app.ui);
        showPermissionHelp(app);
    } else {
        removePermissionPanel(app.ui);
    }
}

// One event of the program's windows; false once the program ends.
bool handleEvent(const std::shared_ptr<InstallerApp>& appPtr, const ui::Event& e) {
    InstallerApp& app = *appPtr;
    if (e.kind == EventKind::Quit) return false;
    if (frame::handleAboutEvent(app.frame, e)) return true;
    if (handleLinkGeneratorEvent(app, e)) return true;
    if (e.windowId != ids::mainWindow) return true;

    switch (e.kind) {
    case EventKind::Close:
        frame::returnToLauncher(app.ui);
        return false;
    case EventKind::Menu:
        switch (e.controlId) {
        case ids::menuLinkGenerator: openLinkGeneratorFromMenu(app); break;
        case ids::menuQuit: frame::returnToLauncher(app.ui); return false;
        case ids::menuApplyChmod: startPermissionRun(appPtr, PermissionAction::ApplyWritable); break;
        case ids::menuRestoreChmod: startPermissionRun(appPtr, PermissionAction::RestoreRestricted); break;
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
        case ids::cancelButton: app.stopRequested = true; break;
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

int runInstaller(ui::Ui& ui) { return runInstaller(ui, hasGlidingProgressBars()); }

int runInstaller(ui::Ui& ui, bool themedFileBar) {
    const std::shared_ptr<InstallerApp> app = startInstaller(ui, themedFileBar);
    if (!app) return 1;
    runMainLoop(app);
    return 0;
}

std::shared_ptr<InstallerApp> startInstaller(ui::Ui& ui, bool themedFileBar) {
    // Shared with every worker the loop starts: they may outlive the loop.
    auto app = std::make_shared<InstallerApp>(ui, themedFileBar);
    loadInstallerPictures(app->pictures);  // a picture that does not decode only loses its icon
    app->permissionHelpText = buildPermissionHelpText();
    net::startNetworking();

    if (!fs::isDirectory("livre-dor")) {
        ui.messageBox("ATTENTION.", missingGuestbookText, MessageIcon::Error);
        return nullptr;
    }
    buildMainWindow(*app);
    if (!ui.windowExists(ids::mainWindow)) return nullptr;
    fillTreeList(*app);
    loadSettingsIntoForm(*app);
    return app;
}

void runMainLoop(const std::shared_ptr<InstallerApp>& app) {
    ui::Ui& ui = app->ui;
    for (;;) {
        const ui::Event e = ui.waitEvent();
        // What finished runs handed over is done before the event itself.
        app->runPosted(app);
        if (!handleEvent(app, e)) break;
    }
    for (int window : {ids::linkGeneratorWindow, ids::aboutWindow, ids::mainWindow}) ui.destroyWindow(window);
}

}  // namespace velmo::installer
