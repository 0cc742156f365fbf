// Whole installations against real servers: the package from nginx, the guestbook on each
// real FTP server. What must hold: the files on the server byte for byte under their
// server names, the folders made, the permissions applied on disk, and the version recorded
// only when every file arrived; and a refused description touches nothing at all.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "settings/connection_settings.h"
#include "tests/support/ftp_peers.h"
#include "tests/updater/updater_harness.h"
#include "updater/update_apply.h"
#include "updater/update_check.h"
#include "updater/updater_texts.h"
#include "updater/version_files.h"

using namespace velmo;
using namespace velmo::updater;
using namespace velmo::updater::testing;
using velmo::testsupport::FtpPeer;
using velmo::testsupport::PeerKind;

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
    explicit Scene(PeerKind kind) : ftp(kind) {
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

int modeOf(const std::string& path) {
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
        // The local mirror holds the server names too.
        EXPECT_EQ(scene.tools.dir.readFile("misesAJour/maj_2010000/skins/nouveau/cfg_variables.php"),
                  p.contents.at("skins/nouveau/cfg_variables.velmo"));

        EXPECT_EQ(scene.recordedVersion(), 2010000);
        EXPECT_EQ(scene.reporter.installed, "2.10.0");
        EXPECT_FALSE(scene.reporter.upToDate);
        EXPECT_TRUE(scene.state.applyLocked);
        EXPECT_TRUE(scene.state.checkPending);
        EXPECT_EQ(scene.reporter.statuses(), std::vector<std::string>(4, texts::rowSent));
        EXPECT_TRUE(scene.reporter.description.empty());
        EXPECT_EQ(scene.reporter.actions.back(), texts::finished);
        ASSERT_EQ(scene.reporter.boxes.size(), 1u);
        EXPECT_EQ(scene.reporter.boxes[0].text, texts::updateDone());
        EXPECT_FALSE(std::filesystem::exists(scene.tools.dir / "softwareDatas/log-erreur-Update.txt"));
        // The form was saved (trimmed, without the password), the other lines kept.
        const ConnectionSettingsLoad saved = loadConnectionSettings(Tool::Updater);
        EXPECT_EQ(saved.settings.serverAddress, scene.ftp.host());
        EXPECT_EQ(saved.settings.guestbookFolder, "livre-dor");
        EXPECT_EQ(saved.settings.port, scene.ftp.port());
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
              (std::vector<std::string>{texts::rowSent, texts::rowFailed, texts::rowSent, texts::rowSent}));
    EXPECT_EQ(scene.recordedVersion(), 2000000);
    EXPECT_EQ(scene.reporter.installed, "inconnu") << "the installed version is not shown as changed";
    EXPECT_TRUE(scene.state.applyLocked);

    const std::string journal = scene.tools.dir.readFile("softwareDatas/log-erreur-Update.txt");
    EXPECT_EQ(journal.rfind("DEBUT ", 0), 0u);
    EXPECT_NE(journal.find("Mode passif : oui\r\n"), std::string::npos);
    EXPECT_NE(journal.find("CHMOD       : non\r\n"), std::string::npos);
    EXPECT_NE(journal.find("========================================\r\n"
                           "misesAJour/maj_2010000/skins/nouveau/cfg_variables.php\r\nFIN "),
              std::string::npos)
        << journal;
    ASSERT_EQ(scene.reporter.boxes.size(), 1u);
    EXPECT_EQ(scene.reporter.boxes[0].title, "Avertissement.");
    EXPECT_EQ(scene.reporter.boxes[0].text, texts::updateIncomplete(1, "softwareDatas/log-erreur-Update.txt"));
}

TEST(UpdateApply, EarlyStopsTouchNothingOnTheServer) {
    Scene scene(PeerKind::Pyftpdlib);
    scene.check();

    // No password: the form is saved, nothing else happens.
    ConnectionSettings noPassword = scene.form();
    noPassword.password = "  ";
    EXPECT_EQ(applyUpdate(scene.state, scene.official.site(), noPassword, scene.reporter), ApplyOutcome::PasswordMissing);
    EXPECT_EQ(scene.reporter.boxes.back().text, texts::passwordMissing);
    EXPECT_EQ(loadConnectionSettings(Tool::Updater).settings.userId, scene.ftp.user());

    // The mirrored description was changed to reach outside the guestbook folder: refused
    // before anything is downloaded or sent.
    Package hostile = guestbookPackage();
    hostile.files.push_back("../../../etc/cron.d/velmo.velmo");
    scene.tools.dir.writeFile("misesAJour/maj_2010000/_Fichier_Maj_xxx.pcfg", hostile.descriptionText());
    EXPECT_EQ(applyUpdate(scene.state, scene.official.site(), scene.form(), scene.reporter), ApplyOutcome::Refused);
    EXPECT_EQ(scene.reporter.boxes.back().text, texts::unsafeDescriptionPath("../../../etc/cron.d/velmo.velmo"));
    EXPECT_FALSE(std::filesystem::exists(scene.tools.dir / "misesAJour/maj_2010000/livre_lire.php"));
    EXPECT_TRUE(scene.ftp.receivedCommands().empty());

    // A guestbook folder that is not on the server.
    scene.tools.dir.writeFile("misesAJour/maj_2010000/_Fichier_Maj_xxx.pcfg", guestbookPackage().descriptionText());
    ConnectionSettings wrongFolder = scene.form();
    wrongFolder.guestbookFolder = "livre-or";
    EXPECT_EQ(applyUpdate(scene.state, scene.official.site(), wrongFolder, scene.reporter), ApplyOutcome::FolderMissing);
    EXPECT_EQ(scene.reporter.boxes.back().text, texts::guestbookFolderMissing("livre-or"));
    EXPECT_EQ(scene.reporter.actions.back(), texts::noAction);
    EXPECT_EQ(scene.recordedVersion(), 2000000);
}
