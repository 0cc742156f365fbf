// The install link generator opened from the menu, as the user meets it: the refusals of
// bad site addresses, the links it builds and opens, the stay-on-top toggle and the way
// back to the main window.
#include "tests/installer/window_fixture.h"

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
            ASSERT_TRUE(ui.waitUntil([&] { return control(gen, ids::linkStayOnTop).tooltip == tooltip; }));
        }
    }

    std::string field() { return ui.getText(gen, ids::linkField); }
    std::string link() { return ui.getText(gen, ids::linkControl); }
    int focus() { return ui.window(gen)->focusedControl; }
};

TEST_F(LinkGeneratorTest, BadAddressesAreRefusedAndTheWindowStays) {
    openWithFolder("livre-dor");
    struct Case {
        std::string typed, message, fieldAfter;
    };
    const std::vector<Case> cases = {
        {"", "Le champ est vide remplissez-le.", ""},
        {"     ", "Le champ est vide remplissez-le.", ""},
        {"http://", "Veuillez entrer l'adresse de votre site.", "http://"},
        {" http:// / ", "Veuillez entrer l'adresse de votre site.", "http://"},
        {"www.mon-site.fr", "L'adresse doit commencer par \"http://\".", "www.mon-site.fr"},
        {"HTTP://www.mon-site.fr", "L'adresse doit commencer par \"http://\".",
         "HTTP://www.mon-site.fr"},
        {"https://www.mon-site.fr", "L'adresse doit commencer par \"http://\".",
         "https://www.mon-site.fr"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("typed \"" + c.typed + "\"");
        ui.expectBox("Attention.", c.message);
        const ui::ShownBox box = generate(c.typed);
        EXPECT_EQ(box.text, c.message);
        EXPECT_EQ(box.icon, ui::MessageIcon::Warning);
        EXPECT_EQ(field(), c.fieldAfter);
        EXPECT_EQ(focus(), ids::linkField);
        EXPECT_EQ(link(), "") << "no link from a refused address";
        EXPECT_TRUE(ui.windowExists(gen));
    }
}

TEST_F(LinkGeneratorTest, AcceptedAddressesGiveTheInstallLinkWhichOpensOnClick) {
    openWithFolder("livre-dor");
    struct Case {
        std::string typed, fieldAfter, link;
    };
    const std::vector<Case> cases = {
        {" http://www.mon-site.fr/ ", "http://www.mon-site.fr",
         "http://www.mon-site.fr/livre-dor/install/index.php"},
        {"http://www.mon-site.fr/perso///", "http://www.mon-site.fr/perso",
         "http://www.mon-site.fr/perso/livre-dor/install/index.php"},
        {"http://www.mon site.fr", "http://www.monsite.fr",
         "http://www.monsite.fr/livre-dor/install/index.php"},
        {"http://perso.fr/mes%20pages", "http://perso.fr/mes%20pages",
         "http://perso.fr/mes pages/livre-dor/install/index.php"},
    };
    std::string opened;
    for (const Case& c : cases) {
        SCOPED_TRACE("typed \"" + c.typed + "\"");
        ui.expectBox("Lien généré.", "Le lien vient d'être généré.");
        const ui::ShownBox box = generate(c.typed);
        EXPECT_EQ(box.text,
                  "Le lien vient d'être généré.\r\nSi vous atterrissez sur une page d'erreur, "
                  "c'est que vous avez mal entré l'adresse de votre site.");
        EXPECT_EQ(box.icon, ui::MessageIcon::Information);
        EXPECT_EQ(link(), c.link);
        EXPECT_EQ(field(), c.fieldAfter);
        EXPECT_EQ(focus(), ids::linkField);

        ASSERT_TRUE(ui.click(gen, ids::linkControl));
        opened += c.link + "\n";
        EXPECT_EQ(waitForOpened(opened), opened);
        EXPECT_TRUE(ui.windowExists(gen)) << "the window stays after the click";
    }
    // A refusal afterwards leaves the last link in place.
    ui.expectBox("Attention.", "Le champ est vide");
    generate("");
    EXPECT_EQ(link(), cases.back().link);
}

TEST_F(LinkGeneratorTest, AnEmptyStoredFolderIsNamedAsUnknown) {
    openWithFolder("");
    ui.expectBox("Lien généré.", "Le lien vient d'être généré.");
    generate("http://www.mon-site.fr");
    EXPECT_EQ(link(),
              "http://www.mon-site.fr/>>>>>Attention le nom de dossier est inconnu<<<<</install/index.php");
}

// It opens on top of a disabled main window with the focus in the address field; the
// toggle makes it ordinary and back, its tooltip naming what a press will do. Closed, it
// brings the main window to the front without leaving it on top; opened again, it starts
// afresh.
TEST_F(LinkGeneratorTest, StaysOnTopUntilToggledAndClosingGivesBackTheMainWindow) {
    openWithFolder("livre-dor");
    EXPECT_TRUE(ui.window(gen)->topmost);
    EXPECT_TRUE(ui.waitUntil([&] { return focus() == ids::linkField; }));
    EXPECT_FALSE(ui.isWindowEnabled(ids::mainWindow));
    for (const bool onTop : {false, true}) {
        ASSERT_TRUE(ui.click(gen, ids::linkStayOnTop));
        const char* tooltip = onTop ? "Toujours au second plan." : "Toujours au premier plan.";
        ASSERT_TRUE(ui.waitUntil([&] { return control(gen, ids::linkStayOnTop).tooltip == tooltip; }));
        EXPECT_EQ(control(gen, ids::linkStayOnTop).pressed, onTop);
        EXPECT_EQ(ui.window(gen)->topmost, onTop);
    }
    ui.expectBox("Lien généré.", "Le lien vient d'être généré.");
    generate("http://www.mon-site.fr");

    ASSERT_TRUE(ui.closeBox(gen));
    ASSERT_TRUE(ui.waitUntil([&] {
        return !ui.windowExists(gen) && ui.isWindowEnabled(ids::mainWindow) && !ui.window(ids::mainWindow)->topmost;
    })) << "only in front, not on top";
    EXPECT_EQ(ui.frontWindow(), ids::mainWindow);
    ASSERT_TRUE(ui.chooseMenu(ids::mainWindow, ids::menuLinkGenerator));
    ASSERT_TRUE(ui.waitUntil([&] { return ui.windowExists(gen); }));
    EXPECT_EQ(field(), "http://");
    EXPECT_EQ(link(), "");
}

}  // namespace
}  // namespace velmo::installer::testing
