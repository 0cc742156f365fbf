// Windows and controls built from tables, their states, and run-time changes, on the
// headless backend.
#include <gtest/gtest.h>

#include "ui/headless/headless_ui.h"

namespace velmo::ui {
namespace {

using K = ControlKind;

Image solidImage(int w, int h) {
    Image img;
    img.width = w;
    img.height = h;
    img.rgba.assign(static_cast<std::size_t>(w) * h * 4, 200);
    return img;
}

// A table row keeps a pointer to its image until the control is built: a temporary
// picture would be gone by then, so the table cannot take one.
template <class Picture>
concept TableTakes = requires(ControlSpec c, Picture&& p) { c.withImage(static_cast<Picture&&>(p)); };
static_assert(!TableTakes<Image>);
static_assert(TableTakes<const Image&>);

class ControlTable : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_TRUE(ui.failures().empty()); }

    HeadlessUi ui;
    Image picture = solidImage(128, 128);
    Image icon = solidImage(16, 16);
};

TEST_F(ControlTable, WindowAndControlsKeepTheTableGeometryTextsAndFonts) {
    WindowSpec win{0, "Menu général - [Velmo, Softwares 1.0.1]", 600, 520};
    MenuSpec menu{{{"Fichier", {{5, "Quitter", &icon}}},
                   {"Aide", {{2, "Site de Velmo, livre d'or", &icon}, {3, "Forum", nullptr}}}}};
    ASSERT_TRUE(ui.createWindow(win,
                                {
                                    {7, K::GroupBox, 5, 5, 591, 157, "Velmo, Transfert."},
                                    ControlSpec{8, K::PictureButton, 16, 24, 132, 132, "", FontRole::None}
                                        .withImage(picture),
                                    {9, K::Label, 160, 26, 430, 16, "spécialement conçu"},
                                    ControlSpec{6, K::Label, 300, 40, 170, 16, ""}.centred(),
                                    {42, K::Button, 25, 412, 120, 24, "Valider", FontRole::Large10},
                                },
                                &menu));

    auto w = ui.window(0);
    ASSERT_TRUE(w);
    EXPECT_EQ(w->title, "Menu g\xe9n\xe9ral - [Velmo, Softwares 1.0.1]");
    EXPECT_EQ(w->clientWidth, 600);
    EXPECT_EQ(w->clientHeight, 520);
    EXPECT_FALSE(w->minimizeBox);
    EXPECT_FALSE(w->resizable);
    EXPECT_TRUE(w->enabled);
    EXPECT_EQ(w->controlIds, (std::vector<int>{7, 8, 9, 6, 42}));
    ASSERT_EQ(w->menu.size(), 2u);
    EXPECT_EQ(w->menu[1].title, "Aide");
    EXPECT_EQ(w->menu[1].entries[0].id, 2);
    EXPECT_EQ(w->menu[1].entries[0].text, "Site de Velmo, livre d'or");
    EXPECT_EQ(w->menuIconSizes, (std::vector<int>{16, 16, 0}));

    auto frame = ui.control(0, 7);
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->kind, K::GroupBox);
    EXPECT_EQ(frame->x, 5);
    EXPECT_EQ(frame->y, 5);
    EXPECT_EQ(frame->width, 591);
    EXPECT_EQ(frame->height, 157);
    EXPECT_EQ(frame->font, FontRole::Text8);

    auto pic = ui.control(0, 8);
    ASSERT_TRUE(pic);
    EXPECT_EQ(pic->font, FontRole::None);
    EXPECT_EQ(pic->imageWidth, 128);
    EXPECT_EQ(pic->imageHeight, 128);

    EXPECT_EQ(ui.getText(0, 9), "sp\xe9" "cialement con\xe7u");
    EXPECT_EQ(ui.control(0, 6)->align, TextAlign::Centre);
    EXPECT_EQ(ui.control(0, 42)->font, FontRole::Large10);
}

TEST_F(ControlTable, NumbersAreUniqueForWindowsAndForControlsOfAWindow) {
    ASSERT_TRUE(ui.createWindow({0, "a", 100, 100}, {{1, K::Label, 0, 0, 10, 10, "x"}}));
    EXPECT_FALSE(ui.createWindow({0, "again", 100, 100}, {}));
    EXPECT_EQ(ui.window(0)->title, "a");
    EXPECT_FALSE(ui.createWindow({1, "b", 100, 100},
                                 {{1, K::Label, 0, 0, 10, 10, ""}, {1, K::Button, 0, 0, 10, 10, ""}}));
    EXPECT_FALSE(ui.windowExists(1));
    EXPECT_FALSE(ui.addControl(0, {1, K::Button, 0, 0, 10, 10, "dup"}));
    EXPECT_EQ(ui.control(0, 1)->kind, K::Label);
    // The same control number in another window is another control.
    ASSERT_TRUE(ui.createWindow({70, "A propos.", 380, 103}, {{1, K::Link, 0, 0, 10, 10, "lien"}}));
    EXPECT_EQ(ui.getText(70, 1), "lien");
    EXPECT_EQ(ui.getText(0, 1), "x");
}

