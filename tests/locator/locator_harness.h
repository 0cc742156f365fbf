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

#include "locator/locator_app.h"
#include "locator/locator_texts.h"
#include "suite/messages.h"
#include "locator/locator_window.h"
#include "tests/support/ftp_peers.h"
#include "tests/support/scratch_folder.h"
#include "ui/headless/headless_ui.h"

namespace velmo::locator::testing {

namespace stdfs = std::filesystem;
using ui::MessageIcon;

class LocatorWindowTest : public ::testing::Test {
protected:
    LocatorWindowTest() {
        stdfs::create_directories(scratch / "Tools/softwareDatas");
        scratch.enter("Tools");  // no launcher beside it: closing says so
    }

    void TearDown() override {
        if (program.joinable()) closeProgram();
        waitForListingWorkers();
        EXPECT_EQ(ui.failures(), std::vector<std::string>{}) << "unexpected message boxes";
        EXPECT_EQ(ui.unmetExpectations(), std::vector<std::string>{});
    }

    // Starts the program, answers its help box and waits until its loop runs.
    void start() {
        ui.expectBox("Aide", "Velmo, Navigateur est un outil");
        program = std::thread([this] { exitCode = runLocator(ui); });
        ASSERT_TRUE(ui.waitUntil([&] { return ui.windowExists(frame::mainWindow); }));
        settle();
    }

    // Waits until the loop has handled everything the user did so far: it shows the help
    // box for the help button only after that.
    void settle() {
        auto helpBoxes = [&] {
            std::size_t n = 0;
            for (const ui::ShownBox& b : ui.shownBoxes()) n += b.title == suite::titles::help;
            return n;
        };
        const std::size_t before = helpBoxes();
        ui.expectBox("Aide", "Velmo, Navigateur est un outil");
        ASSERT_TRUE(ui.click(frame::mainWindow, ids::helpButton));
        ASSERT_TRUE(ui.waitUntil([&] { return helpBoxes() > before; }));
    }

    // For what happens outside the UI (servers): checked every 10 ms, false after `limit`.
    static bool pollUntil(const std::function<bool()>& condition,
                          std::chrono::milliseconds limit = std::chrono::seconds(20)) {
        for (const auto end = std::chrono::steady_clock::now() + limit; !condition();) {
            if (std::chrono::steady_clock::now() >= end) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return true;
    }

    void closeProgram() {
        ui.expectBox("Information.", "Impossible de retourner au menu général.");
        ASSERT_TRUE(ui.closeBox(frame::mainWindow));
        program.join();
        EXPECT_EQ(exitCode, 0);
    }

    void fillForm(const std::string& address, const std::string& user, const std::string& password, int port,
                  bool passive = true) {
        ui.typeText(frame::mainWindow, ids::addressField, address);
        ui.typeText(frame::mainWindow, ids::userField, user);
        ui.typeText(frame::mainWindow, ids::passwordField, password);
        ui.typeText(frame::mainWindow, ids::portField, std::to_string(port));
        if (ui.isChecked(frame::mainWindow, ids::passiveBox) != passive) ui.click(frame::mainWindow, ids::passiveBox);
    }

    // "name|weight|picture" per row of the list.
    std::vector<std::string> rows() {
        std::vector<std::string> out;
        const auto list = ui.control(frame::mainWindow, ids::serverList);
        for (const ui::RowState& r : list->rows)
            out.push_back(r.cells.at(0) + "|" + r.cells.at(1) + "|" + (r.image == folderImage ? "folder" : "file"));
        return out;
    }
    bool waitForRows(std::size_t count) {
        return ui.waitUntil([&] { return ui.rowCount(frame::mainWindow, ids::serverList) == static_cast<int>(count); },
                            std::chrono::seconds(30));
    }
    // The row showing `name`, -1 when none does.
    int rowOf(const std::string& name) {
        for (int i = 0; i < ui.rowCount(frame::mainWindow, ids::serverList); ++i)
            if (ui.getCell(frame::mainWindow, ids::serverList, i, 0) == name) return i;
        return -1;
    }

    // Which of "Connexion", "Annuler", "Tester" and the connection fields are enabled, as
    // "CAT+" with "-" for disabled ones ("C--+": not connected).
    std::string state() {
        auto on = [&](int id, char c) { return ui.isEnabled(frame::mainWindow, id) ? c : '-'; };
        bool fields = true, noFields = true;
        for (int id : {ids::addressField, ids::userField, ids::passwordField, ids::passiveBox, ids::portField}) {
            fields = fields && ui.isEnabled(frame::mainWindow, id);
            noFields = noFields && !ui.isEnabled(frame::mainWindow, id);
        }
        return std::string{on(ids::connectButton, 'C'), on(ids::cancelButton, 'A'), on(ids::testButton, 'T'),
                           fields ? '+' : noFields ? '-' : '?'};
    }
    bool waitForState(const std::string& wanted) {
        return ui.waitUntil([&] { return state() == wanted; }, std::chrono::seconds(30));
    }

    std::string text(int id) { return ui.getText(frame::mainWindow, id); }
    std::string settingsFile() const { return velmo::testing::readBytes(scratch / "Tools/softwareDatas/config.pcfg"); }
    bool hasSettingsFile() const { return stdfs::exists(scratch / "Tools/softwareDatas/config.pcfg"); }

    velmo::testing::ScratchFolder scratch;
    ui::HeadlessUi ui;
    std::thread program;
    int exitCode = -1;
};

}  // namespace velmo::locator::testing
