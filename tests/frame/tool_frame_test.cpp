// The tool frame against the headless UI and real processes: file presence, program start
// with a working directory, the browser links, the About window and the way back to the
// launcher.
#include <gtest/gtest.h>

#include <mutex>
#include <thread>
#include <tuple>

#include "deployment.h"
#include "frame/tool_frame.h"
#include "platform/fs.h"
#include "platform/process.h"
#include "tests/frame/frame_test_support.h"
#include "ui/headless/headless_ui.h"

namespace stdfs = std::filesystem;
using namespace velmo;
using velmo::testing::OpenCommand;
using velmo::testing::ScratchDirectory;
using velmo::testing::waitForFile;

TEST(FileIsPresent, OnlyAFileWithContentCountsAndBackslashesAreSeparators) {
    ScratchDirectory dir;
    dir.writeFile("vide.exe", "");
    stdfs::create_directories(dir / "Velmo_Menu.exe");
    dir.writeFile("Tools/Velmo_Maj.exe", "M");
    EXPECT_FALSE(fs::fileIsPresent("absent.exe"));
    EXPECT_FALSE(fs::fileIsPresent("vide.exe"));
    EXPECT_FALSE(fs::fileIsPresent("Velmo_Menu.exe")) << "a folder named like the file";
    EXPECT_TRUE(fs::fileIsPresent("Tools\\Velmo_Maj.exe"));
}

TEST(StartProgram, CommandLineQuotesThePathOnceAndAppendsTheArguments) {
    EXPECT_EQ(process::programCommandLine("Tools/Velmo_Maj.exe", ""), "\"Tools/Velmo_Maj.exe\"");
    EXPECT_EQ(process::programCommandLine("Mes outils\\a.exe", "-v 2"), "\"Mes outils\\a.exe\" -v 2");
    EXPECT_EQ(process::programCommandLine("\"C:\\x y\\a.exe\" -q", ""), "\"C:\\x y\\a.exe\" -q");
}

TEST(StartProgram, RelativeProgramIsFoundFromOurFolderAndRunsInTheGivenOne) {
    ScratchDirectory dir;
    dir.installRecorder("Tools/Velmo_Sauvegarde.exe");
    EXPECT_TRUE(process::startProgram("Tools/Velmo_Sauvegarde.exe", "", "Tools"));
    EXPECT_EQ(waitForFile(dir / "Tools/cwd.txt"), (dir / "Tools").string());
    EXPECT_FALSE(stdfs::exists(dir / "cwd.txt"));
}

TEST(StartProgram, WhatIsNoProgramGoesToTheShellAndNothingStartedIsFalse) {
    ScratchDirectory dir;
    dir.installRecorder("ouvreur");
    OpenCommand opener(dir / "ouvreur");

    // A document (not executable) goes to the "open" action; with no working directory, in
    // the folder of a path with a backslash.
    dir.writeFile("docs/lisez-moi.txt", "texte");
    EXPECT_TRUE(process::startProgram("docs\\lisez-moi.txt", "", ""));
    EXPECT_EQ(waitForFile(dir / "docs/cwd.txt"), (dir / "docs").string() + "|docs\\lisez-moi.txt");

    OpenCommand none(dir / "pas-de-shell");
    EXPECT_FALSE(process::startProgram("Tools/absent.exe", "", "Tools"));
}

// The address reaching the browser is checked through the About link and the launcher.
TEST(OpenInBrowser, SaysWhenNoBrowserStarts) {
    ScratchDirectory dir;
    ui::HeadlessUi ui;
    OpenCommand noBrowser(dir / "aucun-navigateur");
    ui.expectBox("Attention.", "Impossible d'ouvrir le navigateur.");
    frame::openInBrowser(ui, "http://127.0.0.1/phpbb/");
    ASSERT_EQ(ui.shownBoxes().size(), 1u);
    EXPECT_EQ(ui.shownBoxes()[0].text, "Impossible d'ouvrir le navigateur.");
    EXPECT_EQ(ui.shownBoxes()[0].icon, ui::MessageIcon::None);
    EXPECT_TRUE(ui.failures().empty());
}

TEST(FramePictures, TheFourPicturesDecodeInTheirSizesAndEachEntryHasItsOwn) {
    frame::FramePictures p;
    ASSERT_TRUE(frame::loadFramePictures(p));
    for (const auto& [picture, w, h] : {std::tuple{&p.quitIcon, 16, 16}, std::tuple{&p.linkIcon, 16, 16},
                                        std::tuple{&p.aboutIcon, 16, 16}, std::tuple{&p.aboutPicture, 80, 95}})
        EXPECT_EQ(std::tuple(picture->width, picture->height, picture->rgba.size()), std::tuple(w, h, w * h * 4u));
    EXPECT_NE(p.quitIcon.rgba, p.linkIcon.rgba);
    EXPECT_NE(p.linkIcon.rgba, p.aboutIcon.rgba);
    EXPECT_NE(p.quitIcon.rgba, p.aboutIcon.rgba);
    // Which entry shows which picture: the program skeleton's test (menuIconPixels).
}

