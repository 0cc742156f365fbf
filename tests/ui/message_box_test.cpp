// The script of message boxes: expected boxes answered, unexpected ones failing, held
// boxes blocking their thread and disabling its windows.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "ui/headless/headless_ui.h"

namespace velmo::ui {
namespace {

TEST(MessageBoxScript, EachExpectationAnswersOneFittingBoxOfItsKindAndAnyOtherBoxIsAFailure) {
    HeadlessUi ui;
    ui.createWindow({0, "main", 10, 10}, {});
    ui.expectBox("Information.", "arreter le transfert", MessageBoxResult::Yes);
    EXPECT_EQ(ui.messageBox("Information.", "Voulez-vous arreter le transfert en cours ?",
                            MessageIcon::Information, MessageButtons::YesNo),
              MessageBoxResult::Yes);
    EXPECT_EQ(ui.shownBoxes().at(0).icon, MessageIcon::Information);
    EXPECT_EQ(ui.shownBoxes().at(0).ownerWindow, 0);
    EXPECT_TRUE(ui.failures().empty());

    // Wrong title, then text without the substring: neither fits. An unexpected box gets
    // the harmless answer.
    ui.expectBox("Information.", "transfert", MessageBoxResult::Yes);
    EXPECT_EQ(ui.messageBox("Attention.", "le transfert", MessageIcon::Warning, MessageButtons::YesNo),
              MessageBoxResult::No);
    EXPECT_EQ(ui.messageBox("Information.", "autre chose"), MessageBoxResult::Ok);
    EXPECT_FALSE(ui.shownBoxes().at(1).expected);
    EXPECT_EQ(ui.unmetExpectations().size(), 1u);
    EXPECT_EQ(ui.messageBox("Information.", "transfert fini", MessageIcon::Information, MessageButtons::YesNo),
              MessageBoxResult::Yes);
    EXPECT_EQ(ui.messageBox("Information.", "transfert fini", MessageIcon::Information, MessageButtons::YesNo),
              MessageBoxResult::No)
        << "the expectation was used up";
    auto failures = ui.failures();
    ASSERT_EQ(failures.size(), 3u);
    EXPECT_NE(failures[0].find("Attention."), std::string::npos);
    EXPECT_NE(failures[1].find("autre chose"), std::string::npos);
    EXPECT_TRUE(ui.unmetExpectations().empty());

    // An Ok box cannot be answered Yes (it gets Ok, no failure), nor a Yes/No box Ok.
    ui.expectBox("A", "", MessageBoxResult::Yes);
    ui.expectBox("B", "", MessageBoxResult::Ok);
    EXPECT_EQ(ui.messageBox("A", "x"), MessageBoxResult::Ok);
    EXPECT_EQ(ui.failures().size(), 3u);
    EXPECT_EQ(ui.messageBox("B", "y", MessageIcon::None, MessageButtons::YesNo), MessageBoxResult::No);
    EXPECT_EQ(ui.failures().size(), 4u);
}

TEST(MessageBoxScript, AHeldBoxBlocksItsThreadAndDisablesItsWindowsUntilReleased) {
    HeadlessUi ui;
    ASSERT_TRUE(ui.createWindow({0, "main", 100, 100}, {{42, ControlKind::Button, 0, 0, 10, 10, "Valider"}}));
    ui.expectHeldBox("Statut transfert.", "termin", MessageBoxResult::Ok);

    std::atomic<bool> returned{false};
    std::thread worker([&] {
        // The worker's own windows go disabled with it (57 already was); the main window,
        // in front, is the owner.
        ui.createWindow({56, "gen", 10, 10}, {});
        ui.createWindow({57, "A propos.", 10, 10}, {});
        ui.setWindowEnabled(57, false);
        ui.bringToFront(0);
        ui.messageBox("Statut transfert.", "Transfert terminé.", MessageIcon::Information);
        returned = true;
    });
    ASSERT_TRUE(ui.waitForHeldBox());
    auto box = ui.heldBox();
    ASSERT_TRUE(box);
    EXPECT_EQ(box->thread, worker.get_id());
    EXPECT_EQ(box->ownerWindow, 0);
    EXPECT_FALSE(returned);
    EXPECT_FALSE(ui.isWindowEnabled(0));
    EXPECT_FALSE(ui.isWindowEnabled(56));
    EXPECT_FALSE(ui.click(0, 42));

    ui.releaseBox();
    worker.join();
    EXPECT_TRUE(returned);
    EXPECT_TRUE(ui.isWindowEnabled(0));
    EXPECT_TRUE(ui.isWindowEnabled(56));
    EXPECT_FALSE(ui.isWindowEnabled(57)) << "disabled before the box, so still disabled after it";
    EXPECT_FALSE(ui.heldBox());
    EXPECT_TRUE(ui.failures().empty());
}

}  // namespace
}  // namespace velmo::ui
