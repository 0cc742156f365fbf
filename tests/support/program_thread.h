// A program's own start-up and event loop in a thread of their own on the headless UI, the
// test acting as the user: the one fixture for the window tests of every program.
//
//     ui::HeadlessUi ui;
//     velmo::testing::ProgramThread program(ui);
//     ASSERT_TRUE(program.start([&] { return runLocator(ui); }));
//     ... the test clicks, types and answers boxes ...
//     program.closeWithoutLauncher();  // or left to the destructor
//
// The programs run in a `Tools` folder that has no launcher beside it, so closing the main
// window says "Impossible de retourner au menu général." before the program ends.
#pragma once
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/worker.h"
#include "ui/headless/headless_ui.h"

namespace velmo::testing {

// The box a tool shows when it closes without a launcher to return to.
inline constexpr const char* noLauncherBoxTitle = "Information.";
inline constexpr const char* noLauncherBoxText = "Impossible de retourner au menu général.";

class ProgramThread {
public:
    explicit ProgramThread(ui::HeadlessUi& ui, int mainWindow = 0) : ui_(ui), mainWindow_(mainWindow) {}
    ProgramThread(const ProgramThread&) = delete;
    ProgramThread& operator=(const ProgramThread&) = delete;
    // A test that stopped half-way still ends the program.
    ~ProgramThread() {
        if (running()) closeWithoutLauncher();
    }

    // Runs `entry` (the program's entry on the headless UI, its result the exit code) in the
    // program's thread; true once its main window exists.
    bool start(std::function<int()> entry, std::chrono::seconds limit = std::chrono::seconds(20)) {
        launch(std::move(entry));
        return ui_.waitUntil([&] { return ui_.windowExists(mainWindow_); }, limit);
    }
    // Runs `entry` and waits for it to end by itself (a start-up that refuses to go on).
    int runToEnd(std::function<int()> entry) {
        launch(std::move(entry));
        return waitForEnd();
    }
    // Waits for a program that was made to end (by "Quitter", say); its exit code.
    int waitForEnd() {
        if (running()) thread_.join();
        return exitCode_;
    }

    // The user closes the main window; the program says it has no launcher and ends.
    // False when the close box could not be reached.
    bool closeWithoutLauncher() {
        if (!running()) return false;
        ui_.expectBox(noLauncherBoxTitle, noLauncherBoxText);
        const bool closed = ui_.closeBox(mainWindow_);
        EXPECT_TRUE(closed) << "the main window's close box";
        // A window that takes no input (a box left open, a window left disabled) fails the
        // test; its loop is then ended from within so that the test ends too.
        if (!closed) ui_.post(mainWindow_, [this] { ui_.postQuit(); });
        thread_.join();
        return closed;
    }

    bool running() const { return thread_.joinable(); }
    // The thread that runs the program's window (while it runs).
    std::thread::id threadId() const { return thread_.get_id(); }
    int exitCode() const { return exitCode_; }
    // The thread that ran the program last, kept once it has ended: the boxes of a run that
    // ended by itself (runToEnd) name it.
    std::thread::id lastThreadId() const { return lastThreadId_; }

private:
    void launch(std::function<int()> entry) {
        thread_ = std::thread([this, entry = std::move(entry)] { exitCode_ = entry(); });
        lastThreadId_ = thread_.get_id();
    }

    ui::HeadlessUi& ui_;
    const int mainWindow_;
    std::thread thread_;
    std::thread::id lastThreadId_;
    int exitCode_ = -1;
};

// Waits for every worker of the program; one still running after `limit` fails the test.
inline void expectWorkersEnded(std::chrono::minutes limit = std::chrono::minutes(1)) {
    EXPECT_TRUE(worker::waitForAll(limit)) << "a worker never ended";
}

// Every box shown was foreseen (expectBox) and every foreseen box was shown.
inline void expectBoxScriptMet(const ui::HeadlessUi& ui) {
    EXPECT_EQ(ui.failures(), std::vector<std::string>{}) << "unexpected message boxes";
    EXPECT_EQ(ui.unmetExpectations(), std::vector<std::string>{});
}

}  // namespace velmo::testing
