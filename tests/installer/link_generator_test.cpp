// The install link generator opened from the menu, as the user meets it: its window, the
// refusals of bad site addresses, the links it builds and opens, the stay-on-top toggle
// and the way back to the main window.
#include "tests/installer/window_fixture.h"

#include "installer/link_generator.h"

namespace velmo::installer::testing {
namespace {

constexpr int gen = ids::linkGeneratorWindow;

class LinkGeneratorTest : public InstallerWindowTest {
protected:
    // The guestbook is on the server with `folder` as its folder; the generator is open.
    void openWithFolder(const std::string& folder) {
        withGuestbook();
        ConnectionSettings s;
        s.guestbookFolder = folder;
        withSettings(s, true);
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

TEST_F(LinkGeneratorTest, WindowAsOpened) {
    openWithFolder("livre-dor");
    const auto w = ui.window(gen);
    ASSERT_TRUE(w);
    EXPECT_EQ(w->title, "Générateur de lien.");
    EXPECT_EQ(w->clientWidth, 530);
    EXPECT_EQ(w->clientHeight, 264);
    EXPECT_TRUE(w->minimizeBox);
    EXPECT_FALSE(w->resizable);
    EXPECT_TRUE(w->topmost);
    EXPECT_TRUE(ui.waitUntil([&] { return ui.window(gen)->focusedControl == ids::linkField; }));
    EXPECT_FALSE(ui.isWindowEnabled(ids::mainWindow));

    const std::vector<std::pair<int, std::string>> texts = {
        {57, "Vous devez maintenant vous rendre sur la page d'installation du livre d'or."},
        {58, "Entrez ci-dessous l'adresse de votre site."},
        {66, "http://"},
        {67, "Générer le lien"},
        {59, ""},
        {60, "Il se peut que le lien généré ne soit pas valide, vous devrez donc taper vous même"},
        {61, "l'adresse dans votre navigateur."},
        {65, "Si vous avez un problème, allez sur le forum poser votre question."},
    };
    for (const auto& [id, expected] : texts) EXPECT_EQ(control(gen, id).text, expected) << id;

    // The example address: scheme and host, no final slash, then the reminder.
    const std::string example = control(gen, 63).text;
    ASSERT_EQ(example.rfind("Ex : http://", 0), 0u) << example;
    const std::size_t reminder = example.find("     (Ne mettez pas le slash à la fin)");
    ASSERT_NE(reminder, std::string::npos) << example;
    EXPECT_NE(example[reminder - 1], '/');
        // Labels 62 and 64 name the same placeholder site.
    const std::string placeholder = placeholderSite;
    EXPECT_EQ(control(gen, 62).text, "Ex : " + placeholder + "/livre-dor/install/index.php");
    EXPECT_EQ(control(gen, 64).text,
              "En remplaçant \"" + placeholder + "\" par le nom de votre site.");

    struct Place {
        int id, x, y, w, h;
    };
    for (const Place& p : std::vector<Place>{{57, 5, 6, 520, 18}, {58, 5, 24, 520, 18},
                                             {63, 5, 42, 520, 18}, {66, 20, 64, 490, 22},
                                             {67, 210, 98, 110, 24}, {59, 5, 135, 520, 24},
                                             {60, 5, 170, 520, 20}, {61, 5, 188, 520, 20},
                                             {62, 5, 206, 520, 20}, {64, 5, 224, 520, 20},
                                             {65, 5, 242, 520, 20}, {68, 495, 4, 30, 30}}) {
        const ui::ControlState c = control(gen, p.id);
        EXPECT_EQ((std::vector<int>{c.x, c.y, c.width, c.height}),
                  (std::vector<int>{p.x, p.y, p.w, p.h}))
            << p.id;
        EXPECT_EQ(c.font, ui::FontRole::Text8) << p.id;
    }
    const ui::ControlState linkControl = control(gen, ids::linkControl);
    EXPECT_EQ(linkControl.kind, ui::ControlKind::Link);
    EXPECT_EQ(linkControl.colour, (ui::Colour{0, 118, 234}));
    EXPECT_EQ(linkControl.hoverColour, (ui::Colour{255, 0, 0}));
    const ui::ControlState toggle = control(gen, ids::linkStayOnTop);
    EXPECT_EQ(toggle.kind, ui::ControlKind::ToggleButton);
    EXPECT_TRUE(toggle.pressed);
    EXPECT_EQ(toggle.tooltip, "Toujours au second plan.");
    EXPECT_EQ(toggle.imageWidth, 24);
}

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
        EXPECT_EQ(box.title, "Attention.");
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

TEST_F(LinkGeneratorTest, FolderNamesFromTheSettingsFile) {
    openWithFolder("mon livre");
    ui.expectBox("Lien généré.", "Le lien vient d'être généré.");
    generate("http://www.mon-site.fr");
    EXPECT_EQ(link(), "http://www.mon-site.fr/mon livre/install/index.php");
}

TEST_F(LinkGeneratorTest, AnEmptyStoredFolderIsNamedAsUnknown) {
    openWithFolder("");
    ui.expectBox("Lien généré.", "Le lien vient d'être généré.");
    generate("http://www.mon-site.fr");
    EXPECT_EQ(link(),
              "http://www.mon-site.fr/>>>>>Attention le nom de dossier est inconnu<<<<</install/index.php");
}

TEST_F(LinkGeneratorTest, TheToggleSwitchesStayOnTopAndItsTooltip) {
    openWithFolder("livre-dor");
    ASSERT_TRUE(ui.click(gen, ids::linkStayOnTop));
    ASSERT_TRUE(ui.waitUntil([&] {
        return control(gen, ids::linkStayOnTop).tooltip == "Toujours au premier plan.";
    }));
    EXPECT_FALSE(control(gen, ids::linkStayOnTop).pressed);
    EXPECT_FALSE(ui.window(gen)->topmost);

    ASSERT_TRUE(ui.click(gen, ids::linkStayOnTop));
    ASSERT_TRUE(ui.waitUntil([&] {
        return control(gen, ids::linkStayOnTop).tooltip == "Toujours au second plan.";
    }));
    EXPECT_TRUE(control(gen, ids::linkStayOnTop).pressed);
    EXPECT_TRUE(ui.window(gen)->topmost);
}

TEST_F(LinkGeneratorTest, ClosingGivesBackTheMainWindowAndTheForm) {
    openWithFolder("livre-dor");
    ASSERT_TRUE(ui.closeBox(gen));
    // The main window is put on top for a moment and then made ordinary again.
    ASSERT_TRUE(ui.waitUntil([&] {
        return !ui.windowExists(gen) && ui.isWindowEnabled(ids::mainWindow) &&
               !ui.window(ids::mainWindow)->topmost;
    })) << "only in front, not on top";
    for (int id : {13, 16, 19, 25, 27, 28, 29, 30})
        EXPECT_TRUE(ui.isEnabled(ids::mainWindow, id)) << "control " << id;
    EXPECT_EQ(ui.frontWindow(), ids::mainWindow);

    // Opened again, it starts afresh.
    ASSERT_TRUE(ui.chooseMenu(ids::mainWindow, ids::menuLinkGenerator));
    ASSERT_TRUE(ui.waitUntil([&] { return ui.windowExists(gen); }));
    EXPECT_EQ(field(), "http://");
    EXPECT_EQ(link(), "");
    ASSERT_TRUE(ui.closeBox(gen));
    ASSERT_TRUE(ui.waitUntil([&] { return ui.isWindowEnabled(ids::mainWindow); }));
    closeProgram();
}

}  // namespace
}  // namespace velmo::installer::testing
