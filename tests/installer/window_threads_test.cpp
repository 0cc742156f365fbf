// Which thread shows the installer's boxes: the window's, always, also for the questions
// and informations of the upload and permission workers, which wait for the answer. A box
// of a worker's own is modal for no window of the program's thread.
#include <thread>

#include "installer_harness.h"

using namespace velmo;
using namespace velmo::installer;
using namespace velmo::installer::testing;
using testsupport::FtpPeer;
using testsupport::PeerKind;

// Two uploads into an existing folder (the overwrite question, the stop question answered
// No then Yes, with "Chmod." ticked), then a menu permission run: every box of them on
// the window's thread.
TEST(BoxThreads, EveryBoxOfTheRunsIsShownByTheWindowsThread) {
    ToolsFolder tools;
    FtpPeer peer(PeerKind::Pyftpdlib);
    peer.makeFolder("livre-dor");
    Installer inst;
    auto& u = inst.ui;
    inst.fillForm(peer, "livre-dor", true, true);

    // The overwrite question is held: meanwhile the main window takes no input.
    u.expectHeldBox("Dossier existant.", "existe déjà", MessageBoxResult::Yes);
    u.expectBox("Information.", "Voulez-vous arreter le transfert en cours ?", MessageBoxResult::No);
    u.expectBox("Information.", "Le tansfert des fichiers va donc reprendre.");
    u.expectBox("Statut transfert.", "Tous les dossiers et fichiers ont bien été transférés.");
    inst.pressValidate();
    ASSERT_TRUE(u.waitForHeldBox(std::chrono::seconds(30)));
    EXPECT_FALSE(u.isWindowEnabled(ids::mainWindow)) << "the question is not the window's";
    u.releaseBox();
    ASSERT_TRUE(u.waitUntil([&] { return u.selectedLine(ids::mainWindow, ids::treeList) >= 20; },
                            std::chrono::seconds(30)));
    inst.pressCancel();
    ASSERT_TRUE(inst.closeLinkGenerator());
    waitForWorkers();

    u.expectBox("Dossier existant.", "existe déjà", MessageBoxResult::Yes);
    u.expectBox("Information.", "Voulez-vous arreter le transfert en cours ?", MessageBoxResult::Yes);
    u.expectBox("Information.", "Le transfert va donc être arrêté, veuillez patienter.");
    u.expectBox("Statut transfert.", "Tous les fichiers n'ont pas été transférés.");
    inst.pressValidate();
    ASSERT_TRUE(u.waitUntil([&] {
        const int line = u.selectedLine(ids::mainWindow, ids::treeList);
        return u.isEnabled(ids::mainWindow, ids::cancelButton) && line >= 20 && line < 300;
    }, std::chrono::seconds(30)));
    inst.pressCancel();
    ASSERT_TRUE(inst.waitForRunEnd());
    waitForWorkers();

    u.expectBox("Statut Chmod.", "");
    ASSERT_TRUE(u.chooseMenu(ids::mainWindow, ids::menuApplyChmod));
    ASSERT_TRUE(u.waitUntil([&] {
        return u.unmetExpectations().empty() && !u.controlExists(ids::mainWindow, ids::chmodTitle) &&
               u.isWindowEnabled(ids::mainWindow);
    }, std::chrono::seconds(60))) << "the run recorded";
    waitForWorkers();

    inst.expectScriptMet();
    const std::thread::id window = inst.program.threadId();
    std::vector<std::string> fromElsewhere;
    for (const ui::ShownBox& b : u.shownBoxes())
        if (b.thread != window) fromElsewhere.push_back(b.title + " " + b.text.substr(0, 40));
    EXPECT_EQ(fromElsewhere, std::vector<std::string>{});
}
