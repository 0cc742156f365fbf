// Velmo_Menu's real loop (runLauncher in a thread of its own) against the headless UI, in
// a scratch folder laid out like the suite: the launcher's folder with "Tools" below it.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

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
        loop_ = std::thread([this] {
            exitCode = launcher::runLauncher(ui);
            ended = true;
        });
        ASSERT_TRUE(ui.waitUntil([this] { return ui.windowExists(0); }));
    }
    // Waits for the loop to end on its own (after a quit or a started tool): its last
    // step is to destroy the window, then runLauncher returns.
    bool waitEnded() {
        if (!ui.waitUntil([this] { return !ui.windowExists(0); })) return false;
        loop_.join();
        return ended;
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
    std::atomic<bool> ended{false};

private:
    std::thread loop_;
};

const char* kHowTo = "Pour utiliser cet outil, cliquer sur son image.";

}  // namespace

TEST_F(Launcher, WindowMenuAndControlsAreBuiltAsTabled) {
    start();
    auto w = ui.window(0);
    ASSERT_TRUE(w);
    EXPECT_EQ(w->title, "Menu général - [Velmo, Softwares 1.0.1]");
    EXPECT_EQ(w->title.substr(0, 12), "Menu g\xE9n\xE9ral") << "Windows-1252 bytes";
    EXPECT_EQ(w->clientWidth, 600);
    EXPECT_EQ(w->clientHeight, 520);
    EXPECT_FALSE(w->minimizeBox);
    EXPECT_FALSE(w->resizable);
    EXPECT_TRUE(w->enabled);

    struct Title {
        std::string title;
        std::vector<std::pair<int, std::string>> entries;
    };
    const std::vector<Title> menu = {
        {"Fichier", {{5, "Quitter"}}},
        {"Aide", {{2, "Site de Velmo, livre d'or"}, {3, "Forum de Velmo, livre d'or"}, {4, "A propos"}}},
        {"Vérifier les mises à jour", {{6, "Vérifier les mises à jour"}}},
    };
    ASSERT_EQ(w->menu.size(), menu.size());
    for (std::size_t i = 0; i < menu.size(); ++i) {
        EXPECT_EQ(w->menu[i].title, menu[i].title);
        ASSERT_EQ(w->menu[i].entries.size(), menu[i].entries.size());
        for (std::size_t j = 0; j < menu[i].entries.size(); ++j) {
            EXPECT_EQ(w->menu[i].entries[j].id, menu[i].entries[j].first);
            EXPECT_EQ(w->menu[i].entries[j].text, menu[i].entries[j].second);
        }
    }
    EXPECT_EQ(w->menuIconSizes, (std::vector<int>{16, 16, 16, 16, 16})) << "every entry has its icon";

    using K = ui::ControlKind;
    using F = ui::FontRole;
    struct Row {
        int id;
        K kind;
        int x, y, width, height;
        std::string text;
    };
    const std::vector<Row> rows = {
        {7, K::GroupBox, 5, 5, 591, 157, "Velmo, Transfert."},
        {8, K::PictureButton, 16, 24, 132, 132, ""},
        {9, K::Label, 160, 26, 430, 16, "Velmo, Transfert est un clientFTP spécialement conçu pour transférer"},
        {10, K::Label, 160, 42, 430, 16, " le plus simplement possible le livre d'or sur votre site."},
        {11, K::Label, 160, 64, 430, 16,
         "Pas la peine d'utiliser cet outil, si vous avez déjà un livre d'or sur votre site."},
        {12, K::Label, 160, 128, 430, 16, kHowTo},
        {13, K::GroupBox, 5, 172, 591, 157, "Velmo, Navigateur."},
        {14, K::PictureButton, 16, 190, 132, 132, ""},
        {15, K::Label, 160, 194, 430, 16,
         "Velmo, Navigateur est un explorateur FTP, pour ceux ayant déjà une version"},
        {16, K::Label, 160, 210, 430, 16, " du livre d'or sur leur site."},
        {17, K::Label, 160, 226, 430, 16,
         "Ceci permettra de trouver le nom du dossier dans lequel se trouve le livre d'or,"},
        {18, K::Label, 160, 242, 430, 16, "pour ensuite pouvoir utiliser Velmo, Sauvegarde."},
        {19, K::Label, 160, 296, 430, 16, kHowTo},
        {20, K::GroupBox, 5, 334, 591, 157, "Velmo, Sauvegarde."},
        {21, K::PictureButton, 16, 352, 132, 132, ""},
        {22, K::Label, 160, 356, 430, 16,
         "Velmo, Sauvegarde permet de sauvegarder facilement les fichiers importants"},
        {23, K::Label, 160, 372, 430, 16, "de votre livre d'or comme :"},
        {24, K::Label, 160, 388, 430, 16, "> Les messages des visiteurs et vos réponses,"},
        {25, K::Label, 160, 404, 430, 16, "> Vos paramètres personnels."},
        {26, K::Label, 160, 420, 430, 16, "> Les skins."},
        {27, K::Label, 160, 458, 430, 16, kHowTo},
    };
    std::vector<int> ids;
    for (const Row& r : rows) ids.push_back(r.id);
    EXPECT_EQ(w->controlIds, ids);
    for (const Row& r : rows) {
        SCOPED_TRACE(r.id);
        auto c = ui.control(0, r.id);
        ASSERT_TRUE(c);
        EXPECT_EQ(c->kind, r.kind);
        EXPECT_EQ((std::vector<int>{c->x, c->y, c->width, c->height}),
                  (std::vector<int>{r.x, r.y, r.width, r.height}));
        EXPECT_EQ(c->text, r.text);
        EXPECT_EQ(c->align, ui::TextAlign::Left);
        EXPECT_TRUE(c->enabled);
        if (r.kind == K::PictureButton) {
            EXPECT_EQ(c->font, F::None);
            EXPECT_EQ(c->imageWidth, 128) << "the tool picture, inside its 132 x 132 button";
            EXPECT_EQ(c->imageHeight, 128);
        } else {
            EXPECT_EQ(c->font, F::Text8);
        }
    }
    EXPECT_EQ(ui.control(0, 24)->text, "> Les messages des visiteurs et vos r\xE9ponses,");
    EXPECT_EQ(ui.control(0, 25)->text, "> Vos param\xE8tres personnels.");

    ASSERT_TRUE(ui.chooseMenu(0, 5));
    ASSERT_TRUE(waitEnded());
    EXPECT_EQ(exitCode, 0);
}

