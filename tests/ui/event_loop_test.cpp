// Event loops running in their own threads while the test acts as the user.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>

#include "ui/headless/headless_ui.h"

namespace velmo::ui {
namespace {

using K = ControlKind;

// A small program: window 0 with a button, a check box and a field, and a loop that
// dispatches on numbers the way the suite's programs do; it records what it handled.
class LoopProgram {
public:
    explicit LoopProgram(HeadlessUi& ui) : ui_(ui) {}

    void run() {
        MenuSpec menu{{{"Fichier", {{3, "Quitter", nullptr}}}}};
        ui_.createWindow({0, "Programme", 300, 200},
                         {
                             {42, K::Button, 10, 10, 100, 24, "Valider"},
                             {25, K::TextField, 10, 60, 100, 22, "livre-dor"},
                         },
                         &menu);
        for (;;) {
            Event e = ui_.waitEvent();
            {
                std::lock_guard lock(m_);
                events_.push_back(e);
            }
            if ((e.kind == EventKind::Menu && e.controlId == 3) || e.kind == EventKind::Close) break;
            if (e.kind == EventKind::Changed && e.controlId == 25) ui_.setText(0, 42, ui_.getText(0, 25));
        }
        ui_.destroyWindow(0);
    }

    std::vector<Event> handled() {
        std::lock_guard lock(m_);
        return events_;
    }

private:
    HeadlessUi& ui_;
    std::mutex m_;
    std::vector<Event> events_;
};

TEST(EventLoop, UserActionsReachALoopRunningInAnotherThread) {
    HeadlessUi ui;
    LoopProgram program(ui);
    std::thread t([&] { program.run(); });
    ASSERT_TRUE(ui.waitUntil([&] { return ui.windowExists(0); }));

    EXPECT_TRUE(ui.click(0, 42));
    EXPECT_TRUE(ui.typeText(0, 25, "livre-dortest"));
    ASSERT_TRUE(ui.waitUntil([&] { return ui.getText(0, 42) == "livre-dortest"; })) << "the loop answered";
    EXPECT_FALSE(ui.chooseMenu(0, 99)) << "no such entry: nothing reaches the loop";
    EXPECT_TRUE(ui.chooseMenu(0, 3));
    t.join();

    EXPECT_FALSE(ui.windowExists(0));
    const std::vector<Event> expected{
        {EventKind::Opened, 0, -1}, {EventKind::Command, 0, 42}, {EventKind::Changed, 0, 25}, {EventKind::Menu, 0, 3},
    };
    EXPECT_EQ(program.handled(), expected);
    EXPECT_TRUE(ui.failures().empty());
}

TEST(EventLoop, AWorkerThreadsOwnWindowHasItsOwnLoop) {
    // The upload thread opens the link generator and runs its loop while the main loop
    // keeps getting the main window's events only.
    HeadlessUi ui;
    LoopProgram program(ui);
    std::thread mainLoop([&] { program.run(); });
    ASSERT_TRUE(ui.waitUntil([&] { return ui.windowExists(0); }));

    std::vector<Event> workerEvents;
    std::thread worker([&] {
        ui.createWindow({56, "Générateur de lien.", 530, 264}, {{67, K::Button, 210, 98, 110, 24, "Générer"}});
        for (;;) {
            Event e = ui.waitEvent();
            workerEvents.push_back(e);
            if (e.kind == EventKind::Close) break;
        }
        ui.destroyWindow(56);
    });
    ASSERT_TRUE(ui.waitUntil([&] { return ui.windowExists(56); }));
    EXPECT_TRUE(ui.click(56, 67));
    EXPECT_TRUE(ui.click(0, 42));
    EXPECT_TRUE(ui.closeBox(56));
    worker.join();
    const std::vector<Event> expectedWorker{
        {EventKind::Opened, 56, -1}, {EventKind::Command, 56, 67}, {EventKind::Close, 56, -1}};
    EXPECT_EQ(workerEvents, expectedWorker);

    EXPECT_TRUE(ui.closeBox(0));
    mainLoop.join();
    const std::vector<Event> expectedMain{
        {EventKind::Opened, 0, -1}, {EventKind::Command, 0, 42}, {EventKind::Close, 0, -1}};
    EXPECT_EQ(program.handled(), expectedMain);
}

TEST(EventLoop, WakeFromAWorkerAndQuitFromTheLoopsOwnThread) {
    HeadlessUi ui;
    std::atomic<int> completionFlag{0};
    std::vector<int> seenFlags;
    std::thread loop([&] {
        ui.createWindow({0, "w", 10, 10}, {});
        for (;;) {
            Event e = ui.waitEvent();
            // The program looks at its workers' flags after every event.
            if (completionFlag.exchange(0)) {
                seenFlags.push_back(1);
                ui.postQuit();
            }
            if (e.kind == EventKind::Quit) break;
        }
    });
    ASSERT_TRUE(ui.waitUntil([&] { return ui.windowExists(0); }));
    std::thread worker([&] {
        completionFlag = 1;
        ui.wake(0);
    });
    worker.join();
    loop.join();
    EXPECT_EQ(seenFlags, std::vector<int>{1});
    ui.wake(12);  // no such window: nothing happens
}

}  // namespace
}  // namespace velmo::ui
