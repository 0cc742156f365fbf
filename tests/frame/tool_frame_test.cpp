// The tool frame against the headless UI and real processes: file presence, program start
// with a working directory, the browser links, the About window and the way back to the
// launcher.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

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

namespace {

const std::string kSite = std::string("http://") + deployment::siteHost + "/index.php";
const std::string kForum = std::string("http://") + deployment::forumHost + "/phpbb/";
const char* kFailedReturn =
    "Impossible de retourner au menu général.\r\n\r\nLe programme va donc se fermer.";

}  // namespace

TEST(FileIsPresent, OnlyAFileWithContentCounts) {
    ScratchDirectory dir;
    dir.writeFile("vide.exe", "");
    dir.writeFile("plein.exe", "M");
    stdfs::create_directories(dir / "Velmo_Menu.exe");
    stdfs::create_directories(dir / "Tools");
    dir.writeFile("Tools/Velmo_Maj.exe", "MZ");

    EXPECT_FALSE(frame::fileIsPresent("absent.exe"));
    EXPECT_FALSE(frame::fileIsPresent("vide.exe"));
    EXPECT_FALSE(frame::fileIsPresent("Velmo_Menu.exe")) << "a folder named like the file";
    EXPECT_FALSE(frame::fileIsPresent("Tools")) << "a folder";
    EXPECT_FALSE(frame::fileIsPresent(""));
    EXPECT_TRUE(frame::fileIsPresent("plein.exe"));
    EXPECT_TRUE(frame::fileIsPresent("Tools/Velmo_Maj.exe"));
    EXPECT_TRUE(frame::fileIsPresent("Tools\\Velmo_Maj.exe"));
    stdfs::current_path(dir / "Tools");
    EXPECT_TRUE(frame::fileIsPresent("../plein.exe"));
    EXPECT_FALSE(frame::fileIsPresent("../Velmo_Menu.exe"));
}

TEST(StartProgram, CommandLineQuotesThePathOnceAndAppendsTheArguments) {
    EXPECT_EQ(frame::programCommandLine("Tools/Velmo_Maj.exe", ""), "\"Tools/Velmo_Maj.exe\"");
    EXPECT_EQ(frame::programCommandLine("Mes outils\\a.exe", "-v 2"), "\"Mes outils\\a.exe\" -v 2");
    EXPECT_EQ(frame::programCommandLine("\"C:\\x y\\a.exe\" -q", ""), "\"C:\\x y\\a.exe\" -q");
    EXPECT_EQ(frame::programCommandLine("\"a.exe\"", "b"), "\"a.exe\" b");
}

TEST(StartProgram, RelativeProgramIsFoundFromOurFolderAndRunsInTheGivenOne) {
    ScratchDirectory dir;
    dir.installRecorder("Tools/Velmo_Sauvegarde.exe");
    EXPECT_TRUE(frame::startProgram("Tools/Velmo_Sauvegarde.exe", "", "Tools"));
    EXPECT_EQ(waitForFile(dir / "Tools/cwd.txt"), (dir / "Tools").string());
    EXPECT_FALSE(stdfs::exists(dir / "cwd.txt"));

    // Arguments reach it; with no working directory it runs in ours.
    dir.installRecorder("Mes outils/outil");
    EXPECT_TRUE(frame::startProgram("Mes outils/outil", "premier", ""));
    EXPECT_EQ(waitForFile(dir / "cwd.txt"), dir.root().string() + "|premier");
}

TEST(StartProgram, WhatIsNoProgramGoesToTheShellAndNothingStartedIsFalse) {
    ScratchDirectory dir;
    dir.installRecorder("ouvreur");
    OpenCommand opener((dir / "ouvreur").string());

    // A document (not executable) is handed to the "open" action in our folder.
    dir.writeFile("notes.txt", "texte");
    EXPECT_TRUE(frame::startProgram("notes.txt", "", ""));
    EXPECT_EQ(waitForFile(dir / "cwd.txt"), dir.root().string() + "|notes.txt");

    // With no working directory, a path with a backslash opens in its own folder.
    dir.writeFile("docs/lisez-moi.txt", "texte");
    EXPECT_TRUE(frame::startProgram("docs\\lisez-moi.txt", "", ""));
    EXPECT_EQ(waitForFile(dir / "docs/cwd.txt"), (dir / "docs").string() + "|docs\\lisez-moi.txt");

    // A given working directory is kept for the shell too.
    stdfs::create_directories(dir / "ailleurs");
    EXPECT_TRUE(frame::startProgram("docs\\lisez-moi.txt", "", "ailleurs"));
    EXPECT_EQ(waitForFile(dir / "ailleurs/cwd.txt"),
              (dir / "ailleurs").string() + "|docs\\lisez-moi.txt");

    OpenCommand none((dir / "pas-de-shell").string());
    EXPECT_FALSE(frame::startProgram("Tools/absent.exe", "", "Tools"));
}

