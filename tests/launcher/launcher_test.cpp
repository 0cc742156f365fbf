// Velmo_Menu's real loop (runLauncher in a thread of its own) against the headless UI, in
// a scratch folder laid out like the suite: the launcher's folder with "Tools" below it.
#include <gtest/gtest.h>

#include <atomic>
#include <numeric>
#include <thread>
#include <tuple>

#include "deployment.h"
#include "launcher/launcher.h"
#include "tests/frame/frame_test_support.h"
#include "ui/headless/headless_ui.h"

namespace stdfs = std::filesystem;
using namespace velmo;
using velmo::testing::OpenCommand;
using velmo::testing::ScratchDirectory;
using velmo::testing::waitForFile;

namespace {

class Launcher : public ::testing::Test {
protected:
    void start() {
        loop_ = std::thread([this] { exitCode = launcher::runLauncher(ui); });
        ASSERT_TRUE(ui.waitUntil([this] { return ui.windowExists(0); }));
    }
    // Waits for the loop to end on its own (after a quit or a started tool): its last
    // step is to destroy the window, then runLauncher returns.
    bool waitEnded() {
        if (!ui.waitUntil([this] { return !ui.windowExists(0); })) return false;
        loop_.join();
        return true;
    }
    void TearDown() override {
        if (loop_.joinable()) {
            ui.closeBox(0);
            loop_.join();
        }
        EXPECT_TRUE(ui.failures().empty()) << ::testing::PrintToString(ui.failures());
    }

    ScratchDirectory dir;
    ui::HeadlessUi ui;
    std::atomic<int> exitCode{-1};

private:
    std::thread loop_;
};

}  // namespace

// The full table (texts, menu) is read back on the real window by the Wine test; here the
// numbers the tests and the driver rely on, the Windows-1252 bytes and the pictures.
TEST_F(Launcher, ControlNumbersAccentedTextsAndPictures) {
    start();
    auto w = ui.window(0);
    ASSERT_TRUE(w);
    EXPECT_EQ(w->title, "Menu g\xE9n\xE9ral - [Velmo, Softwares 1.0.1]");
    std::vector<int> ids(21);
    std::iota(ids.begin(), ids.end(), 7);
    EXPECT_EQ(w->controlIds, ids);
    EXPECT_EQ(ui.getText(0, 24), "> Les messages des visiteurs et vos r\xE9ponses,");
    EXPECT_EQ(ui.getText(0, 25), "> Vos param\xE8tres personnels.");
    ASSERT_EQ(w->menu.size(), 3u);
    EXPECT_EQ(w->menu[2].title, "V\xE9rifier les mises \xE0 jour");
    EXPECT_EQ(w->menuIconSizes, (std::vector<int>{16, 16, 16, 16, 16})) << "every entry has its icon";
    for (int button : {8, 14, 21}) EXPECT_EQ(ui.control(0, button)->imageWidth, 128) << button;

    ASSERT_TRUE(ui.chooseMenu(0, 5));  // "Quitter"
    ASSERT_TRUE(waitEnded());
    EXPECT_EQ(exitCode, 0);
}

TEST_F(Launcher, AMissingOrEmptyToolIsReportedAndTheLauncherStaysOpen) {
    dir.writeFile("Tools/Velmo_Sauvegarde.exe", "");                // empty
    stdfs::create_directories(dir / "Tools/Velmo_Transfert.exe");  // a folder of that name
    start();
    const std::tuple<bool, int, std::string> cases[] = {
        {false, 21, "Impossible de trouver l'outil \"Velmo_Sauvegarde\"."},
        {false, 14, "Impossible de trouver l'outil \"Velmo_Navigateur\"."},
        {false, 8, "Impossible de trouver l'outil \"Velmo_Transfert\"."},
        {true, 6, "Impossible de trouver l'outil \"Velmo_Maj\"."},
    };
    std::size_t shown = 0;
    for (const auto& [viaMenu, number, text] : cases) {
        SCOPED_TRACE(text);
        ui.expectBox("ATTENTION.", "");
        ASSERT_TRUE(viaMenu ? ui.chooseMenu(0, number) : ui.click(0, number));
        ASSERT_TRUE(ui.waitUntil([&] { return ui.shownBoxes().size() == shown + 1; }));
        auto box = ui.shownBoxes()[shown++];
        EXPECT_EQ(box.text, text);
        EXPECT_EQ(box.icon, ui::MessageIcon::Warning);
        EXPECT_TRUE(ui.windowExists(0));
    }
    EXPECT_FALSE(stdfs::exists(dir / "Tools/cwd.txt"));

    // Still listening: the close box ends it with exit code 0.
    ASSERT_TRUE(ui.closeBox(0));
    ASSERT_TRUE(waitEnded());
    EXPECT_EQ(exitCode, 0);
}

