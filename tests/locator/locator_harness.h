// What the locator's window tests share: a `Tools` folder (with softwareDatas) that is the
// current directory, and the real program (runLocator) in a thread of its own on the
// headless UI, the test acting as the user.
#pragma once
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "locator/window/locator_app.h"
#include "locator/window/locator_window.h"
#include "suite/messages.h"
#include "tests/support/program_thread.h"
#include "tests/support/scratch_folder.h"
#include "ui/headless/headless_ui.h"

namespace velmo::locator::testing {

namespace stdfs = std::filesystem;
namespace titles = suite::titles;
using frame::mainWindow;
using ui::MessageIcon;

// For what happens outside the UI (servers): checked every 10 ms, false after `limit`.
inline bool pollUntil(const std::function<bool()>& condition, std::chrono::seconds limit = std::chrono::seconds(20)) {
    for (const auto end = std::chrono::steady_clock::now() + limit; !condition();) {
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

class LocatorWindowTest : public ::testing::Test {
protected:
    LocatorWindowTest() {
        stdfs::create_directories(scratch / "Tools/softwareDatas");
        scratch.enter("Tools");  // no launcher beside it: closing says so
    }

    void TearDown() override {
        program.closeWithoutLauncher();
        waitForListingWorkers();
        velmo::testing::expectBoxScriptMet(ui);
    }

    // Starts the program, answers its help box and waits until its loop runs.
    void start() {
        ui.expectBox(titles::help, "Velmo, Navigateur est un outil");
        ASSERT_TRUE(program.start([this] { return runLocator(ui); }));
        settle();
    }

    // Waits until the loop has handled everything the user did so far: it shows the help
    // box for the help button only after that.
    void settle() {
        auto helpBoxes = [&] {
            int n = 0;
            for (const ui::ShownBox& b : ui.shownBoxes()) n += b.title == titles::help;
            return n;
        };
        const int before = helpBoxes();
        ui.expectBox(titles::help, "Velmo, Navigateur est un outil");
        ASSERT_TRUE(ui.click(mainWindow, ids::helpButton));
        ASSERT_TRUE(ui.waitUntil([&] { return helpBoxes() > before; }));
    }

    void fillForm(const std::string& address, const std::string& user, const std::string& password, int port,
                  bool passive = true) {
        ui.typeText(mainWindow, ids::addressField, address);
        ui.typeText(mainWindow, ids::userField, user);
        ui.typeText(mainWindow, ids::passwordField, password);
        ui.typeText(mainWindow, ids::portField, std::to_string(port));
        if (ui.isChecked(mainWindow, ids::passiveBox) != passive) ui.click(mainWindow, ids::passiveBox);
    }
    void press(int button) { ASSERT_TRUE(ui.click(mainWindow, button)); }

    // "name|weight|picture" per row of the list.
    std::vector<std::string> rows() {
        std::vector<std::string> out;
        const auto list = ui.control(mainWindow, ids::serverList);
        for (const ui::RowState& r : list->rows)
            out.push_back(r.cells.at(0) + "|" + r.cells.at(1) + "|" + (r.image == folderImage ? "folder" : "file"));
        return out;
    }
    // Double-clicks the row showing `name` (-1, outside the rows, when none does).
    void doubleClick(const std::string& name) {
        int row = -1;
        for (int i = 0; i < ui.rowCount(mainWindow, ids::serverList); ++i)
            if (ui.getCell(mainWindow, ids::serverList, i, 0) == name) row = i;
        ASSERT_TRUE(ui.doubleClick(mainWindow, ids::serverList, row));
    }

    // "Connexion", "Annuler", "Tester" as C, A, T ('-' when disabled), then the five
    // connection fields: '+' all enabled, '-' all disabled.
    std::string state() {
        auto on = [&](int id, char c) { return ui.isEnabled(mainWindow, id) ? c : '-'; };
        int fields = 0;
        for (int id : {ids::addressField, ids::userField, ids::passwordField, ids::passiveBox, ids::portField})
            fields += ui.isEnabled(mainWindow, id);
        return {on(ids::connectButton, 'C'), on(ids::cancelButton, 'A'), on(ids::testButton, 'T'),
                fields == 5 ? '+' : fields == 0 ? '-' : '?'};
    }
    bool waitFor(const std::function<bool()>& condition) {
        return ui.waitUntil(condition, std::chrono::seconds(30));
    }

    std::string text(int id) { return ui.getText(mainWindow, id); }

    velmo::testing::ScratchFolder scratch;
    const stdfs::path settingsFile = scratch / "Tools/softwareDatas/config.pcfg";
    ui::HeadlessUi ui;
    velmo::testing::ProgramThread program{ui, mainWindow};
};

// The window's states.
inline const std::string notConnected = "C--+", connected = "-A--", folderChosen = "-AT-";

}  // namespace velmo::locator::testing