TEST(OpenInBrowser, HandsTheAddressToTheBrowserOrSaysItCannot) {
    ScratchDirectory dir;
    ui::HeadlessUi ui;
    {
        dir.installRecorder("navigateur");
        OpenCommand browser((dir / "navigateur").string());
        frame::openInBrowser(ui, frame::officialSiteAddress());
        EXPECT_EQ(waitForFile(dir / "cwd.txt"), dir.root().string() + "|" + kSite);
        EXPECT_TRUE(ui.shownBoxes().empty());
    }
    EXPECT_EQ(frame::forumAddress(), kForum);

    OpenCommand noBrowser((dir / "aucun-navigateur").string());
    ui.expectBox("Attention.", "Impossible d'ouvrir le navigateur.");
    frame::openInBrowser(ui, frame::forumAddress());
    auto boxes = ui.shownBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, "Attention.");
    EXPECT_EQ(boxes[0].text, "Impossible d'ouvrir le navigateur.");
    EXPECT_EQ(boxes[0].icon, ui::MessageIcon::None);
    EXPECT_EQ(boxes[0].buttons, ui::MessageButtons::Ok);
    EXPECT_TRUE(ui.failures().empty());
}

TEST(FramePictures, TheFourPicturesDecodeInTheirSizes) {
    frame::FramePictures p;
    ASSERT_TRUE(frame::loadFramePictures(p));
    for (const ui::Image* icon : {&p.quitIcon, &p.linkIcon, &p.aboutIcon}) {
        EXPECT_EQ(icon->width, 16);
        EXPECT_EQ(icon->height, 16);
        EXPECT_EQ(icon->rgba.size(), 16u * 16u * 4u);
    }
    EXPECT_EQ(p.aboutPicture.width, 80);
    EXPECT_EQ(p.aboutPicture.height, 95);
    EXPECT_EQ(p.aboutPicture.rgba.size(), 80u * 95u * 4u);
    EXPECT_NE(p.quitIcon.rgba, p.linkIcon.rgba);
    EXPECT_NE(p.linkIcon.rgba, p.aboutIcon.rgba);

    // Each common entry carries its own icon.
    ui::HeadlessUi ui;
    frame::Frame f{ui, p, {}, 0};
    EXPECT_EQ(frame::quitEntry(f, 3).text, "Quitter");
    EXPECT_EQ(frame::quitEntry(f, 3).icon, &p.quitIcon);
    EXPECT_EQ(frame::siteEntry(f, 6).text, "Site de Velmo, livre d'or");
    EXPECT_EQ(frame::siteEntry(f, 6).icon, &p.linkIcon);
    EXPECT_EQ(frame::forumEntry(f, 7).text, "Forum de Velmo, livre d'or");
    EXPECT_EQ(frame::forumEntry(f, 7).icon, &p.linkIcon);
    EXPECT_EQ(frame::aboutEntry(f, 8).text, "A propos");
    EXPECT_EQ(frame::aboutEntry(f, 8).icon, &p.aboutIcon);
    EXPECT_EQ(frame::aboutEntry(f, 8).id, 8);
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

TEST(AboutWindow, IsBuiltAsTabledAboveAllWindows) {
    ToolUnderTest tool;
    ASSERT_TRUE(tool.headless.chooseMenu(0, ToolUnderTest::kAboutEntry));
    ASSERT_TRUE(tool.headless.waitUntil([&] { return tool.headless.windowExists(70); }));

    auto w = tool.headless.window(70);
    EXPECT_EQ(w->title, "A propos.");
    EXPECT_EQ(w->clientWidth, 380);
    EXPECT_EQ(w->clientHeight, 103);
    EXPECT_FALSE(w->minimizeBox);
    EXPECT_FALSE(w->resizable);
    EXPECT_TRUE(w->topmost);
    EXPECT_TRUE(w->menu.empty());
    EXPECT_EQ(w->controlIds, (std::vector<int>{71, 72, 73, 74, 75}));
    EXPECT_EQ(tool.headless.frontWindow(), 70);

    struct Row {
        int id;
        ui::ControlKind kind;
        int x, y, width, height;
        std::string text;
        ui::FontRole font;
        ui::TextAlign align;
    };
    const Row rows[] = {
        {71, ui::ControlKind::Picture, 4, 4, 80, 95, "", ui::FontRole::None, ui::TextAlign::Left},
        {72, ui::ControlKind::Label, 88, 2, 280, 16, "Velmo Transfert - A propos", ui::FontRole::Text8,
         ui::TextAlign::Centre},
        {73, ui::ControlKind::Label, 95, 24, 315, 16,
         std::string("Créé par ") + deployment::authorContact, ui::FontRole::Text8, ui::TextAlign::Left},
        {74, ui::ControlKind::Label, 95, 42, 315, 16, "Velmo Transfert - Version : 1.2.0",
         ui::FontRole::Text8, ui::TextAlign::Left},
        {75, ui::ControlKind::Link, 170, 70, 180, 24, ".: Aller sur le site :.", ui::FontRole::Large10,
         ui::TextAlign::Left},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.id);
        auto c = tool.headless.control(70, r.id);
        ASSERT_TRUE(c);
        EXPECT_EQ(c->kind, r.kind);
        EXPECT_EQ((std::vector<int>{c->x, c->y, c->width, c->height}),
                  (std::vector<int>{r.x, r.y, r.width, r.height}));
        EXPECT_EQ(c->text, r.text);
        EXPECT_EQ(c->font, r.font);
        EXPECT_EQ(c->align, r.align);
    }
    EXPECT_EQ(tool.headless.control(70, 71)->imageWidth, 80);
    EXPECT_EQ(tool.headless.control(70, 71)->imageHeight, 95);
    EXPECT_EQ(tool.headless.control(70, 73)->text.substr(0, 9), "Cr\xE9\xE9 par ") << "Windows-1252";
    EXPECT_EQ(tool.headless.control(70, 75)->colour, (ui::Colour{0, 0, 0}));
    EXPECT_EQ(tool.headless.control(70, 75)->hoverColour, (ui::Colour{255, 0, 0}));
}