TEST_F(ControlTable, ControlsAddedAndRemovedAtRunTime) {
    ASSERT_TRUE(ui.createWindow({0, "Velmo, Transfert.", 784, 470}, {{27, K::CheckBox, 384, 40, 68, 16, "Chmod."}}));
    ASSERT_TRUE(ui.addControl(0, {38, K::GroupBox, 8, 345, 360, 55, "Chmod"}));
    ASSERT_TRUE(ui.addControl(0, {40, K::Label, 16, 360, 344, 16, "En cours :"}));
    ASSERT_TRUE(ui.addControl(0, ControlSpec{41, K::ProgressBar, 16, 376, 344, 16}.range(0, 100).smoothBar()));
    EXPECT_EQ(ui.window(0)->controlIds, (std::vector<int>{27, 38, 40, 41}));
    auto bar = ui.control(0, 41);
    ASSERT_TRUE(bar);
    EXPECT_TRUE(bar->smooth);
    EXPECT_EQ(bar->rangeMax, 100);

    ui.setFocus(0, 40);
    ui.removeControl(0, 40);
    ui.removeControl(0, 38);
    EXPECT_FALSE(ui.controlExists(0, 40));
    EXPECT_EQ(ui.window(0)->controlIds, (std::vector<int>{27, 41}));
    EXPECT_EQ(ui.window(0)->focusedControl, -1);
    // A worker that goes on against removed controls or a closed window changes nothing.
    ui.setText(0, 40, "En cours : [3/14]");
    ui.setProgress(0, 38, 5);
    EXPECT_EQ(ui.getText(0, 40), "");
    ui.destroyWindow(0);
    ui.setText(0, 27, "x");
    EXPECT_FALSE(ui.isChecked(0, 27));
    EXPECT_EQ(ui.lineCount(0, 32), 0);
    EXPECT_EQ(ui.selectedRow(0, 23), -1);
    EXPECT_FALSE(ui.addControl(0, {40, K::Label, 0, 0, 1, 1, ""}));
    // The number is free again.
    EXPECT_TRUE(ui.createWindow({0, "new", 10, 10}, {}));
}

TEST_F(ControlTable, FieldsAndChecksStartAsTabledAndTypingFollowsTheirKind) {
    ASSERT_TRUE(ui.createWindow({0, "f", 300, 300},
                                {
                                    {19, K::PasswordField, 16, 200, 344, 22, ""},
                                    ControlSpec{29, K::CheckBox, 384, 56, 336, 16, "Mode passif."}.checked(),
                                    ControlSpec{30, K::TextField, 384, 72, 50, 22, "21"}.digits().rightAligned(),
                                    ControlSpec{43, K::Button, 185, 412, 120, 24, "Annuler"}.disabled(),
                                }));
    EXPECT_TRUE(ui.control(0, 19)->masked);
    EXPECT_TRUE(ui.isChecked(0, 29));
    EXPECT_EQ(ui.control(0, 30)->align, TextAlign::Right);
    EXPECT_FALSE(ui.isEnabled(0, 43));

    EXPECT_TRUE(ui.typeText(0, 30, "2a1 2"));
    EXPECT_EQ(ui.getText(0, 30), "212");
    EXPECT_TRUE(ui.typeText(0, 19, " secret "));
    EXPECT_EQ(ui.getText(0, 19), " secret ");
    EXPECT_FALSE(ui.typeText(0, 29, "x"));  // not a text field
    EXPECT_FALSE(ui.click(0, 43));          // disabled
    EXPECT_TRUE(ui.click(0, 29));
    EXPECT_FALSE(ui.isChecked(0, 29));
    ui.setEnabled(0, 43, true);
    EXPECT_TRUE(ui.click(0, 43));
    ui.setWindowEnabled(0, false);
    EXPECT_FALSE(ui.click(0, 43));
    EXPECT_FALSE(ui.closeBox(0));
    EXPECT_FALSE(ui.typeText(0, 30, "1"));
    EXPECT_EQ(ui.getText(0, 30), "212");
}

