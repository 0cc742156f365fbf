// The connection form block with the four tools' layouts as their windows place it: the
// installer's rows against the installer's real window, the others' differences, and the
// reading, filling and enabling each tool relies on.
#include <gtest/gtest.h>

#include <set>
#include <tuple>

#include "frame/connection_form.h"
#include "installer/installer_app.h"
#include "ui/headless/headless_ui.h"

using namespace velmo;
using frame::ConnectionFormLayout;
using frame::FormRow;
using frame::FormTexts;

namespace {

ConnectionFormLayout installerLayout() {
    ConnectionFormLayout l;
    l.addressFrame = {10, 8, 24, 360, 76};
    l.addressPrompt = {11, 16, 40, 348, 16};
    l.addressExample = {12, 16, 56, 348, 16};
    l.addressField = {13, 16, 72, 344, 22, "ftp.hebergeur-exemple.fr"};
    l.userFrame = {14, 8, 104, 360, 60};
    l.userPrompt = {15, 16, 120, 348, 16};
    l.userField = {16, 16, 136, 344, 22, "mon-identifiant"};
    l.passwordFrame = {17, 8, 168, 360, 60};
    l.passwordPrompt = {18, 16, 184, 348, 16};
    l.passwordField = {19, 16, 200, 344, 22};
    l.folder = frame::FolderRows{{20, 8, 232, 360, 108, "Répertoire de destination"},
                                 {{21, 16, 248, 348, 16, "Entrez le nom du dossier dans lequel les fichiers de"},
                                  {22, 16, 264, 348, 16, "Velmo Livre d'or, seront transférés."},
                                  {23, 16, 280, 348, 16, "Ou bien laissez le nom par défaut."},
                                  {24, 16, 296, 348, 16, "Si le dossier n'existe pas, il sera créé."}},
                                 {25, 16, 312, 344, 22, "livre-dor"}};
    l.optionsFrame = {26, 376, 24, 400, 76};
    l.chmodBox = FormRow{27, 384, 40, 68, 16};
    l.passiveBox = {29, 384, 56, 336, 16};
    l.portField = {30, 384, 72, 50, 22};
    l.portLabel = {31, 436, 76, 288, 16};
    return l;
}

// The password and the options beside the address; the folder apart, below the listing,
// and not one of the connection fields.
ConnectionFormLayout locatorLayout() {
    ConnectionFormLayout l;
    l.addressFrame = {8, 8, 24, 360, 76};
    l.addressPrompt = {9, 16, 40, 348, 16};
    l.addressExample = {10, 16, 56, 348, 16};
    l.addressField = {11, 16, 72, 336, 22};
    l.userFrame = {12, 8, 104, 360, 60};
    l.userPrompt = {13, 16, 120, 348, 16};
    l.userField = {14, 16, 136, 336, 22};
    l.passwordFrame = {15, 384, 24, 360, 60};
    l.passwordPrompt = {16, 392, 40, 348, 16};
    l.passwordField = {17, 392, 56, 336, 22};
    l.optionsFrame = {18, 384, 88, 360, 60};
    l.passiveBox = {19, 392, 104, 336, 16};
    l.portField = {20, 392, 120, 50, 22};
    l.portLabel = {21, 448, 124, 288, 16};
    l.folder = frame::FolderRows{{24, 8, 400, 360, 76, "Répertoire du livre d'or"},
                                 {{25, 16, 416, 348, 16, "Le nom du dossier de Velmo Livre d'or,"},
                                  {26, 16, 432, 348, 16, "doit s'afficher ci-dessous."}},
                                 {27, 16, 448, 336, 22},
                                 false};
    return l;
}

// Its own user prompt, an empty port field and the passive box unticked until the settings
// fill them; the folder is shown, not read back.
ConnectionFormLayout backupLayout() {
    ConnectionFormLayout l;
    l.addressFrame = {11, 8, 88, 360, 76};
    l.addressPrompt = {12, 16, 104, 348, 16};
    l.addressExample = {13, 16, 120, 348, 16};
    l.addressField = {14, 16, 136, 336, 22};
    l.userFrame = {15, 8, 168, 360, 60};
    l.userPrompt = {16, 16, 184, 348, 16, "Entrez ci-dessous votre ID Utilisateur ou login."};
    l.userField = {17, 16, 200, 336, 22};
    l.passwordFrame = {18, 8, 232, 360, 60};
    l.passwordPrompt = {19, 16, 248, 348, 16};
    l.passwordField = {20, 16, 264, 336, 22};
    l.folder = frame::FolderRows{{21, 8, 298, 360, 44, "Répertoire du livre d'or"}, {}, {22, 16, 314, 336, 22}};
    l.optionsFrame = {23, 8, 348, 360, 60};
    l.passiveBox = {24, 16, 364, 336, 16};
    l.portField = {25, 16, 380, 50, 22, ""};
    l.portLabel = {26, 68, 384, 288, 16};
    l.passiveChecked = false;
    return l;
}

// On the second page of tab panel 7.
ConnectionFormLayout updaterLayout() {
    ConnectionFormLayout l;
    l.panelId = 7;
    l.tabIndex = 1;
    l.addressFrame = {11, 8, 28, 360, 76};
    l.addressPrompt = {12, 18, 44, 340, 16};
    l.addressExample = {13, 18, 60, 340, 16};
    l.addressField = {14, 18, 76, 340, 22};
    l.userFrame = {15, 8, 108, 360, 60};
    l.userPrompt = {16, 18, 124, 340, 16};
    l.userField = {17, 18, 140, 340, 22};
    l.passwordFrame = {18, 378, 28, 338, 60};
    l.passwordPrompt = {19, 388, 44, 318, 16};
    l.passwordField = {20, 388, 60, 318, 22};
    l.optionsFrame = {21, 378, 92, 340, 76};
    l.chmodBox = FormRow{22, 388, 108, 68, 16};
    l.passiveBox = {23, 388, 124, 318, 16};
    l.portField = {24, 388, 140, 60, 22};
    l.portLabel = {25, 454, 143, 254, 16};
    l.folder = frame::FolderRows{{26, 378, 174, 340, 60, "Répertoire de destination"},
                                 {{27, 388, 190, 318, 16, "Dossier cible des mises à jours."}},
                                 {28, 388, 206, 318, 22}};
    return l;
}

std::vector<int> idsOf(const std::vector<ui::ControlSpec>& table) {
    std::vector<int> ids;
    for (const ui::ControlSpec& c : table) ids.push_back(c.id);
    return ids;
}

auto shape(const ui::ControlState& c) {
    return std::tuple(c.kind, c.x, c.y, c.width, c.height, c.text, c.font, c.align, c.masked, c.digitsOnly,
                      c.checked, c.enabled);
}

}  // namespace