TEST(AboutWindow, DisablesTheMainWindowUntilClosedThenBringsItToTheFront) {
    ToolUnderTest tool;
    auto& ui = tool.headless;
    ASSERT_TRUE(ui.chooseMenu(0, ToolUnderTest::kAboutEntry));
    ASSERT_TRUE(ui.waitUntil([&] { return ui.windowExists(70); }));
    EXPECT_FALSE(ui.isWindowEnabled(0));
    EXPECT_FALSE(ui.click(0, ToolUnderTest::kButton)) << "the main window takes no input";
    EXPECT_FALSE(ui.chooseMenu(0, ToolUnderTest::kAboutEntry)) << "so no second About window";
    EXPECT_EQ(ui.windowIds(), (std::vector<int>{0, 70}));

    const std::size_t before = tool.recorded.calls().size();
    ASSERT_TRUE(ui.closeBox(70));
    ASSERT_TRUE(ui.waitUntil([&] {
        auto names = tool.recorded.callNames();
        return names.size() >= before + 5;
    }));
    auto calls = tool.recorded.calls();
    std::vector<std::string> closing;
    for (std::size_t i = before; i < calls.size(); ++i) closing.push_back(calls[i].what);
    EXPECT_EQ(closing, (std::vector<std::string>{"destroy 70", "enable 0", "topmost 0", "front 0",
                                                  "ordinary 0"}));
    EXPECT_GE(calls[before + 4].at - calls[before + 2].at, std::chrono::milliseconds(50))
        << "the main window stays on top for 50 ms";
    EXPECT_FALSE(ui.windowExists(70));
    EXPECT_TRUE(ui.isWindowEnabled(0));
    EXPECT_FALSE(ui.window(0)->topmost);
    EXPECT_EQ(ui.frontWindow(), 0);

    // Input reaches the main window again, and the About window opens anew.
    ASSERT_TRUE(ui.click(0, ToolUnderTest::kButton));
    ASSERT_TRUE(ui.waitUntil([&] { return tool.buttonClicks == 1; }));
    ASSERT_TRUE(ui.chooseMenu(0, ToolUnderTest::kAboutEntry));
    EXPECT_TRUE(ui.waitUntil([&] { return ui.windowExists(70) && !ui.isWindowEnabled(0); }));
}

