// The connection form block: the installer's layout against the installer's real window,
// the other tools' differences (folder kept out of the connection fields, no "Chmod.", own
// wording, a tab page), and the reading, filling and enabling each tool relies on.
#include <gtest/gtest.h>

#include <set>
#include <tuple>

#include "frame/connection_form.h"
#include "installer/window/installer_app.h"
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
    const installer::InstallerApp app(real, false);
    const frame::ProgramDescription window = installer::mainWindowDescription(app);
    ASSERT_TRUE(real.createWindow(window.window, window.controls));
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

// The installer trims for an upload and reads as typed for its menu runs, and puts the
// trimmed texts back; the locator saves the address and user as typed; a form without
// "Chmod." gives the flag 0. Filling never touches the password.
TEST(ConnectionForm, EachToolsVariantReadTrimmedOrAsTypedFillAndEnable) {
    ui::HeadlessUi ui;
    const frame::ConnectionForm installer(installerLayout());
    ASSERT_TRUE(ui.createWindow({0, "Velmo, Transfert.", 784, 470}, installer.controls()));
    const ConnectionSettings stored{"ftp.exemple.fr", "moi", "jamais", "livre_dor", 1, 0, 2121};
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

    installer.setEnabled(ui, false);
    auto disabled = [&](int window) {
        std::set<int> off;
        const ui::WindowState state = ui.window(window).value();
        for (int id : state.controlIds)
            if (!ui.isEnabled(window, id)) off.insert(id);
        return off;
    };
    EXPECT_EQ(disabled(0), (std::set<int>{13, 16, 19, 25, 27, 29, 30}));

    // The locator's kind: no "Chmod.", the folder not one of the connection fields; the
    // backup tool's: its own wording, an empty port, the passive box unticked; the
    // updater's: on a tab page, hidden until that tab shows.
    ConnectionFormLayout other = installerLayout();
    other.windowId = 2;
    other.chmodBox.reset();
    other.folder->enabledWithForm = false;
    other.userPrompt.text = "Entrez ci-dessous votre ID Utilisateur ou login.";
    other.portField.text = "";
    other.passiveChecked = false;
    other.panelId = 7;
    other.tabIndex = 1;
    const frame::ConnectionForm form(other);
    ASSERT_TRUE(ui.createWindow({2, "Velmo, Maj", 752, 500},
                                frame::tableInIdOrder({form.controls(), {ui::ControlSpec{7, ui::ControlKind::TabPanel,
                                                                                         10, 64, 732, 430}
                                                                             .withTabs({"un", "deux"})}})));
    EXPECT_EQ(std::tuple(ui.getText(2, 15), ui.getText(2, 30), ui.isChecked(2, 29), ui.controlExists(2, 27)),
              std::tuple("Entrez ci-dessous votre ID Utilisateur ou login.", "", false, false));
    EXPECT_FALSE(ui.control(2, 13)->visible);
    ASSERT_TRUE(ui.chooseTab(2, 7, 1));
    EXPECT_TRUE(ui.control(2, 13)->visible);
    form.setEnabled(ui, false);
    EXPECT_EQ(disabled(2), (std::set<int>{13, 16, 19, 29, 30}));
    ui.typeText(2, 25, "livre-dor");
    const ConnectionSettings noChmod = form.read(ui, FormTexts::AsTyped);
    EXPECT_EQ(std::tuple(noChmod.permissionFlag, noChmod.passiveFlag, noChmod.guestbookFolder),
              std::tuple(0, 0, std::string("livre-dor")));
}
