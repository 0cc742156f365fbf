// The installer run as a user meets it: a `Tools` folder of its own under /tmp (the
// shipped sample `livre-dor`, `softwareDatas`), the real start-up and event loop in a
// thread of their own on the headless UI, and the test acting as the user.
#pragma once
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>

#include "installer/installer_app.h"
#include "installer/installer_window.h"
#include "installer/upload_engine.h"
#include "settings/connection_settings.h"
#include "ui/headless/headless_ui.h"

namespace velmo::installer::testing {

namespace stdfs = std::filesystem;

class InstallerWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device rd;
        std::ostringstream name;
        name << "/tmp/velmo_installer_window_" << rd() << rd();
        root_ = name.str();
        tools_ = root_ + "/Tools";
        stdfs::create_directories(tools_ + "/softwareDatas");
        stdfs::create_directory_symlink(SAMPLE_GUESTBOOK_PARENT "/livre-dor", tools_ + "/livre-dor");
        // Anything the program opens with the shell (browser links, the launcher when it
        // is no program) is written, one line per opening, to this file.
        opened_ = root_ + "/opened.txt";
        const std::string recorder = root_ + "/record-open.sh";
        std::ofstream(recorder) << "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" << opened_ << "'\n";
        stdfs::permissions(recorder, stdfs::perms::owner_all);
        setenv("VELMO_OPEN_COMMAND", recorder.c_str(), 1);
        previousDirectory_ = stdfs::current_path();
        stdfs::current_path(tools_);
    }

    void TearDown() override {
        if (program_.joinable()) {
            // A test that stopped half-way still ends the program and its workers.
            if (ui.windowExists(ids::linkGeneratorWindow)) {
                ui.closeBox(ids::linkGeneratorWindow);
                ui.waitUntil([&] { return ui.isWindowEnabled(ids::mainWindow); });
            }
            if (ui.windowExists(ids::mainWindow)) {
                ui.expectBox("Information.", "Impossible de retourner au menu");
                ui.closeBox(ids::mainWindow);
            }
            program_.join();
        }
        waitForWorkers();
        EXPECT_EQ(ui.failures(), std::vector<std::string>{}) << "unexpected message boxes";
        stdfs::current_path(previousDirectory_);
        std::error_code ec;
        stdfs::remove_all(root_, ec);
        unsetenv("VELMO_OPEN_COMMAND");
    }

    // Written by the settings module itself, which always stores transfert = 1.
    void withSettings(const ConnectionSettings& s) { ASSERT_TRUE(saveConnectionSettings(Tool::Installer, s)); }
    void withSettingsText(const std::string& text) {
        std::ofstream(tools_ + "/softwareDatas/config.pcfg", std::ios::binary) << text;
    }

    // Starts the program and waits until its loop runs: the start-up is over once it
    // answers a user action ("Infos" shows the permission help).
    void start() {
        program_ = std::thread([this] { exitCode_ = runInstaller(ui); });
        ASSERT_TRUE(ui.waitUntil([&] { return ui.windowExists(ids::mainWindow); }));
        settle();
    }

    // Waits until the loop has handled everything the user did so far.
    void settle() {
        const std::size_t before = ui.shownBoxes().size();
        ui.expectBox("Information.", "Chez certains hébergeurs");
        ASSERT_TRUE(ui.click(ids::mainWindow, ids::infoButton));
        ASSERT_TRUE(ui.waitUntil([&] { return ui.shownBoxes().size() > before; }));
    }

    // The user closes the main window; without a launcher beside `Tools` the program
    // says so and ends.
    void closeProgram() {
        ui.expectBox("Information.", "Impossible de retourner au menu général.");
        ASSERT_TRUE(ui.closeBox(ids::mainWindow));
        program_.join();
        EXPECT_EQ(exitCode_, 0);
    }

    void joinProgram() { program_.join(); }
    int exitCode() const { return exitCode_; }

    // The shell's openings are done by other processes: polled until they are all there.
    std::string waitForOpened(const std::string& expected) const {
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        std::string got;
        for (;;) {
            std::ifstream in(opened_);
            std::ostringstream all;
            all << in.rdbuf();
            got = all.str();
            if (got.size() >= expected.size() || std::chrono::steady_clock::now() >= limit) return got;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }

    ui::ControlState control(int window, int id) {
        auto c = ui.control(window, id);
        EXPECT_TRUE(c.has_value()) << "no control " << id << " in window " << window;
        return c.value_or(ui::ControlState{});
    }

    std::string text(int id) { return ui.getText(ids::mainWindow, id); }

    ui::HeadlessUi ui;

private:
    std::string root_, tools_, opened_;
    stdfs::path previousDirectory_;
    std::thread program_;
    int exitCode_ = -1;
};

}  // namespace velmo::installer::testing