// The installer's window is what its form must stay when it is built from the block.
TEST(ConnectionForm, TheInstallersRowsAreItsWindowsRowForRow) {
    ui::HeadlessUi real, block;
    installer::InstallerPictures pictures;
    installer::InstallerApp app(real, pictures);
    installer::buildMainWindow(app);
    const frame::ConnectionForm form(installerLayout());
    const std::vector<ui::ControlSpec> rows = form.controls();
    ASSERT_TRUE(block.createWindow({0, "bloc", 784, 470}, rows));
    EXPECT_EQ(idsOf(rows), (std::vector<int>{10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26,
                                             27, 29, 30, 31}));
    for (int id : idsOf(rows)) {
        SCOPED_TRACE(id);
        ASSERT_TRUE(real.control(0, id));
        EXPECT_EQ(shape(*block.control(0, id)), shape(*real.control(0, id)));
    }
}

TEST(ConnectionForm, TheOtherToolsLayoutsGiveTheirOwnRows) {
    using K = ui::ControlKind;
    // The locator: fourteen rows of the block, then the folder's four after its listing.
    const auto locator = frame::ConnectionForm(locatorLayout()).controls();
    EXPECT_EQ(idsOf(locator), (std::vector<int>{8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 24, 25, 26, 27}));

    ui::HeadlessUi ui;
    ASSERT_TRUE(ui.createWindow({0, "Velmo Sauvegarde.", 376, 470}, frame::ConnectionForm(backupLayout()).controls()));
    EXPECT_EQ(ui.getText(0, 16), "Entrez ci-dessous votre ID Utilisateur ou login.");
    EXPECT_EQ(ui.getText(0, 25), "");
    EXPECT_FALSE(ui.isChecked(0, 24));
    EXPECT_EQ(ui.getText(0, 21), "Répertoire du livre d'or");
    EXPECT_EQ(ui.control(0, 22)->kind, K::TextField);

    // The updater's rows lie on the tab page: hidden until that tab is chosen.
    std::vector<ui::ControlSpec> updater = frame::tableInIdOrder(
        {frame::ConnectionForm(updaterLayout()).controls(),
         {ui::ControlSpec{7, K::TabPanel, 10, 64, 732, 430}.withTabs({"Vérifier les mises à jour",
                                                                      "Effectuer les mises à jour"})}});
    ASSERT_TRUE(ui.createWindow({1, "Velmo, Maj", 752, 500}, updater));
    EXPECT_EQ(ui.window(1)->controlIds.front(), 7) << "the panel first, its pages' rows after it";
    for (int id = 11; id <= 28; ++id) EXPECT_FALSE(ui.control(1, id)->visible) << id;
    ASSERT_TRUE(ui.chooseTab(1, 7, 1));
    for (int id = 11; id <= 28; ++id) EXPECT_TRUE(ui.control(1, id)->visible) << id;
    EXPECT_EQ(ui.getText(1, 22), "Chmod.");
    EXPECT_EQ(std::tuple(ui.control(1, 20)->kind, ui.control(1, 24)->digitsOnly, ui.getText(1, 24)),
              std::tuple(K::PasswordField, true, std::string("21")));
}

