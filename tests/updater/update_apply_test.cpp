// Whole installations against real servers: the package from nginx, the guestbook on each
// real FTP server. What must hold: the files on the server byte for byte under their
// server names, the folders made, the permissions applied on disk, and the version recorded
// only when every file arrived; and a refused description touches nothing at all.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <functional>
#include <unistd.h>

#include "ftp/ftp_session.h"
#include "settings/error_journal.h"
#include "suite/messages.h"
#include "tests/support/scripted_server.h"

#include "settings/connection_settings.h"
#include "tests/support/ftp_peers.h"
#include "tests/updater/updater_harness.h"
#include "updater/engine/update_apply.h"
#include "updater/engine/update_check.h"
#include "updater/engine/updater_texts.h"
#include "updater/engine/version_files.h"

using namespace velmo;
using namespace velmo::updater;
using namespace velmo::updater::testing;
using velmo::testsupport::FtpPeer;
using velmo::testsupport::PeerKind;
using velmo::testsupport::ScriptedServer;

namespace {

std::string binaryBytes(int seed) {
    std::string s;
    for (int i = 0; i < 70000; ++i) s += static_cast<char>((i * 31 + seed) & 0xff);
    return s;
}

Package guestbookPackage() {
    Package p;
    p.lines = {"Nouveau skin."};
    p.files = {"livre_lire.velmo", "skins/nouveau/cfg_variables.velmo", "skins/nouveau/imgs/fond.png",
               "skins/defaut/fond.velmo"};
    p.folders = {"nouveau/", "skins/nouveau/", "skins/nouveau/imgs/"};
    p.chmods = {"nouveau/", "skins/nouveau/cfg_variables.php"};
    p.contents = {{"livre_lire.velmo", "<?php echo 'lire'; ?>\r\n"},
                  {"skins/nouveau/cfg_variables.velmo", "<?php $fond = 'fond.png'; ?>\n"},
                  {"skins/nouveau/imgs/fond.png", binaryBytes(7)},
                  {"skins/defaut/fond.velmo", binaryBytes(3)}};
    return p;
}

struct Scene {
    explicit Scene(PeerKind kind, velmo::testsupport::HttpPeerKind web = velmo::testsupport::HttpPeerKind::Nginx)
        : ftp(kind), official(web) {
        // One level at a time: each is made writable for the server.
        for (const char* folder : {"livre-dor", "livre-dor/skins", "livre-dor/skins/defaut"}) ftp.makeFolder(folder);
        official.publishList({{2000000, 1000000}, {2010000, 1000000}, {2020000, 1000000}});
        official.publishPackage(2010000, guestbookPackage());
        tools.setInstalledScript(2000000);
        RecordingReporter start;
        EXPECT_TRUE(initialiseLocalVersions(start));
    }
    // The check that opens the installation tab.
    void check() {
        EXPECT_EQ(checkForUpdates(state, official.site(), reporter), CheckOutcome::UpdateOffered);
    }
    ConnectionSettings form(std::int32_t chmod = 1) const {
        ConnectionSettings s;
        s.serverAddress = " " + ftp.host() + " ";
        s.userId = ftp.user();
        s.password = ftp.password();
        s.guestbookFolder = "livre-dor ";
        s.permissionFlag = chmod;
        s.passiveFlag = 1;
        s.port = ftp.port();
        return s;
    }
    std::string onServer(const std::string& path) const { return velmo::testing::readBytes(ftp.home() + "/livre-dor/" + path); }
    bool existsOnServer(const std::string& path) const { return std::filesystem::exists(ftp.home() + "/livre-dor/" + path); }
    std::int32_t recordedVersion() const {
        std::int32_t v = 0;
        EXPECT_TRUE(readLocalVersion(scriptVersionFile, v));
        return v;
    }

    FtpPeer ftp;
    OfficialSiteOnPeer official;
    ToolsFolder tools;
    UpdaterState state;
    RecordingReporter reporter;
};

// How every incomplete installation's box ends.
const std::string journalNamed =
    "La liste se trouve dans le fichier \"softwareDatas/log-erreur-Update.txt\".\r\n\r\n"
    "Votre version n'a pas été changée. Retournez sur l'onglet \"Vérifier les mises à jour\" pour recommencer "
    "la mise à jour.";

int modeOf(const std::string& path) {  // -1 when missing
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<int>(st.st_mode & 0777) : -1;
}

}  // namespace