TEST_F(Launcher, AMissingOrEmptyToolIsReportedAndTheLauncherStaysOpen) {
    dir.writeFile("Tools/Velmo_Sauvegarde.exe", "");  // empty
    stdfs::create_directories(dir / "Tools/Velmo_Transfert.exe");  // a folder of that name
    start();

    struct Case {
        bool viaMenu;
        int number;
        std::string text;
    };
    const Case cases[] = {
        {false, 21, "Impossible de trouver l'outil \"Velmo_Sauvegarde\"."},
        {false, 14, "Impossible de trouver l'outil \"Velmo_Navigateur\"."},
        {false, 8, "Impossible de trouver l'outil \"Velmo_Transfert\"."},
        {true, 6, "Impossible de trouver l'outil \"Velmo_Maj\"."},
    };
    std::size_t shown = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        ui.expectHeldBox("ATTENTION.", c.text);
        ASSERT_TRUE(c.viaMenu ? ui.chooseMenu(0, c.number) : ui.click(0, c.number));
        ASSERT_TRUE(ui.waitForHeldBox());
        auto box = ui.heldBox();
        EXPECT_EQ(box->text, c.text);
        EXPECT_EQ(box->icon, ui::MessageIcon::Warning);
        EXPECT_EQ(box->buttons, ui::MessageButtons::Ok);
        EXPECT_EQ(box->ownerWindow, 0);
        ui.releaseBox();
        ++shown;
        ASSERT_TRUE(ui.waitUntil([&] { return ui.shownBoxes().size() == shown && ui.isWindowEnabled(0); }));
        EXPECT_TRUE(ui.windowExists(0));
        EXPECT_FALSE(ended);
    }
    EXPECT_FALSE(stdfs::exists(dir / "Tools/cwd.txt"));

    // Still listening: the close box ends it with exit code 0.
    ASSERT_TRUE(ui.closeBox(0));
    ASSERT_TRUE(waitEnded());
    EXPECT_EQ(exitCode, 0);
}

TEST_F(Launcher, APresentToolStartsInToolsAndTheLauncherEnds) {
    dir.installRecorder("Tools/Velmo_Navigateur.exe");
    start();
    ASSERT_TRUE(ui.click(0, 14));
    ASSERT_TRUE(waitEnded());
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(waitForFile(dir / "Tools/cwd.txt"), (dir / "Tools").string()) << "no arguments";
    EXPECT_TRUE(ui.shownBoxes().empty());
    EXPECT_TRUE(ui.windowIds().empty());
}

