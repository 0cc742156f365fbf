// Velmo_Navigateur as the user meets it: the real start-up and event loop on the headless
// UI, against real FTP servers on loopback, and the scripted server where a listing must
// stall or fail on cue.
#include <atomic>
#include <memory>

#include "ftp/control_connection.h"
#include "ftp/ftp_session.h"
#include "locator/window/locator_texts.h"
#include "settings/settings_lock.h"
#include "tests/locator/locator_harness.h"
#include "tests/support/ftp_peers.h"
#include "tests/support/scripted_server.h"

namespace velmo::locator::testing {
namespace {

using testsupport::FtpPeer;
using testsupport::PeerKind;
using testsupport::ScriptedServer;

TEST_F(LocatorWindowTest, StartsWithTheHelpBoxThenFillsTheFormFromTheSettingsFile) {
    velmo::testing::writeBytes(settingsFile, "FTP_adresse = ftp.example.fr\r\nFTP_iDUseur = jean\r\n"
                                             "FTP_modeConnexion = 0\r\nFTP_portConnexion = 2121\r\n"
                                             "RepertoireDuLivreDor = mon-livre\r\n");
    start();
    EXPECT_EQ(ui.shownBoxes().front().text, helpText(runsOnWindows7()));
    EXPECT_EQ(ui.shownBoxes().front().icon, MessageIcon::Information);
    EXPECT_EQ(text(ids::addressField) + " " + text(ids::userField) + " " + text(ids::portField) + " " +
                  text(ids::folderField),
              "ftp.example.fr jean 2121 mon-livre");
    EXPECT_FALSE(ui.isChecked(mainWindow, ids::passiveBox));
    EXPECT_EQ(state(), notConnected);
    // "Explications" shows it too; on Windows 7 its first line ends with a blank.
    ui.expectBox(titles::help, "Velmo, Navigateur est un outil");
    ASSERT_TRUE(ui.chooseMenu(mainWindow, ids::menuHelp));
    EXPECT_TRUE(ui.waitUntil([&] { return ui.unmetExpectations().empty(); }));
    EXPECT_NE(helpText(false).find("le dossier\r\ndans lequel"), std::string::npos);
    EXPECT_NE(helpText(true).find("le dossier dans lequel"), std::string::npos);
}

// A whole session against a server that drops idle sessions: a refused login, the rows,
// the folder choice, a failing and a passing test (each after the server dropped the
// session), a settings file that cannot be written, its bytes once it can, "Annuler".
TEST_F(LocatorWindowTest, ConnectChooseTestAndWriteTheSettingsFile) {
    auto server = std::make_unique<FtpPeer>(PeerKind::Pyftpdlib, testsupport::PeerOptions{2, {}, true});
    const FtpPeer& peer = *server;
    const stdfs::path home = peer.home();
    for (const char* f : {"livre-dor", "Livre-dor"}) stdfs::create_directories(home / f);
    for (const char* f : {"livre-dor/livre_lire.php", "livre-dor/livre_signer.php", "Livre-dor/livre_lire.php",
                          "Livre-dor/Livre_signer.php"})
        velmo::testing::writeBytes(home / f, "<?php ?>");
    velmo::testing::writeBytes(home / "index.html", std::string(1234, 'x'));
    start();

    // Blanks around the address and user ID: trimmed to connect, written as they stand.
    const std::string address = " " + peer.host() + "  ", user = peer.user() + " ";
    fillForm(address, user, peer.password() + "x", peer.port(), false);
    ui.expectHeldBox(titles::warning, suite::connectionErrorText);
    press(ids::connectButton);
    ASSERT_TRUE(ui.waitForHeldBox());
    EXPECT_EQ(ui.heldBox()->icon, MessageIcon::Warning);
    EXPECT_EQ(state(), connected);
    ui.releaseBox();
    ASSERT_TRUE(waitFor([&] { return state() == notConnected; }));

    ui.typeText(mainWindow, ids::passwordField, " " + peer.password() + " ");
    press(ids::connectButton);
    ASSERT_TRUE(waitFor([&] { return rows().size() == 3; }));
    EXPECT_EQ(rows(), (std::vector<std::string>{"Livre-dor|Dossier|folder", "livre-dor|Dossier|folder",
                                                "index.html|1234|file"}));
    doubleClick("index.html");
    doubleClick("");  // outside the rows
    settle();
    EXPECT_EQ(text(ids::folderField) + state(), connected);

    // pyftpdlib logs its replies: one more "421" is one more dropped session.
    std::size_t drops = 0;
    auto idleDrop = [&] {
        auto count = [&] {
            const std::string log = peer.serverOutput();
            std::size_t n = 0;
            for (std::size_t at = log.find("421 "); at != std::string::npos; at = log.find("421 ", at + 1)) ++n;
            return n;
        };
        const bool dropped = pollUntil([&] { return count() > drops; });
        drops = count();
        return dropped;
    };
    ASSERT_TRUE(idleDrop());
    doubleClick("Livre-dor");
    ASSERT_TRUE(waitFor([&] { return state() == folderChosen; }));
    ui.expectBox(titles::information, folderNotValidText);
    press(ids::testButton);
    settle();
    EXPECT_EQ(ui.shownBoxes().at(ui.shownBoxes().size() - 2).icon, MessageIcon::Warning);

    stdfs::remove(scratch / "Tools/softwareDatas");
    doubleClick("livre-dor");
    ui.expectBox(titles::information, folderValidText);
    ui.expectBox(titles::attention, settingsNotWrittenText);
    press(ids::testButton);
    settle();
    EXPECT_FALSE(stdfs::exists(settingsFile));
    stdfs::create_directory(scratch / "Tools/softwareDatas");
    ASSERT_TRUE(idleDrop());
    ui.expectBox(titles::information, folderValidText);
    press(ids::testButton);
    settle();
    EXPECT_EQ(velmo::testing::readBytes(settingsFile),
              "transfert = 1\r\nFTP_adresse = " + address + "\r\nFTP_iDUseur = " + user +
                  "\r\nFTP_infoChmod = 0\r\nFTP_modeConnexion = 0\r\nFTP_portConnexion = " +
                  std::to_string(peer.port()) + "\r\nRepertoireDuLivreDor = livre-dor\r\n");
    EXPECT_EQ(state(), folderChosen);
    // Typed with the "/" that ends a folder's name, it is the same folder, recorded as its
    // one name; a path of two names is said to be no single folder, and nothing is written.
    ui.typeText(mainWindow, ids::folderField, "livre-dor/");
    ui.expectBox(titles::information, folderValidText);
    press(ids::testButton);
    settle();
    EXPECT_NE(velmo::testing::readBytes(settingsFile).find("\r\nRepertoireDuLivreDor = livre-dor\r\n"), std::string::npos);
    stdfs::remove(settingsFile);
    {  // Another program saving the settings for longer than a save waits: said, not written.
        const SettingsFileLock otherProgram(settingsFile.string());
        ASSERT_EQ(otherProgram.state(), SettingsFileLock::State::Held);
        ui.expectBox(titles::information, folderValidText);
        ui.expectBox(titles::attention, settingsBusyText);
        press(ids::testButton);
        settle();
    }
    EXPECT_FALSE(stdfs::exists(settingsFile));
    ui.typeText(mainWindow, ids::folderField, "www/livre-dor");
    ui.expectBox(titles::information, notOneFolderText);
    press(ids::testButton);
    settle();
    EXPECT_EQ(ui.shownBoxes().at(ui.shownBoxes().size() - 2).icon, MessageIcon::Warning);
    EXPECT_FALSE(stdfs::exists(settingsFile));
    ui.typeText(mainWindow, ids::folderField, "livre-dor");

    // A server gone for good is said as such, not as a folder without the files.
    server.reset();
    ui.expectBox(titles::warning, suite::connectionErrorText);
    press(ids::testButton);
    settle();
    press(ids::cancelButton);
    ASSERT_TRUE(waitFor([&] { return state() == notConnected; }));
    EXPECT_EQ(rows().size() + text(ids::folderField).size(), 0u);
    EXPECT_EQ(ftp::openControlConnections(), 0) << "the session was closed";
}

// The server's side of a login into "/" and of a LIST up to its first reply.
void scriptLogin(ScriptedServer& s) {
    s.reply("220 ready\r\n").expect("AUTH TLS\r\n").reply("500 AUTH non reconnu\r\n").expect("USER jean\r\n").reply("331 password\r\n").expect("PASS secret\r\n");
    s.reply("230 in\r\n").expect("PWD\r\n").reply("257 \"/\" is the current directory\r\n");
}
void scriptList(ScriptedServer& s, const char* reply) {
    s.expect("TYPE A\r\n").reply("200 ok\r\n").expect("PASV\r\n").pasv().expect("LIST\r\n").reply(reply);
}

// "Annuler" while the listing stalls: the window is not connected at once and stays
// empty when the listing ends after all; a new "Connexion" to another server waits until
// the old run has let go of the session, and then lists that server alone.
TEST_F(LocatorWindowTest, AnnulerDuringAStalledListingKeepsTheListAndTheSessionConsistent) {
    FtpPeer peer(PeerKind::Vsftpd);
    stdfs::create_directories(stdfs::path(peer.home()) / "livre-dor");
    auto stalled = std::make_unique<ScriptedServer>();
    scriptLogin(*stalled);
    scriptList(*stalled, "150 here\r\n");
    stalled->acceptData().silence(60000).sendData("drwxr-xr-x 2 u u 4096 Jan 01 12:00 late\r\n");
    stalled->start();
    start();
    fillForm("127.0.0.1", "jean", "secret", stalled->port());
    press(ids::connectButton);
    ASSERT_TRUE(pollUntil([&] { return stalled->received().find("LIST\r\n") != std::string::npos; }));
    press(ids::cancelButton);
    ASSERT_TRUE(waitFor([&] { return state() == notConnected; })) << "Annuler waited for the listing";

    // vsftpd logs every connection it accepts (its start-up check made one).
    const std::string logBefore = peer.serverOutput();
    fillForm(peer.host(), peer.user(), peer.password(), peer.port());
    press(ids::connectButton);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // pacing: room for a second thread
    EXPECT_EQ(peer.serverOutput(), logBefore) << "two threads on the session";
    EXPECT_EQ(rows().size(), 0u);
    stalled.reset();  // the old listing ends, cut short
    ASSERT_TRUE(waitFor([&] { return rows().size() == 1; }));
    EXPECT_EQ(rows(), std::vector<std::string>{"livre-dor|Dossier|folder"});
    doubleClick("livre-dor");
    ASSERT_TRUE(waitFor([&] { return state() == folderChosen; }));
}

// "Tester" talks to the server in a worker: while the server is slow to answer, the window's
// loop goes on (a task handed to it runs), the buttons stay as they were, and what the user
// does meanwhile is handled once the test's box is answered, in order.
TEST_F(LocatorWindowTest, TesterWaitsForTheServerOutsideTheWindowsLoop) {
    ScriptedServer server;
    scriptLogin(server);
    scriptList(server, "150 here\r\n");
    server.acceptData().sendData("drwxr-xr-x 2 u u 4096 Jan 01 12:00 livre-dor\r\n").reply("226 done\r\n");
    scriptList(server, "150 here\r\n");
    server.acceptData().sendData("").reply("226 done\r\n");
    server.expect("PWD\r\n").reply("257 \"/\"\r\n").expect("CWD /livre-dor\r\n").silence(3000)
        .reply("550 no such folder\r\n").expect("PWD\r\n").reply("257 \"/\"\r\n");
    server.start();
    start();
    fillForm("127.0.0.1", "jean", "secret", server.port());
    press(ids::connectButton);
    ASSERT_TRUE(waitFor([&] { return rows().size() == 1; }));
    doubleClick("livre-dor");
    ASSERT_TRUE(waitFor([&] { return state() == folderChosen; }));

    ui.expectBox(titles::information, folderNotValidText);
    ui.expectBox(titles::help, "Velmo, Navigateur est un outil");  // the help asked for meanwhile
    press(ids::testButton);
    ASSERT_TRUE(pollUntil([&] { return server.received().find("CWD /livre-dor\r\n") != std::string::npos; }));
    std::atomic<bool> ran{false};
    ASSERT_TRUE(ui.post(mainWindow, [&ran] { ran = true; }));
    EXPECT_TRUE(ui.waitUntil([&] { return ran.load(); }, std::chrono::milliseconds(1500)))
        << "the window's loop waited for the server";
    EXPECT_EQ(state(), folderChosen);
    press(ids::helpButton);
    ASSERT_TRUE(waitFor([&] { return ui.shownBoxes().size() >= 2 && ui.unmetExpectations().empty(); }));
    const std::vector<ui::ShownBox> boxes = ui.shownBoxes();
    EXPECT_EQ(boxes[boxes.size() - 2].text, folderNotValidText);
    EXPECT_EQ(boxes.back().title, titles::help);
    EXPECT_EQ(state(), folderChosen);
    ui.waitUntil([&] { return ran.load(); });  // the task has run before `ran` goes
}

// "." is never a row, ".." is one but chooses nothing; a listing that fails (refused, cut
// short by the server, stalled) is said in a box and leaves the window not connected with
// an empty list and the session closed.
TEST_F(LocatorWindowTest, DotRowsAndFailedListings) {
    const char* dots = "drwxr-xr-x 2 u u 4096 Jan 01 12:00 .\r\ndrwxr-xr-x 2 u u 4096 Jan 01 12:00 ..\r\n"
                       "drwxr-xr-x 2 u u 4096 Jan 01 12:00 livre-dor\r\n-rw-r--r-- 1 u u 10 Jan 01 12:00 index.php\r\n";
    struct Case {
        const char *name, *listReply, *data, *finalReply;  // no data: the listing stalls
        std::vector<std::string> rows;                     // none: the listing fails
    };
    const std::vector<Case> cases = {
        {"dots", "150 here\r\n", dots, "226 done\r\n",
         {"..|Dossier|folder", "livre-dor|Dossier|folder", "index.php|10|file"}},
        {"refused", "550 Permission denied\r\n", nullptr, nullptr, {}},
        {"cut", "150 here\r\n", dots, "426 Connection closed; transfer aborted.\r\n", {}},
        {"stalled", "150 here\r\n", nullptr, nullptr, {}},
    };
    ftp::setSilenceLimitMs(300);  // how long the stalled listing is waited for
    struct Restore {
        ~Restore() { ftp::setSilenceLimitMs(120000); }
    } restore;
    start();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedServer server;
        scriptLogin(server);
        for (std::size_t pass = 0; pass < (c.rows.empty() ? 1u : 2u); ++pass) {
            scriptList(server, c.listReply);
            if (c.data) server.acceptData().sendData(c.data).reply(c.finalReply);
            else if (c.listReply[0] == '1') server.acceptData().silence(1000);
        }
        server.start();
        fillForm("127.0.0.1", "jean", "secret", server.port());
        if (c.rows.empty()) ui.expectBox(titles::warning, listingFailedText);
        press(ids::connectButton);
        ASSERT_TRUE(waitFor([&] {
            return c.rows.empty() ? ui.unmetExpectations().empty() && state() == notConnected : rows() == c.rows;
        }));
        if (!c.rows.empty()) {
            doubleClick("..");
            settle();
            EXPECT_EQ(state(), connected);
            press(ids::cancelButton);
        }
        ASSERT_TRUE(waitFor([&] { return state() == notConnected && rows().empty(); }));
        EXPECT_EQ(ftp::openControlConnections(), 0) << "the session was closed";
        EXPECT_TRUE(server.finish()) << server.report();
    }
}

}  // namespace
}  // namespace velmo::locator::testing