TEST(UpdateApply, AWholeUpdateOnEachRealServer) {
    for (PeerKind kind : velmo::testsupport::peerKindsUnderTest()) {
        SCOPED_TRACE(velmo::testsupport::peerKindName(kind));
        Scene scene(kind);
        scene.check();
        ASSERT_EQ(scene.state.packageFolder(), "maj_2010000");

        EXPECT_EQ(applyUpdate(scene.state, scene.official.site(), scene.form(), scene.reporter), ApplyOutcome::Installed);
        const Package p = guestbookPackage();
        EXPECT_EQ(scene.onServer("livre_lire.php"), p.contents.at("livre_lire.velmo"));
        EXPECT_EQ(scene.onServer("skins/nouveau/cfg_variables.php"), p.contents.at("skins/nouveau/cfg_variables.velmo"));
        EXPECT_TRUE(scene.onServer("skins/nouveau/imgs/fond.png") == p.contents.at("skins/nouveau/imgs/fond.png"));
        EXPECT_TRUE(scene.onServer("skins/defaut/fond.php") == p.contents.at("skins/defaut/fond.velmo"));
        EXPECT_FALSE(scene.existsOnServer("livre_lire.velmo"));
        EXPECT_TRUE(std::filesystem::is_directory(scene.ftp.home() + "/livre-dor/nouveau"));
        EXPECT_EQ(modeOf(scene.ftp.home() + "/livre-dor/nouveau"), 0777);
        EXPECT_EQ(modeOf(scene.ftp.home() + "/livre-dor/skins/nouveau/cfg_variables.php"), 0777);

        EXPECT_EQ(scene.recordedVersion(), 2010000);
        EXPECT_EQ(scene.reporter.installed, 2010000);
        EXPECT_TRUE(scene.state.applyLocked);
        EXPECT_EQ(scene.reporter.statuses(), std::vector<FileState>(4, FileState::Sent));
        ASSERT_EQ(scene.reporter.boxes.size(), 1u);
        EXPECT_EQ(scene.reporter.boxes[0].text,
                  "La mise à jour à été effectuée.\r\n\r\n"
                  "Retournez sur l'onglet \"Vérifier les mises à jour\" pour voir s'il n'y a pas d'autres mises à "
                  "jour de disponible.");
        EXPECT_FALSE(std::filesystem::exists(scene.tools.dir / "softwareDatas/log-erreur-Update.txt"));
        // The form was saved trimmed, the other lines kept.
        EXPECT_EQ(loadConnectionSettings(Tool::Updater).settings.guestbookFolder, "livre-dor");
        EXPECT_NE(scene.tools.dir.readFile("softwareDatas/config.pcfg").find("transfert = 1"), std::string::npos);
    }
}

TEST(UpdateApply, AMissingPackageFileIsJournalledAndTheVersionNotRecorded) {
    Scene scene(PeerKind::Pyftpdlib);
    const Package p = guestbookPackage();
    std::filesystem::remove(scene.official.web.root() + "/velmo-maj/maj_2010000/skins/nouveau/cfg_variables.velmo");
    // A copy left in the mirror by an earlier attempt must not be sent in its place.
    scene.tools.dir.writeFile("misesAJour/maj_2010000/skins/nouveau/cfg_variables.php", "stale");
    scene.check();

    EXPECT_EQ(applyUpdate(scene.state, scene.official.site(), scene.form(0), scene.reporter), ApplyOutcome::Incomplete);
    EXPECT_FALSE(scene.existsOnServer("skins/nouveau/cfg_variables.php"));
    EXPECT_EQ(scene.onServer("livre_lire.php"), p.contents.at("livre_lire.velmo"));
    EXPECT_EQ(scene.reporter.statuses(),
              (std::vector<FileState>{FileState::Sent, FileState::Failed, FileState::Sent, FileState::Sent}));
    EXPECT_EQ(scene.recordedVersion(), 2000000);
    EXPECT_EQ(scene.reporter.installed, 0) << "the installed version is not shown as changed";
    EXPECT_TRUE(scene.state.applyLocked);

    const std::string journal = scene.tools.dir.readFile("softwareDatas/log-erreur-Update.txt");
    EXPECT_EQ(journal.rfind("DEBUT ", 0), 0u);
    EXPECT_NE(journal.find("========================================\r\n"
                           "misesAJour/maj_2010000/skins/nouveau/cfg_variables.php\r\nFIN "),
              std::string::npos)
        << journal;
    ASSERT_EQ(scene.reporter.boxes.size(), 1u);
    EXPECT_EQ(scene.reporter.boxes[0].title, "Avertissement.");
    EXPECT_EQ(scene.reporter.boxes[0].text,
              "La mise à jour n'a pas été effectuée entièrement : 1 fichier(s) n'ont pas pu être transférés.\r\n" +
                  journalNamed);
}

