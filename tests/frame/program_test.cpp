// The program skeleton against the headless UI, for what the launcher's tests do not reach:
// a tool's way out through the launcher, routes on a second window and over the frame's own,
// a worker's task, a program without menu or About window.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <new>
#include <regex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "frame/program.h"
#include "platform/worker.h"
#include "tests/frame/frame_test_support.h"
#include "ui/headless/headless_ui.h"

using namespace velmo;
using velmo::testing::ScratchDirectory;
using velmo::testing::waitForFile;
using K = ui::ControlKind;

// Laid out like the locator (its own entry among the common ones, its About numbers), with
// a button that opens a second window as the backup tool's "Connexion" does.
TEST(Program, AToolRoutesItsEventsRunsWorkersTasksAndQuitsThroughTheLauncher) {
    ScratchDirectory dir;
    std::filesystem::create_directories(dir / "Tools");
    dir.enter("Tools");
    dir.installRecorder("Velmo_Menu.exe");
    ui::HeadlessUi ui;
    ui::Image helpIcon{16, 16, std::vector<std::uint8_t>(16 * 16 * 4, 255)};
    frame::ProgramDescription d;
    d.window = {frame::mainWindow, "Velmo, Navigateur.", 752, 500};
    d.controls = {{29, K::Button, 392, 408, 152, 24, "Connexion"}};
    d.menu = {{"Fichier", {frame::quitItem(3)}},
              {"Aide", {{2, "Explications", &helpIcon}, frame::siteItem(4), frame::forumItem(5), frame::aboutItem(6)}}};
    d.about = frame::AboutInfo{39, 40, 41, 42, 43, 44, "Velmo, Navigateur - A propos", "Velmo, Navigateur - Version : 1.0.1"};
    frame::Program p(ui, std::move(d));
    std::vector<std::string> handled;  // the loop's thread only
    std::thread::id loopThread;
    auto note = [&](const char* what) { return [&handled, what] { handled.push_back(what); }; };
    p.addRoutes({frame::onCommand(29, [&] { ui.createWindow({1, "Sauvegarde", 400, 480}, {{32, K::Button, 1, 1, 9, 9}}); }),
                 frame::onOpened(1, note("opened 1")), frame::onCommand(32, note("main window's 32")),
                 frame::onMenu(2, note("replaced")), frame::onMenu(4, note("site, the program's"))});
    p.addRoutes({frame::onCommand(32, note("sauvegarder"), 1), frame::onMenu(2, note("explications")),
                 frame::onClose(1, [&] { ui.destroyWindow(1); })});
    std::atomic<int> exitCode{-1};
    std::thread loop([&] {
        loopThread = std::this_thread::get_id();
        exitCode = p.run();
    });
    ASSERT_TRUE(ui.waitUntil([&] { return ui.windowExists(0); }));
    EXPECT_EQ(ui.window(0)->menuIconSizes, (std::vector<int>{16, 16, 16, 16, 16}));
    {
        // Each common entry carries its own one of the frame's pictures, the program's
        // entry its own.
        frame::FramePictures pictures;
        ASSERT_TRUE(frame::loadFramePictures(pictures));
        EXPECT_EQ(ui.window(0)->menuIconPixels,
                  (std::vector<std::vector<std::uint8_t>>{pictures.quitIcon.rgba, helpIcon.rgba, pictures.linkIcon.rgba,
                                                          pictures.linkIcon.rgba, pictures.aboutIcon.rgba}));
    }

    ASSERT_TRUE(ui.click(0, 29));
    ASSERT_TRUE(ui.waitUntil([&] { return ui.windowExists(1); }));
    ASSERT_TRUE(ui.click(1, 32));
    ASSERT_TRUE(ui.chooseMenu(0, 2));
    ASSERT_TRUE(ui.chooseMenu(0, 4));
    ASSERT_TRUE(ui.closeBox(1));
    std::thread([&] { EXPECT_TRUE(p.post([&] { handled.push_back(std::this_thread::get_id() == loopThread ? "task" : "task elsewhere"); })); }).join();
    // The About entry stays the frame's.
    ASSERT_TRUE(ui.chooseMenu(0, 6));
    ASSERT_TRUE(ui.waitUntil([&] { return ui.windowExists(39) && !ui.isWindowEnabled(0); }));
    ASSERT_TRUE(ui.closeBox(39));
    ASSERT_TRUE(ui.waitUntil([&] { return ui.isWindowEnabled(0); }));

    // "Quitter": the launcher starts from "../" in "../", and the tool ends.
    ASSERT_TRUE(ui.chooseMenu(0, 3));
    loop.join();
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(waitForFile(dir / "cwd.txt"), dir.root.string());
    EXPECT_EQ(handled, (std::vector<std::string>{"opened 1", "sauvegarder", "explications", "site, the program's", "task"}));
    EXPECT_TRUE(ui.windowIds().empty());
    EXPECT_FALSE(p.post([] {})) << "the main window is gone";
    EXPECT_TRUE(ui.failures().empty());
}

