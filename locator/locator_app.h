// What the locator's window and its event handlers share: the UI, the numbers of the
// window and its controls, the pictures, the engine, and the listing the list shows.
#pragma once
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "frame/tool_frame.h"
#include "locator/locator_engine.h"
#include "locator/server_listing.h"
#include "ui/ui.h"

namespace velmo::locator {

namespace ids {
// Windows.
constexpr int mainWindow = 0;
constexpr int aboutWindow = 39;
// Menu entries.
constexpr int menuHelp = 2, menuQuit = 3, menuSite = 4, menuForum = 5, menuAbout = 6;
// Main window controls.
constexpr int addressField = 11, userField = 14, passwordField = 17, passiveBox = 19, portField = 20,
              serverList = 23, folderField = 27, helpButton = 28, connectButton = 29,
              cancelButton = 30, testButton = 31;
}  // namespace ids

// Row pictures of the list, by their index in its picture table.
constexpr int folderImage = 0, fileImage = 1;

struct LocatorPictures {
    frame::FramePictures frame;
    ui::Image help, folder, file;
};
// False when one of them is missing or does not decode (it is then shown without it).
bool loadLocatorPictures(LocatorPictures& pictures);

struct LocatorApp {
    LocatorApp(ui::Ui& u, const LocatorPictures& p);

    ui::Ui& ui;
    const LocatorPictures& pictures;
    frame::Frame frame;
    std::string helpText;
    std::string connectionErrorText;

    // Shared with the connect-and-list workers, which may outlive the window.
    std::shared_ptr<LocatorEngine> engine = std::make_shared<LocatorEngine>();
    // What the list shows; the window's thread only.
    ServerListing listing;

    // Tasks the workers hand to the window's thread, run by its loop on the Wake event.
    std::mutex tasksLock;
    std::vector<std::function<void()>> tasks;
};

// Builds the main window with its menu and controls (the help box comes before it).
void buildMainWindow(LocatorApp& app);
// The five connection controls: address, user ID, password, passive box, port.
void setConnectionFieldsEnabled(LocatorApp& app, bool enabled);
// Empties the list, then one row per folder and per file of `listing`, with its picture.
void showListing(LocatorApp& app, const ServerListing& listing);
std::string buildConnectionErrorText();

}  // namespace velmo::locator
