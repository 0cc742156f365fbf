// Event loops running in their own threads while the test acts as the user.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>

#include "ui/headless/headless_ui.h"

namespace velmo::ui {
namespace {

using K = ControlKind;

// The main loop owns window 0 and dispatches on numbers the way the suite's programs do,
// looking at its workers' flag after every event; a worker opens window 56 (as the upload
// thread opens the link generator) and runs that window's loop. Each notes what it handled.
TEST(EventLoop, EachThreadsLoopGetsItsOwnWindowsEventsAndAWorkerCanWakeTheMainOne) {
    HeadlessUi ui;
    std::mutex m;
    std::vector<Event> mainEvents, workerEvents;
    std::atomic<int> completionFlag{0};
    std::thread mainLoop([&] {
        MenuSpec menu{{{"Fichier", {{3, "Quitter", nullptr}}}}};
        ui.createWindow({0, "Programme", 300, 200},
                        {{42, K::Button, 10, 10, 100, 24, "Valider"}, {25, K::TextField, 10, 60, 100, 22, "livre-dor"}},
                        &menu);
        for (;;) {
            const Event e = ui.waitEvent();
            {
                std::lock_guard lock(m);
                mainEvents.push_back(e);
            }
            if (completionFlag.exchange(0)) ui.postQuit();
            if (e.kind == EventKind::Quit || (e.kind == EventKind::Menu && e.controlId == 3)) break;
            if (e.kind == EventKind::Changed && e.controlId == 25) ui.setText(0, 42, ui.getText(0, 25));
        }
        ui.destroyWindow(0);
    });
    ASSERT_TRUE(ui.waitUntil([&] { return ui.windowExists(0); }));
    EXPECT_TRUE(ui.click(0, 42));
    EXPECT_TRUE(ui.typeText(0, 25, "livre-dortest"));
    ASSERT_TRUE(ui.waitUntil([&] { return ui.getText(0, 42) == "livre-dortest"; })) << "the loop answered";
    EXPECT_FALSE(ui.chooseMenu(0, 99)) << "no such entry: nothing reaches the loop";

    std::thread worker([&] {
        ui.createWindow({56, "Générateur de lien.", 530, 264}, {{67, K::Button, 210, 98, 110, 24, "Générer"}});
        for (Event e{}; e.kind != EventKind::Close;) workerEvents.push_back(e = ui.waitEvent());
        ui.destroyWindow(56);
    });
    ASSERT_TRUE(ui.waitUntil([&] { return ui.windowExists(56); }));
    EXPECT_TRUE(ui.click(56, 67));
    EXPECT_TRUE(ui.click(0, 42));
    EXPECT_TRUE(ui.closeBox(56));
    worker.join();
    EXPECT_EQ(workerEvents, (std::vector<Event>{{EventKind::Opened, 56, -1},
                                                {EventKind::Command, 56, 67},
                                                {EventKind::Close, 56, -1}}));

    // A finished worker sets the flag and wakes the main window; the loop quits from its
    // own thread. A wake for no window does nothing.
    ui.wake(12);
    std::thread([&] {
        completionFlag = 1;
        ui.wake(0);
    }).join();
    mainLoop.join();
    EXPECT_FALSE(ui.windowExists(0));
    const std::vector<Event> expected{{EventKind::Opened, 0, -1}, {EventKind::Command, 0, 42},
                                      {EventKind::Changed, 0, 25}, {EventKind::Command, 0, 42},
                                      {EventKind::Wake, 0, -1},    {EventKind::Quit, -1, -1}};
    EXPECT_EQ(mainEvents, expected);
    EXPECT_TRUE(ui.failures().empty());
}

}  // namespace
}  // namespace velmo::ui
