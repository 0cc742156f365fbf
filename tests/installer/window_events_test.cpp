// The installer's event loop as the user meets it: the folder field's rule, "Valider"
// (trimmed fields, the upload thread) and the menus that need the guestbook on the server.
#include "tests/installer/installer_harness.h"

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
    EXPECT_EQ(ui.heldBox()->text, "Impossible de se connecter.\r\n\r\nRaisons possibles :\r\n"
                                  " > Vos identifiants de connexion ne sont pas bon.\r\n"
                                  " > Votre pare-feu empêche la connexion.\r\n\r\n"
                                  "Tentez à nouveau de vous reconnecter.");
    EXPECT_EQ(ui.heldBox()->icon, ui::MessageIcon::Warning);
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
    EXPECT_FALSE(tools.hasSettings()) << "nothing is written";
    closeProgram();
}

// Before an upload (no settings file, or one with transfert = 0) the permission runs (their
// guard is shared) and the link generator are refused, and nothing starts.
TEST_F(InstallerWindowTest, MenusThatNeedTheGuestbookOnTheServerRefuseBeforeAnUpload) {
    start();
    const std::vector<std::pair<int, std::string>> cases = {
        {ids::menuRestoreChmod,
         "Les fichiers du livre d'or doivent être sur le serveur pour pouvoir modifier leur CHMOD."},
        {ids::menuLinkGenerator,
         "Veuillez d'abord transférer les fichiers vers votre site pour pouvoir ensuite générer un lien."},
    };
    for (const auto& [entry, refusal] : cases) {
        SCOPED_TRACE(refusal);
        const std::size_t before = ui.shownBoxes().size();
        ui.expectBox("Information.", refusal);
        ASSERT_TRUE(ui.chooseMenu(ids::mainWindow, entry));
        ASSERT_TRUE(ui.waitUntil([&] { return ui.shownBoxes().size() > before; }));
        EXPECT_EQ(ui.shownBoxes().back().text, refusal);
        EXPECT_EQ(ui.shownBoxes().back().icon, ui::MessageIcon::Warning);
        settle();
        EXPECT_FALSE(ui.controlExists(ids::mainWindow, ids::chmodTitle)) << "no run started";
        EXPECT_FALSE(ui.windowExists(ids::linkGeneratorWindow));
        EXPECT_TRUE(ui.isWindowEnabled(ids::mainWindow));
        writeFile("softwareDatas/config.pcfg", "transfert = 0\r\nFTP_adresse = 127.0.0.1\r\n");
    }
    closeProgram();
}

}  // namespace
}  // namespace velmo::installer::testing
