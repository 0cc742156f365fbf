// The official site's files as the updater's check fetches them, against hostile answers of
// the scripted server and over https: each kind of failure is told as what it is (the
// "absent" text only for a real 404), and the version list and the description have
// bounds of their own.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "http/test_ca.h"
#include "tests/support/scripted_http.h"
#include "tests/support/tls_certificates.h"
#include "tests/updater/updater_harness.h"
#include "updater/engine/update_description.h"
#include "updater/engine/updater_texts.h"

using namespace velmo;
using namespace velmo::updater;
using velmo::testsupport::ScriptedServer;
using velmo::testsupport::expectGet;
using velmo::testsupport::scriptedUrl;
using velmo::updater::testing::RecordingReporter;
using velmo::updater::testing::ToolsFolder;

namespace {

const std::string ok200 = "HTTP/1.1 200 OK\r\n";

std::string lengthReply(const std::string& body) {
    return ok200 + "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

}  // namespace

TEST(OfficialSite, EachFailureOfAnOfficialFileIsToldAsWhatItIs) {
    const std::string list = versionListName;
    const std::string tellWebmaster =
        "Contactez le webmaster du site pour lui signaler, sinon vous ne pourrez plus faire de mise à jour.\r\n";
    struct Row {
        const char* what;
        std::string name;  // fetched from the base folder
        std::function<void(ScriptedServer&)> answer;
        std::string text;
    };
    const std::vector<Row> rows = {
        {"a real 404", list, [](ScriptedServer& s) { s.reply("HTTP/1.1 404 Not Found\r\nContent-Length: 3\r\n\r\nnon").drop(); },
         texts::officialFileMissing(list)},
        {"a 403", list, [](ScriptedServer& s) { s.reply("HTTP/1.1 403 Forbidden\r\nContent-Length: 0\r\n\r\n").drop(); },
         "Le fichier : \"" + list + "\" se trouvant sur le site officiel a été refusé par le site officiel (réponse 403).\r\n\r\n" +
             tellWebmaster + "[Distant - Erreur : TFREF]"},
        {"a length no file has", list,
         [](ScriptedServer& s) { s.reply(ok200 + "Content-Length: 99999999999\r\n\r\n[Grp_").drop(); },
         "Le fichier : \"" + list + "\" se trouvant sur le site officiel est trop volumineux pour être un fichier de mise à jour.\r\n\r\n" +
             tellWebmaster + "[Distant - Erreur : TFTV]"},
        {"a version list of 70 KiB", list, [](ScriptedServer& s) { s.reply(lengthReply(std::string(70 * 1024, ';'))).drop(); },
         "Le fichier : \"" + list + "\" se trouvant sur le site officiel est trop volumineux pour être un fichier de mise à jour.\r\n\r\n" +
             tellWebmaster + "[Distant - Erreur : TFTV]"},
        {"a version list of 3000 empty lines", list, [](ScriptedServer& s) { s.reply(lengthReply(std::string(3000, '\n'))).drop(); },
         "Le fichier : \"" + list + "\" se trouvant sur le site officiel est trop volumineux pour être un fichier de mise à jour.\r\n\r\n" +
             tellWebmaster + "[Distant - Erreur : TFTV]"},
        {"a signature of 4 KiB", list + ".sig",
         [](ScriptedServer& s) { s.reply(lengthReply("velmo-maj-sig-v1 ed25519 " + std::string(4096, 'a'))).drop(); },
         "Le fichier : \"" + list + ".sig\" se trouvant sur le site officiel est trop volumineux pour être un fichier de mise à jour.\r\n\r\n" +
             tellWebmaster + "[Distant - Erreur : TFTV]"},
        {"a redirect to another port", list,
         [](ScriptedServer& s) {
             s.reply("HTTP/1.1 302 Found\r\nLocation: http://127.0.0.1:" + std::to_string(s.port() == 1 ? 2 : 1) +
                     "/velmo-maj/x\r\nContent-Length: 0\r\n\r\n").drop();
         },
         "Le fichier : \"" + list + "\" se trouvant sur le site officiel est redirigé vers une autre adresse, qui n'a pas été suivie.\r\n\r\n" +
             tellWebmaster + "[Distant - Erreur : TFRED]"},
        {"a site slower than the time given", list,
         [](ScriptedServer& s) { s.reply(ok200 + "\r\n").replySplit(std::vector<std::string>(30, "; lent\r\n"), 50); },
         "Le fichier : \"" + list + "\" se trouvant sur le site officiel n'a pas pu être téléchargé : le site officiel répond trop lentement.\r\n\r\n"
             "Tentez à nouveau de vérifier les mises à jour plus tard.\r\n[Distant - Erreur : TFTL]"},
        {"a site that closes without a word", list, [](ScriptedServer& s) { s.drop(); },
         "Le fichier : \"" + list + "\" se trouvant sur le site officiel n'a pas pu être téléchargé.\r\n\r\n"
             "Vérifiez votre connexion à internet et que votre pare-feu laisse passer Velmo, Maj.\r\n"
             "Tentez à nouveau de vérifier les mises à jour plus tard.\r\n[Distant - Erreur : TFNPT]"},
    };
    for (const Row& r : rows) {
        ToolsFolder tools;
        ScriptedServer server;
        expectGet(server, "/velmo-maj/" + r.name);
        r.answer(server);
        server.start();
        OfficialSite site{scriptedUrl(server, "velmo-maj/"), {}};
        site.limits.responseLimitMs = 1000;
        RecordingReporter reporter;
        EXPECT_FALSE(fetchOfficialFile(site, r.name, "", reporter)) << r.what;
        ASSERT_EQ(reporter.boxes.size(), 1u) << r.what;
        EXPECT_EQ(reporter.boxes[0].title, "Avertissement.") << r.what;
        EXPECT_EQ(reporter.boxes[0].text, r.text) << r.what;
        EXPECT_EQ(reporter.boxes[0].icon, suite::NoticeKind::Error) << r.what;
        EXPECT_TRUE(reporter.boxes[0].fatal) << r.what;
    }
}

// The bounds belong to the two texts: a description over the list's bound but within its
// own arrives, and a package file keeps the site's (large) bound.
TEST(OfficialSite, TheListAndTheDescriptionHaveBoundsOfTheirOwn) {
    ToolsFolder tools;
    const std::string description = "[Grp_DescriptionMaj]\r\n" + std::string(100 * 1024, ';') + "\r\n";
    ScriptedServer server;
    expectGet(server, "/velmo-maj/maj_2010000/" + std::string(descriptionFileName)).reply(lengthReply(description)).drop();
    server.start();
    tools.dir.writeFile("misesAJour/maj_2010000/.keep", "");
    OfficialSite site{scriptedUrl(server, "velmo-maj/"), {}};
    RecordingReporter reporter;
    EXPECT_TRUE(fetchOfficialFile(site, descriptionFileName, "maj_2010000/", reporter));
    EXPECT_TRUE(reporter.boxes.empty());
    EXPECT_EQ(tools.dir.readFile("misesAJour/maj_2010000/" + std::string(descriptionFileName)), description);
    EXPECT_TRUE(server.finish()) << server.report();

    EXPECT_EQ(site.limitsFor(descriptionFileName).response.maxBodyBytes, descriptionMaxBytes);
    EXPECT_EQ(site.limitsFor(versionListName).response.maxBodyBytes, versionListMaxBytes);
    EXPECT_EQ(site.limitsFor("img/fond.velmo").response.maxBodyBytes, site.limits.response.maxBodyBytes);
    EXPECT_EQ(site.limitsFor("img/fond.velmo").maxBodyLines, -1);
}

// Over https, what the TLS layer refused is told as such: a certificate that does not hold
// ("the site's identity could not be verified", with the reason in the journal), a server
// that does not speak TLS, and a redirect from https back to http.
TEST(OfficialSite, FailuresOverHttpsAreToldAndJournalled) {
    velmo::testing::ScratchFolder certDir;
    const velmo::testsupport::TlsCertificates certs(certDir.path);
    http::setExtraCaFileForTests(certs.caFile);
    using velmo::testsupport::HttpPeer;
    HttpPeer expired(velmo::testsupport::HttpPeerKind::Nginx, {certs.expired.certFile, certs.expired.keyFile});
    HttpPeer good(velmo::testsupport::HttpPeerKind::Nginx, {certs.good.certFile, certs.good.keyFile});
    const std::string list = versionListName;
    const std::string file = "Le fichier : \"" + list + "\" se trouvant sur le site officiel ";
    struct Row {
        const char* what;
        std::string base;
        std::string text;
        std::string journal;  // "" when nothing is journalled
    };
    const std::vector<Row> rows = {
        {"an expired certificate", expired.tlsUrl("velmo-maj/"),
         file + "n'a pas été téléchargé : l'identité du site officiel n'a pas pu être vérifiée (son certificat de "
                "sécurité n'est pas valable).\r\n\r\nRien n'a été installé. Vérifiez que la date et l'heure de votre "
                "ordinateur sont justes, puis tentez à nouveau de vérifier les mises à jour plus tard ; si cela se "
                "répète, contactez le webmaster du site officiel.\r\n[Distant - Erreur : TFCERT]",
         "Certificat du site officiel refusé : " + expired.tlsUrl("velmo-maj/") + list +
             " : certificate has expired (subject: O=Velmo essais, CN=127.0.0.1; issuer: O=Velmo essais, CN=Velmo CA "
             "d'essai; valid "},
        {"a plain HTTP server at an https address", "https://127.0.0.1:" + std::to_string(good.port()) + "/velmo-maj/",
         file + "n'a pas pu être téléchargé : la connexion sécurisée avec le site officiel n'a pas pu être établie."
                "\r\n\r\nTentez à nouveau de vérifier les mises à jour plus tard.\r\n[Distant - Erreur : TFTLS]",
         "Connexion sécurisée impossible : https://127.0.0.1:" + std::to_string(good.port()) + "/velmo-maj/" + list +
             " : TLS handshake: "},
        {"a redirect from https back to http", good.tlsUrl("to-http/velmo-maj/"),
         file + "est redirigé vers une autre adresse, qui n'a pas été suivie.\r\n\r\n"
                "Contactez le webmaster du site pour lui signaler, sinon vous ne pourrez plus faire de mise à jour."
                "\r\n[Distant - Erreur : TFRED]",
         ""},
    };
    for (const Row& r : rows) {
        ToolsFolder tools;
        expired.writeFile("velmo-maj/" + list, "[Grp_NumeroDeVersion_Exe_Script_SiteOfficiel]\r\n");
        OfficialSite site{r.base, {}};
        RecordingReporter reporter;
        EXPECT_FALSE(fetchOfficialFile(site, list, "", reporter)) << r.what;
        ASSERT_EQ(reporter.boxes.size(), 1u) << r.what;
        EXPECT_EQ(reporter.boxes[0].text, r.text) << r.what;
        EXPECT_TRUE(reporter.boxes[0].fatal) << r.what;
        EXPECT_FALSE(std::filesystem::exists(tools.dir / "misesAJour" / list)) << r.what;
        const std::filesystem::path journal = tools.dir / "softwareDatas/log-erreur-Update.txt";
        if (r.journal.empty()) {
            EXPECT_FALSE(std::filesystem::exists(journal)) << r.what;
            continue;
        }
        const std::string written = tools.dir.readFile("softwareDatas/log-erreur-Update.txt");
        EXPECT_NE(written.find(r.journal), std::string::npos) << r.what << ":\n" << written;
    }
    http::setExtraCaFileForTests("");
}
