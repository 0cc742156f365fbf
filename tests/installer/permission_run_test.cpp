// The permission runs of the "Outils" menu and their completion in the main loop, against
// real FTP servers on loopback with the headless UI. The test thread owns the main window
// and plays the main loop: it waits for events and acts on the completion flags after each.
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

// The settings file after an upload into livre-dor in passive mode, FTP_infoChmod = `chmod`.
std::string settingsFile(const FtpPeer& peer, int chmod) { return expectedSettings(peer, "livre-dor", chmod, 1); }

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

// Plays the main loop until `wakes` wake-ups from finished runs were acted on, noting the
// "Chmod." box after each. A watchdog wakes the loop after a long while, so that a run
// that never reports fails the test instead of hanging it.
struct MainLoop {
    void run(int wakes) {
        std::atomic<bool> done{false};
        std::thread watchdog([&] {
            for (int i = 0; i < 600 && !done; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
            if (done) return;
            watchdogFired = true;
            inst.ui.wake(ids::mainWindow);
        });
        for (int seen = 0; seen < wakes && !watchdogFired;) {
            const ui::Event e = inst.ui.waitEvent();
            actOnPermissionCompletion(*inst.app);
            if (e.kind != ui::EventKind::Wake) continue;
            ++seen;
            states.push_back(inst.ui.isChecked(ids::mainWindow, ids::chmodBox));
        }
        done = true;
        watchdog.join();
    }
    Installer& inst;
    std::atomic<bool> watchdogFired{false};
    std::vector<bool> states;
};

}  // namespace

// "Effectuer les chmods" gives 777 and ticks "Chmod."; "Annuler les chmods" gives 705 / 604
// and unticks it; each saves the settings with the matching FTP_infoChmod.
TEST(MenuRuns, ApplyThenRestoreChangeTheModesTheBoxAndTheSettings) {
    ToolsFolder tools;
    FtpPeer peer(PeerKind::Proftpd);
    putTargets(peer);
    writeFile(tools.dir / "softwareDatas/config.pcfg", settingsFile(peer, 0));
    Installer inst;
    inst.fillForm(peer, "livre-dor", true, false);
    auto& u = inst.ui;

    u.expectHeldBox("Statut Chmod.", chmodDone);
    startPermissionRun(*inst.app, PermissionAction::ApplyWritable);
    EXPECT_TRUE(u.controlExists(ids::mainWindow, ids::chmodTitle));
    ASSERT_TRUE(u.waitForHeldBox(std::chrono::seconds(60)));
    // While the outcome is on screen: the last step shown, the main window disabled.
    EXPECT_EQ(u.getText(ids::mainWindow, ids::chmodStatus), "En cours : [14/14] skin_blanc_officiel/cfg_variables.php");
    EXPECT_EQ(u.getProgress(ids::mainWindow, ids::chmodBar), 100);
    EXPECT_FALSE(u.isWindowEnabled(ids::mainWindow));
    expectModes(peer, 0777, 0777);
    u.releaseBox();
    MainLoop loop{inst};
    loop.run(1);
    ASSERT_FALSE(loop.watchdogFired);
    EXPECT_TRUE(u.isWindowEnabled(ids::mainWindow));
    EXPECT_TRUE(u.isChecked(ids::mainWindow, ids::chmodBox));
    EXPECT_EQ(u.getText(ids::mainWindow, ids::chmodStatus), "En cours :") << "the ticked box's panel, reset";
    EXPECT_EQ(tools.settings(), settingsFile(peer, 1));

    u.expectBox("Statut Chmod.", chmodDone);
    startPermissionRun(*inst.app, PermissionAction::RestoreRestricted);
    loop.run(1);
    ASSERT_FALSE(loop.watchdogFired);
    waitForWorkers();
    expectModes(peer, 0705, 0604);
    EXPECT_FALSE(u.isChecked(ids::mainWindow, ids::chmodBox));
    for (int id : {ids::chmodFrame, ids::chmodTitle, ids::chmodStatus, ids::chmodBar})
        EXPECT_FALSE(u.controlExists(ids::mainWindow, id)) << id;
    EXPECT_EQ(tools.settings(), settingsFile(peer, 0));
    inst.expectScriptMet();
}

// Two runs started together take turns on the server: the second logs in only once the
// first has sent its last CHMOD, and the window ends in the state of the run that ended last.
TEST(MenuRunOverlap, TwoRunsNeverShareTheServerAtOnce) {
    ToolsFolder tools;
    FtpPeer peer(PeerKind::Pyftpdlib);
    putTargets(peer);
    writeFile(tools.dir / "softwareDatas/config.pcfg", settingsFile(peer, 0));
    Installer inst;
    inst.fillForm(peer, "livre-dor", true, false);
    inst.ui.expectBox("Statut Chmod.", chmodDone);
    inst.ui.expectBox("Statut Chmod.", chmodDone);
    startPermissionRun(*inst.app, PermissionAction::ApplyWritable);
    startPermissionRun(*inst.app, PermissionAction::RestoreRestricted);
    MainLoop loop{inst};
    loop.run(2);
    ASSERT_FALSE(loop.watchdogFired);
    waitForWorkers();

    // The command log: USER of one run, its 14 targets, then USER of the other and its 14.
    std::vector<std::vector<std::string>> modesPerLogin;
    for (const std::string& c : peer.receivedCommands()) {
        if (c.rfind("USER ", 0) == 0) modesPerLogin.emplace_back();
        else if (c.rfind("SITE CHMOD ", 0) == 0 && !modesPerLogin.empty())
            modesPerLogin.back().push_back(c.substr(11, 3));
    }
    ASSERT_EQ(modesPerLogin.size(), 2u);
    ASSERT_EQ(modesPerLogin[0].size(), 14u);
    ASSERT_EQ(modesPerLogin[1].size(), 14u);
    const bool applyFirst = modesPerLogin[0][0] == "777";
    for (const std::string& m : modesPerLogin[0]) EXPECT_EQ(m == "777", applyFirst) << m;
    for (const std::string& m : modesPerLogin[1]) EXPECT_EQ(m == "777", !applyFirst) << m;

    // Each completion was acted on as it came: first the first run's, then the second's.
    EXPECT_EQ(loop.states, (std::vector<bool>{applyFirst, !applyFirst}));
    expectModes(peer, applyFirst ? 0705 : 0777, applyFirst ? 0604 : 0777);
    EXPECT_EQ(tools.settings(), settingsFile(peer, applyFirst ? 0 : 1));
    EXPECT_EQ(inst.ui.failures(), std::vector<std::string>{});
}

// A refused login changes nothing, saves nothing and sets no flag for the main loop.
TEST(MenuRunRefusal, ARefusedLoginShowsTheConnectionText) {
    ToolsFolder tools;
    FtpPeer peer(PeerKind::Vsftpd);
    putTargets(peer);
    const std::string stored = settingsFile(peer, 0);
    writeFile(tools.dir / "softwareDatas/config.pcfg", stored);
    Installer inst;
    inst.fillForm(peer, "livre-dor", true, false, "mauvais");
    inst.ui.expectBox("Avertissement.", inst.app->connectionErrorText);
    startPermissionRun(*inst.app, PermissionAction::ApplyWritable);
    waitForWorkers();
    inst.expectScriptMet();
    EXPECT_EQ(inst.ui.getText(ids::mainWindow, ids::chmodStatus), "En cours :");
    EXPECT_FALSE(inst.app->writableModesApplied.load());
    EXPECT_EQ(tools.settings(), stored);
    expectModes(peer, 0755, 0644);
}
