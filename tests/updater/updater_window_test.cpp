// Velmo_Maj as a user meets it, on the headless UI: the real start-up and loop in a thread
// of their own, the official site on nginx and the guestbook on pyftpdlib. The test clicks
// and reads the window; every message box must be one the script foresaw.
#include <gtest/gtest.h>

#include <thread>

#include "tests/support/ftp_peers.h"
#include "tests/updater/updater_harness.h"
#include "ui/headless/headless_ui.h"
#include "updater/updater_texts.h"
#include "updater/updater_window.h"

using namespace velmo;
using namespace velmo::updater;
using namespace velmo::updater::testing;

namespace {

class UpdaterWindowTest : public ::testing::Test {
protected:
    void TearDown() override {
        if (program.joinable()) {
            ui.expectBox("Information.", "Impossible de retourner au menu");
            ui.closeBox(ids::mainWindow);
            program.join();
        }
        EXPECT_EQ(ui.failures(), std::vector<std::string>{}) << "unexpected message boxes";
        EXPECT_EQ(ui.unmetExpectations(), std::vector<std::string>{});
    }

    void start() {
        program = std::thread([this] { exitCode = runUpdater(ui, official.site()); });
    }
    bool waitFor(const std::function<bool()>& condition) { return ui.waitUntil(condition); }
    std::string text(int id) { return ui.getText(ids::mainWindow, id); }
    ui::Colour colour(int id) { return ui.control(ids::mainWindow, id)->colour; }
    bool idle() {
        return ui.isEnabled(ids::mainWindow, ids::checkButton) && ui.isEnabled(ids::mainWindow, ids::applyButton);
    }
    // Chooses the installation tab; when it is locked, the box comes and the first tab is back.
    void chooseLockedTab(const char* message) {
        const std::size_t boxes = ui.shownBoxes().size();
        ui.expectBox("Information.", message);
        ASSERT_TRUE(ui.chooseTab(ids::mainWindow, ids::tabs, applyTab));
        ASSERT_TRUE(waitFor([&] { return ui.shownBoxes().size() > boxes; }));
        EXPECT_EQ(ui.shownBoxes().back().text, message);
        EXPECT_EQ(ui.selectedTab(ids::mainWindow, ids::tabs), checkTab);
    }
    void endProgram() {
        program.join();
        EXPECT_EQ(exitCode, 0);
    }

    OfficialSiteOnPeer official;
    ToolsFolder tools;
    ui::HeadlessUi ui;
    std::thread program;
    int exitCode = -1;
};

}  // namespace

