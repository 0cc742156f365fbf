#include "installer/window/installer_window.h"

#include <memory>
#include <string>
#include <vector>

#include "frame/program.h"
#include "ftp/ftp_session.h"
#include "installer/window/installer_app.h"
#include "installer/window/link_generator.h"
#include "installer/window/window_runs.h"
#include "platform/fs.h"
#include "platform/process.h"
#include "settings/connection_settings.h"
#include "suite/messages.h"
#include "suite/paths.h"

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
    for (const std::string& line : lines) app.ui().addLine(ids::mainWindow, ids::treeList, line);
}

void loadSettingsIntoForm(InstallerApp& app) {
    // A missing file or key simply gives the installer's defaults.
    const ConnectionSettings s = loadConnectionSettings(Tool::Installer).settings;
    connectionForm().fill(app.ui(), s);
    setTreeRootLine(app.ui(), s.guestbookFolder);
    if (s.permissionFlag == 1) createChmodPanel(app.ui());
}

void showPermissionHelp(InstallerApp& app) {
    app.ui().messageBox(suite::titles::information, app.permissionHelpText, MessageIcon::Information);
}

// From the menu the link is built below the folder the settings file names, once it says
// the guestbook was sent.
void openLinkGeneratorFromMenu(InstallerApp& app) {
    const ConnectionSettingsLoad stored = loadConnectionSettings(Tool::Installer);
    if (stored.transferFlag == 0) {
        app.ui().messageBox(suite::titles::information, noLinkBeforeUploadText, MessageIcon::Warning);
        return;
    }
    openLinkGenerator(app, stored.settings.guestbookFolder);
}

void folderFieldEvent(InstallerApp& app) {
    std::string folder = app.ui().getText(ids::mainWindow, ids::folderField);
    if (folder.find('/') != std::string::npos) {
        app.ui().messageBox(suite::titles::attentionCaps, subFolderWarningText, MessageIcon::Warning);
        std::erase(folder, '/');
        app.ui().setText(ids::mainWindow, ids::folderField, folder);
    }
    setTreeRootLine(app.ui(), folder);
}

void chmodBoxClicked(InstallerApp& app) {
    if (app.ui().isChecked(ids::mainWindow, ids::chmodBox)) {
        createChmodPanel(app.ui());
        showPermissionHelp(app);
    } else {
        removePermissionPanel(app.ui());
    }
}

// The main window's routes; "Quitter", the site, the forum, "A propos" and the close box
// are the frame's. They hold the app by plain reference: it owns them, and outlives its
// loop; what starts a worker hands it a shared pointer.
std::vector<frame::Route> mainWindowRoutes(InstallerApp& app) {
    InstallerApp* a = &app;
    return {
        // The window is shown: the tree list and the stored settings go in.
        frame::onOpened(ids::mainWindow, [a] {
            fillTreeList(*a);
            loadSettingsIntoForm(*a);
        }),
        frame::onMenu(ids::menuLinkGenerator, [a] { openLinkGeneratorFromMenu(*a); }),
        frame::onMenu(ids::menuApplyChmod,
                      [a] { startPermissionRun(a->shared_from_this(), PermissionAction::ApplyWritable); }),
        frame::onMenu(ids::menuRestoreChmod,
                      [a] { startPermissionRun(a->shared_from_this(), PermissionAction::RestoreRestricted); }),
        frame::onCommand(ids::validateButton, [a] { startUpload(a->shared_from_this()); }),
        frame::onCommand(ids::cancelButton, [a] { a->stopRequested = true; }),
        frame::onChanged(ids::folderField, [a] { folderFieldEvent(*a); }),
        frame::onCommand(ids::chmodBox, [a] { chmodBoxClicked(*a); }),
        frame::onCommand(ids::infoButton, [a] { showPermissionHelp(*a); }),
    };
}

}  // namespace

int runInstaller(ui::Ui& ui) { return runInstaller(makeInstaller(ui, hasGlidingProgressBars())); }

InstallerApp::InstallerApp(ui::Ui& ui, bool themed)
    : pictures(loadedInstallerPictures()),  // a picture that does not decode only loses its icon
      themedFileBar(themed),
      program(ui, mainWindowDescription(pictures, themedFileBar)),
      permissionHelpText(buildPermissionHelpText()) {
    program.addRoutes(mainWindowRoutes(*this));
    program.addRoutes(linkGeneratorRoutes(*this));
}

std::shared_ptr<InstallerApp> makeInstaller(ui::Ui& ui, bool themedFileBar) {
    return std::make_shared<InstallerApp>(ui, themedFileBar);
}

int runInstaller(const std::shared_ptr<InstallerApp>& app) {
    ui::Ui& ui = app->ui();
    ftp::startSessions();  // networking, for the sessions and the control channel alike
    if (!fs::isDirectory(suite::localGuestbookFolder)) {
        ui.messageBox(suite::titles::attentionCaps, missingGuestbookText, MessageIcon::Error);
        return 1;
    }
    const int result = app->program.run();
    // Closed with the program (or never opened): a generator left standing goes too.
    ui.destroyWindow(ids::linkGeneratorWindow);
    return result;
}

}  // namespace velmo::installer
