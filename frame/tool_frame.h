// What every program of the suite shares: the common menu entries, the About window, the
// browser links, the way back to the launcher, and the message-box wording.
#pragma once
#include <string>

#include "ui/image.h"
#include "ui/ui.h"

namespace velmo::frame {

// The four pictures of the frame, decoded from the program's embedded PNGs at start.
struct FramePictures {
    ui::Image quitIcon;      // 16 x 16, "Quitter"
    ui::Image linkIcon;      // 16 x 16, site and forum entries
    ui::Image aboutIcon;     // 16 x 16, "A propos"
    ui::Image aboutPicture;  // 80 x 95, left of the About window
};
// False when one of them is missing or does not decode.
bool loadFramePictures(FramePictures& pictures);

// Per-program numbers and texts of the About window.
struct AboutInfo {
    int windowId, pictureId, titleId, authorId, versionId, linkId;
    std::string titleLine;    // "Velmo Menu - A propos"
    std::string versionLine;  // "Velmo Menu - Version : 1.0.1"
};

// "http://<site host>/index.php" and "http://<forum host>/phpbb/".
std::string officialSiteAddress();
std::string forumAddress();

// The program's UI and main window, which the frame operations work on.
struct Frame {
    ui::Ui& ui;
    const FramePictures& pictures;
    AboutInfo about;
    int mainWindowId = 0;
};

// startProgram of the address; "Impossible d'ouvrir le navigateur." under "Attention."
// (no icon) when nothing started.
void openInBrowser(ui::Ui& ui, const std::string& address);

// Disables the main window and opens the About window above all others.
void showAboutWindow(const Frame& frame);
// Closes it, enables the main window and brings it to the front.
void closeAboutWindow(const Frame& frame);

// For a program's event loop: handles the About window's events (its close box:
// closeAboutWindow; its link: openInBrowser of the official site). True when the event
// belonged to the About window, so the loop has nothing more to do with it.
bool handleAboutEvent(const Frame& frame, const ui::Event& event);

// Starts "../Velmo_Menu.exe" in "../" when it is present, otherwise says the program
// will close. The caller then ends its loop.
void returnToLauncher(ui::Ui& ui);

// The common menu entries' texts, and the entries with their icons for a program's menu
// table (frame/program.h has them as menu items the skeleton routes itself).
inline constexpr const char* quitEntryText = "Quitter";
inline constexpr const char* siteEntryText = "Site de Velmo, livre d'or";
inline constexpr const char* forumEntryText = "Forum de Velmo, livre d'or";
inline constexpr const char* aboutEntryText = "A propos";

// Bring a window to the front the suite's way: stay on top, 50 ms, ordinary again.
void bringWindowToFront(ui::Ui& ui, int windowId);

}  // namespace velmo::frame