TEST(UpdateApply, EarlyStopsTouchNothingOnTheServer) {
    Scene scene(PeerKind::Pyftpdlib);
    scene.check();

    // No password: the form is saved, nothing else happens.
    ConnectionSettings noPassword = scene.form();
    noPassword.password = "  ";
    EXPECT_EQ(applyUpdate(scene.state, scene.official.site(), noPassword, scene.reporter), ApplyOutcome::PasswordMissing);
    EXPECT_EQ(scene.reporter.boxes.back().text, "Vous avez oublié de remplir le champ du mot de passe.");
    EXPECT_EQ(loadConnectionSettings(Tool::Updater).settings.userId, scene.ftp.user());

    // The published description reaches outside the guestbook folder: the check refuses it,
    // and the installation, pressed anyway, has no checked description to work from: refused
    // before anything is downloaded or sent.
    Package hostile = guestbookPackage();
    hostile.files.push_back("../../../etc/cron.d/velmo.velmo");
    scene.official.publishPackage(2010000, hostile);
    EXPECT_EQ(checkForUpdates(scene.state, scene.official.site(), scene.reporter), CheckOutcome::Refused);
    EXPECT_EQ(scene.reporter.boxes.back().text,
              "La description de la mise à jour contient un chemin refusé :\r\n"
              "\"../../../etc/cron.d/velmo.velmo\"\r\n\r\n"
              "Rien n'a été téléchargé ni envoyé. Contactez le webmaster du site officiel pour lui signaler.");
    EXPECT_EQ(applyUpdate(scene.state, scene.official.site(), scene.form(), scene.reporter), ApplyOutcome::Refused);
    EXPECT_EQ(scene.reporter.boxes.back().title, "AVERTISSEMENT.");
    EXPECT_EQ(scene.reporter.boxes.back().text,
              "Impossible de lire les infos de : \"_Fichier_Maj_xxx.pcfg\". [Local - Erreur : CD]");
    EXPECT_EQ(scene.reporter.boxes.back().icon, velmo::suite::NoticeKind::Plain);
    EXPECT_FALSE(std::filesystem::exists(scene.tools.dir / "misesAJour/maj_2010000/livre_lire.php"));
    EXPECT_TRUE(scene.ftp.receivedCommands().empty());
    EXPECT_EQ(scene.recordedVersion(), 2000000);
}

// The installation sends what the check read, checked and listed, nothing else: a mirrored
// description changed since (another file named, a path refused) is not read again, so no
// file the list did not show reaches the server and every row is one the user saw.
TEST(UpdateApply, TheInstallationWorksFromTheCheckedDescriptionOnly) {
    Scene scene(PeerKind::Pyftpdlib);
    scene.official.web.writeFile("velmo-maj/maj_2010000/extra.velmo", "extra");
    scene.check();
    Package changed = guestbookPackage();
    changed.files.push_back("extra.velmo");
    changed.chmods.push_back("../../../etc/cron.d");
    scene.tools.dir.writeFile("misesAJour/maj_2010000/_Fichier_Maj_xxx.pcfg", changed.descriptionText());

    EXPECT_EQ(applyUpdate(scene.state, scene.official.site(), scene.form(), scene.reporter), ApplyOutcome::Installed);
    EXPECT_EQ(scene.reporter.statuses(), std::vector<FileState>(4, FileState::Sent));
    EXPECT_FALSE(scene.existsOnServer("extra.php"));
    EXPECT_FALSE(std::filesystem::exists(scene.tools.dir / "misesAJour/maj_2010000/extra.php"));
    EXPECT_EQ(scene.recordedVersion(), 2010000);
}