TEST_F(Launcher, TheUpdateEntryStartsTheUpdaterTheSameWay) {
    dir.installRecorder("Tools/Velmo_Maj.exe");
    dir.writeFile("Tools/Velmo_Transfert.exe", "");
    start();
    ASSERT_TRUE(ui.chooseMenu(0, 6));
    ASSERT_TRUE(waitEnded());
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(waitForFile(dir / "Tools/cwd.txt"), (dir / "Tools").string());
}

TEST_F(Launcher, APresentToolThatCannotStartStillEndsTheLauncher) {
    dir.writeFile("Tools/Velmo_Transfert.exe", "pas un programme");
    OpenCommand noShell((dir / "pas-de-shell").string());
    start();
    ASSERT_TRUE(ui.click(0, 8));
    ASSERT_TRUE(waitEnded());
    EXPECT_EQ(exitCode, 0);
    EXPECT_TRUE(ui.shownBoxes().empty());
}

TEST_F(Launcher, AboutDisablesTheLauncherUntilItsWindowIsClosed) {
    dir.installRecorder("navigateur");
    dir.installRecorder("Tools/Velmo_Sauvegarde.exe");
    start();
    ASSERT_TRUE(ui.chooseMenu(0, 4));
    ASSERT_TRUE(ui.waitUntil([&] { return ui.windowExists(34); }));
    EXPECT_FALSE(ui.isWindowEnabled(0));
    auto about = ui.window(34);
    EXPECT_EQ(about->title, "A propos.");
    EXPECT_EQ(about->controlIds, (std::vector<int>{35, 36, 37, 38, 39}));
    EXPECT_EQ(ui.getText(34, 36), "Velmo Menu - A propos");
    EXPECT_EQ(ui.getText(34, 37), std::string("Créé par ") + deployment::authorContact);
    EXPECT_EQ(ui.getText(34, 38), "Velmo Menu - Version : 1.0.1");
    EXPECT_EQ(ui.getText(34, 39), ".: Aller sur le site :.");
    EXPECT_EQ(ui.control(34, 35)->imageWidth, 80);

    // Nothing in the launcher answers meanwhile: no tool starts, no menu opens.
    EXPECT_FALSE(ui.click(0, 21));
    EXPECT_FALSE(ui.chooseMenu(0, 5));
    EXPECT_FALSE(ui.closeBox(0));

    // The link opens the site; the About window stays.
    {
        OpenCommand browser((dir / "navigateur").string());
        ASSERT_TRUE(ui.click(34, 39));
        EXPECT_EQ(waitForFile(dir / "cwd.txt"),
                  dir.root().string() + "|http://" + deployment::siteHost + "/index.php");
    }
    EXPECT_TRUE(ui.windowExists(34));

    ASSERT_TRUE(ui.closeBox(34));
    ASSERT_TRUE(ui.waitUntil([&] {
        return !ui.windowExists(34) && ui.isWindowEnabled(0) && !ui.window(0)->topmost &&
               ui.frontWindow() == 0;
    }));
    EXPECT_FALSE(ended);

    // Enabled again: a tool starts.
    ASSERT_TRUE(ui.click(0, 21));
    ASSERT_TRUE(waitEnded());
    EXPECT_EQ(waitForFile(dir / "Tools/cwd.txt"), (dir / "Tools").string());
}

TEST_F(Launcher, SiteAndForumOpenInTheBrowserOrSayItCannotAndTheLauncherGoesOn) {
    dir.installRecorder("navigateur");
    start();
    {
        OpenCommand browser((dir / "navigateur").string());
        ASSERT_TRUE(ui.chooseMenu(0, 2));
        EXPECT_EQ(waitForFile(dir / "cwd.txt"),
                  dir.root().string() + "|http://" + deployment::siteHost + "/index.php");
        stdfs::remove(dir / "cwd.txt");
        ASSERT_TRUE(ui.chooseMenu(0, 3));
        EXPECT_EQ(waitForFile(dir / "cwd.txt"),
                  dir.root().string() + "|http://" + deployment::forumHost + "/phpbb/");
    }
    OpenCommand noBrowser((dir / "aucun-navigateur").string());
    ui.expectBox("Attention.", "Impossible d'ouvrir le navigateur.");
    ASSERT_TRUE(ui.chooseMenu(0, 2));
    ASSERT_TRUE(ui.waitUntil([&] { return ui.shownBoxes().size() == 1; }));
    EXPECT_EQ(ui.shownBoxes()[0].icon, ui::MessageIcon::None);
    EXPECT_TRUE(ui.windowExists(0));

    ASSERT_TRUE(ui.chooseMenu(0, 5));
    ASSERT_TRUE(waitEnded());
    EXPECT_EQ(exitCode, 0);
}
