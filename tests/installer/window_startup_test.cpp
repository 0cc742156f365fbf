// Start-up of Velmo_Transfert: the guestbook folder check, the main window as built, the
// tree list of the manifest and the form filled from the settings file.
#include "tests/installer/window_fixture.h"

#include <algorithm>

namespace velmo::installer::testing {
namespace {

using ui::ControlKind;
using ui::FontRole;

TEST_F(InstallerWindowTest, WithoutTheGuestbookFolderItSaysSoAndEndsWithoutAWindow) {
    // A file named like the folder is not the folder.
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
    EXPECT_EQ(box.buttons, ui::MessageButtons::Ok);
    EXPECT_TRUE(ui.windowIds().empty());
}

TEST_F(InstallerWindowTest, MainWindowMenusAndControlsAsBuilt) {
    withGuestbook();
    start();
    const auto w = ui.window(ids::mainWindow);
    ASSERT_TRUE(w);
    EXPECT_EQ(w->title, "Velmo, Transfert.");
    EXPECT_EQ(w->clientWidth, 784);
    EXPECT_EQ(w->clientHeight, 470);
    EXPECT_FALSE(w->minimizeBox);
    EXPECT_FALSE(w->resizable);
    EXPECT_TRUE(w->enabled);

    // Menus: titles, entry numbers and texts (CP1252 accents), every entry with a 16 x 16 icon.
    std::vector<std::pair<std::string, std::vector<std::pair<int, std::string>>>> menu;
    for (const ui::MenuTitle& t : w->menu) {
        menu.push_back({t.title, {}});
        for (const ui::MenuEntry& e : t.entries) menu.back().second.push_back({e.id, e.text});
    }
    const decltype(menu) expectedMenu = {
        {"Fichier", {{2, "Lancer le générateur de lien"}, {3, "Quitter"}}},
        {"Outils",
         {{4, "Effectuer les chmods sur les fichiers adéquates"},
          {5, "Annuler les chmods sur les fichiers adéquates"}}},
        {"Aide",
         {{6, "Site de Velmo, livre d'or"}, {7, "Forum de Velmo, livre d'or"}, {8, "A propos"}}},
    };
    EXPECT_EQ(menu, expectedMenu);
    EXPECT_EQ(w->menuIconSizes, std::vector<int>(7, 16));

    // Controls in id order with their kinds, places, texts and fonts.
    struct Row {
        int id;
        ControlKind kind;
        int x, y, w, h;
        std::string text;
        FontRole font;
    };
    const std::vector<Row> rows = {
        {9, ControlKind::Label, 8, 8, 696, 16,
         "Toutes les informations ci-dessous ont dû vous être fournies par votre hébergeur.",
         FontRole::Text8},
        {10, ControlKind::GroupBox, 8, 24, 360, 76, "Adresse FTP", FontRole::Text8},
        {11, ControlKind::Label, 16, 40, 348, 16, "Entrez ci-dessous votre adresse FTP.", FontRole::Text8},
        {14, ControlKind::GroupBox, 8, 104, 360, 60, "ID Utilisateur", FontRole::Text8},
        {15, ControlKind::Label, 16, 120, 348, 16, "Entrez ci-dessous votre ID Utilisateur.", FontRole::Text8},
        {17, ControlKind::GroupBox, 8, 168, 360, 60, "Mot de passe", FontRole::Text8},
        {18, ControlKind::Label, 16, 184, 348, 16, "Entrez ci-dessous votre mot de passe.", FontRole::Text8},
        {19, ControlKind::PasswordField, 16, 200, 344, 22, "", FontRole::Text8},
        {20, ControlKind::GroupBox, 8, 232, 360, 108, "Répertoire de destination", FontRole::Text8},
        {21, ControlKind::Label, 16, 248, 348, 16, "Entrez le nom du dossier dans lequel les fichiers de", FontRole::Text8},
        {22, ControlKind::Label, 16, 264, 348, 16, "Velmo Livre d'or, seront transférés.", FontRole::Text8},
        {23, ControlKind::Label, 16, 280, 348, 16, "Ou bien laissez le nom par défaut.", FontRole::Text8},
        {24, ControlKind::Label, 16, 296, 348, 16, "Si le dossier n'existe pas, il sera créé.", FontRole::Text8},
        {26, ControlKind::GroupBox, 376, 24, 400, 76, "Options", FontRole::Text8},
        {27, ControlKind::CheckBox, 384, 40, 68, 16, "Chmod.", FontRole::Text8},
        {28, ControlKind::Button, 456, 36, 40, 21, "Infos", FontRole::Text8},
        {29, ControlKind::CheckBox, 384, 56, 336, 16, "Mode passif.", FontRole::Text8},
        {31, ControlKind::Label, 436, 76, 288, 16, "Port.", FontRole::Text8},
        {32, ControlKind::ListBox, 376, 112, 400, 228, "", FontRole::Text9},
        {33, ControlKind::GroupBox, 376, 345, 400, 96, "Transferts", FontRole::Text8},
        {34, ControlKind::Label, 384, 360, 384, 16, "En cours :", FontRole::Text8},
        {35, ControlKind::ProgressBar, 384, 376, 382, 16, "", FontRole::Text8},
        {36, ControlKind::Label, 384, 400, 384, 16, "Fichiers envoyés : 1/333", FontRole::Text8},
        {37, ControlKind::ProgressBar, 384, 416, 382, 16, "", FontRole::Text8},
        {42, ControlKind::Button, 25, 412, 120, 24, "Valider", FontRole::Large10},
        {43, ControlKind::Button, 185, 412, 120, 24, "Annuler", FontRole::Large10},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE("control " + std::to_string(r.id));
        const ui::ControlState c = control(ids::mainWindow, r.id);
        EXPECT_EQ(c.kind, r.kind);
        EXPECT_EQ((std::vector<int>{c.x, c.y, c.width, c.height}), (std::vector<int>{r.x, r.y, r.w, r.h}));
        EXPECT_EQ(c.text, r.text);
        EXPECT_EQ(c.font, r.font);
    }
    std::vector<int> order;
    for (int id : w->controlIds)
        if (id != 12 && id != 13 && id != 16 && id != 25 && id != 30) order.push_back(id);
    std::vector<int> expectedOrder;
    for (const Row& r : rows) expectedOrder.push_back(r.id);
    EXPECT_EQ(order, expectedOrder) << "controls built in id order";

    EXPECT_TRUE(control(ids::mainWindow, 19).masked);
    EXPECT_TRUE(control(ids::mainWindow, 30).digitsOnly);
    EXPECT_EQ(control(ids::mainWindow, 30).align, ui::TextAlign::Right);
    EXPECT_FALSE(control(ids::mainWindow, 43).enabled) << "Annuler waits for an upload";
    EXPECT_TRUE(control(ids::mainWindow, 42).enabled);
    EXPECT_EQ(control(ids::mainWindow, 37).rangeMin, 0);
    EXPECT_EQ(control(ids::mainWindow, 37).rangeMax, 100);
    EXPECT_TRUE(control(ids::mainWindow, 37).smooth);
    // This machine is no Vista or 7 workstation: the plain 0..100 file bar.
    EXPECT_EQ(control(ids::mainWindow, 35).rangeMax, 100);
    for (int id : {38, 39, 40, 41}) EXPECT_FALSE(ui.controlExists(ids::mainWindow, id)) << id;

    // No settings file: the installer's defaults.
    EXPECT_EQ(text(ids::addressField), "");
    EXPECT_EQ(text(ids::userField), "");
    EXPECT_EQ(text(ids::folderField), "livre-dor");
    EXPECT_EQ(text(ids::portField), "21");
    EXPECT_FALSE(ui.isChecked(ids::mainWindow, ids::chmodBox));
    EXPECT_TRUE(ui.isChecked(ids::mainWindow, ids::passiveBox));

    // The sample guestbook gives the 24 folder lines and 309 file lines of the manifest.
    const ui::ControlState tree = control(ids::mainWindow, ids::treeList);
    ASSERT_EQ(tree.lines.size(), 333u);
    EXPECT_EQ(tree.lines[0], "+-[Dossier] livre-dor");
    EXPECT_EQ(tree.lines[1].rfind("   +- ", 0), 0u) << tree.lines[1];
    int folderLines = 0;
    for (const std::string& line : tree.lines)
        if (line.find("+-[Dossier] ") != std::string::npos) ++folderLines;
    EXPECT_EQ(folderLines, 24);
    EXPECT_NE(std::find(tree.lines.begin(), tree.lines.end(), "   +-[Dossier] langues"), tree.lines.end());
    EXPECT_EQ(std::find(tree.lines.begin(), tree.lines.end(), "      +- Thumbs.db"), tree.lines.end());

    closeProgram();
}

TEST_F(InstallerWindowTest, StoredSettingsFillTheFormAndShowThePermissionPanel) {
    withGuestbook();
    ConnectionSettings s;
    s.serverAddress = "ftp.exemple-hébergeur.fr";
    s.userId = "jean.dupont";
    s.password = "jamais-enregistré";
    s.guestbookFolder = "mon-livre";
    s.permissionFlag = 1;
    s.passiveFlag = 0;
    s.port = 2121;
    withSettings(s, true);
    start();

    EXPECT_EQ(text(ids::addressField), "ftp.exemple-hébergeur.fr");
    EXPECT_EQ(text(ids::userField), "jean.dupont");
    EXPECT_EQ(text(ids::passwordField), "") << "the password is never stored";
    EXPECT_EQ(text(ids::folderField), "mon-livre");
    EXPECT_EQ(text(ids::portField), "2121");
    EXPECT_TRUE(ui.isChecked(ids::mainWindow, ids::chmodBox));
    EXPECT_FALSE(ui.isChecked(ids::mainWindow, ids::passiveBox));
    EXPECT_EQ(ui.getLine(ids::mainWindow, ids::treeList, 0), "+-[Dossier] mon-livre");

    const ui::ControlState frame = control(ids::mainWindow, 38);
    EXPECT_EQ(frame.kind, ControlKind::GroupBox);
    EXPECT_EQ(frame.text, "Chmod");
    EXPECT_EQ((std::vector<int>{frame.x, frame.y, frame.width, frame.height}),
              (std::vector<int>{8, 345, 360, 55}));
    const ui::ControlState status = control(ids::mainWindow, 40);
    EXPECT_EQ(status.text, "En cours :");
    EXPECT_EQ((std::vector<int>{status.x, status.y, status.width, status.height}),
              (std::vector<int>{16, 360, 344, 16}));
    const ui::ControlState bar = control(ids::mainWindow, 41);
    EXPECT_EQ(bar.kind, ControlKind::ProgressBar);
    EXPECT_EQ((std::vector<int>{bar.x, bar.y, bar.width, bar.height, bar.rangeMin, bar.rangeMax}),
              (std::vector<int>{16, 376, 344, 16, 0, 100}));
    EXPECT_TRUE(bar.smooth);
    EXPECT_FALSE(ui.controlExists(ids::mainWindow, 39)) << "the menu run's title is not shown";
    closeProgram();
}

TEST_F(InstallerWindowTest, AFileWithoutAFolderKeyGivesTheDefaultFolder) {
    withGuestbook();
    std::ofstream("softwareDatas/config.pcfg", std::ios::binary)
        << "transfert = 1\r\nFTP_adresse = ftp.ailleurs.fr\r\nFTP_infoChmod = 0\r\n";
    start();
    EXPECT_EQ(text(ids::addressField), "ftp.ailleurs.fr");
    EXPECT_EQ(text(ids::folderField), "livre-dor");
    EXPECT_EQ(ui.getLine(ids::mainWindow, ids::treeList, 0), "+-[Dossier] livre-dor");
    EXPECT_FALSE(ui.controlExists(ids::mainWindow, 38));
    closeProgram();
}

}  // namespace
}  // namespace velmo::installer::testing