TEST_F(Launcher, APresentToolStartsInToolsAndTheLauncherEnds) {
    for (const auto& [viaMenu, number, tool] :
         {std::tuple{false, 14, "Velmo_Navigateur"}, std::tuple{true, 6, "Velmo_Maj"}}) {
        SCOPED_TRACE(tool);
        const std::string path = std::string("Tools/") + tool + ".exe";
        dir.installRecorder(path);  // the only program there, so what starts is this one
        start();
        ASSERT_TRUE(viaMenu ? ui.chooseMenu(0, number) : ui.click(0, number));
        ASSERT_TRUE(waitEnded());
        EXPECT_EQ(exitCode, 0);
        EXPECT_EQ(waitForFile(dir / "Tools/cwd.txt"), (dir / "Tools").string()) << "no arguments";
        stdfs::remove(dir / path);
        stdfs::remove(dir / "Tools/cwd.txt");
    }
    EXPECT_TRUE(ui.shownBoxes().empty());
    EXPECT_TRUE(ui.windowIds().empty());
}

TEST_F(Launcher, APresentToolThatCannotStartStillEndsTheLauncher) {
    dir.writeFile("Tools/Velmo_Transfert.exe", "pas un programme");
    OpenCommand noShell(dir / "pas-de-shell");
    start();
    ASSERT_TRUE(ui.click(0, 8));
    ASSERT_TRUE(waitEnded());
    EXPECT_EQ(exitCode, 0);
    EXPECT_TRUE(ui.shownBoxes().empty());
}

// The site and forum entries open their addresses and the launcher goes on; "A propos"
// disables it until its window is closed.
TEST_F(Launcher, SiteForumAndAboutEntriesKeepTheLauncherOpen) {
    dir.installRecorder("navigateur");
    OpenCommand browser(dir / "navigateur");
    dir.installRecorder("Tools/Velmo_Sauvegarde.exe");
    start();
    ASSERT_TRUE(ui.chooseMenu(0, 2));
    EXPECT_EQ(waitForFile(dir / "cwd.txt"), dir.root.string() + "|http://" + deployment::siteHost + "/index.php");
    stdfs::remove(dir / "cwd.txt");
    ASSERT_TRUE(ui.chooseMenu(0, 3));
    EXPECT_EQ(waitForFile(dir / "cwd.txt"), dir.root.string() + "|http://" + deployment::forumHost + "/phpbb/");

    ASSERT_TRUE(ui.chooseMenu(0, 4));
    ASSERT_TRUE(ui.waitUntil([&] { return ui.windowExists(34); }));
    EXPECT_FALSE(ui.isWindowEnabled(0));
    EXPECT_FALSE(ui.click(0, 21)) << "no tool starts meanwhile";
    ASSERT_TRUE(ui.closeBox(34));
    ASSERT_TRUE(ui.waitUntil([&] { return !ui.windowExists(34) && ui.isWindowEnabled(0); }));
    // Enabled again: a tool starts.
    ASSERT_TRUE(ui.click(0, 21));
    ASSERT_TRUE(waitEnded());
    EXPECT_EQ(waitForFile(dir / "Tools/cwd.txt"), (dir / "Tools").string());
}
