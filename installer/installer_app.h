// Everything the installer's threads share: the UI, the window numbers, the manifest, the
// texts built once at start, and the flags the main loop and the workers exchange.
#pragma once
#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "frame/tool_frame.h"
#include "installer/guestbook_manifest.h"
#include "settings/connection_settings.h"
#include "ui/ui.h"

namespace velmo::installer {

namespace ids {
// Windows.
constexpr int mainWindow = 0;
constexpr int linkGeneratorWindow = 56;
constexpr int aboutWindow = 70;
// Menu entries.
constexpr int menuLinkGenerator = 2, menuQuit = 3, menuApplyChmod = 4, menuRestoreChmod = 5,
              menuSite = 6, menuForum = 7, menuAbout = 8;
// Main window controls.
constexpr int heading = 9, addressFrame = 10, addressField = 13, userFrame = 14, userField = 16,
              passwordFrame = 17, passwordField = 19, folderFrame = 20, folderField = 25,
              optionsFrame = 26, chmodBox = 27, infoButton = 28, passiveBox = 29, portField = 30,
              portLabel = 31, treeList = 32, transferFrame = 33, currentLabel = 34, fileBar = 35,
              countLabel = 36, overallBar = 37, chmodFrame = 38, chmodTitle = 39,
              chmodStatus = 40, chmodBar = 41, validateButton = 42, cancelButton = 43;
// Link generator controls.
constexpr int linkField = 66, linkGenerateButton = 67, linkControl = 59, linkStayOnTop = 68;
}  // namespace ids

inline constexpr int installerSession = 44;
inline constexpr int installerReplyWaitLimitMs = 10000;
// A file the server keeps refusing is given up after this many attempts.
inline constexpr int maxSendAttempts = 5;

struct InstallerPictures {
    frame::FramePictures frame;
    ui::Image linkGeneratorIcon, chmodApplyIcon, chmodRestoreIcon, stayOnTop;
};
bool loadInstallerPictures(InstallerPictures& pictures);

struct InstallerApp {
    explicit InstallerApp(ui::Ui& u, const InstallerPictures& p);

    ui::Ui& ui;
    const InstallerPictures& pictures;
    frame::Frame frame;

    std::vector<ManifestFolder> manifest;
    std::string permissionHelpText;
    std::string connectionErrorText;
    // Windows Vista and 7 workstations animate progress bars toward a new value; there
    // the file bar uses a finer range and is set in three steps so it jumps at once.
    bool themedFileBar = false;

    // Main loop -> upload: "Annuler" pressed.
    std::atomic<int> stopRequested{0};
    // Upload: 0 once the user confirmed a stop.
    std::atomic<int> keepGoing{1};
    // Menu permission runs -> main loop.
    std::atomic<bool> writableModesApplied{false};
    std::atomic<bool> restrictedModesRestored{false};
    // The connection values of the last finished menu run, saved by the main loop.
    std::mutex permissionSettingsLock;
    ConnectionSettings permissionRunSettings;
    // One control-channel conversation at a time (menu runs and the upload's step).
    std::mutex controlChannelLock;
};

// Window table and the pieces of it that come and go.
void buildMainWindow(InstallerApp& app);
void setFormEnabled(InstallerApp& app, bool enabled);
void createChmodPanel(InstallerApp& app);       // group box 38, label 40, bar 41
void createMenuRunPanel(InstallerApp& app);     // title 39, label 40, bar 41
void removePermissionPanel(InstallerApp& app);  // 38 / 39, 40, 41, whichever stand
void setTreeRootLine(InstallerApp& app, const std::string& folder);
std::string buildPermissionHelpText();
std::string buildConnectionErrorText();

}  // namespace velmo::installer