// "~" is the login home for vsftpd and pure-ftpd: a description naming it must be refused
// at the check and at the installation, and nothing outside the guestbook folder touched.
TEST(UpdateApply, TildePathsNeverReachTheLoginHome) {
    for (PeerKind kind : {PeerKind::Vsftpd, PeerKind::PureFtpd}) {
        SCOPED_TRACE(velmo::testsupport::peerKindName(kind));
        Scene scene(kind);
        // The site's own page beside the guestbook folder, writable by the server's account.
        const std::string index = scene.ftp.home() + "/index.php";
        velmo::testing::writeBytes(index, "<?php site(); ?>");
        struct stat home {};
        ASSERT_EQ(::stat(scene.ftp.home().c_str(), &home), 0);
        ASSERT_EQ(::chown(index.c_str(), home.st_uid, home.st_gid), 0);
        Package hostile = guestbookPackage();
        hostile.files.push_back("~/index.velmo");
        hostile.folders.push_back("~/");
        hostile.chmods.push_back("~/index.php");
        hostile.contents["~/index.velmo"] = "<?php defaced(); ?>";
        scene.official.publishPackage(2010000, hostile);

        EXPECT_EQ(checkForUpdates(scene.state, scene.official.site(), scene.reporter), CheckOutcome::Refused);
        EXPECT_TRUE(scene.state.applyLocked);
        // The same description already in the mirror, the installation pressed anyway: it
        // has no checked description, and the mirror is not read again.
        scene.tools.dir.writeFile("misesAJour/maj_2010000/_Fichier_Maj_xxx.pcfg", hostile.descriptionText());
        EXPECT_EQ(applyUpdate(scene.state, scene.official.site(), scene.form(), scene.reporter), ApplyOutcome::Refused);

        EXPECT_EQ(velmo::testing::readBytes(index), "<?php site(); ?>");
        std::vector<std::string> inHome;
        for (const auto& e : std::filesystem::directory_iterator(scene.ftp.home()))
            inHome.push_back(e.path().filename().string());
        std::sort(inHome.begin(), inHome.end());
        EXPECT_EQ(inHome, (std::vector<std::string>{"index.php", "livre-dor"}));
        EXPECT_EQ(modeOf(index) & 0002, 0) << "index.php was not made writable";
        EXPECT_EQ(scene.recordedVersion(), 2000000);
    }
}

namespace {

// The scripted server's side of one passive upload.
ScriptedServer& storeOn(ScriptedServer& s, const std::string& name, const std::string& finalReply = "226 Done\r\n") {
    s.expect("TYPE I\r\n").reply("200 Type set to I\r\n").expect("PASV\r\n").pasv().expect("STOR " + name + "\r\n");
    if (finalReply.rfind("5", 0) == 0) return s.reply(finalReply);
    return s.reply("150 Ok to send data\r\n").acceptData().receiveData().reply(finalReply);
}

ScriptedServer& loginOn(ScriptedServer& s) {
    return s.reply("220 ready\r\n").expect("AUTH TLS\r\n").reply("500 AUTH non reconnu\r\n").expect("USER bob\r\n").reply("331 Password required\r\n")
        .expect("PASS pw\r\n").reply("230 Logged in\r\n");
}

struct ScriptedScene {
    explicit ScriptedScene(const Package& p) {
        official.publishList({{2000000, 1000000}, {2010000, 1000000}});
        official.publishPackage(2010000, p);
        tools.setInstalledScript(2000000);
        RecordingReporter start;
        EXPECT_TRUE(initialiseLocalVersions(start));
        EXPECT_EQ(checkForUpdates(state, official.site(), reporter), CheckOutcome::UpdateOffered);
        ftp::setSilenceLimitMs(5000);
    }
    ~ScriptedScene() { ftp::setSilenceLimitMs(120000); }
    ApplyOutcome apply(const ScriptedServer& server) {
        ConnectionSettings s;
        s.serverAddress = "127.0.0.1";
        s.userId = "bob";
        s.password = "pw";
        s.guestbookFolder = "livre-dor";
        s.permissionFlag = 1;
        s.passiveFlag = 1;
        s.port = server.port();
        return applyUpdate(state, official.site(), s, reporter);
    }
    std::int32_t recordedVersion() const {
        std::int32_t v = 0;
        EXPECT_TRUE(readLocalVersion(scriptVersionFile, v));
        return v;
    }
    OfficialSiteOnPeer official;
    ToolsFolder tools;
    UpdaterState state;
    RecordingReporter reporter;
};

}  // namespace

