// The updater against an official site over https (nginx with the tests' CA): a check and
// an installation end to end, and an installation whose package files come from a server
// whose certificate does not hold, which must send nothing and record nothing.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "http/test_ca.h"
#include "settings/connection_settings.h"
#include "tests/support/ftp_peers.h"
#include "tests/support/tls_certificates.h"
#include "tests/updater/updater_harness.h"
#include "updater/engine/update_apply.h"
#include "updater/engine/update_check.h"
#include "updater/engine/version_files.h"

using namespace velmo;
using namespace velmo::updater;
using namespace velmo::updater::testing;
using velmo::testsupport::FtpPeer;
using velmo::testsupport::HttpTlsLeaf;
using velmo::testsupport::PeerKind;
using velmo::testsupport::TlsCertificates;

namespace {

Package securePackage() {
    Package p;
    p.lines = {"Mise à jour par https."};
    p.files = {"livre_lire.velmo", "skins/defaut/fond.png"};
    p.folders = {"skins/defaut/"};
    std::string image;
    for (int i = 0; i < 90000; ++i) image += static_cast<char>((i * 7 + 1) & 0xff);
    p.contents = {{"livre_lire.velmo", "<?php echo 'lire'; ?>\r\n"}, {"skins/defaut/fond.png", image}};
    return p;
}

// The tests' CA trusted, an FTP server with the guestbook folder, and a Tools folder with
// the script at 2000000; `official` publishes 2010000 over https with the CA's leaf.
struct SecureScene {
    SecureScene() : official(leaf(certs.good)) {
        http::setExtraCaFileForTests(certs.caFile);
        publish(official);
        ftp.makeFolder("livre-dor");
        tools.setInstalledScript(2000000);
        RecordingReporter start;
        EXPECT_TRUE(initialiseLocalVersions(start));
    }
    ~SecureScene() { http::setExtraCaFileForTests(""); }
    static HttpTlsLeaf leaf(const velmo::testsupport::TlsLeaf& l) { return {l.certFile, l.keyFile}; }
    static void publish(const OfficialSiteOnPeer& site) {
        site.publishList({{2000000, 1000000}, {2010000, 1000000}});
        site.publishPackage(2010000, securePackage());
    }
    ConnectionSettings form() const {
        ConnectionSettings s;
        s.serverAddress = ftp.host();
        s.userId = ftp.user();
        s.password = ftp.password();
        s.guestbookFolder = "livre-dor";
        s.passiveFlag = 1;
        s.port = ftp.port();
        return s;
    }
    std::int32_t recordedVersion() const {
        std::int32_t v = 0;
        EXPECT_TRUE(readLocalVersion(scriptVersionFile, v));
        return v;
    }

    velmo::testing::ScratchFolder certDir;
    const TlsCertificates certs{certDir.path};
    OfficialSiteOnPeer official;
    FtpPeer ftp{PeerKind::Pyftpdlib};
    ToolsFolder tools;
    UpdaterState state;
    RecordingReporter reporter;
};

}  // namespace

TEST(UpdateOverHttps, ACheckAndAnInstallationFromAnHttpsSite) {
    SecureScene scene;
    ASSERT_EQ(scene.official.site().baseUrl.rfind("https://127.0.0.1:", 0), 0u);
    ASSERT_EQ(checkForUpdates(scene.state, scene.official.site(), scene.reporter), CheckOutcome::UpdateOffered);
    EXPECT_EQ(scene.reporter.latest, 2010000);
    EXPECT_EQ(scene.reporter.description,
              (std::vector<std::string>{"<UpdateAvailable>", "", "Mise à jour par https."}));

    EXPECT_EQ(applyUpdate(scene.state, scene.official.site(), scene.form(), scene.reporter), ApplyOutcome::Installed);
    const Package p = securePackage();
    const std::string guestbook = scene.ftp.home() + "/livre-dor/";
    EXPECT_EQ(velmo::testing::readBytes(guestbook + "livre_lire.php"), p.contents.at("livre_lire.velmo"));
    EXPECT_TRUE(velmo::testing::readBytes(guestbook + "skins/defaut/fond.png") == p.contents.at("skins/defaut/fond.png"));
    EXPECT_EQ(scene.recordedVersion(), 2010000);
}

// The check read a genuine description, then the package's server presents a certificate
// that does not hold: not one file reaches the FTP server, the version stays, and the
// journal keeps the reason.
TEST(UpdateOverHttps, PackageFilesFromAServerWhoseCertificateDoesNotHoldAreNeverSent) {
    SecureScene scene;
    OfficialSiteOnPeer impostor(SecureScene::leaf(scene.certs.selfSigned));
    SecureScene::publish(impostor);
    ASSERT_EQ(checkForUpdates(scene.state, scene.official.site(), scene.reporter), CheckOutcome::UpdateOffered);

    EXPECT_EQ(applyUpdate(scene.state, impostor.site(), scene.form(), scene.reporter), ApplyOutcome::Unverified);
    EXPECT_FALSE(std::filesystem::exists(scene.ftp.home() + "/livre-dor/livre_lire.php"));
    EXPECT_FALSE(std::filesystem::exists(scene.ftp.home() + "/livre-dor/skins"));
    EXPECT_EQ(scene.recordedVersion(), 2000000);
    EXPECT_EQ(scene.reporter.rows[0].second, FileState::Failed);
    ASSERT_EQ(scene.reporter.boxes.size(), 1u);
    EXPECT_EQ(scene.reporter.boxes[0].title, "ATTENTION.");
    EXPECT_EQ(scene.reporter.boxes[0].text,
              "Le fichier : \"livre_lire.php\" se trouvant sur le site officiel n'a pas été téléchargé : l'identité "
              "du site officiel n'a pas pu être vérifiée (son certificat de sécurité n'est pas valable).\r\n\r\n"
              "Rien n'a été installé. Vérifiez que la date et l'heure de votre ordinateur sont justes, puis tentez à "
              "nouveau de vérifier les mises à jour plus tard ; si cela se répète, contactez le webmaster du site "
              "officiel.\r\n[Distant - Erreur : TFCERT]");
    const std::string journal = scene.tools.dir.readFile("softwareDatas/log-erreur-Update.txt");
    EXPECT_NE(journal.find("Certificat du site officiel refusé : " + impostor.site().baseUrl +
                           "maj_2010000/livre_lire.velmo : self-signed certificate (subject: "),
              std::string::npos)
        << journal;
    EXPECT_EQ(impostor.web.accessLog().find("GET"), std::string::npos);
}
