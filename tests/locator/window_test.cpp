// Velmo_Navigateur as the user meets it: the real start-up and event loop on the headless
// UI, against real FTP servers on loopback (and the scripted server where a listing must
// stall or fail on cue).
#include <memory>

#include "ftp/ftp_session.h"
#include "locator/locator_texts.h"
#include "tests/locator/locator_harness.h"
#include "tests/support/scripted_server.h"

namespace velmo::locator::testing {
namespace {

using testsupport::FtpPeer;
using testsupport::PeerKind;
using testsupport::ScriptedServer;

const std::string notConnected = "C--+", connected = "-A--", folderChosen = "-AT-";

// The help box comes first; the form starts from the settings file when there is one.
TEST_F(LocatorWindowTest, StartsWithTheHelpBoxThenFillsTheFormFromTheSettingsFile) {
    velmo::testing::writeBytes(scratch / "Tools/softwareDatas/config.pcfg",
                               "transfert = 1\r\nFTP_adresse = ftp.example.fr\r\nFTP_iDUseur = jean\r\n"
                               "FTP_modeConnexion = 0\r\nFTP_portConnexion = 2121\r\nRepertoireDuLivreDor = mon-livre\r\n");
    start();
    const std::vector<ui::ShownBox> boxes = ui.shownBoxes();
    EXPECT_EQ(boxes.front().text, helpText(runsOnWindows7()));
    EXPECT_EQ(boxes.front().icon, MessageIcon::Information);
    EXPECT_EQ(text(ids::addressField), "ftp.example.fr");
    EXPECT_EQ(text(ids::userField), "jean");
    EXPECT_FALSE(ui.isChecked(frame::mainWindow, ids::passiveBox));
    EXPECT_EQ(text(ids::portField), "2121");
    EXPECT_EQ(text(ids::folderField), "mon-livre");
    EXPECT_EQ(state(), notConnected);

    // "Explications" shows the same box; only the first line differs on Windows 7.
    ui.expectBox("Aide", "Velmo, Navigateur est un outil");
    ASSERT_TRUE(ui.chooseMenu(frame::mainWindow, ids::menuHelp));
    settle();
    EXPECT_EQ(ui.shownBoxes().at(boxes.size()).text, boxes.front().text);
    const std::string first = "retrouver le dossier";
    EXPECT_NE(helpText(false).find(first + "\r\ndans lequel"), std::string::npos);
    EXPECT_NE(helpText(true).find(first + " dans lequel"), std::string::npos);
}

// A whole session against a server that drops idle sessions: a refused login, the rows,
// the folder choice, a failing and a passing test (each after the server dropped the
// session), the settings file's bytes, and "Annuler".
TEST_F(LocatorWindowTest, ConnectChooseTestAndWriteTheSettingsFile) {
    testsupport::PeerOptions idle;
    idle.idleTimeoutSeconds = 2;
    FtpPeer peer(PeerKind::Pyftpdlib, idle);
    const stdfs::path home = peer.home();
    for (const char* f : {"livre-dor", "Livre-dor", "www"}) stdfs::create_directories(home / f);
    for (const char* f : {"livre-dor/livre_lire.php", "livre-dor/livre_signer.php", "Livre-dor/livre_lire.php",
                          "Livre-dor/Livre_signer.php"})
        velmo::testing::writeBytes(home / f, "<?php ?>");
    velmo::testing::writeBytes(home / "index.html", std::string(1234, 'x'));
    start();

    // Blanks around the address and user ID: trimmed to connect, written as they stand.
    const std::string address = " " + peer.host() + "  ", user = peer.user() + " ";
    fillForm(address, user, peer.password() + "x", peer.port(), false);
    ui.expectHeldBox("Avertissement.", "Impossible de se connecter.");
    ASSERT_TRUE(ui.click(frame::mainWindow, ids::connectButton));
    ASSERT_TRUE(ui.waitForHeldBox());
    EXPECT_EQ(ui.heldBox()->text, std::string(suite::connectionErrorText));
    EXPECT_EQ(ui.heldBox()->icon, MessageIcon::Warning);
    EXPECT_EQ(state(), connected);
    ui.releaseBox();
    ASSERT_TRUE(waitForState(notConnected));

    ui.typeText(frame::mainWindow, ids::passwordField, " " + peer.password() + " ");
    ASSERT_TRUE(ui.click(frame::mainWindow, ids::connectButton));
    ASSERT_TRUE(waitForRows(4));
    EXPECT_EQ(rows(), (std::vector<std::string>{"Livre-dor|Dossier|folder", "livre-dor|Dossier|folder",
                                                "www|Dossier|folder", "index.html|1234|file"}));
    EXPECT_EQ(state(), connected);

    // A file row and a double-click outside the rows choose nothing.
    ui.doubleClick(frame::mainWindow, ids::serverList, rowOf("index.html"));
    ui.doubleClick(frame::mainWindow, ids::serverList, -1);
    settle();
    EXPECT_EQ(text(ids::folderField), "");
    EXPECT_EQ(state(), connected);

    // The server logs its replies: one more "421" is one more dropped session.
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
    ASSERT_TRUE(idleDrop()) << peer.serverOutput();
    ASSERT_TRUE(ui.doubleClick(frame::mainWindow, ids::serverList, rowOf("Livre-dor")));
    ASSERT_TRUE(waitForState(folderChosen));
    EXPECT_EQ(text(ids::folderField), "Livre-dor");
    ui.expectBox("Information.", "ne sont pas présents.");
    ASSERT_TRUE(ui.click(frame::mainWindow, ids::testButton));
    settle();
    EXPECT_EQ(ui.shownBoxes().at(ui.shownBoxes().size() - 2).text, folderNotValidText);
    EXPECT_EQ(ui.shownBoxes().at(ui.shownBoxes().size() - 2).icon, MessageIcon::Warning);
    EXPECT_FALSE(hasSettingsFile());

    // A passing test whose file cannot be written says so; once it can, the file holds
    // the form as it stands, without the password.
    stdfs::remove(scratch / "Tools/softwareDatas");
    ASSERT_TRUE(ui.doubleClick(frame::mainWindow, ids::serverList, rowOf("livre-dor")));
    ui.expectBox("Information.", "sont bien présents.");
    ui.expectBox("Attention.", "n'a pas pu être généré");
    ASSERT_TRUE(ui.click(frame::mainWindow, ids::testButton));
    settle();
    EXPECT_FALSE(hasSettingsFile());
    stdfs::create_directory(scratch / "Tools/softwareDatas");
    ASSERT_TRUE(idleDrop()) << "a second drop";
    ui.expectBox("Information.", "sont bien présents.");
    ASSERT_TRUE(ui.click(frame::mainWindow, ids::testButton));
    settle();
    EXPECT_EQ(settingsFile(), "transfert = 1\r\nFTP_adresse = " + address + "\r\nFTP_iDUseur = " + user +
                                  "\r\nFTP_infoChmod = 0\r\nFTP_modeConnexion = 0\r\nFTP_portConnexion = " +
                                  std::to_string(peer.port()) + "\r\nRepertoireDuLivreDor = livre-dor\r\n");
    EXPECT_EQ(state(), folderChosen);
    EXPECT_EQ(rows().size(), 4u);

    ASSERT_TRUE(ui.click(frame::mainWindow, ids::cancelButton));
    ASSERT_TRUE(waitForState(notConnected));
    EXPECT_EQ(rows(), std::vector<std::string>{});
    EXPECT_EQ(text(ids::folderField), "");
    EXPECT_FALSE(ftp::isAlive(locatorSession));
}

// The server's side of a login into "/" and of the start of one LIST.
void scriptLogin(ScriptedServer& s) {
    s.reply("220 ready\r\n").expect("USER jean\r\n").reply("331 password\r\n").expect("PASS secret\r\n");
    s.reply("230 in\r\n").expect("PWD\r\n").reply("257 \"/\" is the current directory\r\n");
}
void scriptListStart(ScriptedServer& s) {
    s.expect("TYPE A\r\n").reply("200 ok\r\n").expect("PASV\r\n").pasv().expect("LIST\r\n").reply("150 here\r\n");
    s.acceptData();
}

// "Annuler" while the listing stalls: the window is not connected at once and stays
// empty when the listing comes in after all; a new "Connexion" to another server waits
// until the old run has let go of the session, and then lists that server alone.
TEST_F(LocatorWindowTest, AnnulerDuringAStalledListingKeepsTheListAndTheSessionConsistent) {
    FtpPeer peer(PeerKind::Vsftpd);
    stdfs::create_directories(stdfs::path(peer.home()) / "livre-dor");
    auto stalled = std::make_unique<ScriptedServer>();
    scriptLogin(*stalled);
    scriptListStart(*stalled);
    stalled->silence(60000).sendData("drwxr-xr-x 2 u u 4096 Jan 01 12:00 late\r\n").reply("226 done\r\n");
    stalled->start();
    start();
    fillForm("127.0.0.1", "jean", "secret", stalled->port());
    ASSERT_TRUE(ui.click(frame::mainWindow, ids::connectButton));
    ASSERT_TRUE(pollUntil([&] { return stalled->received().find("LIST\r\n") != std::string::npos; }));

    ASSERT_TRUE(ui.click(frame::mainWindow, ids::cancelButton));
    ASSERT_TRUE(waitForState(notConnected)) << "Annuler waited for the stalled listing";
    EXPECT_EQ(rows(), std::vector<std::string>{});

    // vsftpd logs every connection it accepts (its start-up check made one).
    const std::string logBefore = peer.serverOutput();
    fillForm(peer.host(), peer.user(), peer.password(), peer.port());
    ASSERT_TRUE(ui.click(frame::mainWindow, ids::connectButton));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // pacing: room for a second thread
    EXPECT_EQ(peer.serverOutput(), logBefore) << "two threads on the session";
    stalled.reset();  // the old listing ends (cut short)
    ASSERT_TRUE(waitForRows(1));
    EXPECT_EQ(rows(), std::vector<std::string>{"livre-dor|Dossier|folder"});
    EXPECT_EQ(state(), connected);
    ASSERT_TRUE(ui.doubleClick(frame::mainWindow, ids::serverList, 0));
    ASSERT_TRUE(waitForState(folderChosen));
}

// "." is never a row, ".." is one but chooses nothing; a listing that fails is said in a
// box and leaves the window not connected with an empty list.
TEST_F(LocatorWindowTest, DotRowsAndFailedListings) {
    const std::string listing = "drwxr-xr-x 2 u u 4096 Jan 01 12:00 .\r\ndrwxr-xr-x 2 u u 4096 Jan 01 12:00 ..\r\n"
                                "drwxr-xr-x 2 u u 4096 Jan 01 12:00 livre-dor\r\n"
                                "-rw-r--r-- 1 u u 10 Jan 01 12:00 index.php\r\n";
    struct Case {
        const char* name;
        std::function<void(ScriptedServer&)> list;
    };
    const std::vector<Case> cases = {
        {"dots", [&](ScriptedServer& s) {
             for (int pass = 0; pass < 2; ++pass) {
                 scriptListStart(s);
                 s.sendData(listing).reply("226 done\r\n");
             }
         }},
        {"refused", [](ScriptedServer& s) {
             s.expect("TYPE A\r\n").reply("200 ok\r\n").expect("PASV\r\n").pasv().expect("LIST\r\n");
             s.reply("550 Permission denied\r\n");
         }},
    };
    start();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedServer server;
        scriptLogin(server);
        c.list(server);
        server.start();
        fillForm("127.0.0.1", "jean", "secret", server.port());
        const bool fails = std::string(c.name) != "dots";
        if (fails) ui.expectBox("Avertissement.", listingFailedText);
        ASSERT_TRUE(ui.click(frame::mainWindow, ids::connectButton));
        if (fails) {
            ASSERT_TRUE(ui.waitUntil([&] { return !ui.unmetExpectations().size(); }));
            ASSERT_TRUE(waitForState(notConnected));
            EXPECT_EQ(rows(), std::vector<std::string>{});
        } else {
            ASSERT_TRUE(waitForRows(3));
            EXPECT_EQ(rows(), (std::vector<std::string>{"..|Dossier|folder", "livre-dor|Dossier|folder",
                                                        "index.php|10|file"}));
            ui.doubleClick(frame::mainWindow, ids::serverList, rowOf(".."));
            settle();
            EXPECT_EQ(state(), connected);
            ASSERT_TRUE(ui.click(frame::mainWindow, ids::cancelButton));
            ASSERT_TRUE(waitForState(notConnected));
        }
        EXPECT_FALSE(ftp::isAlive(locatorSession));
        EXPECT_TRUE(server.finish()) << server.report();
    }
}

}  // namespace
}  // namespace velmo::locator::testing
