// The program skeleton against the headless UI, for what the launcher's own tests do not
// reach: a tool's way out through the launcher, routes on a second window and over the
// frame's own, posted tasks, a program without menu or About window.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "frame/program.h"
#include "tests/frame/frame_test_support.h"
#include "ui/headless/headless_ui.h"

namespace stdfs = std::filesystem;
using namespace velmo;
using velmo::testing::ScratchDirectory;
using velmo::testing::waitForFile;
using K = ui::ControlKind;

namespace {

// A tool laid out like the locator: its own entry and the common ones, its About numbers,
// a button that opens a second window (as the backup tool's "Connexion" does).
struct ToolProgram {
    ToolProgram() {
        helpIcon.width = helpIcon.height = 16;
        helpIcon.rgba.assign(16 * 16 * 4, 255);
        frame::ProgramDescription d;
        d.window = {frame::mainWindow, "Velmo, Navigateur.", 752, 500};
        d.controls = {{29, K::Button, 392, 408, 152, 24, "Connexion"}};
        d.menu = {{"Fichier", {frame::quitItem(3)}},
                  {"Aide", {{2, "Explications", &helpIcon}, frame::siteItem(4), frame::forumItem(5),
                            frame::aboutItem(6)}}};
        d.about = frame::AboutInfo{39, 40, 41, 42, 43, 44, "Velmo, Navigateur - A propos",
                                   "Velmo, Navigateur - Version : 1.0.1"};
        program.emplace(ui, std::move(d));
    }
    void start() {
        loop = std::thread([this] {
            loopThread = std::this_thread::get_id();
            exitCode = program->run();
        });
        ASSERT_TRUE(ui.waitUntil([this] { return ui.windowExists(0); }));
    }
    bool ended() {
        if (!ui.waitUntil([this] { return !ui.windowExists(0); })) return false;
        loop.join();
        return true;
    }
    ~ToolProgram() {
        if (loop.joinable()) {
            ui.closeBox(1);
            ui.closeBox(39);
            ui.closeBox(0);
            loop.join();
        }
    }

    ui::HeadlessUi ui;
    ui::Image helpIcon;
    std::optional<frame::Program> program;
    std::thread loop;
    std::thread::id loopThread;
    std::atomic<int> exitCode{-1};
};

}  // namespace

