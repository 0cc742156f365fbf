// Event loops running in their own threads while the test acts as the user.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
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

namespace velmo::ui {
namespace {

// Workers post to the main window while its thread sits in a message box (as one ending
// during the stop question would): posting returns at once and nothing runs inside the
// box. Then every task runs in the window's thread, in each poster's order, after the one
// the loop posted itself; a task may run a loop of its own; tasks of a window destroyed
// meanwhile never run.
TEST(PostedTasks, RunInTheWindowsThreadInOrderOnlyInsideItsWaitAndDieWithTheirWindow) {
    HeadlessUi ui;
    struct Ran {
        int poster, seq;
        std::thread::id thread;
    };
    std::vector<Ran> ran;  // the loop's thread only, read after join
    std::atomic<int> ranCount{0};
    std::thread::id loopThread;
    std::thread loop([&] {
        loopThread = std::this_thread::get_id();
        ui.createWindow({0, "Programme", 300, 200}, {{42, K::Button, 10, 10, 100, 24, "Valider"}});
        ui.createWindow({56, "Générateur de lien.", 530, 264}, {});
        for (Event e = ui.waitEvent(); e.kind != EventKind::Quit; e = ui.waitEvent()) {
            if (e.kind != EventKind::Command) continue;
            ui.post(0, [&] {
                ran.push_back({-1, 0, std::this_thread::get_id()});
                ++ranCount;
            });
            ui.messageBox("Information.", "Voulez-vous arreter le transfert en cours ?");
        }
        ui.destroyWindow(0);
    });
    ASSERT_TRUE(ui.waitUntil([&] { return ui.windowExists(56); }));
    ui.expectHeldBox("Information.", "arreter");
    ASSERT_TRUE(ui.click(0, 42));
    ASSERT_TRUE(ui.waitForHeldBox());

    auto held = std::make_shared<int>(0);
    EXPECT_FALSE(ui.post(12, [held] { ++*held; })) << "no such window";
    EXPECT_TRUE(ui.post(56, [held] { ++*held; }));
    ui.destroyWindow(56);
    EXPECT_EQ(held.use_count(), 1) << "dropped with its window";

    constexpr int posters = 3, perPoster = 300;
    std::atomic<int> posted{0};
    std::vector<std::thread> workers;
    for (int p = 0; p < posters; ++p) {
        workers.emplace_back([&, p] {
            for (int i = 0; i < perPoster; ++i, ++posted)
                ui.post(0, [&, p, i] {
                    ran.push_back({p, i, std::this_thread::get_id()});
                    ++ranCount;
                });
        });
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (posted < posters * perPoster && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(posted, posters * perPoster) << "posting waited for the box";
    EXPECT_EQ(ranCount, 0) << "a task ran inside the message box";
    ui.releaseBox();
    for (std::thread& w : workers) w.join();

    // A task that runs a loop of its own (the link generator opened after an upload):
    // what is posted meanwhile runs inside that loop's wait.
    std::vector<std::string> order;
    ASSERT_TRUE(ui.post(0, [&] {
        ui.createWindow({57, "Fenêtre", 100, 100}, {});
        for (Event e{}; e.kind != EventKind::Close; e = ui.waitEvent()) {
        }
        ui.destroyWindow(57);
        order.push_back("closed");
    }));
    ASSERT_TRUE(ui.waitUntil([&] { return ui.windowExists(57); }));
    ASSERT_TRUE(ui.post(0, [&] { order.push_back("posted meanwhile"); }));
    ASSERT_TRUE(ui.closeBox(57));
    ASSERT_TRUE(ui.post(0, [&] { ui.postQuit(); }));
    loop.join();

    ASSERT_EQ(ran.size(), 1u + posters * perPoster);
    EXPECT_EQ(ran[0].poster, -1) << "the loop's own task was posted first";
    std::vector<int> next(posters, 0);
    for (const Ran& r : ran) {
        EXPECT_EQ(r.thread, loopThread);
        if (r.poster >= 0) {
            EXPECT_EQ(r.seq, next[r.poster]++) << "poster " << r.poster;
        }
    }
    EXPECT_EQ(order, (std::vector<std::string>{"posted meanwhile", "closed"}));
    EXPECT_EQ(*held, 0);
    EXPECT_TRUE(ui.failures().empty());
}

}  // namespace
}  // namespace velmo::ui
