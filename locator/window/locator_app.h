// What the locator's window and its event handlers share: the program on the frame's
// skeleton, the numbers of its controls, its pictures, the engine, and the listing the list
// shows.
#pragma once
#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "frame/connection_form.h"
#include "frame/program.h"
#include "locator/engine/locator_engine.h"
#include "locator/engine/server_listing.h"
#include "ui/ui.h"

namespace velmo::locator {

namespace ids {
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

// The locator's own pictures (the frame's four are the program's).
struct LocatorPictures {
    ui::Image help, folder, file;
};
// A picture that does not decode is left empty: its button, entry or rows go without it.
LocatorPictures loadLocatorPictures();

// Where the connection form's controls stand in the main window.
frame::ConnectionFormLayout locatorFormLayout();
// The main window's table (its own controls and the form's), menu and About window.
frame::ProgramDescription locatorDescription(const LocatorPictures& pictures, const frame::ConnectionForm& form);

// Lives as long as the window's thread or a worker (connect-and-list, folder test) uses it.
// It is made in a shared pointer by runLocator; the routes it owns reach it by plain
// reference, workers and the tasks they post hold a shared pointer copy.
struct LocatorApp : std::enable_shared_from_this<LocatorApp> {
    explicit LocatorApp(ui::Ui& ui);

    ui::Ui& ui() const { return program.ui(); }

    const LocatorPictures pictures;  // before `program`, whose table points at them
    const frame::ConnectionForm form{locatorFormLayout()};
    frame::Program program;
    const std::string helpText;
    // Shared with the connect-and-list workers.
    const std::shared_ptr<LocatorEngine> engine = std::make_shared<LocatorEngine>();
    // What the list shows; the window's thread only.
    ServerListing listing;
    // The window's thread only: from "Tester" until its boxes are answered the window takes
    // no input; what the user did meanwhile is handled after, in order.
    bool testing = false;
    std::deque<std::function<void()>> heldEvents;
};

// Empties the list, then one row per folder and per file of `listing`, with its picture.
void showListing(ui::Ui& ui, const ServerListing& listing);

}  // namespace velmo::locator