// Every line of an installation as the server reads it: the folders made and entered, the
// way back to the guestbook folder, the files stored under their server names (a folder
// keeps its published name, "lib.velmo" included), then the control channel's CHMOD lines.
// A file the server refuses is not shown as sent; it and a refused permission are told.
TEST(UpdateApply, TheExactLinesOfAnInstallation) {
    Package p;
    p.files = {"livre_lire.velmo", "lib.velmo/a.velmo", "skins/defaut/fond.velmo"};
    p.folders = {"lib.velmo/", "skins/nouveau/"};
    p.chmods = {"lib.velmo/", "skins/defaut/fond.php"};
    p.contents = {{"livre_lire.velmo", "lire"}, {"lib.velmo/a.velmo", "a"}, {"skins/defaut/fond.velmo", "fond"}};
    ScriptedScene scene(p);

    ScriptedServer server;
    loginOn(server).expect("PWD\r\n").reply("257 \"/\" is the current directory\r\n")
        .expect("CWD livre-dor\r\n").reply("250 Okay\r\n")
        .expect("MKD lib.velmo\r\n").reply("257 \"/livre-dor/lib.velmo\" created\r\n")
        .expect("MKD skins\r\n").reply("550 Exists\r\n").expect("CWD skins\r\n").reply("250 Okay\r\n")
        .expect("MKD nouveau\r\n").reply("257 Created\r\n").expect("CWD nouveau\r\n").reply("250 Okay\r\n")
        .expect("CWD /livre-dor\r\n").reply("250 Okay\r\n");
    storeOn(server, "livre_lire.php");
    storeOn(server.expect("CWD lib.velmo\r\n").reply("250 Okay\r\n"), "a.php", "553 Not allowed\r\n")
        .expect("CWD /livre-dor\r\n").reply("250 Okay\r\n")
        .expect("CWD skins\r\n").reply("250 Okay\r\n").expect("CWD defaut\r\n").reply("250 Okay\r\n");
    storeOn(server, "fond.php").expect("CWD /livre-dor\r\n").reply("250 Okay\r\n").drop();
    loginOn(server).expect("TYPE A\r\n").reply("200 Type set to A\r\n")
        .expect("CHMOD 777 livre-dor/lib.velmo\r\n").reply("500 Unknown command\r\n")
        .expect("SITE CHMOD 777 livre-dor/lib.velmo\r\n").reply("200 Mode changed\r\n")
        .expect("CHMOD 777 livre-dor/skins/defaut/fond.php\r\n").reply("500 Unknown command\r\n")
        .expect("SITE CHMOD 777 livre-dor/skins/defaut/fond.php\r\n").reply("550 Not allowed\r\n");
    server.start();

    EXPECT_EQ(scene.apply(server), ApplyOutcome::Incomplete);
    EXPECT_TRUE(server.finish()) << server.report();
    EXPECT_EQ(server.dataReceived(), (std::vector<std::string>{"lire", "fond"}));
    EXPECT_EQ(server.connectionsAccepted(), 2);
    // Each row: received into its local copy first, then sent (or not).
    EXPECT_EQ(scene.reporter.rowChanges,
              (std::vector<std::pair<int, FileState>>{{0, FileState::Received}, {1, FileState::Received},
                                                      {2, FileState::Received}, {0, FileState::Sent},
                                                      {1, FileState::Failed}, {2, FileState::Sent}}));
    EXPECT_EQ(scene.tools.dir.readFile("misesAJour/maj_2010000/lib.php/a.php"), "a");
    EXPECT_EQ(scene.tools.dir.readFile("misesAJour/maj_2010000/skins/defaut/fond.php"), "fond");
    // The refused file and the refused permission are both journalled and named.
    EXPECT_NE(scene.tools.dir.readFile("softwareDatas/log-erreur-Update.txt")
                  .find("=\r\nmisesAJour/maj_2010000/lib.php/a.php\r\n"
                        "CHMOD 777 non appliqué : livre-dor/skins/defaut/fond.php\r\nFIN "),
              std::string::npos);
    EXPECT_EQ(scene.recordedVersion(), 2000000);
    EXPECT_EQ(scene.reporter.boxes.back().text,
              "La mise à jour n'a pas été effectuée entièrement : 1 fichier(s) n'ont pas pu être transférés, "
              "1 Chmod n'ont pas pu être appliqués.\r\n" + journalNamed);
}