TEST(Program, AToolRoutesItsEventsRunsPostedTasksAndQuitsThroughTheLauncher) {
    ScratchDirectory dir;
    stdfs::create_directories(dir / "Tools");
    dir.enter("Tools");
    dir.installRecorder("Velmo_Menu.exe");
    ToolProgram tool;
    std::vector<std::string> handled;  // the loop's thread only
    frame::Program& p = *tool.program;
    p.addRoutes({
        frame::onCommand(29, [&] {
            handled.push_back("connexion");
            p.ui().createWindow({1, "Sauvegarde des dossiers et fichiers.", 400, 480},
                                {{32, K::Button, 125, 450, 152, 24, "Sauvegarder"}});
        }),
        frame::onOpened(1, [&] { handled.push_back("opened 1"); }),
        frame::onCommand(32, [&] { handled.push_back("wrong window"); }),  // window 0's 32
        frame::onMenu(2, [&] { handled.push_back("replaced"); }),
        // Over the frame's own: the site entry is the program's now.
        frame::onMenu(4, [&] { handled.push_back("site"); }),
    });
    p.addRoutes({frame::onCommand(32, [&] { handled.push_back("sauvegarder"); }, 1),
                 frame::onMenu(2, [&] { handled.push_back("explications"); }),
                 frame::onClose(1, [&] { p.ui().destroyWindow(1); })});
    tool.start();
    ui::HeadlessUi& ui = tool.ui;

    // The menu as built: common entries with the frame's icons, the program's with its own.
    const auto w = ui.window(0);
    ASSERT_EQ(w->menu.size(), 2u);
    EXPECT_EQ(w->menu[1].entries[0].text, "Explications");
    EXPECT_EQ(w->menu[1].entries[3].text, "A propos");
    EXPECT_EQ(w->menuIconSizes, (std::vector<int>{16, 16, 16, 16, 16}));

    ASSERT_TRUE(ui.click(0, 29));
    ASSERT_TRUE(ui.waitUntil([&] { return ui.windowExists(1); }));
    ASSERT_TRUE(ui.click(1, 32));
    ASSERT_TRUE(ui.chooseMenu(0, 2));
    ASSERT_TRUE(ui.chooseMenu(0, 4));
    ASSERT_TRUE(ui.closeBox(1));
    ASSERT_TRUE(ui.waitUntil([&] { return !ui.windowExists(1); }));

    // A worker's task runs in the loop's thread; the About entry stays the frame's.
    std::atomic<bool> ranInLoop{false};
    std::thread([&] {
        EXPECT_TRUE(p.post([&] { ranInLoop = std::this_thread::get_id() == tool.loopThread; }));
    }).join();
    ASSERT_TRUE(ui.chooseMenu(0, 6));
    ASSERT_TRUE(ui.waitUntil([&] { return ui.windowExists(39) && !ui.isWindowEnabled(0); }));
    EXPECT_TRUE(ranInLoop);
    EXPECT_EQ(ui.window(39)->controlIds, (std::vector<int>{40, 41, 42, 43, 44}));
    ASSERT_TRUE(ui.closeBox(39));
    ASSERT_TRUE(ui.waitUntil([&] { return !ui.windowExists(39) && ui.isWindowEnabled(0); }));

    // "Quitter": the launcher starts from "../" in "../", and the tool ends.
    ASSERT_TRUE(ui.chooseMenu(0, 3));
    ASSERT_TRUE(tool.ended());
    EXPECT_EQ(tool.exitCode, 0);
    EXPECT_EQ(waitForFile(dir / "cwd.txt"), dir.root.string());
    EXPECT_EQ(handled, (std::vector<std::string>{"connexion", "opened 1", "sauvegarder", "explications", "site"}));
    EXPECT_FALSE(p.post([] {})) << "the main window is gone";
    EXPECT_TRUE(ui.shownBoxes().empty());
    EXPECT_TRUE(ui.failures().empty());
}

// The updater's kind of program: no menu bar, no About window. Its close box says the
// launcher is missing and ends; no event of the main window is taken for the About
// window's. A program whose window cannot be built runs nothing.
TEST(Program, WithoutMenuOrAboutTheCloseBoxStillReturnsAndAnUnbuiltWindowRunsNothing) {
    ScratchDirectory dir;
    stdfs::create_directories(dir / "Tools");
    dir.enter("Tools");
    ui::HeadlessUi ui;
    frame::ProgramDescription d;
    d.window = {frame::mainWindow, "Velmo, Maj - Vérification/Update des mises à jour.", 752, 500};
    d.controls = {{9, K::Button, 268, 368, 180, 24, "Vérifier les mises à jour"}};
    frame::Program program(ui, d);
    int checks = 0;
    program.addRoutes({frame::onCommand(9, [&] { ++checks; })});
    std::atomic<int> exitCode{-1};
    std::thread loop([&] { exitCode = program.run(); });
    ASSERT_TRUE(ui.waitUntil([&] { return ui.windowExists(0); }));
    EXPECT_TRUE(ui.window(0)->menu.empty());
    ASSERT_TRUE(ui.click(0, 9));
    ui.expectBox("Information.", "Impossible de retourner au menu général.");
    ASSERT_TRUE(ui.closeBox(0));
    loop.join();
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(checks, 1);
    EXPECT_EQ(ui.shownBoxes().size(), 1u);
    EXPECT_TRUE(ui.failures().empty());

    // Window 0 taken: run refuses at once and touches nothing.
    ui.createWindow({0, "autre", 10, 10}, {});
    frame::Program second(ui, d);
    EXPECT_EQ(second.run(), 1);
    EXPECT_EQ(ui.window(0)->title, "autre");
}
