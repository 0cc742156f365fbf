// The locator's connections with encryption, as the user meets them on real servers: the
// certificate question and its two answers, a server that used to take TLS and now
// refuses it, and a plain server still used in clear without a question.
#include "locator/window/locator_texts.h"
#include "settings/known_servers.h"
#include "tests/locator/locator_harness.h"
#include "tests/support/scripted_server.h"
#include "tests/support/tools_tls.h"

namespace velmo::locator::testing {
namespace {

using testsupport::FtpPeer;
using testsupport::PeerKind;
using testsupport::PeerOptions;
using ui::MessageBoxResult;

struct Case {
    const char* name;
    PeerOptions::Tls tls;
    bool seenBefore;             // the known-servers file says the server took TLS
    bool asked;                  // the certificate question comes, answered `answer`
    MessageBoxResult answer;
    const char* refusal;         // the box instead of the listing; null: listed
    bool remembersCertificate;   // the file then holds the server's certificate
};

// "Connexion", then "Tester" on the guestbook folder, for each case in a program of its
// own; where the connection is refused, the server never got the user name.
TEST_F(LocatorWindowTest, ListsAndTestsOverTlsAndRefusesWhatEncryptionForbids) {
    const testsupport::ToolsTls tls;
    const Case cases[] = {
        {"certificat accepté", PeerOptions::Tls::Required, false, true, MessageBoxResult::Yes, nullptr, true},
        {"certificat refusé", PeerOptions::Tls::Required, false, true, MessageBoxResult::No,
         suite::certificateRefusedText, false},
        {"serveur qui ne chiffre plus", PeerOptions::Tls::Off, true, false, MessageBoxResult::Ok,
         suite::tlsDowngradeText, false},
        {"serveur en clair", PeerOptions::Tls::Off, false, false, MessageBoxResult::Ok, nullptr, false},
    };
    const std::string known = (scratch / "Tools" / knownServersPath).string();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto peer = tls.peer(PeerKind::Vsftpd, c.tls);
        const stdfs::path home = peer->home();
        stdfs::create_directories(home / "livre-dor");
        for (const char* f : {"livre-dor/livre_lire.php", "livre-dor/livre_signer.php"})
            velmo::testing::writeBytes(home / f, "<?php ?>");
        if (c.seenBefore) {
            ASSERT_TRUE(rememberKnownServer(known, peer->host(), peer->port(), ""));
        }
        start();
        fillForm(peer->host(), peer->user(), peer->password(), peer->port());
        if (c.asked)
            ui.expectBox(testsupport::certificateQuestionTitle, testsupport::certificateQuestionStart(*peer), c.answer);
        if (c.refusal) ui.expectBox(titles::warning, c.refusal);
        press(ids::connectButton);
        if (c.refusal) {
            ASSERT_TRUE(waitFor([&] { return ui.unmetExpectations().empty() && state() == notConnected; }));
            EXPECT_EQ(ui.shownBoxes().back().text, c.refusal);
            EXPECT_EQ(ui.shownBoxes().back().icon, MessageIcon::Warning);
            EXPECT_FALSE(testsupport::userReached(*peer));
        } else {
            ASSERT_TRUE(waitFor([&] { return rows().size() == 1; })) << peer->serverOutput();
            EXPECT_EQ(rows(), std::vector<std::string>{"livre-dor|Dossier|folder"});
            doubleClick("livre-dor");
            ASSERT_TRUE(waitFor([&] { return state() == folderChosen; }));
            ui.expectBox(titles::information, folderValidText);
            press(ids::testButton);
            settle();
            EXPECT_NE(velmo::testing::readBytes(settingsFile).find("RepertoireDuLivreDor = livre-dor"), std::string::npos);
        }
        const KnownServer remembered = readKnownServer(known, peer->host(), peer->port());
        EXPECT_EQ(remembered, (KnownServer{c.tls != PeerOptions::Tls::Off ? c.remembersCertificate : c.seenBefore,
                                           c.remembersCertificate ? tls.selfSignedDer() : ""}));
        program.closeWithoutLauncher();
        waitForListingWorkers();
        velmo::testing::expectBoxScriptMet(ui);
        stdfs::remove(settingsFile);
    }
}

// A server that accepts AUTH TLS and then answers in clear: the encryption could not be set
// up, which is said as such, and the user name is never sent.
TEST_F(LocatorWindowTest, AnEncryptionThatCannotBeSetUpIsSaidAsSuch) {
    testsupport::ScriptedServer server;
    server.reply("220 ready\r\n").expect("AUTH TLS\r\n").reply("234 go\r\n").reply("500 pas de TLS ici\r\n").drop();
    server.start();
    start();
    fillForm("127.0.0.1", "jean", "secret", server.port());
    ui.expectBox(titles::warning, suite::tlsFailedText);
    press(ids::connectButton);
    ASSERT_TRUE(waitFor([&] { return ui.unmetExpectations().empty() && state() == notConnected; }));
    EXPECT_EQ(ui.shownBoxes().back().text, suite::tlsFailedText);
    EXPECT_TRUE(server.finish()) << server.report();
    EXPECT_EQ(server.received().find("USER"), std::string::npos);
}

}  // namespace
}  // namespace velmo::locator::testing