// A control channel whose login is never answered sets no permission: the user is told,
// the permission journalled, the version not recorded (the CHMOD lines are not sent to a
// server that stopped answering).
TEST(UpdateApply, AControlLoginThatTimesOutIsAFailure) {
    Package p;
    p.files = {"livre_lire.velmo"};
    p.chmods = {"livre_lire.php"};
    p.contents = {{"livre_lire.velmo", "lire"}};
    ScriptedScene scene(p);
    ScriptedServer server;
    server.setStepLimit(8000);
    loginOn(server).expect("PWD\r\n").reply("257 \"/www\"\r\n").expect("CWD livre-dor\r\n").reply("250 Okay\r\n");
    storeOn(server, "livre_lire.php").drop().reply("220 ready\r\n").expect("AUTH TLS\r\n").reply("500 AUTH non reconnu\r\n").expect("USER bob\r\n");
    server.start();

    EXPECT_EQ(scene.apply(server), ApplyOutcome::Incomplete);
    EXPECT_TRUE(server.finish()) << server.report();
    EXPECT_EQ(server.received().find("CHMOD"), std::string::npos) << velmo::testsupport::visible(server.received());
    EXPECT_EQ(scene.recordedVersion(), 2000000);
    ASSERT_EQ(scene.reporter.boxes.size(), 2u);
    EXPECT_EQ(scene.reporter.boxes[0].text, velmo::suite::connectionErrorText);
    EXPECT_EQ(scene.reporter.boxes[1].text,
              "La mise à jour n'a pas été effectuée entièrement : 1 Chmod n'ont pas pu être appliqués.\r\n" +
                  journalNamed);
    EXPECT_NE(scene.tools.dir.readFile("softwareDatas/log-erreur-Update.txt")
                  .find("=\r\nCHMOD 777 non appliqué : livre-dor/livre_lire.php\r\nFIN "),
              std::string::npos);
}

