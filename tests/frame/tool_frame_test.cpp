// The tool frame against the headless UI and real processes: file presence, program start
// with a working directory, the browser links, the About window and the way back to the
// launcher.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <tuple>

#include "deployment.h"
#include "frame/tool_frame.h"
#include "tests/frame/frame_test_support.h"
#include "tests/frame/recording_ui.h"
#include "ui/headless/headless_ui.h"

namespace stdfs = std::filesystem;
using namespace velmo;
using velmo::testing::OpenCommand;
using velmo::testing::ScratchDirectory;
using velmo::testing::waitForFile;

TEST(FileIsPresent, OnlyAFileWithContentCounts) {
    ScratchDirectory dir;
    dir.writeFile("vide.exe", "");
    dir.writeFile("plein.exe", "M");
    stdfs::create_directories(dir / "Velmo_Menu.exe");
    dir.writeFile("Tools/Velmo_Maj.exe", "MZ");

    EXPECT_FALSE(frame::fileIsPresent("absent.exe"));
    EXPECT_FALSE(frame::fileIsPresent("vide.exe"));
    EXPECT_FALSE(frame::fileIsPresent("Velmo_Menu.exe")) << "a folder named like the file";
    EXPECT_TRUE(frame::fileIsPresent("plein.exe"));
    EXPECT_TRUE(frame::fileIsPresent("Tools\\Velmo_Maj.exe"));
    stdfs::current_path(dir / "Tools");
    EXPECT_TRUE(frame::fileIsPresent("../plein.exe"));
    EXPECT_FALSE(frame::fileIsPresent("../Velmo_Menu.exe"));
}

TEST(StartProgram, CommandLineQuotesThePathOnceAndAppendsTheArguments) {
    EXPECT_EQ(frame::programCommandLine("Tools/Velmo_Maj.exe", ""), "\"Tools/Velmo_Maj.exe\"");
    EXPECT_EQ(frame::programCommandLine("Mes outils\\a.exe", "-v 2"), "\"Mes outils\\a.exe\" -v 2");
    EXPECT_EQ(frame::programCommandLine("\"C:\\x y\\a.exe\" -q", ""), "\"C:\\x y\\a.exe\" -q");
}

TEST(StartProgram, RelativeProgramIsFoundFromOurFolderAndRunsInTheGivenOne) {
    ScratchDirectory dir;
    dir.installRecorder("Tools/Velmo_Sauvegarde.exe");
    EXPECT_TRUE(frame::startProgram("Tools/Velmo_Sauvegarde.exe", "", "Tools"));
    EXPECT_EQ(waitForFile(dir / "Tools/cwd.txt"), (dir / "Tools").string());
    EXPECT_FALSE(stdfs::exists(dir / "cwd.txt"));
}

TEST(StartProgram, WhatIsNoProgramGoesToTheShellAndNothingStartedIsFalse) {
    ScratchDirectory dir;
    dir.installRecorder("ouvreur");
    OpenCommand opener((dir / "ouvreur").string());

    // A document (not executable) goes to the "open" action; with no working directory, in
    // the folder of a path with a backslash.
    dir.writeFile("docs/lisez-moi.txt", "texte");
    EXPECT_TRUE(frame::startProgram("docs\\lisez-moi.txt", "", ""));
    EXPECT_EQ(waitForFile(dir / "docs/cwd.txt"), (dir / "docs").string() + "|docs\\lisez-moi.txt");

    // A given working directory is kept for the shell too.
    stdfs::create_directories(dir / "ailleurs");
    EXPECT_TRUE(frame::startProgram("docs\\lisez-moi.txt", "", "ailleurs"));
    EXPECT_EQ(waitForFile(dir / "ailleurs/cwd.txt"), (dir / "ailleurs").string() + "|docs\\lisez-moi.txt");

    OpenCommand none((dir / "pas-de-shell").string());
    EXPECT_FALSE(frame::startProgram("Tools/absent.exe", "", "Tools"));
}