TEST(AboutWindow, ItsLinkOpensTheSiteAndTheWindowStays) {
    ScratchDirectory dir;
    dir.installRecorder("navigateur");
    ToolUnderTest tool;
    auto& ui = tool.headless;
    ASSERT_TRUE(ui.chooseMenu(0, ToolUnderTest::kAboutEntry));
    ASSERT_TRUE(ui.waitUntil([&] { return ui.windowExists(70); }));
    {
        OpenCommand browser((dir / "navigateur").string());
        ASSERT_TRUE(ui.click(70, 75));
        EXPECT_EQ(waitForFile(dir / "cwd.txt"), dir.root().string() + "|" + kSite);
    }
    // Without a browser the box says so; the About window stays and still closes.
    OpenCommand noBrowser((dir / "aucun").string());
    ui.expectBox("Attention.", "Impossible d'ouvrir le navigateur.");
    ASSERT_TRUE(ui.click(70, 75));
    ASSERT_TRUE(ui.waitUntil([&] { return ui.shownBoxes().size() == 1; }));
    EXPECT_EQ(ui.shownBoxes()[0].text, "Impossible d'ouvrir le navigateur.");
    EXPECT_TRUE(ui.windowExists(70));
    EXPECT_FALSE(ui.isWindowEnabled(0));
    ASSERT_TRUE(ui.closeBox(70));
    EXPECT_TRUE(ui.waitUntil([&] { return !ui.windowExists(70) && ui.isWindowEnabled(0); }));
    EXPECT_TRUE(ui.failures().empty());
}

TEST(ReturnToLauncher, StartsTheLauncherInItsFolderOrSaysTheToolWillClose) {
    ScratchDirectory dir;
    stdfs::create_directories(dir / "Tools");
    stdfs::current_path(dir / "Tools");
    ui::HeadlessUi ui;

    // Missing, empty, or a folder of that name: the failed-return box, with the warning icon.
    ui.expectBox("Information.", "Impossible de retourner au menu");
    frame::returnToLauncher(ui);
    dir.writeFile("Velmo_Menu.exe", "");
    ui.expectBox("Information.", "Impossible de retourner au menu");
    frame::returnToLauncher(ui);
    stdfs::remove(dir / "Velmo_Menu.exe");
    stdfs::create_directories(dir / "Velmo_Menu.exe");
    ui.expectBox("Information.", "Impossible de retourner au menu");
    frame::returnToLauncher(ui);
    auto boxes = ui.shownBoxes();
    ASSERT_EQ(boxes.size(), 3u);
    for (const auto& b : boxes) {
        EXPECT_EQ(b.title, "Information.");
        EXPECT_EQ(b.text, kFailedReturn);
        EXPECT_EQ(b.icon, ui::MessageIcon::Warning);
        EXPECT_EQ(b.buttons, ui::MessageButtons::Ok);
    }
    EXPECT_TRUE(ui.failures().empty());
    EXPECT_FALSE(stdfs::exists(dir / "cwd.txt"));

    // Present: started from "../" with "../" as its folder, and nothing is said.
    stdfs::remove(dir / "Velmo_Menu.exe");
    dir.installRecorder("Velmo_Menu.exe");
    frame::returnToLauncher(ui);
    EXPECT_EQ(waitForFile(dir / "cwd.txt"), dir.root().string());
    EXPECT_EQ(ui.shownBoxes().size(), 3u);
}
