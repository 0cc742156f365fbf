// The installer's event loop as the user meets it: the folder field's rule, the "Chmod."
// box, "Valider" (trimmed fields, the upload thread) and the menus that need the guestbook
// on the server.
#include "tests/installer/window_fixture.h"

#include "platform/net.h"

namespace velmo::installer::testing {
namespace {

// A loopback port on which nothing listens: the upload's login fails at once.
int closedPort() {
    net::Socket listener = net::Socket::listenOn("127.0.0.1", 0, 1);
    const int port = listener.localPort();
    EXPECT_GT(port, 0);
    return port;  // closed again when `listener` goes
}

TEST_F(InstallerWindowTest, AFolderFieldWithASlashIsWarnedAboutAndCleaned) {
    start();
    auto rootLineIs = [&](const std::string& line) {
        return ui.waitUntil([&] { return ui.getLine(ids::mainWindow, ids::treeList, 0) == line; });
    };
    ui.typeText(ids::mainWindow, ids::folderField, "mon-livre");
    ASSERT_TRUE(rootLineIs("+-[Dossier] mon-livre")) << "every change of the field shows in line 0";
    const std::size_t boxesBefore = ui.shownBoxes().size();

    ui.expectBox("ATTENTION.", "sous-dossier");
    ui.typeText(ids::mainWindow, ids::folderField, "livre-dor/test");
    ASSERT_TRUE(rootLineIs("+-[Dossier] livre-dortest"));
    EXPECT_EQ(text(ids::folderField), "livre-dortest");
    ASSERT_EQ(ui.shownBoxes().size(), boxesBefore + 1);
    EXPECT_EQ(ui.shownBoxes().back().text, "Vous ne pouvez pas mettre le livre d'or dans un sous-dossier.");
    EXPECT_EQ(ui.shownBoxes().back().icon, ui::MessageIcon::Warning);

    // Every "/" goes, and an emptied field leaves an empty folder name in line 0.
    ui.expectBox("ATTENTION.", "sous-dossier");
    ui.typeText(ids::mainWindow, ids::folderField, "//");
    ASSERT_TRUE(rootLineIs("+-[Dossier] "));
    EXPECT_EQ(text(ids::folderField), "");
    EXPECT_EQ(ui.lineCount(ids::mainWindow, ids::treeList), 333);
    closeProgram();
}

TEST_F(InstallerWindowTest, TickingChmodShowsThePanelAndTheHelpUntickingRemovesItSilently) {
    start();
    ui.expectHeldBox("Information.", "Chez certains hébergeurs");
    ASSERT_TRUE(ui.click(ids::mainWindow, ids::chmodBox));
    ASSERT_TRUE(ui.waitForHeldBox());
    for (int id : {ids::chmodFrame, ids::chmodStatus, ids::chmodBar})
        EXPECT_TRUE(ui.controlExists(ids::mainWindow, id)) << id;
    ui.releaseBox();
    ASSERT_TRUE(ui.waitUntil([&] { return ui.isWindowEnabled(ids::mainWindow); }));

    const std::size_t boxes = ui.shownBoxes().size();
    ASSERT_TRUE(ui.click(ids::mainWindow, ids::chmodBox));
    ASSERT_TRUE(ui.waitUntil([&] {
        return !ui.controlExists(ids::mainWindow, ids::chmodFrame) &&
               !ui.controlExists(ids::mainWindow, ids::chmodStatus) && !ui.controlExists(ids::mainWindow, ids::chmodBar);
    }));
    settle();
    EXPECT_EQ(ui.shownBoxes().size(), boxes + 1) << "only the Infos box of settle()";
    closeProgram();
}

TEST_F(InstallerWindowTest, ValiderTrimsTheFieldsFreezesTheFormAndTheLoginFailureFreesIt) {
    start();
    const int port = closedPort();
    ui.typeText(ids::mainWindow, ids::addressField, "  127.0.0.1   ");
    ui.typeText(ids::mainWindow, ids::userField, " jean dupont ");
    ui.typeText(ids::mainWindow, ids::passwordField, "  mot de passe ");
    ui.typeText(ids::mainWindow, ids::folderField, "  mon-livre ");
    ui.typeText(ids::mainWindow, ids::portField, std::to_string(port));

    ui.expectHeldBox("Avertissement.", "Impossible de se connecter.");
    ASSERT_TRUE(ui.click(ids::mainWindow, ids::validateButton));
    ASSERT_TRUE(ui.waitForHeldBox());
    // While the upload thread reports its failure, the form holds the trimmed texts (inner
    // blanks stay) and nothing of it can be used.
    EXPECT_EQ(text(ids::addressField), "127.0.0.1");
    EXPECT_EQ(text(ids::userField), "jean dupont");
    EXPECT_EQ(text(ids::passwordField), "mot de passe");
    EXPECT_EQ(text(ids::folderField), "mon-livre");
    const std::vector<int> form = {ids::addressField, ids::userField, ids::passwordField, ids::folderField,
                                   ids::chmodBox,     ids::infoButton, ids::passiveBox,   ids::portField};
    for (int id : form) EXPECT_FALSE(ui.isEnabled(ids::mainWindow, id)) << "control " << id;
    EXPECT_FALSE(ui.isEnabled(ids::mainWindow, ids::validateButton));
    EXPECT_NE(ui.heldBox()->thread, std::this_thread::get_id());
    ui.releaseBox();

    ASSERT_TRUE(ui.waitUntil([&] { return ui.isEnabled(ids::mainWindow, ids::validateButton); }));
    waitForWorkers();
    for (int id : form) EXPECT_TRUE(ui.isEnabled(ids::mainWindow, id)) << "control " << id;
    EXPECT_FALSE(ui.isEnabled(ids::mainWindow, ids::cancelButton));
    EXPECT_FALSE(stdfs::exists("softwareDatas/config.pcfg")) << "nothing is written";
    closeProgram();
}

// Before an upload (no settings file, or one with transfert = 0) the link generator and
// both permission runs are refused, and nothing starts.
TEST_F(InstallerWindowTest, MenusThatNeedTheGuestbookOnTheServerRefuseBeforeAnUpload) {
    start();
    struct Case {
        int entry;
        const char* text;
    };
    const char* const chmodRefusal =
        "Les fichiers du livre d'or doivent être sur le serveur pour pouvoir modifier leur CHMOD.";
    const std::vector<Case> cases = {
        {ids::menuApplyChmod, chmodRefusal},
        {ids::menuRestoreChmod, chmodRefusal},
        {ids::menuLinkGenerator,
         "Veuillez d'abord transférer les fichiers vers votre site pour pouvoir ensuite générer un lien."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("menu entry " + std::to_string(c.entry));
        const std::size_t before = ui.shownBoxes().size();
        ui.expectBox("Information.", c.text);
        ASSERT_TRUE(ui.chooseMenu(ids::mainWindow, c.entry));
        ASSERT_TRUE(ui.waitUntil([&] { return ui.shownBoxes().size() > before; }));
        EXPECT_EQ(ui.shownBoxes().back().text, c.text);
        EXPECT_EQ(ui.shownBoxes().back().icon, ui::MessageIcon::Warning);
        settle();
        EXPECT_FALSE(ui.controlExists(ids::mainWindow, ids::chmodTitle)) << "no run started";
        EXPECT_FALSE(ui.windowExists(ids::linkGeneratorWindow));
        EXPECT_TRUE(ui.isWindowEnabled(ids::mainWindow));
        withSettingsText("transfert = 0\r\nFTP_adresse = 127.0.0.1\r\n");
    }
    closeProgram();
}

}  // namespace
}  // namespace velmo::installer::testing