// A whole installation has one deadline: past it no further file is sent nor permission
// set, what was left is journalled as failed, and the box says the time ran out.
TEST(UpdateApply, AnInstallationOutOfTimeSendsNoFurtherFile) {
    Package p;
    p.files = {"a.velmo", "b.velmo"};
    p.chmods = {"a.php"};
    p.contents = {{"a.velmo", "a"}, {"b.velmo", "b"}};
    ScriptedScene scene(p);
    scene.state.applyLimitMs = 1000;
    ScriptedServer server;
    loginOn(server).expect("PWD\r\n").reply("257 \"/\"\r\n").expect("CWD livre-dor\r\n").reply("250 Okay\r\n")
        .expect("TYPE I\r\n").reply("200 Type set to I\r\n").expect("PASV\r\n").pasv()
        .expect("STOR a.php\r\n").reply("150 Ok to send data\r\n").acceptData().receiveData()
        .silence(1500).reply("226 Done\r\n");
    server.start();

    EXPECT_EQ(scene.apply(server), ApplyOutcome::Incomplete);
    EXPECT_TRUE(server.finish()) << server.report();
    EXPECT_EQ(server.received().find("b.php"), std::string::npos);
    EXPECT_EQ(server.connectionsAccepted(), 1) << "no control channel once out of time";
    EXPECT_EQ(scene.reporter.statuses(), (std::vector<FileState>{FileState::Sent, FileState::Failed}));
    EXPECT_EQ(scene.recordedVersion(), 2000000);
    ASSERT_EQ(scene.reporter.boxes.size(), 1u);
    EXPECT_EQ(scene.reporter.boxes[0].text,
              "L'installation a duré trop longtemps, elle a été arrêtée.\r\n"
              "La mise à jour n'a pas été effectuée entièrement : 1 fichier(s) n'ont pas pu être transférés, "
              "1 Chmod n'ont pas pu être appliqués.\r\n" + journalNamed);
    EXPECT_NE(scene.tools.dir.readFile("softwareDatas/log-erreur-Update.txt")
                  .find("=\r\nmisesAJour/maj_2010000/b.php\r\nCHMOD 777 non appliqué : livre-dor/a.php\r\nFIN "),
              std::string::npos);
}

// What the guestbook folder holds, every path below it.
std::vector<std::string> serverTree(const Scene& scene) {
    std::vector<std::string> paths;
    for (const auto& e : std::filesystem::recursive_directory_iterator(scene.ftp.home() + "/livre-dor"))
        paths.push_back(e.path().string());
    std::sort(paths.begin(), paths.end());
    return paths;
}

