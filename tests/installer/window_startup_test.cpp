// Start-up of Velmo_Transfert: the guestbook folder check, the main window's numbered
// controls and menus, the tree list of the manifest and the form filled from the settings.
#include "tests/installer/window_fixture.h"

namespace velmo::installer::testing {
namespace {

using ui::ControlKind;

TEST_F(InstallerWindowTest, WithoutTheGuestbookFolderItSaysSoAndEndsWithoutAWindow) {
    // A file named like the folder is not the folder.
    stdfs::remove("livre-dor");
    std::ofstream("livre-dor") << "x";
    ui.expectBox("ATTENTION.", "Le programme ne peut pas démarrer.");
    int code = -1;
    std::thread program([&] { code = runInstaller(ui); });
    program.join();
    EXPECT_EQ(code, 1);
    ASSERT_EQ(ui.shownBoxes().size(), 1u);
    const ui::ShownBox box = ui.shownBoxes()[0];
    EXPECT_EQ(box.text,
              "Le programme ne peut pas démarrer.\r\n\r\n"
              "Le dossier \"livre-dor\" doit se trouver à côté de l'executable "
              "\"Velmo, Transfert\" pour pouvoir fonctionner correctement.");
    EXPECT_EQ(box.icon, ui::MessageIcon::Error);
    EXPECT_TRUE(ui.windowIds().empty());
}

// The numbers the event loop, the Wine driver and the other windows use to find the form,
// the tree list, the bars and the menu entries; then the defaults without a settings file.
TEST_F(InstallerWindowTest, TheControlsAndMenusOthersRelyOnAndTheDefaults) {
    start();
    const std::vector<std::pair<int, ControlKind>> numbered = {
        {13, ControlKind::TextField},   {16, ControlKind::TextField}, {19, ControlKind::PasswordField},
        {25, ControlKind::TextField},   {27, ControlKind::CheckBox},  {28, ControlKind::Button},
        {29, ControlKind::CheckBox},    {30, ControlKind::TextField}, {32, ControlKind::ListBox},
        {35, ControlKind::ProgressBar}, {36, ControlKind::Label},     {37, ControlKind::ProgressBar},
        {42, ControlKind::Button},      {43, ControlKind::Button}};
    for (const auto& [id, kind] : numbered) EXPECT_EQ(control(ids::mainWindow, id).kind, kind) << id;
    std::vector<int> entries;
    const auto w = ui.window(ids::mainWindow);
    ASSERT_TRUE(w);
    for (const ui::MenuTitle& t : w->menu)
        for (const ui::MenuEntry& e : t.entries) entries.push_back(e.id);
    EXPECT_EQ(entries, (std::vector<int>{2, 3, 4, 5, 6, 7, 8}));
    EXPECT_TRUE(control(ids::mainWindow, ids::passwordField).masked);
    EXPECT_TRUE(control(ids::mainWindow, ids::portField).digitsOnly);
    EXPECT_FALSE(control(ids::mainWindow, ids::cancelButton).enabled) << "Annuler waits for an upload";
    // This machine is no Vista or 7 workstation: the plain 0..100 file bar.
    EXPECT_EQ(control(ids::mainWindow, ids::fileBar).rangeMax, 100);

    EXPECT_EQ(text(ids::addressField), "");
    EXPECT_EQ(text(ids::userField), "");
    EXPECT_EQ(text(ids::folderField), "livre-dor");
    EXPECT_EQ(text(ids::portField), "21");
    EXPECT_FALSE(ui.isChecked(ids::mainWindow, ids::chmodBox));
    EXPECT_TRUE(ui.isChecked(ids::mainWindow, ids::passiveBox));
    for (int id : {ids::chmodFrame, ids::chmodTitle, ids::chmodStatus, ids::chmodBar})
        EXPECT_FALSE(ui.controlExists(ids::mainWindow, id)) << id;
    EXPECT_EQ(ui.lineCount(ids::mainWindow, ids::treeList), 333);
    EXPECT_EQ(ui.getLine(ids::mainWindow, ids::treeList, 0), "+-[Dossier] livre-dor");
    closeProgram();
}

TEST_F(InstallerWindowTest, StoredSettingsFillTheFormAndFtpInfoChmodShowsThePanel) {
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

    EXPECT_EQ(text(ids::addressField), "ftp.exemple-hébergeur.fr");
    EXPECT_EQ(text(ids::userField), "jean.dupont");
    EXPECT_EQ(text(ids::passwordField), "") << "the password is never stored";
    EXPECT_EQ(text(ids::folderField), "mon-livre");
    EXPECT_EQ(text(ids::portField), "2121");
    EXPECT_TRUE(ui.isChecked(ids::mainWindow, ids::chmodBox));
    EXPECT_FALSE(ui.isChecked(ids::mainWindow, ids::passiveBox));
    EXPECT_EQ(ui.getLine(ids::mainWindow, ids::treeList, 0), "+-[Dossier] mon-livre");
    for (int id : {ids::chmodFrame, ids::chmodStatus, ids::chmodBar})
        EXPECT_TRUE(ui.controlExists(ids::mainWindow, id)) << id;
    EXPECT_FALSE(ui.controlExists(ids::mainWindow, ids::chmodTitle)) << "the menu run's title is not shown";

    // "Quitter" ends the program as closing the window does.
    ui.expectBox("Information.", "Impossible de retourner au menu général.");
    ASSERT_TRUE(ui.chooseMenu(ids::mainWindow, ids::menuQuit));
    joinProgram();
    EXPECT_EQ(exitCode(), 0);
    EXPECT_FALSE(ui.windowExists(ids::mainWindow));
}

}  // namespace
}  // namespace velmo::installer::testing
