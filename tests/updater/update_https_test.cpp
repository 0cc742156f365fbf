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

struct TestCa {
    explicit TestCa(const std::string& file) { http::setExtraCaFileForTests(file); }
    ~TestCa() { http::setExtraCaFileForTests(""); }
};

ConnectionSettings formFor(const FtpPeer& ftp) {
    ConnectionSettings s;
    s.serverAddress = ftp.host();
    s.userId = ftp.user();
    s.password = ftp.password();
    s.guestbookFolder = "livre-dor";
    s.permissionFlag = 0;
    s.passiveFlag = 1;
    s.port = ftp.port();
    return s;
}

}  // namespace

TEST(UpdateOverHttps, ACheckAndAnInstallationFromAnHttpsSite) {
    velmo::testing::ScratchFolder certDir;
    const TlsCertificates certs(certDir.path);
    TestCa ca(certs.caFile);
    OfficialSiteOnPeer official(HttpTlsLeaf{certs.good.certFile, certs.good.keyFile});
    official.publishList({{2000000, 1000000}, {2010000, 1000000}});
    official.publishPackage(2010000, securePackage());
    ASSERT_EQ(official.site().baseUrl.rfind("https://127.0.0.1:", 0), 0u);

    FtpPeer ftp(PeerKind::Pyftpdlib);
    ftp.makeFolder("livre-dor");
    ToolsFolder tools;
    tools.setInstalledScript(2000000);
    RecordingReporter start;
    ASSERT_TRUE(initialiseLocalVersions(start));

    UpdaterState state;
    RecordingReporter reporter;
    ASSERT_EQ(checkForUpdates(state, official.site(), reporter), CheckOutcome::UpdateOffered);
    EXPECT_EQ(reporter.latest, 2010000);
    EXPECT_EQ(reporter.description, (std::vector<std::string>{"<UpdateAvailable>", "", "Mise à jour par https."}));

    EXPECT_EQ(applyUpdate(state, official.site(), formFor(ftp), reporter), ApplyOutcome::Installed);
    const Package p = securePackage();
    EXPECT_EQ(velmo::testing::readBytes(ftp.home() + "/livre-dor/livre_lire.php"), p.contents.at("livre_lire.velmo"));
    EXPECT_TRUE(velmo::testing::readBytes(ftp.home() + "/livre-dor/skins/defaut/fond.png") ==
                p.contents.at("skins/defaut/fond.png"));
    std::int32_t recorded = 0;
    EXPECT_TRUE(readLocalVersion(scriptVersionFile, recorded));
    EXPECT_EQ(recorded, 2010000);
    // Nothing of it went over plain HTTP.
    EXPECT_EQ(official.web.accessLog().find("HTTP/1.1\" 30"), std::string::npos);
}

// The check read a genuine description, then the package's server presents a certificate
// that does not hold: not one file reaches the FTP server, the version stays, and the
// journal keeps the reason.
TEST(UpdateOverHttps, PackageFilesFromAServerWhoseCertificateDoesNotHoldAreNeverSent) {
    velmo::testing::ScratchFolder certDir;
    const TlsCertificates certs(certDir.path);
    TestCa ca(certs.caFile);
    OfficialSiteOnPeer official(HttpTlsLeaf{certs.good.certFile, certs.good.keyFile});
    OfficialSiteOnPeer impostor(HttpTlsLeaf{certs.selfSigned.certFile, certs.selfSigned.keyFile});
    for (const OfficialSiteOnPeer* site : {&official, &impostor}) {
        site->publishList({{2000000, 1000000}, {2010000, 1000000}});
        site->publishPackage(2010000, securePackage());
    }
    FtpPeer ftp(PeerKind::Pyftpdlib);
    ftp.makeFolder("livre-dor");
    ToolsFolder tools;
    tools.setInstalledScript(2000000);
    RecordingReporter start;
    ASSERT_TRUE(initialiseLocalVersions(start));
    UpdaterState state;
    RecordingReporter reporter;
    ASSERT_EQ(checkForUpdates(state, official.site(), reporter), CheckOutcome::UpdateOffered);

    EXPECT_EQ(applyUpdate(state, impostor.site(), formFor(ftp), reporter), ApplyOutcome::Unverified);
    EXPECT_FALSE(std::filesystem::exists(ftp.home() + "/livre-dor/livre_lire.php"));
    EXPECT_FALSE(std::filesystem::exists(ftp.home() + "/livre-dor/skins"));
    std::int32_t recorded = 0;
    EXPECT_TRUE(readLocalVersion(scriptVersionFile, recorded));
    EXPECT_EQ(recorded, 2000000);
    EXPECT_EQ(reporter.rows[0].second, FileState::Failed);
    ASSERT_EQ(reporter.boxes.size(), 1u);
    EXPECT_EQ(reporter.boxes[0].title, "ATTENTION.");
    EXPECT_EQ(reporter.boxes[0].text,
              "Le fichier : \"livre_lire.php\" se trouvant sur le site officiel n'a pas été téléchargé : l'identité "
              "du site officiel n'a pas pu être vérifiée (son certificat de sécurité n'est pas valable).\r\n\r\n"
              "Rien n'a été installé. Vérifiez que la date et l'heure de votre ordinateur sont justes, puis tentez à "
              "nouveau de vérifier les mises à jour plus tard ; si cela se répète, contactez le webmaster du site "
              "officiel.\r\n[Distant - Erreur : TFCERT]");
    const std::string journal = tools.dir.readFile("softwareDatas/log-erreur-Update.txt");
    EXPECT_NE(journal.find("Certificat du site officiel refusé : " + impostor.site().baseUrl +
                           "maj_2010000/livre_lire.velmo : self-signed certificate (subject: "),
              std::string::npos)
        << journal;
    EXPECT_EQ(impostor.web.accessLog().find("GET"), std::string::npos);
}