TEST_F(UpdaterWindowTest, CheckInstallAndTheLockOfTheInstallationTab) {
    testsupport::FtpPeer ftp(testsupport::PeerKind::Pyftpdlib);
    ftp.makeFolder("livre-dor");
    Package p;
    p.lines = {"Correction."};
    p.files = {"livre_lire.velmo", "skins/fond.velmo"};
    p.folders = {"skins/"};
    p.contents = {{"livre_lire.velmo", "lire"}, {"skins/fond.velmo", "fond"}};
    official.publishList({{2000000, 1000000}, {2010000, 1000000}});
    official.publishPackage(2010000, p);

    start();
    // The form is filled last at start.
    ASSERT_TRUE(waitFor([&] { return text(ids::addressField) == "old.example"; }));
    EXPECT_EQ(text(ids::installedValue), "2.0.0");
    EXPECT_EQ(ui.window(ids::mainWindow)->title, "Velmo, Maj - Vérification/Update des mises à jour.");
    EXPECT_EQ(text(ids::latestValue), "inconnu");
    EXPECT_EQ(text(ids::actionStatus), texts::noAction);
    EXPECT_EQ(text(ids::portField), "21");
    chooseLockedTab(texts::checkFirst);

    ASSERT_TRUE(ui.click(ids::mainWindow, ids::checkButton));
    ASSERT_TRUE(waitFor([&] { return ui.rowCount(ids::mainWindow, ids::fileList) == 2 && idle(); }));
    EXPECT_EQ(text(ids::latestValue), "2.10.0");
    EXPECT_EQ(text(ids::versionStatus), texts::notUpToDate);
    for (int id : {ids::installedCaption, ids::installedValue, ids::latestCaption, ids::latestValue, ids::versionStatus})
        EXPECT_EQ(colour(id), (ui::Colour{255, 0, 0})) << id;
    EXPECT_EQ(text(ids::description), std::string(86, ' ') + texts::updateAvailable + "\r\n\r\nCorrection.\r\n");
    EXPECT_EQ(ui.getCell(ids::mainWindow, ids::fileList, 1, 0), "fond.php");

    ASSERT_TRUE(ui.chooseTab(ids::mainWindow, ids::tabs, applyTab));
    ui.typeText(ids::mainWindow, ids::addressField, ftp.host());
    ui.typeText(ids::mainWindow, ids::userField, ftp.user());
    ui.typeText(ids::mainWindow, ids::passwordField, ftp.password());
    ui.typeText(ids::mainWindow, ids::portField, std::to_string(ftp.port()));
    ui.typeText(ids::mainWindow, ids::folderField, "livre-dor");
    ui.expectBox("Information.", "La mise à jour à été effectuée.");
    ASSERT_TRUE(ui.click(ids::mainWindow, ids::applyButton));
    EXPECT_TRUE(waitFor([&] { return !ui.isEnabled(ids::mainWindow, ids::checkButton); })) << "one worker at a time";
    ASSERT_TRUE(waitFor([&] { return text(ids::actionStatus) == texts::finished && idle(); }));
    EXPECT_EQ(velmo::testing::readBytes(ftp.home() + "/livre-dor/skins/fond.php"), "fond");
    EXPECT_EQ(text(ids::installedValue), "2.10.0");
    EXPECT_EQ(colour(ids::versionStatus), (ui::Colour{0, 128, 0}));
    const ui::ControlState list = *ui.control(ids::mainWindow, ids::fileList);
    for (const ui::RowState& row : list.rows) {
        EXPECT_EQ(row.cells[1], texts::rowSent);
        EXPECT_EQ(row.colour, (ui::Colour{0, 102, 0}));
    }
    EXPECT_EQ(list.selected, 0) << "the last row selects the first again";
    EXPECT_EQ(text(ids::description), "");

    // Installed: a new check is needed, and it finds nothing more.
    ASSERT_TRUE(ui.chooseTab(ids::mainWindow, ids::tabs, checkTab));
    chooseLockedTab(texts::checkFirst);
    ASSERT_TRUE(ui.click(ids::mainWindow, ids::checkButton));
    ASSERT_TRUE(waitFor([&] { return text(ids::description) != "" && idle(); }));
    EXPECT_EQ(text(ids::description), std::string(86, ' ') + texts::noUpdate + "\r\n");
    chooseLockedTab(texts::nothingToInstall);

    ui.expectBox("Information.", "Impossible de retourner au menu général.\r\n\r\nLe programme va donc se fermer.");
    ASSERT_TRUE(ui.closeBox(ids::mainWindow));
    endProgram();
}

TEST_F(UpdaterWindowTest, ConditionsThatEndTheProgram) {
    // A version list the site does not have: the message, then the end, without the
    // launcher's message.
    start();
    ASSERT_TRUE(waitFor([&] { return text(ids::installedValue) == "2.0.0"; }));
    ui.expectBox("Avertissement.", "[Distant - Erreur : TFSALMSSO]");
    ASSERT_TRUE(ui.click(ids::mainWindow, ids::checkButton));
    endProgram();
    EXPECT_FALSE(ui.windowExists(ids::mainWindow));

    // No connection settings file: the message of the settings file, then the end.
    std::filesystem::remove(tools.dir / "softwareDatas/config.pcfg");
    ui.expectBox("Attention", "Vous devez d'abord utiliser le logiciel \"Velmo_Navigateur\"");
    start();
    endProgram();

    // No "misesAJour": the local version file cannot be made.
    std::filesystem::remove_all(tools.dir / "misesAJour");
    ui.expectBox("ATTENTION.", "Impossible d'ouvrir le fichier \"__NumeroDeVersion_Script_Local.pcfg\".");
    start();
    endProgram();
    EXPECT_EQ(ui.shownBoxes().size(), 3u);
}
