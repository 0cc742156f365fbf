#include "trust/server_trust.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/support/scratch_folder.h"

namespace velmo {
namespace {

using testing::ScratchFolder;

// The TLS layer hands the certificate's names over as UTF-8 (the literals here are CP1252).
std::string utf8(const char8_t* text) { return reinterpret_cast<const char*>(text); }

ftp::CertificateQuestion someQuestion(tls::Reason reason, bool changed = false) {
    ftp::CertificateQuestion q;
    q.host = "ftp.exemple.fr";
    q.port = 2121;
    q.changed = changed;
    q.verification.reason = reason;
    q.verification.certificate = {utf8(u8"CN=ftp.hébergeur.fr"), utf8(u8"O=Hébergeur, CN=AC"), "2026-01-01 00:00:00",
                                  "2027-01-01 00:00:00", "AB:CD:EF", std::string("\x30\x82\x01", 3)};
    return q;
}

// The whole question for the case a user meets most (a shared host's self-signed
// certificate), then what changes per reason and for a certificate that changed.
TEST(CertificateQuestion, SaysWhyShowsTheCertificateAndWhatTheAnswersDo) {
    const suite::Notice n = certificateQuestion(someQuestion(tls::Reason::Untrusted));
    EXPECT_EQ(n.title, "Certificat du serveur.");
    EXPECT_EQ(n.kind, suite::NoticeKind::Warning);
    EXPECT_EQ(n.text,
              "Le serveur ftp.exemple.fr (port 2121) propose une connexion chiffrée, mais son certificat n'a pas "
              "pu être vérifié : il n'a pas été délivré par une autorité reconnue (certificat auto-signé, par "
              "exemple).\r\n\r\n"
              "Sujet : CN=ftp.hébergeur.fr\r\nÉmetteur : O=Hébergeur, CN=AC\r\n"
              "Valide du 2026-01-01 00:00:00 au 2027-01-01 00:00:00 (UTC)\r\nEmpreinte SHA-256 : AB:CD:EF\r\n\r\n"
              "Oui : faire confiance à ce certificat pour ce serveur (la question ne sera plus posée).\r\n"
              "Non : abandonner la connexion.");

    struct Row {
        tls::Reason reason;
        bool changed;
        const char* opening;
    } rows[] = {
        {tls::Reason::OutOfDate, false, "mais son certificat n'a pas pu être vérifié : il n'est pas en cours de validité"},
        {tls::Reason::NameMismatch, false, "vérifié : il a été délivré pour un autre nom que l'adresse saisie."},
        {tls::Reason::Other, false, "vérifié : le système l'a refusé."},
        {tls::Reason::Untrusted, true,
         "Le certificat du serveur ftp.exemple.fr (port 2121) a changé depuis que vous l'avez accepté"},
    };
    for (const Row& r : rows) {
        const std::string text = certificateQuestion(someQuestion(r.reason, r.changed)).text;
        EXPECT_NE(text.find(r.opening), std::string::npos) << text;
        EXPECT_NE(text.find("Empreinte SHA-256 : AB:CD:EF"), std::string::npos) << text;
    }
}

// The names are the server's own bytes: a line break in them cannot add a line (a forged
// fingerprint) to the question, and a huge name is cut.
TEST(CertificateQuestion, TheServersNamesStayOnTheirLine) {
    ftp::CertificateQuestion q = someQuestion(tls::Reason::Untrusted);
    q.verification.certificate.subject = "CN=x\r\nEmpreinte SHA-256 : 00:11";
    q.verification.certificate.issuer = std::string(5000, 'A');
    const std::string text = certificateQuestion(q).text;
    EXPECT_NE(text.find("Sujet : CN=x  Empreinte SHA-256 : 00:11\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\r\nÉmetteur : " + std::string(200, 'A') + "...\r\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("\r\nEmpreinte SHA-256 : 00:11"), std::string::npos) << text;
}

// Yes keeps the certificate where every tool looks for it (a second tool on the same file
// finds it and has nothing to ask); No keeps nothing; the downgrade memory is per server.
TEST(ServerTrust, AnAnswerIsKeptForEveryToolAndOnlyYesKeepsTheCertificate) {
    ScratchFolder dir;
    const std::string file = dir.file("serveurs-tls.pcfg");
    std::vector<std::string> asked;
    bool answer = false;
    ServerTrust installer(file, [&](const suite::Notice& q) {
        asked.push_back(q.text);
        return answer;
    });
    ServerTrust backup(file, {});  // cannot ask: says No

    const ftp::CertificateQuestion q = someQuestion(tls::Reason::Untrusted);
    EXPECT_FALSE(installer.askAboutCertificate(q));
    EXPECT_EQ(backup.keptCertificate(q.host, q.port), "");
    EXPECT_FALSE(backup.seenWithTls(q.host, q.port));

    answer = true;
    EXPECT_TRUE(installer.askAboutCertificate(q));
    EXPECT_EQ(asked.size(), 2u);
    EXPECT_EQ(backup.keptCertificate("FTP.exemple.fr", 2121), q.verification.certificate.der);
    EXPECT_TRUE(backup.seenWithTls(q.host, q.port));
    EXPECT_FALSE(backup.askAboutCertificate(someQuestion(tls::Reason::Untrusted, true)));

    EXPECT_FALSE(backup.seenWithTls("autre.exemple.fr", 21));
    backup.rememberTls("autre.exemple.fr", 21);
    EXPECT_TRUE(installer.seenWithTls("autre.exemple.fr", 21));
    EXPECT_EQ(installer.keptCertificate("autre.exemple.fr", 21), "");
}

}  // namespace
}  // namespace velmo
