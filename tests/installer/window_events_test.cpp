// The installer's event loop as the user meets it: the folder field's rule, the "Chmod."
// box and "Infos", "Valider" (trimmed fields, the upload thread), the menus and the ways
// out of the program.
#include "tests/installer/window_fixture.h"

#include "platform/net.h"

namespace velmo::installer {
namespace testing {
namespace {

// A loopback port on which nothing listens: the upload's login fails at once.
int closedPort() {
    net::Socket listener = net::Socket::listenOn("127.0.0.1", 0, 1);
    const int port = listener.localPort();
    EXPECT_GT(port, 0);
    return port;  // closed again when `listener` goes
}

TEST_F(InstallerWindowTest, AFolderFieldWithASlashIsWarnedAboutAndCleaned) {
    withGuestbook();
    start();
    ui.typeText(ids::mainWindow, ids::folderField, "mon-livre");
    ASSERT_TRUE(ui.waitUntil([&] {
        return ui.getLine(ids::mainWindow, ids::treeList, 0) == "+-[Dossier] mon-livre";
    })) << "every change of the field shows in line 0";
    const std::size_t boxesBefore = ui.shownBoxes().size();

    ui.expectBox("ATTENTION.", "sous-dossier");
    ui.typeText(ids::mainWindow, ids::folderField, "livre-dor/test");
    ASSERT_TRUE(ui.waitUntil([&] {
        return ui.getLine(ids::mainWindow, ids::treeList, 0) == "+-[Dossier] livre-dortest";
    }));
    EXPECT_EQ(text(ids::folderField), "livre-dortest");
    ASSERT_EQ(ui.shownBoxes().size(), boxesBefore + 1);
    const ui::ShownBox box = ui.shownBoxes().back();
    EXPECT_EQ(box.text, "Vous ne pouvez pas mettre le livre d'or dans un sous-dossier.");
    EXPECT_EQ(box.icon, ui::MessageIcon::Warning);

    // Every "/" goes, and an emptied field leaves an empty folder name in line 0.
    ui.expectBox("ATTENTION.", "sous-dossier");
    ui.typeText(ids::mainWindow, ids::folderField, "//");
    ASSERT_TRUE(ui.waitUntil([&] {
        return ui.getLine(ids::mainWindow, ids::treeList, 0) == "+-[Dossier] ";
    }));
    EXPECT_EQ(text(ids::folderField), "");
    // The entry's own folder line is untouched.
    EXPECT_EQ(ui.lineCount(ids::mainWindow, ids::treeList), 333);
    closeProgram();
}

TEST_F(InstallerWindowTest, ChmodBoxShowsAndRemovesThePanelAndInfosShowsTheHelp) {
    withGuestbook();
    start();
    const std::string help = buildPermissionHelpText();
    const ui::ShownBox infos = ui.shownBoxes().back();
    EXPECT_EQ(infos.title, "Information.");
    EXPECT_EQ(infos.text, help);
    EXPECT_EQ(infos.icon, ui::MessageIcon::Information);

    // Ticking: the panel appears while the help box is on screen.
    ui.expectHeldBox("Information.", "Chez certains hébergeurs");
    ASSERT_TRUE(ui.click(ids::mainWindow, ids::chmodBox));
    ASSERT_TRUE(ui.waitForHeldBox());
    EXPECT_EQ(ui.heldBox()->text, help);
    EXPECT_EQ(control(ids::mainWindow, 38).text, "Chmod");
    EXPECT_EQ(control(ids::mainWindow, 40).text, "En cours :");
    EXPECT_TRUE(ui.controlExists(ids::mainWindow, 41));
    ui.releaseBox();
    ASSERT_TRUE(ui.waitUntil([&] { return ui.isWindowEnabled(ids::mainWindow); }));

    // Unticking removes it without a word.
    const std::size_t boxes = ui.shownBoxes().size();
    ASSERT_TRUE(ui.click(ids::mainWindow, ids::chmodBox));
    ASSERT_TRUE(ui.waitUntil([&] {
        return !ui.controlExists(ids::mainWindow, 38) && !ui.controlExists(ids::mainWindow, 40) &&
               !ui.controlExists(ids::mainWindow, 41);
    }));
    settle();
    EXPECT_EQ(ui.shownBoxes().size(), boxes + 1) << "only the Infos box of settle()";
    closeProgram();
}

TEST_F(InstallerWindowTest, ValiderTrimsTheFieldsFreezesTheFormAndTheLoginFailureFreesIt) {
    withGuestbook();
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
    for (int id : {13, 16, 19, 25, 27, 28, 29, 30, 42})
        EXPECT_FALSE(ui.isEnabled(ids::mainWindow, id)) << "control " << id;
    EXPECT_NE(ui.heldBox()->thread, std::this_thread::get_id());
    EXPECT_EQ(ui.heldBox()->icon, ui::MessageIcon::Warning);
    ui.releaseBox();

    ASSERT_TRUE(ui.waitUntil([&] { return ui.isEnabled(ids::mainWindow, ids::validateButton); }));
    waitForWorkers();
    for (int id : {13, 16, 19, 25, 27, 28, 29, 30})
        EXPECT_TRUE(ui.isEnabled(ids::mainWindow, id)) << "control " << id;
    EXPECT_FALSE(ui.isEnabled(ids::mainWindow, ids::cancelButton));
    closeProgram();
}

TEST_F(InstallerWindowTest, ValiderWithEmptyFieldsEndsInTheConnectionErrorText) {
    withGuestbook();
    start();
    ui.typeText(ids::mainWindow, ids::folderField, "");
    ui.expectBox("Avertissement.", "Impossible de se connecter.");
    const std::size_t before = ui.shownBoxes().size();
    ASSERT_TRUE(ui.click(ids::mainWindow, ids::validateButton));
    ASSERT_TRUE(ui.waitUntil([&] { return ui.shownBoxes().size() > before; }));
    waitForWorkers();
    const ui::ShownBox box = ui.shownBoxes().back();
    EXPECT_EQ(box.text,
              "Impossible de se connecter.\r\n\r\nRaisons possibles :\r\n"
              " > Vos identifiants de connexion ne sont pas bon.\r\n"
              " > Votre pare-feu empêche la connexion.\r\n\r\n"
              "Tentez à nouveau de vous reconnecter.");
    EXPECT_EQ(box.icon, ui::MessageIcon::Warning);
    EXPECT_TRUE(ui.isEnabled(ids::mainWindow, ids::validateButton));
    EXPECT_TRUE(ui.isEnabled(ids::mainWindow, ids::addressField));
    EXPECT_FALSE(stdfs::exists("softwareDatas/config.pcfg")) << "nothing is written";
    closeProgram();
}

TEST_F(InstallerWindowTest, LinkGeneratorMenuNeedsTheFilesOnTheServer) {
    withGuestbook();
    ConnectionSettings s;
    withSettings(s, false);
    start();
    const std::size_t before = ui.shownBoxes().size();
    ui.expectBox("Information.", "Veuillez d'abord transférer");
    ASSERT_TRUE(ui.chooseMenu(ids::mainWindow, ids::menuLinkGenerator));
    ASSERT_TRUE(ui.waitUntil([&] { return ui.shownBoxes().size() > before; }));
    const ui::ShownBox box = ui.shownBoxes().back();
    EXPECT_EQ(box.text,
              "Veuillez d'abord transférer les fichiers vers votre site pour pouvoir ensuite "
              "générer un lien.");
    EXPECT_EQ(box.icon, ui::MessageIcon::Warning);
    settle();
    EXPECT_FALSE(ui.windowExists(ids::linkGeneratorWindow));
    EXPECT_TRUE(ui.isWindowEnabled(ids::mainWindow));

    // Once the file says the guestbook is on the server, the generator opens in the
    // main thread and the main window waits for it.
    withSettings(s, true);
    ASSERT_TRUE(ui.chooseMenu(ids::mainWindow, ids::menuLinkGenerator));
    ASSERT_TRUE(ui.waitUntil([&] { return ui.windowExists(ids::linkGeneratorWindow); }));
    EXPECT_FALSE(ui.isWindowEnabled(ids::mainWindow));
    EXPECT_EQ(ui.window(ids::linkGeneratorWindow)->owner, ui.window(ids::mainWindow)->owner);
    ASSERT_TRUE(ui.closeBox(ids::linkGeneratorWindow));
    ASSERT_TRUE(ui.waitUntil([&] { return !ui.windowExists(ids::linkGeneratorWindow); }));
    ASSERT_TRUE(ui.waitUntil([&] { return ui.isWindowEnabled(ids::mainWindow); }));
    settle();  // the main loop answers again
    closeProgram();
}

TEST_F(InstallerWindowTest, PermissionMenusNeedTheFilesOnTheServer) {
    withGuestbook();
    start();
    for (int entry : {ids::menuApplyChmod, ids::menuRestoreChmod}) {
        const std::size_t before = ui.shownBoxes().size();
        ui.expectBox("Information.", "doivent être sur le serveur pour pouvoir modifier leur CHMOD");
        ASSERT_TRUE(ui.chooseMenu(ids::mainWindow, entry));
        ASSERT_TRUE(ui.waitUntil([&] { return ui.shownBoxes().size() > before; }));
        EXPECT_FALSE(ui.controlExists(ids::mainWindow, 39)) << "no run started";
    }
    closeProgram();
}

TEST_F(InstallerWindowTest, AboutWindowAndBrowserLinks) {
    withGuestbook();
    start();
    ASSERT_TRUE(ui.chooseMenu(ids::mainWindow, ids::menuAbout));
    ASSERT_TRUE(ui.waitUntil([&] { return ui.windowExists(ids::aboutWindow); }));
    EXPECT_FALSE(ui.isWindowEnabled(ids::mainWindow));
    EXPECT_EQ(control(ids::aboutWindow, 72).text, "Velmo Transfert - A propos");
    EXPECT_EQ(control(ids::aboutWindow, 74).text, "Velmo Transfert - Version : 1.2.0");
    ASSERT_TRUE(ui.click(ids::aboutWindow, 75));
    ASSERT_TRUE(ui.closeBox(ids::aboutWindow));
    ASSERT_TRUE(ui.waitUntil([&] { return !ui.windowExists(ids::aboutWindow); }));
    ASSERT_TRUE(ui.waitUntil([&] { return ui.isWindowEnabled(ids::mainWindow); }));

    ASSERT_TRUE(ui.chooseMenu(ids::mainWindow, ids::menuSite));
    ASSERT_TRUE(ui.chooseMenu(ids::mainWindow, ids::menuForum));
    settle();
    const std::string expected = frame::officialSiteAddress() + "\n" +
                                 frame::officialSiteAddress() + "\n" + frame::forumAddress() + "\n";
    EXPECT_EQ(waitForOpened(expected), expected);
    closeProgram();
}

TEST_F(InstallerWindowTest, QuitStartsTheLauncherBesideTools) {
    withGuestbook();
    // A launcher that is no program for this system: it is handed to the shell.
    std::ofstream("../Velmo_Menu.exe") << "MZ";
    start();
    ASSERT_TRUE(ui.chooseMenu(ids::mainWindow, ids::menuQuit));
    joinProgram();
    EXPECT_EQ(exitCode(), 0);
    EXPECT_FALSE(ui.windowExists(ids::mainWindow));
    EXPECT_EQ(waitForOpened("../Velmo_Menu.exe\n"), "../Velmo_Menu.exe\n");
}

TEST_F(InstallerWindowTest, QuitWithoutLauncherSaysSoAndEnds) {
    withGuestbook();
    start();
    ui.expectBox("Information.", "Impossible de retourner au menu général.");
    const std::size_t before = ui.shownBoxes().size();
    ASSERT_TRUE(ui.chooseMenu(ids::mainWindow, ids::menuQuit));
    joinProgram();
    ASSERT_EQ(ui.shownBoxes().size(), before + 1);
    EXPECT_EQ(ui.shownBoxes().back().text,
              "Impossible de retourner au menu général.\r\n\r\nLe programme va donc se fermer.");
    EXPECT_EQ(ui.shownBoxes().back().icon, ui::MessageIcon::Warning);
    EXPECT_FALSE(ui.windowExists(ids::mainWindow));
}

}  // namespace
}  // namespace testing
}  // namespace velmo::installer