TEST_F(ControlTable, ListBoxLinesAndSelection) {
    ASSERT_TRUE(ui.createWindow({0, "t", 800, 480},
                                {ControlSpec{32, K::ListBox, 376, 112, 400, 228}.withFont(FontRole::Text9)}));
    EXPECT_EQ(ui.addLine(0, 32, "+-[Dossier] livre-dor"), 0);
    EXPECT_EQ(ui.addLine(0, 32, "   +- index.php"), 1);
    EXPECT_EQ(ui.addLine(0, 32, "+-[Dossier] sessions"), 2);
    ui.setLine(0, 32, 0, "+-[Dossier] livre-dortest");
    ui.setLine(0, 32, 7, "out of range");
    EXPECT_EQ(ui.lineCount(0, 32), 3);
    EXPECT_EQ(ui.getLine(0, 32, 0), "+-[Dossier] livre-dortest");
    EXPECT_EQ(ui.getLine(0, 32, 3), "");
    EXPECT_EQ(ui.selectedLine(0, 32), -1);
    ui.selectLine(0, 32, 1);
    EXPECT_EQ(ui.selectedLine(0, 32), 1);
    ui.selectLine(0, 32, 9);
    EXPECT_EQ(ui.selectedLine(0, 32), -1);
    ui.selectLine(0, 32, 2);
    ui.clearLines(0, 32);
    EXPECT_EQ(ui.lineCount(0, 32), 0);
    EXPECT_EQ(ui.selectedLine(0, 32), -1);
}

TEST_F(ControlTable, ReportListRowsImagesChecksAndDoubleClicks) {
    Image folder = solidImage(32, 32), file = solidImage(32, 32);
    ASSERT_TRUE(ui.createWindow(
        {0, "Velmo, Navigateur.", 752, 500, false, true},
        {
            ControlSpec{23, K::ReportList, 16, 184, 720, 208}
                .withColumns({{"Nom", 200}, {"Poids", 100}})
                .withRowImages({&folder, &file}),
            ControlSpec{29, K::ReportList, 20, 30, 360, 140}
                .withColumns({{"Nom de dossier", 180}, {"Statut", 150}})
                .withRowCheckBoxes(),
        }));
    EXPECT_TRUE(ui.window(0)->resizable);
    auto list = ui.control(0, 23);
    ASSERT_EQ(list->columns.size(), 2u);
    EXPECT_EQ(list->columns[1].title, "Poids");
    EXPECT_EQ(list->columns[0].width, 200);
    EXPECT_EQ(list->rowImageCount, 2);

    EXPECT_EQ(ui.addRow(0, 23, {"www", "Dossier"}, 0), 0);
    EXPECT_EQ(ui.addRow(0, 23, {"index.html", "1234"}, 1), 1);
    EXPECT_EQ(ui.addRow(0, 23, {"odd"}, 5), 2);  // no such image
    list = ui.control(0, 23);
    EXPECT_EQ(list->rows[0].image, 0);
    EXPECT_EQ(list->rows[1].image, 1);
    EXPECT_EQ(list->rows[2].image, -1);
    EXPECT_EQ(ui.getCell(0, 23, 1, 1), "1234");
    EXPECT_EQ(ui.getCell(0, 23, 2, 1), "");
    ui.setCell(0, 23, 2, 1, "0");
    EXPECT_EQ(ui.getCell(0, 23, 2, 1), "0");

    EXPECT_TRUE(ui.doubleClick(0, 23, 1));
    EXPECT_EQ(ui.selectedRow(0, 23), 1);
    EXPECT_TRUE(ui.doubleClick(0, 23, -1));  // outside the rows: the selection stays
    EXPECT_EQ(ui.selectedRow(0, 23), 1);
    EXPECT_FALSE(ui.tickRow(0, 23, 0, true));  // this list has no check boxes

    ui.addRow(0, 29, {"defaut", ""});
    ui.addRow(0, 29, {"bleu", ""});
    ui.setRowChecked(0, 29, 0, true);
    ui.setRowChecked(0, 29, 1, true);
    EXPECT_TRUE(ui.tickRow(0, 29, 1, false));
    EXPECT_TRUE(ui.isRowChecked(0, 29, 0));
    EXPECT_FALSE(ui.isRowChecked(0, 29, 1));
    ui.clearRows(0, 23);
    EXPECT_EQ(ui.rowCount(0, 23), 0);
    EXPECT_EQ(ui.selectedRow(0, 23), -1);
}

