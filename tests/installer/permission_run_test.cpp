// The permission runs of the "Outils" menu and their completion in the main loop, against
// real FTP servers on loopback with the headless UI. The test thread owns the main window
// and plays the main loop: it waits for events and acts on the completion flags after each.
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "installer/permission_plan.h"
#include "installer/permission_runs.h"
#include "installer_harness.h"

using namespace velmo;
using namespace velmo::installer;
using namespace velmo::installer::testing;
using testsupport::FtpPeer;
using testsupport::PeerKind;

namespace {

const char* const chmodDone = "Le programme a effectué les CHMOD sur les dossiers et fichiers adéquates.";
const char* const notOnServer =
    "Les fichiers du livre d'or doivent être sur le serveur pour pouvoir modifier leur CHMOD.";

std::string settingsFile(const FtpPeer& peer, int transfer, int chmod) {
    return "transfert = " + std::to_string(transfer) + "\r\nFTP_adresse = " + peer.host() +
           "\r\nFTP_iDUseur = " + peer.user() + "\r\nFTP_infoChmod = " + std::to_string(chmod) +
           "\r\nFTP_modeConnexion = 1\r\nFTP_portConnexion = " + std::to_string(peer.port()) +
           "\r\nRepertoireDuLivreDor = livre-dor\r\n";
}

// The 14 targets on the server, owned by the server's account (the daemons store and
// change modes as that account), all with mode 644 / 755 to start from.
void putTargets(const FtpPeer& peer) {
    peer.makeFolder("livre-dor");
    peer.makeFolder("livre-dor/chmod_perso/save");
    peer.makeFolder("livre-dor/skins/mon_skin");
    peer.makeFolder("livre-dor/skins/skin_blanc_officiel");
    struct stat owner {};
    ASSERT_EQ(::stat((peer.home() + "/livre-dor").c_str(), &owner), 0);
    for (const PermissionTarget& t : permissionPlan) {
        const std::string path = peer.home() + "/livre-dor" + t.suffix;
        if (!t.isFolder) writeFile(path, "donnees");
        ASSERT_EQ(::chown(path.c_str(), owner.st_uid, owner.st_gid), 0);
        ::chmod(path.c_str(), t.isFolder ? 0755 : 0644);
    }
}

void expectModes(const FtpPeer& peer, int folderMode, int fileMode) {
    for (const PermissionTarget& t : permissionPlan)
        EXPECT_EQ(modeOf(peer.home() + "/livre-dor" + t.suffix), t.isFolder ? folderMode : fileMode) << t.suffix;
}

// Plays the main loop until `handled` wake-ups from finished runs were acted on. A
// watchdog wakes the loop after a long while so that a run that never reports makes the
// test fail instead of hanging; `watchdogFired` says so.
struct MainLoop {
    explicit MainLoop(Installer& i) : inst(i) {}
    void run(int wakes) {
        std::atomic<bool> done{false};
        std::thread watchdog([&] {
            for (int i = 0; i < 600 && !done; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
            if (!done) {
                watchdogFired = true;
                inst.ui.wake(ids::mainWindow);
            }
        });
        int seen = 0;
        while (seen < wakes && !watchdogFired) {
            const ui::Event e = inst.ui.waitEvent();
            actOnPermissionCompletion(*inst.app);
            if (e.kind == ui::EventKind::Wake) {
                ++seen;
                // Each wake-up comes with a finished run: the box shows its outcome.
                states.push_back(inst.ui.isChecked(ids::mainWindow, ids::chmodBox));
            }
        }
        done = true;
        watchdog.join();
    }
    Installer& inst;
    bool watchdogFired = false;
    std::vector<bool> states;
};

class MenuRuns : public ::testing::TestWithParam<PeerKind> {};

}  // namespace

// "Effectuer les chmods" gives 777 and ticks "Chmod."; "Annuler les chmods" gives 705 / 604
// and unticks it; each saves the settings with the matching FTP_infoChmod.
TEST_P(MenuRuns, ApplyThenRestoreChangeTheModesTheBoxAndTheSettings) {
    ToolsFolder tools;
    FtpPeer peer(GetParam());
    putTargets(peer);
    writeFile(tools.dir / "softwareDatas/config.pcfg", settingsFile(peer, 1, 0));
    Installer inst;
    inst.fillForm(peer, "livre-dor", true, false);
    auto& u = inst.ui;

    u.expectHeldBox("Statut Chmod.", chmodDone);
    startPermissionRun(*inst.app, PermissionAction::ApplyWritable);
    // The run's panel: the centred title over the status line and the bar.
    EXPECT_TRUE(u.controlExists(ids::mainWindow, ids::chmodTitle));
    EXPECT_FALSE(u.controlExists(ids::mainWindow, ids::chmodFrame));
    EXPECT_EQ(u.getText(ids::mainWindow, ids::chmodTitle), "//! CHMOD !\\\\");
    ASSERT_TRUE(u.waitForHeldBox(std::chrono::seconds(60)));
    // While the outcome is on screen: the last step shown, the main window disabled.
    EXPECT_EQ(u.getText(ids::mainWindow, ids::chmodStatus), "En cours : [14/14] skin_blanc_officiel/cfg_variables.php");
    EXPECT_EQ(u.getProgress(ids::mainWindow, ids::chmodBar), 100);
    EXPECT_FALSE(u.isWindowEnabled(ids::mainWindow));
    EXPECT_EQ(u.heldBox()->icon, MessageIcon::Information);
    expectModes(peer, 0777, 0777);
    u.releaseBox();
    MainLoop loop(inst);
    loop.run(1);
    ASSERT_FALSE(loop.watchdogFired);
    EXPECT_TRUE(u.isWindowEnabled(ids::mainWindow));
    EXPECT_TRUE(u.isChecked(ids::mainWindow, ids::chmodBox));
    EXPECT_TRUE(u.controlExists(ids::mainWindow, ids::chmodFrame));
    EXPECT_FALSE(u.controlExists(ids::mainWindow, ids::chmodTitle));
    EXPECT_EQ(u.getText(ids::mainWindow, ids::chmodStatus), "En cours :");
    EXPECT_EQ(u.getProgress(ids::mainWindow, ids::chmodBar), 0);
    EXPECT_EQ(tools.settings(), settingsFile(peer, 1, 1));

    u.expectBox("Statut Chmod.", chmodDone);
    startPermissionRun(*inst.app, PermissionAction::RestoreRestricted);
    // The ticked box's group box gives way to the run's panel.
    EXPECT_FALSE(u.controlExists(ids::mainWindow, ids::chmodFrame));
    EXPECT_TRUE(u.controlExists(ids::mainWindow, ids::chmodTitle));
    loop.run(1);
    ASSERT_FALSE(loop.watchdogFired);
    waitForWorkers();
    expectModes(peer, 0705, 0604);
    EXPECT_FALSE(u.isChecked(ids::mainWindow, ids::chmodBox));
    for (int id : {ids::chmodFrame, ids::chmodTitle, ids::chmodStatus, ids::chmodBar})
        EXPECT_FALSE(u.controlExists(ids::mainWindow, id)) << id;
    EXPECT_EQ(tools.settings(), settingsFile(peer, 1, 0));
    EXPECT_TRUE(u.failures().empty());
    EXPECT_TRUE(u.unmetExpectations().empty());
}

INSTANTIATE_TEST_SUITE_P(Peers, MenuRuns, ::testing::Values(PeerKind::Pyftpdlib, PeerKind::Proftpd),
                         [](const auto& info) { return std::string(testsupport::peerKindName(info.param)); });

// Two runs started together take turns on the server: the second logs in only once the
// first has sent its last CHMOD, and the window ends in the state of the run that ended last.
TEST(MenuRunOverlap, TwoRunsNeverShareTheServerAtOnce) {
    ToolsFolder tools;
    FtpPeer peer(PeerKind::Pyftpdlib);
    putTargets(peer);
    writeFile(tools.dir / "softwareDatas/config.pcfg", settingsFile(peer, 1, 0));
    Installer inst;
    inst.fillForm(peer, "livre-dor", true, false);
    inst.ui.expectBox("Statut Chmod.", chmodDone);
    inst.ui.expectBox("Statut Chmod.", chmodDone);
    startPermissionRun(*inst.app, PermissionAction::ApplyWritable);
    startPermissionRun(*inst.app, PermissionAction::RestoreRestricted);
    MainLoop loop(inst);
    loop.run(2);
    ASSERT_FALSE(loop.watchdogFired);
    waitForWorkers();

    // The command log: USER of one run, its 14 targets, then USER of the other and its 14.
    std::vector<std::string> users;
    std::vector<std::vector<std::string>> modesPerLogin;
    for (const std::string& c : peer.receivedCommands()) {
        if (c.rfind("USER ", 0) == 0) {
            users.push_back(c);
            modesPerLogin.emplace_back();
        } else if (c.rfind("SITE CHMOD ", 0) == 0) {
            ASSERT_FALSE(modesPerLogin.empty()) << c;
            modesPerLogin.back().push_back(c.substr(11, 3));
        }
    }
    ASSERT_EQ(users.size(), 2u);
    ASSERT_EQ(modesPerLogin[0].size(), 14u);
    ASSERT_EQ(modesPerLogin[1].size(), 14u);
    const bool applyFirst = modesPerLogin[0][0] == "777";
    for (const std::string& m : modesPerLogin[0]) EXPECT_TRUE(applyFirst ? m == "777" : m != "777") << m;
    for (const std::string& m : modesPerLogin[1]) EXPECT_TRUE(applyFirst ? m != "777" : m == "777") << m;

    // Each completion was acted on as it came: first the first run's, then the second's.
    EXPECT_EQ(loop.states, (std::vector<bool>{applyFirst, !applyFirst}));
    if (applyFirst) {
        expectModes(peer, 0705, 0604);
        EXPECT_EQ(tools.settings(), settingsFile(peer, 1, 0));
    } else {
        expectModes(peer, 0777, 0777);
        EXPECT_EQ(tools.settings(), settingsFile(peer, 1, 1));
    }
    EXPECT_TRUE(inst.ui.failures().empty());
}

// Refusals before any connection, and connection failures.
TEST(MenuRunRefusal, WithoutTheGuestbookOnTheServerNothingStarts) {
    ToolsFolder tools;
    Installer inst;
    inst.fillForm("127.0.0.1", "u", "p", 21, "livre-dor", true, false);
    for (const char* file : {"", "transfert = 0\r\nFTP_adresse = 127.0.0.1\r\n"}) {
        if (*file) writeFile(tools.dir / "softwareDatas/config.pcfg", file);
        inst.ui.expectBox("Information.", notOnServer);
        startPermissionRun(*inst.app, PermissionAction::ApplyWritable);
        waitForWorkers();
        const auto boxes = inst.boxesTitled("Information.");
        ASSERT_FALSE(boxes.empty());
        EXPECT_EQ(boxes.back().text, notOnServer);
        EXPECT_EQ(boxes.back().icon, MessageIcon::Warning);
        EXPECT_FALSE(inst.ui.controlExists(ids::mainWindow, ids::chmodTitle));
        EXPECT_FALSE(inst.ui.controlExists(ids::mainWindow, ids::chmodStatus));
    }
    EXPECT_EQ(inst.boxesTitled("Information.").size(), 2u);
    EXPECT_TRUE(inst.ui.failures().empty());
}

TEST(MenuRunRefusal, EmptyPasswordUnreachableServerAndRefusedLoginShowTheConnectionText) {
    ToolsFolder tools;
    FtpPeer peer(PeerKind::Vsftpd);
    putTargets(peer);
    const std::string stored = settingsFile(peer, 1, 0);
    writeFile(tools.dir / "softwareDatas/config.pcfg", stored);
    Installer inst;
    struct Case {
        std::string password;
        int port;
    };
    const std::vector<Case> cases = {{"", peer.port()}, {peer.password(), 1}, {peer.password() + "x", peer.port()}};
    for (const Case& c : cases) {
        inst.fillForm(peer.host(), peer.user(), c.password, c.port, "livre-dor", true, false);
        inst.ui.expectBox("Avertissement.", inst.app->connectionErrorText);
        startPermissionRun(*inst.app, PermissionAction::ApplyWritable);
        waitForWorkers();
        // The run's panel stays, no flag is set, the settings are untouched.
        EXPECT_TRUE(inst.ui.controlExists(ids::mainWindow, ids::chmodTitle));
        EXPECT_TRUE(inst.ui.controlExists(ids::mainWindow, ids::chmodBar));
        EXPECT_EQ(inst.ui.getText(ids::mainWindow, ids::chmodStatus), "En cours :");
        EXPECT_FALSE(inst.app->writableModesApplied.load());
        EXPECT_EQ(tools.settings(), stored);
    }
    const auto boxes = inst.boxesTitled("Avertissement.");
    ASSERT_EQ(boxes.size(), cases.size());
    for (const auto& b : boxes) {
        EXPECT_EQ(b.text, buildConnectionErrorText());
        EXPECT_EQ(b.icon, MessageIcon::Warning);
    }
    expectModes(peer, 0755, 0644);
    EXPECT_TRUE(inst.ui.failures().empty());
    EXPECT_TRUE(inst.boxesTitled("Statut Chmod.").empty());
}