// A package file is sent only when it is, byte for byte and in size, the file its signed
// description lists; one that is not stops the whole installation before anything at all
// reaches the server (the files already received included), is not downloaded past, and
// nothing of the update is recorded. The genuine package installs from either web server.
TEST(UpdateApply, OnlyFilesMatchingTheSignedDigestsAreSent) {
    const std::string tampered = "skins/nouveau/cfg_variables.velmo";
    const std::string size = std::to_string(guestbookPackage().contents.at(tampered).size());
    auto relist = [&](Scene& scene, const std::string& listedSize) {
        std::string text = guestbookPackage().descriptionText(2010000);
        const std::string entry = " " + size + " " + tampered;
        text.replace(text.find(entry), entry.size(), " " + listedSize + " " + tampered);
        scene.official.publishSigned("maj_2010000/_Fichier_Maj_xxx.pcfg", text);
    };
    const struct {
        const char* what;
        velmo::testsupport::HttpPeerKind web;
        std::function<void(Scene&)> tamper;  // none: the genuine package
    } cases[] = {
        {"the genuine package from http.server", velmo::testsupport::HttpPeerKind::PythonHttpServer, nullptr},
        {"one byte changed in a file", velmo::testsupport::HttpPeerKind::Nginx,
         [&](Scene& scene) {
             std::string bytes = guestbookPackage().contents.at(tampered);
             bytes[3] ^= 1;
             scene.official.web.writeFile("velmo-maj/maj_2010000/" + tampered, bytes);
         }},
        {"the right digest, listed one byte longer", velmo::testsupport::HttpPeerKind::Nginx,
         [&](Scene& scene) { relist(scene, std::to_string(std::stoi(size) + 1)); }},
        {"the right digest, listed one byte shorter", velmo::testsupport::HttpPeerKind::PythonHttpServer,
         [&](Scene& scene) { relist(scene, std::to_string(std::stoi(size) - 1)); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Scene scene(PeerKind::Pyftpdlib, c.web);
        if (c.tamper) c.tamper(scene);
        const std::vector<std::string> before = serverTree(scene);
        scene.check();
        const ApplyOutcome outcome = applyUpdate(scene.state, scene.official.site(), scene.form(), scene.reporter);
        if (!c.tamper) {
            EXPECT_EQ(outcome, ApplyOutcome::Installed);
            EXPECT_EQ(scene.onServer("skins/nouveau/cfg_variables.php"), guestbookPackage().contents.at(tampered));
            EXPECT_EQ(scene.recordedVersion(), 2010000);
            continue;
        }
        EXPECT_EQ(outcome, ApplyOutcome::Unverified);
        EXPECT_EQ(serverTree(scene), before) << "nothing reached the server";
        EXPECT_EQ(scene.reporter.statuses(), (std::vector<FileState>{FileState::Received, FileState::Tampered,
                                                                     FileState::ToUpdate, FileState::ToUpdate}));
        EXPECT_FALSE(std::filesystem::exists(scene.tools.dir / "misesAJour/maj_2010000/skins/nouveau/cfg_variables.php"));
        EXPECT_FALSE(std::filesystem::exists(scene.tools.dir / "misesAJour/maj_2010000/skins/nouveau/imgs/fond.png"))
            << "nothing downloaded past the file that did not match";
        EXPECT_EQ(scene.recordedVersion(), 2000000);
        EXPECT_EQ(scene.reporter.installed, 0);
        ASSERT_EQ(scene.reporter.boxes.size(), 1u);
        EXPECT_EQ(scene.reporter.boxes[0].title, "ATTENTION.");
        const std::string reason = "le fichier \"cfg_variables.php\" reçu ne correspond pas à son empreinte.";
        EXPECT_EQ(scene.reporter.boxes[0].text.rfind("La mise à jour n'a pas pu être vérifiée : " + reason + "\r\n", 0), 0u)
            << scene.reporter.boxes[0].text;
        const std::string journal = scene.tools.dir.readFile("softwareDatas/log-erreur-Update.txt");
        EXPECT_NE(journal.find("Mise à jour non vérifiée : " + reason + "\r\n"), std::string::npos) << journal;
    }
}

// The folders of a package file are entered with the commands of its send, all in one
// write, their replies read in order; the file's bytes leave before the server's 150.
// A folder that cannot be entered is not sent to: the rest of the batch is read, the
// session starts again from the guestbook folder (which of the batch's CWDs the server
// carried out is unknown), one command at a time from then on.
TEST(UpdateApply, AFilesFoldersGoOutWithItsSend) {
    Package p;
    p.files = {"skins/defaut/fond.velmo", "lib/a.velmo"};
    p.contents = {{"skins/defaut/fond.velmo", "fond"}, {"lib/a.velmo", "a"}};
    ScriptedScene scene(p);
    scene.state.applyLimitMs = 60000;
    ScriptedServer server;
    server.setStepLimit(3000);
    loginOn(server).expect("PWD\r\n").reply("257 \"/\"\r\n").expect("CWD livre-dor\r\n").reply("250 Okay\r\n")
        .expect("CWD skins\r\n").expect("CWD defaut\r\n").expect("TYPE I\r\n").expect("PASV\r\n")
        .reply("250 Okay\r\n250 Okay\r\n200 Type set to I\r\n").pasv()
        .expect("STOR fond.php\r\n").acceptData().receiveData().reply("150 Ok\r\n226 Done\r\n")
        // The way back goes with the next file's commands.
        .expect("CWD /livre-dor\r\n").expect("CWD lib\r\n").expect("TYPE I\r\n").expect("PASV\r\n")
        .reply("250 Okay\r\n550 No such folder\r\n200 Type set to I\r\n").pasv()
        .expect("CWD /livre-dor\r\n").reply("250 Okay\r\n")  // where it knows it stands
        .expect("CWD lib\r\n").reply("550 No such folder\r\n")
        .expect("CWD /livre-dor\r\n").reply("250 Okay\r\n").drop();
    loginOn(server);  // the permissions' control channel (none to apply)
    server.start();

    EXPECT_EQ(scene.apply(server), ApplyOutcome::Incomplete);
    EXPECT_TRUE(server.finish()) << server.report();
    EXPECT_EQ(server.dataReceived(), (std::vector<std::string>{"fond"}));
    EXPECT_NE(scene.tools.dir.readFile("softwareDatas/log-erreur-Update.txt").find("=\r\nmisesAJour/maj_2010000/lib/a.php\r\n"),
              std::string::npos);
}
