// The install link generator opened from the menu, as the user meets it: refused site
// addresses, the links it builds and opens, the stay-on-top toggle and the way back.
#include "settings/settings_lock.h"
#include "tests/installer/installer_harness.h"

namespace velmo::installer::testing {
namespace {

constexpr int gen = ids::linkGeneratorWindow;

class LinkGeneratorTest : public InstallerWindowTest {
protected:
    // The guestbook is on the server with `folder` as its folder; the generator is open.
    void openWithFolder(const std::string& folder) {
        ConnectionSettings s;
        s.guestbookFolder = folder;
        withSettings(s);
        start();
        ASSERT_TRUE(ui.chooseMenu(ids::mainWindow, ids::menuLinkGenerator));
        ASSERT_TRUE(ui.waitUntil([&] { return ui.windowExists(gen); }));
    }

    // Types an address, presses "Générer le lien" and waits for the box it gives.
    ui::ShownBox generate(const std::string& typed) {
        const std::size_t before = ui.shownBoxes().size();
        EXPECT_TRUE(ui.typeText(gen, ids::linkField, typed));
        EXPECT_TRUE(ui.click(gen, ids::linkGenerateButton));
        EXPECT_TRUE(ui.waitUntil([&] { return ui.shownBoxes().size() > before; }));
        settleGenerator();
        return ui.shownBoxes().empty() ? ui::ShownBox{} : ui.shownBoxes().back();
    }

    // Waits until the generator's loop has handled everything so far: it answers the
    // toggle, pressed twice, only after that.
    void settleGenerator() {
        ASSERT_TRUE(ui.waitUntil([&] { return ui.isWindowEnabled(gen); }));
        for (const char* tooltip : {"Toujours au premier plan.", "Toujours au second plan."}) {
            ASSERT_TRUE(ui.click(gen, ids::linkStayOnTop));
            ASSERT_TRUE(ui.waitUntil([&] { return ui.control(gen, ids::linkStayOnTop)->tooltip == tooltip; }));
        }
    }

