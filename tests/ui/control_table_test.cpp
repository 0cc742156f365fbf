// The headless backend's windows and controls. Every program test reads and drives the
// programs through it, so a fault here would let those tests pass for the wrong reason.
#include <gtest/gtest.h>

#include "ui/headless/headless_ui.h"

namespace velmo::ui {
namespace {

using K = ControlKind;

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
};

TEST_F(ControlTable, NumbersAreUniqueForWindowsAndForControlsOfAWindowAndTheFrontWindowFollows) {
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
    // The front window follows creation, bringToFront and destruction.
    EXPECT_EQ(ui.frontWindow(), 70);
    ui.bringToFront(0);
    EXPECT_EQ(ui.frontWindow(), 0);
    ui.destroyWindow(0);
    EXPECT_EQ(ui.frontWindow(), 70);
    EXPECT_FALSE(ui.chooseMenu(70, 2)) << "no menu";
    EXPECT_NE(asHeadless(*makeUi()), nullptr) << "makeUi gives the headless backend in this tree";
}

TEST_F(ControlTable, ControlsAddedAndRemovedAtRunTime) {
    ASSERT_TRUE(ui.createWindow({0, "Velmo, Transfert.", 784, 470}, {{27, K::CheckBox, 384, 40, 68, 16, "Chmod."}}));
    ASSERT_TRUE(ui.addControl(0, {38, K::GroupBox, 8, 345, 360, 55, "Chmod"}));
    ASSERT_TRUE(ui.addControl(0, {40, K::Button, 16, 360, 344, 16, "En cours :"}));
    ui.setFocus(0, 40);
    ui.removeControl(0, 40);
    EXPECT_EQ(ui.window(0)->controlIds, (std::vector<int>{27, 38}));
    EXPECT_EQ(ui.window(0)->focusedControl, -1);
    EXPECT_FALSE(ui.click(0, 40)) << "a removed control takes no click";
    // A worker that goes on against removed controls or a closed window changes nothing.
    ui.setText(0, 40, "En cours : [3/14]");
    EXPECT_EQ(ui.getText(0, 40), "");
    ui.destroyWindow(0);
    ui.setText(0, 27, "x");
    EXPECT_FALSE(ui.addControl(0, {40, K::Label, 0, 0, 1, 1, ""}));
    EXPECT_FALSE(ui.closeBox(0));
    EXPECT_TRUE(ui.createWindow({0, "new", 10, 10}, {})) << "the number is free again";
}

TEST_F(ControlTable, UserActionsFollowTheKindAndAreRefusedOnDisabledControlsAndWindows) {
    ASSERT_TRUE(ui.createWindow({0, "f", 300, 300},
                                {
                                    ControlSpec{29, K::CheckBox, 384, 56, 336, 16, "Mode passif."}.checked(),
                                    ControlSpec{30, K::TextField, 384, 72, 50, 22, "21"}.digits(),
                                    ControlSpec{43, K::Button, 185, 412, 120, 24, "Annuler"}.disabled(),
                                    ControlSpec{68, K::ToggleButton, 495, 4, 30, 30, ""}.pressed(),
                                    {9, K::Label, 0, 0, 10, 10, "texte"},
                                }));
    EXPECT_TRUE(ui.typeText(0, 30, "2a1 2"));
    EXPECT_EQ(ui.getText(0, 30), "212");
    EXPECT_FALSE(ui.typeText(0, 29, "x")) << "not a text field";
    EXPECT_FALSE(ui.click(0, 9)) << "a label reports no click";
    EXPECT_FALSE(ui.click(0, 43)) << "disabled";
    EXPECT_TRUE(ui.click(0, 29));
    EXPECT_FALSE(ui.isChecked(0, 29));
    EXPECT_TRUE(ui.click(0, 68));
    EXPECT_FALSE(ui.isPressed(0, 68));
    ui.setEnabled(0, 43, true);
    EXPECT_TRUE(ui.click(0, 43));
    ui.setWindowEnabled(0, false);
    EXPECT_FALSE(ui.click(0, 43));
    EXPECT_FALSE(ui.closeBox(0));
    EXPECT_FALSE(ui.typeText(0, 30, "1"));
    EXPECT_EQ(ui.getText(0, 30), "212");
}

TEST_F(ControlTable, ListLinesRowsAndSelectionsStayInRange) {
    Image file{32, 32, std::vector<std::uint8_t>(32 * 32 * 4, 200)};
    ASSERT_TRUE(ui.createWindow(
        {0, "t", 800, 480},
        {
            ControlSpec{32, K::ListBox, 376, 112, 400, 228},
            ControlSpec{23, K::ReportList, 16, 184, 720, 208}.withColumns({{"Nom", 200}, {"Poids", 100}})
                .withRowImages({&file}),
            ControlSpec{29, K::ReportList, 20, 30, 360, 140}.withColumns({{"Nom de dossier", 180}})
                .withRowCheckBoxes(),
        }));
    EXPECT_EQ(ui.addLine(0, 32, "+-[Dossier] livre-dor"), 0);
    EXPECT_EQ(ui.addLine(0, 32, "   +- index.php"), 1);
    ui.setLine(0, 32, 2, "out of range");
    EXPECT_EQ(ui.lineCount(0, 32), 2);
    ui.selectLine(0, 32, 9);
    EXPECT_EQ(ui.selectedLine(0, 32), -1);
    ui.selectLine(0, 32, 1);
    ui.clearLines(0, 32);
    EXPECT_EQ(ui.selectedLine(0, 32), -1) << "no selection left in an empty list";

    EXPECT_EQ(ui.addRow(0, 23, {"www", "Dossier"}, 0), 0);
    EXPECT_EQ(ui.addRow(0, 23, {"odd"}, 5), 1);  // no such image
    EXPECT_EQ(ui.control(0, 23)->rows[1].image, -1);
    ui.setCell(0, 23, 1, 1, "0");  // past the row's cells
    EXPECT_EQ(ui.getCell(0, 23, 1, 1), "0");
    EXPECT_TRUE(ui.doubleClick(0, 23, 1));
    EXPECT_TRUE(ui.doubleClick(0, 23, -1));  // outside the rows: the selection stays
    EXPECT_EQ(ui.selectedRow(0, 23), 1);
    EXPECT_FALSE(ui.tickRow(0, 23, 0, true)) << "this list has no check boxes";
    ui.addRow(0, 29, {"defaut"});
    EXPECT_TRUE(ui.tickRow(0, 29, 0, true));
    EXPECT_FALSE(ui.tickRow(0, 29, 1, true));
    EXPECT_TRUE(ui.isRowChecked(0, 29, 0));
}

TEST_F(ControlTable, ProgressStaysInsideItsRange) {
    ASSERT_TRUE(ui.createWindow({0, "p", 100, 100}, {ControlSpec{35, K::ProgressBar, 0, 0, 10, 10}.range(1, 10000)}));
    EXPECT_EQ(ui.getProgress(0, 35), 1);
    ui.setProgress(0, 35, 20000);
    EXPECT_EQ(ui.getProgress(0, 35), 10000);
    ui.setProgressRange(0, 35, 0, 100);
    EXPECT_EQ(ui.getProgress(0, 35), 100);
    ui.setProgress(0, 35, -3);
    EXPECT_EQ(ui.getProgress(0, 35), 0);
}

}  // namespace
}  // namespace velmo::ui