// The address reaching the browser is checked through the About link and the launcher.
TEST(OpenInBrowser, SaysWhenNoBrowserStarts) {
    ScratchDirectory dir;
    ui::HeadlessUi ui;
    OpenCommand noBrowser((dir / "aucun-navigateur").string());
    ui.expectBox("Attention.", "");
    frame::openInBrowser(ui, "http://127.0.0.1/phpbb/");
    auto boxes = ui.shownBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Impossible d'ouvrir le navigateur.");
    EXPECT_EQ(boxes[0].icon, ui::MessageIcon::None);
    EXPECT_EQ(boxes[0].buttons, ui::MessageButtons::Ok);
    EXPECT_TRUE(ui.failures().empty());
}

TEST(FramePictures, TheFourPicturesDecodeInTheirSizesAndEachEntryHasItsOwn) {
    frame::FramePictures p;
    ASSERT_TRUE(frame::loadFramePictures(p));
    for (const ui::Image* icon : {&p.quitIcon, &p.linkIcon, &p.aboutIcon})
        EXPECT_EQ(std::tuple(icon->width, icon->height, icon->rgba.size()), std::tuple(16, 16, 16u * 16u * 4u));
    EXPECT_EQ(std::tuple(p.aboutPicture.width, p.aboutPicture.height, p.aboutPicture.rgba.size()),
              std::tuple(80, 95, 80u * 95u * 4u));
    EXPECT_NE(p.quitIcon.rgba, p.linkIcon.rgba);

    ui::HeadlessUi ui;
    frame::Frame f{ui, p, {}, 0};
    EXPECT_EQ(frame::quitEntry(f, 3).icon, &p.quitIcon);
    EXPECT_EQ(frame::siteEntry(f, 6).icon, &p.linkIcon);
    EXPECT_EQ(frame::forumEntry(f, 7).icon, &p.linkIcon);
    EXPECT_EQ(frame::aboutEntry(f, 8).icon, &p.aboutIcon);
}

namespace {

// A tool's main thread as the programs build it: window 0 with a button and the "A
// propos" entry, and a loop that leaves the About window's events to the frame.
class ToolUnderTest {
public:
    static constexpr int kButton = 1, kAboutEntry = 8;

    ToolUnderTest() : recorded(headless) {
        frame::loadFramePictures(pictures);
        loop_ = std::thread([this] { run(); });
        headless.waitUntil([this] { return headless.windowExists(0); });
    }
    ~ToolUnderTest() {
        // As a user would: close the About window first (the main window takes no input
        // while it is open), then the tool.
        if (headless.closeBox(70)) headless.waitUntil([this] { return headless.isWindowEnabled(0); });
        headless.closeBox(0);
        if (loop_.joinable()) loop_.join();
    }

    ui::HeadlessUi headless;
    velmo::testing::RecordingUi recorded;
    frame::FramePictures pictures;
    frame::Frame frame{recorded, pictures,
                       {70, 71, 72, 73, 74, 75, "Velmo Transfert - A propos",
                        "Velmo Transfert - Version : 1.2.0"},
                       0};
    std::atomic<int> buttonClicks{0};

private:
    void run() {
        ui::MenuSpec menu{{{"Aide", {frame::aboutEntry(frame, kAboutEntry)}}}};
        recorded.createWindow({0, "Outil", 300, 200},
                              {{kButton, ui::ControlKind::Button, 10, 10, 80, 24, "Valider"}}, &menu);
        for (;;) {
            ui::Event e = recorded.waitEvent();
            if (frame::handleAboutEvent(frame, e)) continue;
            if (e.kind == ui::EventKind::Close && e.windowId == 0) break;
            if (e.kind == ui::EventKind::Menu && e.controlId == kAboutEntry) frame::showAboutWindow(frame);
            if (e.kind == ui::EventKind::Command && e.controlId == kButton) ++buttonClicks;
        }
        recorded.destroyWindow(frame.about.windowId);
        recorded.destroyWindow(0);
    }
    std::thread loop_;
};

}  // namespace