namespace {

// A Ui that passes every call on to the headless one and notes, with the time, the calls
// that change a window's place, state or existence, so that the order of the frame's steps
// (and its pause) shows, not only where they ended.
#define FWD(R, f, P, A) \
    R f P override { return in_.f A; }
#define NOTE(f, P, A, what) \
    void f P override { note(what); in_.f A; }
#define WC(R, f) FWD(R, f, (int w, int c), (w, c))
#define WCV(T, f) FWD(void, f, (int w, int c, T v), (w, c, v))
#define WCI(R, f) FWD(R, f, (int w, int c, int i), (w, c, i))
class RecordingUi final : public ui::Ui {
public:
    struct Call {
        std::string what;  // "enable 0", "topmost 0", "ordinary 0", "front 0", "destroy 34"...
        std::chrono::steady_clock::time_point at;
    };
    explicit RecordingUi(ui::HeadlessUi& inner) : in_(inner) {}
    std::vector<Call> calls() const {
        std::lock_guard lock(m_);
        return calls_;
    }

    bool createWindow(const ui::WindowSpec& w, const std::vector<ui::ControlSpec>& c,
                      const ui::MenuSpec* menu = nullptr) override {
        note("create " + std::to_string(w.id));
        return in_.createWindow(w, c, menu);
    }
    NOTE(destroyWindow, (int id), (id), "destroy " + std::to_string(id))
    NOTE(setWindowEnabled, (int id, bool e), (id, e), (e ? "enable " : "disable ") + std::to_string(id))
    NOTE(setTopmost, (int id, bool t), (id, t), (t ? "topmost " : "ordinary ") + std::to_string(id))
    NOTE(bringToFront, (int id), (id), "front " + std::to_string(id))
    FWD(bool, windowExists, (int id), (id)) FWD(bool, isWindowEnabled, (int id), (id))
    FWD(void, setWindowTitle, (int id, const std::string& t), (id, t))
    FWD(bool, addControl, (int w, const ui::ControlSpec& c), (w, c))
    WC(void, removeControl) WC(bool, controlExists) WC(std::string, getText) WC(bool, isChecked)
    WC(bool, isPressed) WC(bool, isEnabled) WC(void, setFocus) WC(int, getProgress) WC(int, lineCount)
    WC(void, clearLines) WC(int, selectedLine) WC(int, rowCount) WC(void, clearRows) WC(int, selectedRow)
    WC(int, selectedTab)
    WCV(bool, setChecked) WCV(bool, setPressed) WCV(bool, setEnabled) WCV(const std::string&, setText)
    WCV(const std::string&, setTooltip) WCV(int, setProgress)
    FWD(int, addLine, (int w, int c, const std::string& t), (w, c, t))
    WCI(std::string, getLine) WCI(void, selectLine) WCI(void, selectRow) WCI(void, selectTab)
    FWD(void, setProgressRange, (int w, int c, int lo, int hi), (w, c, lo, hi))
    FWD(void, setLine, (int w, int c, int i, const std::string& t), (w, c, i, t))
    FWD(int, addRow, (int w, int c, const std::vector<std::string>& cells, int image = -1), (w, c, cells, image))
    FWD(void, setCell, (int w, int c, int r, int col, const std::string& t), (w, c, r, col, t))
    FWD(std::string, getCell, (int w, int c, int r, int col), (w, c, r, col))
    FWD(void, setRowChecked, (int w, int c, int r, bool v), (w, c, r, v))
    FWD(void, setTextColour, (int w, int c, ui::Colour v), (w, c, v))
    FWD(void, setRowColour, (int w, int c, int r, ui::Colour v), (w, c, r, v))
    FWD(bool, isRowChecked, (int w, int c, int r), (w, c, r))
    FWD(ui::Event, waitEvent, (), ()) FWD(void, postQuit, (), ()) FWD(void, wake, (int w), (w))
    FWD(bool, post, (int w, std::function<void()> task), (w, std::move(task)))
    FWD(ui::MessageBoxResult, messageBox,
        (const std::string& title, const std::string& text, ui::MessageIcon icon = ui::MessageIcon::None,
         ui::MessageButtons buttons = ui::MessageButtons::Ok),
        (title, text, icon, buttons))

private:
    void note(std::string what) {
        std::lock_guard lock(m_);
        calls_.push_back({std::move(what), std::chrono::steady_clock::now()});
    }
    ui::HeadlessUi& in_;
    mutable std::mutex m_;
    std::vector<Call> calls_;
};
#undef FWD
#undef NOTE
#undef WC
#undef WCV
#undef WCI

// A tool's main thread as the programs build it: window 0 with the "A propos" entry, and a
// loop that leaves the About window's events to the frame.
struct ToolUnderTest {
    static constexpr int aboutEntryId = 8;
    ToolUnderTest() : recorded(headless) {
        frame::loadFramePictures(pictures);
        loop = std::thread([this] {
            ui::MenuSpec menu{{{"Aide", {{aboutEntryId, frame::aboutEntryText, &pictures.aboutIcon}}}}};
            recorded.createWindow({0, "Outil", 300, 200}, {}, &menu);
            for (ui::Event e = recorded.waitEvent(); e.kind != ui::EventKind::Close || e.windowId != 0;
                 e = recorded.waitEvent())
                if (!frame::handleAboutEvent(frame, e) && e.kind == ui::EventKind::Menu) frame::showAboutWindow(frame);
            recorded.destroyWindow(frame.about.windowId);
            recorded.destroyWindow(0);
        });
        headless.waitUntil([this] { return headless.windowExists(0); });
    }
    ~ToolUnderTest() {
        // As a user would: the About window first (the main window takes no input while it
        // is open), then the tool.
        if (headless.closeBox(70)) headless.waitUntil([this] { return headless.isWindowEnabled(0); });
        headless.closeBox(0);
        loop.join();
    }