TEST_F(ControlTable, TabPagesShowOnlyTheSelectedTabsControls) {
    ASSERT_TRUE(ui.createWindow(
        {0, "Velmo, Maj", 752, 500},
        {
            ControlSpec{7, K::TabPanel, 10, 64, 732, 430}.withTabs(
                {"Vérifier les mises à jour", "Effectuer les mises à jour"}),
            ControlSpec{8, K::MultiLineText, 8, 8, 710, 350, ""}.onTab(7, 0),
            ControlSpec{9, K::Button, 268, 368, 180, 24, "Vérifier", FontRole::Large10}.onTab(7, 0),
            ControlSpec{32, K::Button, 468, 368, 186, 24, "Appliquer", FontRole::Large10}.onTab(7, 1),
        }));
    EXPECT_EQ(ui.selectedTab(0, 7), 0);
    EXPECT_TRUE(ui.control(0, 9)->visible);
    EXPECT_FALSE(ui.control(0, 32)->visible);
    EXPECT_EQ(ui.control(0, 32)->x, 468);  // relative to the page
    EXPECT_FALSE(ui.click(0, 32));

    EXPECT_TRUE(ui.chooseTab(0, 7, 1));
    EXPECT_EQ(ui.selectedTab(0, 7), 1);
    EXPECT_FALSE(ui.control(0, 8)->visible);
    EXPECT_TRUE(ui.control(0, 32)->visible);
    EXPECT_TRUE(ui.click(0, 32));
    EXPECT_FALSE(ui.chooseTab(0, 7, 2));

    ui.selectTab(0, 7, 0);
    EXPECT_TRUE(ui.control(0, 9)->visible);
    // A control added later to a hidden page is hidden too.
    ASSERT_TRUE(ui.addControl(0, ControlSpec{30, K::Label, 388, 266, 318, 16, "Aucune action en cours."}.onTab(7, 1)));
    EXPECT_FALSE(ui.control(0, 30)->visible);
}

TEST_F(ControlTable, ProgressStaysInsideItsRange) {
    ASSERT_TRUE(ui.createWindow({0, "p", 100, 100}, {ControlSpec{35, K::ProgressBar, 0, 0, 10, 10}.range(1, 10000)}));
    EXPECT_EQ(ui.getProgress(0, 35), 1);
    ui.setProgress(0, 35, 5000);
    EXPECT_EQ(ui.getProgress(0, 35), 5000);
    ui.setProgress(0, 35, 20000);
    EXPECT_EQ(ui.getProgress(0, 35), 10000);
    ui.setProgressRange(0, 35, 0, 100);
    EXPECT_EQ(ui.getProgress(0, 35), 100);
    ui.setProgress(0, 35, -3);
    EXPECT_EQ(ui.getProgress(0, 35), 0);
}

TEST_F(ControlTable, LinksTogglesAndWindowStates) {
    Image top = solidImage(30, 30);
    ASSERT_TRUE(ui.createWindow({56, "Générateur de lien.", 530, 264, true, false, true},
                                {
                                    ControlSpec{59, K::Link, 5, 135, 520, 24, ""}.linkColours({0, 118, 234}, {255, 0, 0}),
                                    ControlSpec{68, K::ToggleButton, 495, 4, 30, 30, "", FontRole::None}
                                        .withImage(top)
                                        .pressed()
                                        .withTooltip("Toujours au second plan."),
                                }));
    auto w = ui.window(56);
    EXPECT_TRUE(w->minimizeBox);
    EXPECT_TRUE(w->topmost);
    auto link = ui.control(0 + 56, 59);
    EXPECT_EQ(link->colour, (Colour{0, 118, 234}));
    EXPECT_EQ(link->hoverColour, (Colour{255, 0, 0}));
    EXPECT_TRUE(ui.isPressed(56, 68));
    EXPECT_EQ(ui.control(56, 68)->tooltip, "Toujours au second plan.");
    EXPECT_TRUE(ui.click(56, 68));
    EXPECT_FALSE(ui.isPressed(56, 68));
    ui.setTooltip(56, 68, "Toujours au premier plan.");
    EXPECT_EQ(ui.control(56, 68)->tooltip, "Toujours au premier plan.");
    ui.setTopmost(56, false);
    EXPECT_FALSE(ui.window(56)->topmost);
    ui.setWindowTitle(56, "autre");
    EXPECT_EQ(ui.window(56)->title, "autre");

    ASSERT_TRUE(ui.createWindow({0, "main", 10, 10}, {}));
    EXPECT_EQ(ui.frontWindow(), 0);
    ui.bringToFront(56);
    EXPECT_EQ(ui.frontWindow(), 56);
    ui.destroyWindow(56);
    EXPECT_EQ(ui.frontWindow(), 0);
    EXPECT_FALSE(ui.chooseMenu(0, 2));  // no menu
}

TEST_F(ControlTable, MakeUiGivesTheHeadlessBackendInThisTree) {
    auto made = makeUi();
    ASSERT_NE(asHeadless(*made), nullptr);
}

}  // namespace
}  // namespace velmo::ui
