// The installer onto a server that takes only encrypted logins, with a certificate no
// authority signed, as the user meets it: the question and its two answers, for the upload
// and for the permission runs over their own control channel.
#include <chrono>
#include <thread>

#include "installer/engine/permission_plan.h"
#include "installer_harness.h"
#include "suite/messages.h"
#include "tests/installer/chmod_targets.h"
#include "tests/support/tools_tls.h"

using namespace velmo;
using namespace velmo::installer;
using namespace velmo::installer::testing;
using testsupport::PeerKind;
using testsupport::PeerOptions;

namespace {

const char* const allSent = "Tous les dossiers et fichiers ont bien été transférés.";
const char* const chmodDone = "Le programme a effectué les CHMOD sur les dossiers et fichiers adéquates.";

std::size_t questionsShown(const Installer& inst) { return inst.boxesTitled(testsupport::certificateQuestionTitle).size(); }

void chooseRun(Installer& inst, int entry) {
    ASSERT_TRUE(inst.ui.chooseMenu(ids::mainWindow, entry));
    ASSERT_TRUE(inst.ui.waitUntil([&] { return inst.ui.controlExists(ids::mainWindow, ids::chmodTitle); }));
}

void expectModes(const testsupport::FtpPeer& peer, const std::string& folder, int folderMode, int fileMode) {
    for (const ChmodTarget& t : chmodTargets)
        EXPECT_EQ(modeOf(peer.home() + "/" + folder + t.suffix), t.isFolder ? folderMode : fileMode) << t.suffix;
}

}  // namespace

// Yes: the whole guestbook arrives (after the session the server dropped while the user
// read the existing folder's question was reopened encrypted, without a second question)
// and its 14 targets are made writable over the encrypted control channel of the same run;
// the certificate is kept in the file the tools share, and a later run (the menu's
// permission run, a connection of its own) asks nothing.
TEST(InstallOverTls, TheTrustedCertificateCarriesTheRunAndIsNotAskedAboutAgain) {
    ToolsFolder tools;
    const testsupport::ToolsTls tls;
    constexpr int idleSeconds = 2;
    PeerOptions options;
    options.idleTimeoutSeconds = idleSeconds;
    const auto peer = tls.peer(PeerKind::Vsftpd, PeerOptions::Tls::Required, options);
    peer->makeFolder("mon-livre");
    Installer inst;
    inst.fillForm(*peer, "mon-livre", true, true);
    inst.ui.expectBox(testsupport::certificateQuestionTitle, testsupport::certificateQuestionStart(*peer),
                      MessageBoxResult::Yes);
    inst.ui.expectHeldBox("Dossier existant.", "\"mon-livre\" existe déjà.", MessageBoxResult::Yes);
    inst.ui.expectBox("Statut transfert.", allSent);
    inst.pressValidate();
    ASSERT_TRUE(inst.ui.waitForHeldBox());
    // Paced by the server's idle timer: the user reads the question for longer than it.
    std::this_thread::sleep_for(std::chrono::seconds(idleSeconds + 1));
    inst.ui.releaseBox();
    ASSERT_TRUE(inst.closeLinkGenerator()) << peer->serverOutput();
    waitForWorkers();
    EXPECT_EQ(inst.boxesTitled("Statut transfert.").at(0).text, std::string(allSent) + "\r\n\r\n" + chmodDone);
    expectWholeGuestbook(*peer, "mon-livre");
    expectModes(*peer, "mon-livre", 0777, 0777);
    EXPECT_EQ(testsupport::knownServer(tools.dir, *peer), (KnownServer{true, tls.selfSignedDer()}));

    inst.ui.expectBox("Statut Chmod.", chmodDone);
    chooseRun(inst, ids::menuRestoreChmod);
    // Recorded by the main loop: the run's panel has gone and the window takes input again.
    ASSERT_TRUE(inst.ui.waitUntil([&] {
        return !inst.boxesTitled("Statut Chmod.").empty() && !inst.ui.controlExists(ids::mainWindow, ids::chmodTitle) &&
               inst.ui.isWindowEnabled(ids::mainWindow);
    }, std::chrono::seconds(60)));
    waitForWorkers();
    expectModes(*peer, "mon-livre", 0705, 0604);
    EXPECT_EQ(questionsShown(inst), 1u);
    inst.expectScriptMet();
}

// No: the connection is abandoned before the user name, for the upload and for a menu
// run alike, each with the box that says so instead of the connection failure's.
TEST(InstallOverTls, ARefusedCertificateSendsNothingAndSaysSo) {
    ToolsFolder tools;
    const testsupport::ToolsTls tls;
    const auto peer = tls.peer(PeerKind::Vsftpd, PeerOptions::Tls::Required);
    // As an earlier upload left it: the menu's permission runs need one.
    writeFile(tools.dir / "softwareDatas/config.pcfg", expectedSettings(*peer, "mon-livre", 0, 1));
    Installer inst;
    inst.fillForm(*peer, "mon-livre", true, false);
    for (bool menuRun : {false, true}) {
        SCOPED_TRACE(menuRun ? "permission run" : "upload");
        inst.ui.expectBox(testsupport::certificateQuestionTitle, testsupport::certificateQuestionStart(*peer),
                          MessageBoxResult::No);
        inst.ui.expectBox("Avertissement.", suite::certificateRefusedText);
        if (menuRun) {
            const std::size_t before = inst.boxesTitled("Avertissement.").size();
            chooseRun(inst, ids::menuApplyChmod);
            ASSERT_TRUE(inst.ui.waitUntil([&] { return inst.boxesTitled("Avertissement.").size() > before; }));
            waitForWorkers();
            settleMainLoop(inst.ui);
        } else {
            inst.pressValidate();
            ASSERT_TRUE(inst.waitForRunEnd());
        }
        inst.expectScriptMet();
        EXPECT_EQ(inst.boxesTitled("Avertissement.").back().text, suite::certificateRefusedText);
        EXPECT_EQ(inst.boxesTitled("Avertissement.").back().icon, MessageIcon::Warning);
    }
    EXPECT_FALSE(testsupport::userReached(*peer));
    EXPECT_EQ(treeBelow(peer->home()), std::set<std::string>{});
    EXPECT_EQ(testsupport::knownServer(tools.dir, *peer), KnownServer{});
}