    ui::HeadlessUi headless;
    RecordingUi recorded;
    frame::FramePictures pictures;
    frame::Frame frame{recorded, pictures,
                       {70, 71, 72, 73, 74, 75, "Velmo Transfert - A propos", "Velmo Transfert - Version : 1.2.0"},
                       0};
    std::thread loop;
};

}  // namespace

TEST(AboutWindow, DisablesTheMainWindowItsLinkOpensTheSiteAndClosingBringsTheMainWindowBack) {
    ScratchDirectory dir;
    dir.installRecorder("navigateur");
    OpenCommand browser(dir / "navigateur");
    ToolUnderTest tool;
    auto& ui = tool.headless;
    ASSERT_TRUE(ui.chooseMenu(0, ToolUnderTest::aboutEntryId));
    ASSERT_TRUE(ui.waitUntil([&] { return ui.windowExists(70); }));
    // The program's own numbers and lines; the author line in Windows-1252.
    EXPECT_EQ(ui.window(70)->controlIds, (std::vector<int>{71, 72, 73, 74, 75}));
    EXPECT_EQ(ui.getText(70, 73).substr(0, 9), "Cr\xE9\xE9 par ");
    EXPECT_TRUE(ui.window(70)->topmost);
    EXPECT_EQ(ui.frontWindow(), 70);

    EXPECT_FALSE(ui.isWindowEnabled(0));
    EXPECT_FALSE(ui.chooseMenu(0, ToolUnderTest::aboutEntryId)) << "no input, so no second About window";
    ASSERT_TRUE(ui.click(70, 75));
    EXPECT_EQ(waitForFile(dir / "cwd.txt"), dir.root.string() + "|http://" + deployment::siteHost + "/index.php");
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

    // Input reaches the main window again: the About window opens anew.
    ASSERT_TRUE(ui.chooseMenu(0, ToolUnderTest::aboutEntryId));
    EXPECT_TRUE(ui.waitUntil([&] { return ui.windowExists(70) && !ui.isWindowEnabled(0); }));
    EXPECT_TRUE(ui.failures().empty());
}

TEST(ReturnToLauncher, StartsTheLauncherInItsFolderOrSaysTheToolWillClose) {
    ScratchDirectory dir;
    stdfs::create_directories(dir / "Tools");
    stdfs::current_path(dir / "Tools");
    ui::HeadlessUi ui;

    // Missing: the failed-return box, with the warning icon, and nothing starts.
    ui.expectBox("Information.", "");
    frame::returnToLauncher(ui);
    ASSERT_EQ(ui.shownBoxes().size(), 1u);
    EXPECT_EQ(ui.shownBoxes()[0].text, "Impossible de retourner au menu général.\r\n\r\nLe programme va donc se fermer.");
    EXPECT_EQ(ui.shownBoxes()[0].icon, ui::MessageIcon::Warning);
    EXPECT_TRUE(ui.failures().empty());

    // Present: started from "../" with "../" as its folder, and nothing is said.
    dir.installRecorder("Velmo_Menu.exe");
    frame::returnToLauncher(ui);
    EXPECT_EQ(waitForFile(dir / "cwd.txt"), dir.root.string());
    EXPECT_EQ(ui.shownBoxes().size(), 1u);
}