    std::string field() { return ui.getText(gen, ids::linkField); }
    std::string link() { return ui.getText(gen, ids::linkControl); }
    int focus() { return ui.window(gen)->focusedControl; }
};

// Refused addresses give no link (nor take the last one away); accepted ones give the
// install link, which opens in the browser on a click. The window stays throughout.
TEST_F(LinkGeneratorTest, RefusesBadAddressesAndGivesTheInstallLinkWhichOpensOnClick) {
    openWithFolder("livre-dor");
    const std::string empty = "Le champ est vide remplissez-le.", noSite = "Veuillez entrer l'adresse de votre site.",
                      noHttp = "L'adresse doit commencer par \"http://\".";
    const std::string generated = "Le lien vient d'être généré.\r\nSi vous atterrissez sur une page d'erreur, "
                                  "c'est que vous avez mal entré l'adresse de votre site.";
    const std::string last = "http://perso.fr/mes pages/livre-dor/install/index.php";
    struct Case {
        std::string typed, fieldAfter, link, refusal;
    };
    const std::vector<Case> cases = {
        {"", "", "", empty},
        {"     ", "", "", empty},
        {"http://", "http://", "", noSite},
        {" http:// / ", "http://", "", noSite},
        {"www.mon-site.fr", "www.mon-site.fr", "", noHttp},
        {"HTTP://www.mon-site.fr", "HTTP://www.mon-site.fr", "", noHttp},
        {"https://www.mon-site.fr", "https://www.mon-site.fr", "", noHttp},
        {" http://www.mon-site.fr/ ", "http://www.mon-site.fr", "http://www.mon-site.fr/livre-dor/install/index.php"},
        {"http://www.mon-site.fr/perso///", "http://www.mon-site.fr/perso",
         "http://www.mon-site.fr/perso/livre-dor/install/index.php"},
        {"http://www.mon site.fr", "http://www.monsite.fr", "http://www.monsite.fr/livre-dor/install/index.php"},
        {"http://perso.fr/mes%20pages", "http://perso.fr/mes%20pages", last},
        {"", "", last, empty},
    };
    std::string opened;
    for (const Case& c : cases) {
        SCOPED_TRACE("typed \"" + c.typed + "\"");
        const bool refused = !c.refusal.empty();
        ui.expectBox(refused ? "Attention." : "Lien généré.", refused ? c.refusal : generated);
        const ui::ShownBox box = generate(c.typed);
        EXPECT_EQ(box.text, refused ? c.refusal : generated);
        EXPECT_EQ(box.icon, refused ? ui::MessageIcon::Warning : ui::MessageIcon::Information);
        EXPECT_EQ(link(), c.link);
        EXPECT_EQ(field(), c.fieldAfter);
        EXPECT_EQ(focus(), ids::linkField);
        if (!refused) {
            ASSERT_TRUE(ui.click(gen, ids::linkControl));
            opened += c.link + "\n";
            EXPECT_EQ(waitForOpened(opened), opened);
        }
        EXPECT_TRUE(ui.windowExists(gen));
    }
}

TEST_F(LinkGeneratorTest, AnEmptyStoredFolderIsNamedAsUnknown) {
    openWithFolder("");
    ui.expectBox("Lien généré.", "Le lien vient d'être généré.");
    generate("http://www.mon-site.fr");
    EXPECT_EQ(link(),
              "http://www.mon-site.fr/>>>>>Attention le nom de dossier est inconnu<<<<</install/index.php");
}

// It opens on top of a disabled main window; the toggle makes it ordinary. Closed, it
// brings the main window to the front without leaving it on top.
TEST_F(LinkGeneratorTest, StaysOnTopUntilToggledAndClosingGivesBackTheMainWindow) {
    openWithFolder("livre-dor");
    EXPECT_TRUE(ui.window(gen)->topmost);
    EXPECT_FALSE(ui.isWindowEnabled(ids::mainWindow));
    ASSERT_TRUE(ui.click(gen, ids::linkStayOnTop));
    ASSERT_TRUE(ui.waitUntil([&] { return !ui.window(gen)->topmost; }));
    ASSERT_TRUE(ui.closeBox(gen));
    ASSERT_TRUE(ui.waitUntil([&] {
        return !ui.windowExists(gen) && ui.isWindowEnabled(ids::mainWindow) && !ui.window(ids::mainWindow)->topmost;
    })) << "only in front, not on top";
    EXPECT_EQ(ui.frontWindow(), ids::mainWindow);
}

// After an upload the link is built below the folder just installed, also when the
// settings could not be saved then (another program kept them): the file still names the
// folder of the run before.
TEST_F(LinkGeneratorTest, AfterAnUploadTheLinkIsForTheFolderJustInstalled) {
    testsupport::FtpPeer peer(testsupport::PeerKind::Pyftpdlib);
    ConnectionSettings before;
    before.guestbookFolder = "livre-dor";
    withSettings(before);
    start();
    for (auto [id, value] : {std::pair{ids::addressField, peer.host()}, std::pair{ids::userField, peer.user()},
                             std::pair{ids::passwordField, peer.password()},
                             std::pair{ids::portField, std::to_string(peer.port())},
                             std::pair{ids::folderField, std::string("mon-livre")}})
        ASSERT_TRUE(ui.typeText(ids::mainWindow, id, value));
    settle();
    const SettingsFileLock otherProgram((tools.dir / "softwareDatas/config.pcfg").string());
    ASSERT_EQ(otherProgram.state(), SettingsFileLock::State::Held);
    ui.expectBox("Statut transfert.", "Tous les dossiers et fichiers ont bien été transférés.");
    ui.expectBox("Attention.", "Un autre logiciel Velmo est en train d'enregistrer");
    ASSERT_TRUE(ui.click(ids::mainWindow, ids::validateButton));
    ASSERT_TRUE(ui.waitUntil([&] { return ui.windowExists(gen) && ui.isWindowEnabled(gen); },
                             std::chrono::seconds(60)));
    EXPECT_NE(tools.settings().find("RepertoireDuLivreDor = livre-dor\r\n"), std::string::npos);
    ui.expectBox("Lien généré.", "Le lien vient d'être généré.");
    generate("http://www.mon-site.fr");
    EXPECT_EQ(link(), "http://www.mon-site.fr/mon-livre/install/index.php");
}

}  // namespace
}  // namespace velmo::installer::testing