TEST(AboutWindow, DisablesTheMainWindowItsLinkOpensTheSiteAndClosingBringsTheMainWindowBack) {
    ScratchDirectory dir;
    dir.installRecorder("navigateur");
    OpenCommand browser((dir / "navigateur").string());
    ToolUnderTest tool;
    auto& ui = tool.headless;
    ASSERT_TRUE(ui.chooseMenu(0, ToolUnderTest::kAboutEntry));
    ASSERT_TRUE(ui.waitUntil([&] { return ui.windowExists(70); }));
    // The program's own numbers and lines; the author line in Windows-1252.
    EXPECT_EQ(ui.window(70)->controlIds, (std::vector<int>{71, 72, 73, 74, 75}));
    EXPECT_EQ(ui.getText(70, 72), "Velmo Transfert - A propos");
    EXPECT_EQ(ui.getText(70, 73).substr(0, 9), "Cr\xE9\xE9 par ");
    EXPECT_EQ(ui.getText(70, 74), "Velmo Transfert - Version : 1.2.0");
    EXPECT_TRUE(ui.window(70)->topmost);
    EXPECT_EQ(ui.frontWindow(), 70);

    EXPECT_FALSE(ui.isWindowEnabled(0));
    EXPECT_FALSE(ui.click(0, ToolUnderTest::kButton)) << "the main window takes no input";
    EXPECT_FALSE(ui.chooseMenu(0, ToolUnderTest::kAboutEntry)) << "so no second About window";
    ASSERT_TRUE(ui.click(70, 75));
    EXPECT_EQ(waitForFile(dir / "cwd.txt"), dir.root().string() + "|http://" + deployment::siteHost + "/index.php");
    EXPECT_TRUE(ui.windowExists(70)) << "the link leaves the About window open";

    const std::size_t before = tool.recorded.calls().size();
    ASSERT_TRUE(ui.closeBox(70));
    ASSERT_TRUE(ui.waitUntil([&] { return tool.recorded.calls().size() >= before + 5; }));
    auto calls = tool.recorded.calls();
    std::vector<std::string> closing;
    for (std::size_t i = before; i < calls.size(); ++i) closing.push_back(calls[i].what);
    EXPECT_EQ(closing, (std::vector<std::string>{"destroy 70", "enable 0", "topmost 0", "front 0", "ordinary 0"}));
    EXPECT_GE(calls[before + 4].at - calls[before + 2].at, std::chrono::milliseconds(50))
        << "the main window stays on top for 50 ms";
    EXPECT_EQ(ui.frontWindow(), 0);

    // Input reaches the main window again, and the About window opens anew.
    ASSERT_TRUE(ui.click(0, ToolUnderTest::kButton));
    ASSERT_TRUE(ui.waitUntil([&] { return tool.buttonClicks == 1; }));
    ASSERT_TRUE(ui.chooseMenu(0, ToolUnderTest::kAboutEntry));
    EXPECT_TRUE(ui.waitUntil([&] { return ui.windowExists(70) && !ui.isWindowEnabled(0); }));
    EXPECT_TRUE(ui.failures().empty());
}

TEST(ReturnToLauncher, StartsTheLauncherInItsFolderOrSaysTheToolWillClose) {
    ScratchDirectory dir;
    stdfs::create_directories(dir / "Tools");
    stdfs::current_path(dir / "Tools");
    ui::HeadlessUi ui;

    // Missing, then empty: the failed-return box, with the warning icon.
    for (int attempt = 0; attempt < 2; ++attempt) {
        ui.expectBox("Information.", "");
        frame::returnToLauncher(ui);
        dir.writeFile("Velmo_Menu.exe", "");
    }
    auto boxes = ui.shownBoxes();
    ASSERT_EQ(boxes.size(), 2u);
    for (const auto& b : boxes) {
        EXPECT_EQ(b.text, "Impossible de retourner au menu général.\r\n\r\nLe programme va donc se fermer.");
        EXPECT_EQ(b.icon, ui::MessageIcon::Warning);
    }
    EXPECT_TRUE(ui.failures().empty());
    EXPECT_FALSE(stdfs::exists(dir / "cwd.txt"));

    // Present: started from "../" with "../" as its folder, and nothing is said.
    dir.installRecorder("Velmo_Menu.exe");
    frame::returnToLauncher(ui);
    EXPECT_EQ(waitForFile(dir / "cwd.txt"), dir.root().string());
    EXPECT_EQ(ui.shownBoxes().size(), 2u);
}
