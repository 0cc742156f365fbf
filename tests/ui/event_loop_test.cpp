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
                             {42, K::Button, 10, 10, 100, 24, "Valider", FontRole::Large10},
                             {27, K::CheckBox, 10, 40, 100, 16, "Chmod."},
                             {25, K::TextField, 10, 60, 100, 22, "livre-dor"},
                         },
                         &menu);
        for (;;) {
            Event e = ui_.waitEvent();
            record(e);
            if (e.kind == EventKind::Menu && e.controlId == 3) break;
            if (e.kind == EventKind::Close && e.windowId == 0) break;
            if (e.kind == EventKind::Quit) break;
            if (e.kind == EventKind::Command && e.controlId == 42) ui_.setText(0, 42, "Pressé");
            if (e.kind == EventKind::Changed && e.controlId == 25) {
                std::string t = ui_.getText(0, 25);
                std::erase(t, '/');
                ui_.setText(0, 25, t);
            }
        }
        ui_.destroyWindow(0);
    }

    std::vector<Event> handled() {
        std::lock_guard lock(m_);
        return events_;
    }

private:
    void record(const Event& e) {
        std::lock_guard lock(m_);
        events_.push_back(e);
    }

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
    ASSERT_TRUE(ui.waitUntil([&] { return ui.getText(0, 42) == "Press\xe9"; }));
    EXPECT_TRUE(ui.click(0, 27));
    EXPECT_TRUE(ui.typeText(0, 25, "livre-dor/test"));
    ASSERT_TRUE(ui.waitUntil([&] { return ui.getText(0, 25) == "livre-dortest"; }));
    EXPECT_TRUE(ui.chooseMenu(0, 3));
    t.join();

    EXPECT_FALSE(ui.windowExists(0));
    const std::vector<Event> expected{
        {EventKind::Opened, 0, -1},   {EventKind::Command, 0, 42}, {EventKind::Command, 0, 27},
        {EventKind::Changed, 0, 25},  {EventKind::Menu, 0, 3},
    };
    EXPECT_EQ(program.handled(), expected);
    EXPECT_TRUE(ui.failures().empty());
}

TEST(EventLoop, CloseBoxEndsTheLoop) {
    HeadlessUi ui;
    LoopProgram program(ui);
    std::thread t([&] { program.run(); });
    ASSERT_TRUE(ui.waitUntil([&] { return ui.windowExists(0); }));
    EXPECT_FALSE(ui.chooseMenu(0, 99));  // no such entry: nothing reaches the loop
    EXPECT_TRUE(ui.closeBox(0));
    t.join();
    ASSERT_EQ(program.handled().size(), 2u);
    EXPECT_EQ(program.handled().back(), (Event{EventKind::Close, 0, -1}));
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
        ui.createWindow({56, "Générateur de lien.", 530, 264, true},
                        {{67, K::Button, 210, 98, 110, 24, "Générer le lien"}});
        for (;;) {
            Event e = ui.waitEvent();
            workerEvents.push_back(e);
            if (e.kind == EventKind::Close) break;
        }
        ui.destroyWindow(56);
    });
    ASSERT_TRUE(ui.waitUntil([&] { return ui.windowExists(56); }));
    EXPECT_EQ(ui.window(56)->owner, worker.get_id());
    EXPECT_EQ(ui.window(0)->owner, mainLoop.get_id());

    EXPECT_TRUE(ui.click(56, 67));
    EXPECT_TRUE(ui.click(0, 42));
    EXPECT_TRUE(ui.closeBox(56));
    worker.join();
    EXPECT_FALSE(ui.windowExists(56));
    const std::vector<Event> expectedWorker{
        {EventKind::Opened, 56, -1}, {EventKind::Command, 56, 67}, {EventKind::Close, 56, -1}};
    EXPECT_EQ(workerEvents, expectedWorker);

    EXPECT_TRUE(ui.closeBox(0));
    mainLoop.join();
    for (const Event& e : program.handled()) EXPECT_EQ(e.windowId, 0);
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

TEST(EventLoop, WorkerChangesAreSeenByTheTestWhileTheLoopRuns) {
    HeadlessUi ui;
    ASSERT_TRUE(ui.createWindow({0, "t", 784, 470},
                                {ControlSpec{37, K::ProgressBar, 384, 416, 382, 16}.range(0, 100).smoothBar(),
                                 {36, K::Label, 384, 400, 384, 16, ""},
                                 ControlSpec{32, K::ListBox, 376, 112, 400, 228}}));
    for (int i = 0; i < 5; ++i) ui.addLine(0, 32, "line " + std::to_string(i));
    std::thread worker([&] {
        for (int i = 1; i <= 4; ++i) {
            ui.selectLine(0, 32, i);
            ui.setProgress(0, 37, i * 25);
            ui.setText(0, 36, "Fichiers envoyés : " + std::to_string(i + 1) + "/333");
        }
    });
    EXPECT_TRUE(ui.waitUntil([&] { return ui.getProgress(0, 37) == 100; }));
    worker.join();
    EXPECT_EQ(ui.selectedLine(0, 32), 4);
    EXPECT_EQ(ui.getText(0, 36), "Fichiers envoy\xe9s : 5/333");
}

}  // namespace
}  // namespace velmo::ui