// The updater's kind: no menu bar and no About window (whose numbers would otherwise
// default to the main window's); its close box says the launcher is missing and ends. A
// program whose window cannot be built runs nothing.
TEST(Program, WithoutMenuOrAboutTheCloseBoxStillReturnsAndAnUnbuiltWindowRunsNothing) {
    ScratchDirectory dir;
    std::filesystem::create_directories(dir / "Tools");
    dir.enter("Tools");
    ui::HeadlessUi ui;
    frame::ProgramDescription d;
    d.window = {frame::mainWindow, "Velmo, Maj", 752, 500};
    d.controls = {{9, K::Button, 268, 368, 180, 24, "Vérifier les mises à jour"}};
    frame::Program program(ui, d);
    int checks = 0;
    program.addRoutes({frame::onCommand(9, [&] { ++checks; })});
    std::thread loop([&] { EXPECT_EQ(program.run(), 0); });
    ASSERT_TRUE(ui.waitUntil([&] { return ui.windowExists(0); }));
    EXPECT_TRUE(ui.window(0)->menu.empty());
    ASSERT_TRUE(ui.click(0, 9));
    ui.expectBox("Information.", "Impossible de retourner au menu général.");
    ASSERT_TRUE(ui.closeBox(0));
    loop.join();
    EXPECT_EQ(checks, 1);
    EXPECT_EQ(ui.shownBoxes().size(), 1u);

    ui.createWindow({0, "autre", 10, 10}, {});
    EXPECT_EQ(frame::Program(ui, d).run(), 1);
    EXPECT_EQ(ui.window(0)->title, "autre");
}

// A worker whose body throws (memory refused for a length a server announced, or anything
// else) must not end the program on the spot: the failure is noted in the program's
// journal, told in a box from the loop's thread, and the tool then closes its usual way.
TEST(Program, AWorkerThatThrowsIsJournalledToldAndThenClosesTheTool) {
    struct Row {
        std::function<void()> body;
        std::string words;
    };
    const std::vector<Row> rows = {
        {[] { throw std::bad_alloc(); }, std::bad_alloc().what()},
        {[] { throw 42; }, "exception inconnue"},
        {[] { throw std::runtime_error("deux\r\nlignes"); }, "deux  lignes"},
    };
    for (const Row& r : rows) {
        ScratchDirectory dir;
        std::filesystem::create_directories(dir / "Tools/softwareDatas");
        dir.enter("Tools");
        ui::HeadlessUi ui;
        frame::ProgramDescription d;
        d.window = {frame::mainWindow, "Velmo, Maj", 752, 500};
        d.controls = {{9, K::Button, 268, 368, 180, 24, "Vérifier les mises à jour"}};
        d.failureJournal = "softwareDatas/log-erreur-Update.txt";
        frame::Program program(ui, d);
        program.addRoutes({frame::onCommand(9, [&] { EXPECT_TRUE(worker::start(r.body)); })});
        const std::string told = "Une erreur inattendue a interrompu l'opération en cours (" + r.words +
                                 ").\r\n\r\nElle a été notée dans le fichier \"softwareDatas/log-erreur-Update.txt\".\r\n"
                                 "Le programme va donc se fermer.";
        ui.expectBox("ATTENTION.", told);
        ui.expectBox("Information.", "Impossible de retourner au menu général.");
        std::thread loop([&] { EXPECT_EQ(program.run(), 0); });
        ASSERT_TRUE(ui.waitUntil([&] { return ui.windowExists(0); }));
        ASSERT_TRUE(ui.click(0, 9));
        loop.join();
        EXPECT_TRUE(worker::waitForAll(std::chrono::seconds(10)));
        ASSERT_EQ(ui.shownBoxes().size(), 2u) << r.words;
        EXPECT_EQ(ui.shownBoxes()[0].text, told);
        EXPECT_EQ(ui.shownBoxes()[0].icon, ui::MessageIcon::Error);
        EXPECT_TRUE(ui.failures().empty());
        const std::string journal = dir.readFile("Tools/softwareDatas/log-erreur-Update.txt");
        EXPECT_TRUE(std::regex_match(journal, std::regex("\\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d:\\d\\d - Erreur inattendue pendant "
                                                         "une opération en arrière-plan \\(" + r.words +
                                                         "\\) : l'opération a été interrompue et le programme fermé\\.\r\n")))
            << journal;
    }
}
