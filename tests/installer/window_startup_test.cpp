// Start-up of Velmo_Transfert: the guestbook folder check, the form's defaults and the
// form filled from the settings.
#include "tests/installer/installer_harness.h"

namespace velmo::installer::testing {
namespace {

TEST_F(InstallerWindowTest, WithoutTheGuestbookFolderItSaysSoAndEndsWithoutAWindow) {
    // A file named like the folder is not the folder.
    stdfs::remove("livre-dor");
    std::ofstream("livre-dor") << "x";
    ui.expectBox("ATTENTION.", "Le programme ne peut pas démarrer.");
    EXPECT_EQ(program.runToEnd([&] { return runInstaller(ui); }), 1);
    ASSERT_EQ(ui.shownBoxes().size(), 1u);
    const ui::ShownBox box = ui.shownBoxes()[0];
    EXPECT_EQ(box.text,
              "Le programme ne peut pas démarrer.\r\n\r\n"
              "Le dossier \"livre-dor\" doit se trouver à côté de l'executable "
              "\"Velmo, Transfert\" pour pouvoir fonctionner correctement.");
    EXPECT_EQ(box.icon, ui::MessageIcon::Error);
    EXPECT_TRUE(ui.windowIds().empty());
}

// The form shows the defaults without a settings file, then what the settings hold (never
// a password); FTP_infoChmod = 1 shows the ticked box's panel, without the menu run's title.
TEST_F(InstallerWindowTest, TheFormStartsFromTheDefaultsOrTheStoredSettings) {
    auto expectForm = [&](const std::vector<std::string>& texts, bool chmod, bool passive) {
        const std::vector<int> fields = {ids::addressField, ids::userField, ids::passwordField, ids::folderField,
                                         ids::portField};
        for (std::size_t i = 0; i < fields.size(); ++i) EXPECT_EQ(text(fields[i]), texts[i]) << fields[i];
        EXPECT_EQ(ui.isChecked(ids::mainWindow, ids::chmodBox), chmod);
        EXPECT_EQ(ui.isChecked(ids::mainWindow, ids::passiveBox), passive);
        for (int id : {ids::chmodFrame, ids::chmodStatus, ids::chmodBar})
            EXPECT_EQ(ui.controlExists(ids::mainWindow, id), chmod) << id;
        EXPECT_FALSE(ui.controlExists(ids::mainWindow, ids::chmodTitle));
        EXPECT_EQ(ui.getLine(ids::mainWindow, ids::treeList, 0), "+-[Dossier] " + texts[3]);
    };
    start();
    expectForm({"", "", "", "livre-dor", "21"}, false, true);
    EXPECT_TRUE(ui.control(ids::mainWindow, ids::passwordField)->masked);
    EXPECT_FALSE(ui.isEnabled(ids::mainWindow, ids::cancelButton)) << "Annuler waits for an upload";
    // This machine is no Vista or 7 workstation: the plain 0..100 file bar.
    EXPECT_EQ(ui.control(ids::mainWindow, ids::fileBar)->rangeMax, 100);
    EXPECT_EQ(ui.lineCount(ids::mainWindow, ids::treeList), 333);
    closeProgram();

    ConnectionSettings s;
    s.serverAddress = "ftp.exemple-hébergeur.fr";
    s.userId = "jean.dupont";
    s.password = "jamais-enregistré";
    s.guestbookFolder = "mon-livre";
    s.permissionFlag = 1;
    s.passiveFlag = 0;
    s.port = 2121;
    withSettings(s);
    start();
    expectForm({"ftp.exemple-hébergeur.fr", "jean.dupont", "", "mon-livre", "2121"}, true, false);
    // "Quitter" ends the program as closing the window does.
    ui.expectBox("Information.", "Impossible de retourner au menu général.");
    ASSERT_TRUE(ui.chooseMenu(ids::mainWindow, ids::menuQuit));
    EXPECT_EQ(program.waitForEnd(), 0);
    EXPECT_FALSE(ui.windowExists(ids::mainWindow));
}

}  // namespace
}  // namespace velmo::installer::testing
