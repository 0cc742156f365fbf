// The permission runs of the "Outils" menu and their completion in the main loop, against
// real FTP servers on loopback with the headless UI.
#include <unistd.h>

#include "installer/engine/permission_plan.h"
#include "tests/installer/chmod_targets.h"
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
    for (const ChmodTarget& t : chmodTargets) {
        const std::string path = peer.home() + "/livre-dor" + t.suffix;
        if (!t.isFolder) writeFile(path, "donnees");
        ASSERT_EQ(::chown(path.c_str(), owner.st_uid, owner.st_gid), 0);
        ::chmod(path.c_str(), t.isFolder ? 0755 : 0644);
    }
}

void expectModes(const FtpPeer& peer, int folderMode, int fileMode) {
    for (const ChmodTarget& t : chmodTargets)
        EXPECT_EQ(modeOf(peer.home() + "/livre-dor" + t.suffix), t.isFolder ? folderMode : fileMode) << t.suffix;
}

// The user chooses a menu run; the main loop puts up the run's panel.
void chooseRun(Installer& inst, int entry) {
    ASSERT_TRUE(inst.ui.chooseMenu(ids::mainWindow, entry));
    ASSERT_TRUE(inst.ui.waitUntil([&] { return inst.ui.controlExists(ids::mainWindow, ids::chmodTitle); }));
}

// The window as a recorded run leaves it, with the "Chmod." box ticked and its panel
// whole, or unticked and without any permission panel.
bool recordedState(Installer& inst) {
    auto has = [&](int id) { return inst.ui.controlExists(ids::mainWindow, id); };
    if (has(ids::chmodTitle)) return false;
    if (inst.ui.isChecked(ids::mainWindow, ids::chmodBox)) return has(ids::chmodFrame) && has(ids::chmodBar);
    return !has(ids::chmodFrame) && !has(ids::chmodStatus) && !has(ids::chmodBar);
}

// The main loop has recorded the last finished run, and the box says `ticked`.
bool recorded(Installer& inst, bool ticked) {
    return inst.ui.waitUntil([&] {
        return recordedState(inst) && inst.ui.isChecked(ids::mainWindow, ids::chmodBox) == ticked;
    }, std::chrono::seconds(60));
}

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
    chooseRun(inst, ids::menuApplyChmod);
    ASSERT_TRUE(u.waitForHeldBox(std::chrono::seconds(60)));
    // While the outcome is on screen: the last step shown, the main window disabled.
    EXPECT_EQ(u.getText(ids::mainWindow, ids::chmodStatus), "En cours : [14/14] skin_blanc_officiel/cfg_variables.php");
    EXPECT_EQ(u.getProgress(ids::mainWindow, ids::chmodBar), 100);
    EXPECT_FALSE(u.isWindowEnabled(ids::mainWindow));
    expectModes(peer, 0777, 0777);
    u.releaseBox();
    ASSERT_TRUE(recorded(inst, true));
    EXPECT_TRUE(u.isWindowEnabled(ids::mainWindow));
    EXPECT_TRUE(u.isChecked(ids::mainWindow, ids::chmodBox));
    EXPECT_EQ(u.getText(ids::mainWindow, ids::chmodStatus), "En cours :") << "the ticked box's panel, reset";
    EXPECT_EQ(tools.settings(), settingsFile(peer, 1));

    u.expectBox("Statut Chmod.", chmodDone);
    chooseRun(inst, ids::menuRestoreChmod);
    ASSERT_TRUE(recorded(inst, false));
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
    auto& u = inst.ui;
    // The boxes are held so that each completion is seen on its own.
    u.expectHeldBox("Statut Chmod.", chmodDone);
    u.expectHeldBox("Statut Chmod.", chmodDone);
    chooseRun(inst, ids::menuApplyChmod);
    ASSERT_TRUE(u.chooseMenu(ids::mainWindow, ids::menuRestoreChmod));
    std::vector<bool> states;  // the "Chmod." box after each completion
    for (int run = 0; run < 2; ++run) {
        ASSERT_TRUE(u.waitForHeldBox(std::chrono::seconds(60)));
        const bool before = u.isChecked(ids::mainWindow, ids::chmodBox);
        u.releaseBox();
        // The first completion takes the run's title away; the second flips the box.
        ASSERT_TRUE(u.waitUntil([&] {
            return recordedState(inst) && (run == 0 || u.isChecked(ids::mainWindow, ids::chmodBox) != before);
        }, std::chrono::seconds(60)));
        states.push_back(u.isChecked(ids::mainWindow, ids::chmodBox));
    }
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
    EXPECT_EQ(states, (std::vector<bool>{applyFirst, !applyFirst}));
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
    inst.ui.expectBox("Avertissement.", connectionFailedNotice().text);
    chooseRun(inst, ids::menuApplyChmod);
    ASSERT_TRUE(inst.ui.waitUntil([&] { return !inst.boxesTitled("Avertissement.").empty(); }));
    waitForWorkers();
    settleMainLoop(inst.ui);
    inst.expectScriptMet();
    EXPECT_EQ(inst.ui.getText(ids::mainWindow, ids::chmodStatus), "En cours :");
    // Nothing was handed to the main loop: the run's panel stays, the box unticked.
    EXPECT_TRUE(inst.ui.controlExists(ids::mainWindow, ids::chmodTitle));
    EXPECT_FALSE(inst.ui.isChecked(ids::mainWindow, ids::chmodBox));
    EXPECT_EQ(tools.settings(), stored);
    expectModes(peer, 0755, 0644);
}
