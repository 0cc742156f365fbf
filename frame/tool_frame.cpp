#include "frame/tool_frame.h"

#include <chrono>
#include <thread>
#include <vector>

#include "assets/embedded_pictures.h"
#include "deployment.h"
#include "platform/fs.h"
#include "platform/process.h"
#include "suite/messages.h"
#include "suite/paths.h"

namespace velmo::frame {

bool loadFramePictures(FramePictures& pictures) {
    // Every picture is tried, so a single broken one still leaves the others usable.
    bool ok = assets::loadEmbeddedPicture("quit_16", pictures.quitIcon);
    ok = assets::loadEmbeddedPicture("link_16", pictures.linkIcon) && ok;
    ok = assets::loadEmbeddedPicture("about_16", pictures.aboutIcon) && ok;
    ok = assets::loadEmbeddedPicture("about_picture_80x95", pictures.aboutPicture) && ok;
    return ok;
}

std::string officialSiteAddress() {
    return std::string("http://") + deployment::siteHost + "/index.php";
}

std::string forumAddress() { return std::string("http://") + deployment::forumHost + "/phpbb/"; }

void openInBrowser(ui::Ui& ui, const std::string& address) {
    if (!process::startProgram(address, "", ""))
        ui.messageBox(suite::titles::attention, "Impossible d'ouvrir le navigateur.", ui::MessageIcon::None);
}

namespace {

std::vector<ui::ControlSpec> aboutControls(const Frame& frame) {
    using ui::ControlKind;
    using ui::FontRole;
    const AboutInfo& a = frame.about;
    std::vector<ui::ControlSpec> controls{
        ui::ControlSpec{a.pictureId, ControlKind::Picture, 4, 4, 80, 95, "", FontRole::None}
            .withImage(frame.pictures.aboutPicture),
        ui::ControlSpec{a.titleId, ControlKind::Label, 88, 2, 280, 16, a.titleLine}.centred(),
        ui::ControlSpec{a.authorId, ControlKind::Label, 95, 24, 315, 16,
                        std::string("Créé par ") + deployment::authorContact},
        ui::ControlSpec{a.versionId, ControlKind::Label, 95, 42, 315, 16, a.versionLine},
        ui::ControlSpec{a.linkId, ControlKind::Link, 170, 70, 180, 24, ".: Aller sur le site :.",
                        FontRole::Large10}
            .linkColours({0, 0, 0}, {255, 0, 0}),
    };
    return controls;
}

}  // namespace

void showAboutWindow(const Frame& frame) {
    // The main window is disabled while it is open, so this is not reached twice; a
    // second call only brings the open window forward.
    if (frame.ui.windowExists(frame.about.windowId)) {
        frame.ui.bringToFront(frame.about.windowId);
        return;
    }
    frame.ui.setWindowEnabled(frame.mainWindowId, false);
    ui::WindowSpec window;
    window.id = frame.about.windowId;
    window.title = "A propos.";
    window.clientWidth = 380;
    window.clientHeight = 103;
    window.topmost = true;
    if (!frame.ui.createWindow(window, aboutControls(frame))) {
        // Without an About window nothing could enable the main window again.
        frame.ui.setWindowEnabled(frame.mainWindowId, true);
    }
}

void closeAboutWindow(const Frame& frame) {
    frame.ui.destroyWindow(frame.about.windowId);
    frame.ui.setWindowEnabled(frame.mainWindowId, true);
    bringWindowToFront(frame.ui, frame.mainWindowId);
}

bool handleAboutEvent(const Frame& frame, const ui::Event& event) {
    if (event.windowId != frame.about.windowId) return false;
    if (event.kind == ui::EventKind::Close)
        closeAboutWindow(frame);
    else if (event.kind == ui::EventKind::Command && event.controlId == frame.about.linkId)
        openInBrowser(frame.ui, officialSiteAddress());
    return true;
}

void returnToLauncher(ui::Ui& ui) {
    if (fs::fileIsPresent(suite::launcherProgram)) {
        process::startProgram(suite::launcherProgram, "", suite::launcherFolder);
        return;
    }
    ui.messageBox(suite::titles::information,
                  "Impossible de retourner au menu général.\r\n\r\nLe programme va donc se fermer.",
                  ui::MessageIcon::Warning);
}

void bringWindowToFront(ui::Ui& ui, int windowId) {
    ui.setTopmost(windowId, true);
    ui.bringToFront(windowId);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ui.setTopmost(windowId, false);
}

}  // namespace velmo::frame