// What each tool reads: the installer trims for an upload and reads as typed for its menu
// runs, and puts the trimmed texts back; the locator saves the address and user as typed;
// a form without "Chmod." gives the flag 0. Filling never touches the password.
TEST(ConnectionForm, ReadTrimmedOrAsTypedFillAndEnableTheConnectionFields) {
    ui::HeadlessUi ui;
    const frame::ConnectionForm installer(installerLayout());
    ASSERT_TRUE(ui.createWindow({0, "Velmo, Transfert.", 784, 470}, installer.controls()));
    ConnectionSettings stored;
    stored.serverAddress = "ftp.exemple.fr";
    stored.userId = "moi";
    stored.password = "jamais";
    stored.guestbookFolder = "livre_dor";
    stored.permissionFlag = 1;
    stored.passiveFlag = 0;
    stored.port = 2121;
    ui.typeText(0, 19, "secret");
    installer.fill(ui, stored);
    EXPECT_EQ(std::tuple(ui.getText(0, 13), ui.getText(0, 16), ui.getText(0, 19), ui.getText(0, 25), ui.getText(0, 30),
                         ui.isChecked(0, 27), ui.isChecked(0, 29)),
              std::tuple("ftp.exemple.fr", "moi", "secret", "livre_dor", "2121", true, false));

    ui.typeText(0, 13, "  127.0.0.1 ");
    ui.typeText(0, 16, " velmo");
    ui.typeText(0, 19, "mot de passe ");
    ui.typeText(0, 25, "\tlivre-dor ");  // a tab is no blank
    ui.typeText(0, 30, "21x");
    const ConnectionSettings typed = installer.read(ui, FormTexts::AsTyped);
    const ConnectionSettings trimmed = installer.read(ui, FormTexts::Trimmed);
    EXPECT_EQ(std::tuple(typed.serverAddress, typed.userId, typed.password, typed.guestbookFolder),
              std::tuple("  127.0.0.1 ", " velmo", "mot de passe ", "\tlivre-dor "));
    EXPECT_EQ(std::tuple(trimmed.serverAddress, trimmed.userId, trimmed.password, trimmed.guestbookFolder),
              std::tuple("127.0.0.1", "velmo", "mot de passe", "\tlivre-dor"));
    EXPECT_EQ(std::tuple(trimmed.permissionFlag, trimmed.passiveFlag, trimmed.port, typed.port),
              std::tuple(1, 0, 21, 21));
    installer.trimFields(ui);
    EXPECT_EQ(installer.read(ui, FormTexts::AsTyped).serverAddress, "127.0.0.1");
    EXPECT_EQ(ui.getText(0, 25), "\tlivre-dor");

    // The installer's form switches its folder and "Chmod." too; the locator's keeps its
    // folder field out of it.
    installer.setEnabled(ui, false);
    auto disabled = [&](int window) {
        std::set<int> off;
        const ui::WindowState state = ui.window(window).value();
        for (int id : state.controlIds)
            if (!ui.isEnabled(window, id)) off.insert(id);
        return off;
    };
    EXPECT_EQ(disabled(0), (std::set<int>{13, 16, 19, 25, 27, 29, 30}));
    installer.setEnabled(ui, true);
    EXPECT_TRUE(ui.isEnabled(0, 25));

    ConnectionFormLayout onSecondWindow = locatorLayout();
    onSecondWindow.windowId = 2;
    const frame::ConnectionForm locator(onSecondWindow);
    ASSERT_TRUE(ui.createWindow({2, "Velmo, Navigateur.", 752, 500}, locator.controls()));
    ui.typeText(2, 27, "livre-dor");
    locator.setEnabled(ui, false);
    EXPECT_EQ(disabled(2), (std::set<int>{11, 14, 17, 19, 20}));
    const ConnectionSettings noChmod = locator.read(ui, FormTexts::AsTyped);
    EXPECT_EQ(std::tuple(noChmod.permissionFlag, noChmod.passiveFlag, noChmod.guestbookFolder),
              std::tuple(0, 1, std::string("livre-dor")));
}
