// Velmo_Sauvegarde as a user runs it: the real start-up and event loop in a thread of their
// own on the headless UI, the test typing, clicking and answering boxes, against a real
// FTP server on loopback.
#include <thread>

#include "backup/backup_app.h"
#include "backup/backup_tool.h"
#include "backup_harness.h"
#include "tests/support/scripted_server.h"
#include "ui/headless/headless_ui.h"

using namespace velmo;
using namespace velmo::backup;
using namespace velmo::backup::testing;
using testsupport::FtpPeer;
using testsupport::PeerKind;
using ui::MessageBoxResult;

namespace {

class BackupProgram : public ::testing::Test {
protected:
    BackupProgram() { std::filesystem::create_directories(tools.root / "Tools/softwareDatas"); }

    void TearDown() override {
        if (program.joinable()) {  // a test that stopped half-way still ends the program
            ui.closeBox(ids::backupWindow);
            ui.waitUntil([&] { return ui.isWindowEnabled(ids::mainWindow); });
            ui.expectBox("Information.", "Impossible de retourner au menu");
            ui.closeBox(ids::mainWindow);
            program.join();
        }
        waitForWorkers();
        EXPECT_EQ(ui.failures(), std::vector<std::string>{}) << "unexpected message boxes";
        EXPECT_EQ(ui.unmetExpectations(), std::vector<std::string>{});
    }

    void start() {
        tools.enter("Tools");
        program = std::thread([this] { exitCode = runBackupTool(ui); });
        ASSERT_TRUE(ui.waitUntil([&] { return ui.windowExists(ids::mainWindow); }));
    }

    // "Connexion", then the listing of the new window until "Sauvegarder" can be pressed.
    void connectAndList() {
        ASSERT_TRUE(ui.click(ids::mainWindow, ids::connectButton));
        ASSERT_TRUE(ui.waitUntil([&] { return ui.isEnabled(ids::backupWindow, ids::backupButton); }));
        EXPECT_FALSE(ui.isWindowEnabled(ids::mainWindow));
    }

    // Presses "Sauvegarder" and waits for "Fermer".
    void backUp() {
        ASSERT_TRUE(ui.click(ids::backupWindow, ids::backupButton));
        ASSERT_TRUE(ui.waitUntil([&] {
            return ui.getText(ids::backupWindow, ids::backupButton) == closeButtonText &&
                   ui.isEnabled(ids::backupWindow, ids::backupButton);
        }));
    }

    // name -> status of a list, and the row of a name.
    std::map<std::string, std::string> rows(int list) {
        std::map<std::string, std::string> out;
        for (int r = 0; r < ui.rowCount(ids::backupWindow, list); ++r)
            out[ui.getCell(ids::backupWindow, list, r, 0)] = ui.getCell(ids::backupWindow, list, r, 1);
        return out;
    }
    int rowOf(int list, const std::string& name) {
        for (int r = 0; r < ui.rowCount(ids::backupWindow, list); ++r)
            if (ui.getCell(ids::backupWindow, list, r, 0) == name) return r;
        return -1;
    }

    std::string field(int id) { return ui.getText(ids::mainWindow, id); }

    void closeProgram() {
        ui.expectBox("Information.", "Impossible de retourner au menu général.");
        ASSERT_TRUE(ui.closeBox(ids::mainWindow));
        program.join();
        EXPECT_EQ(exitCode, 0);
    }

    velmo::testing::ScratchFolder tools;
    ui::HeadlessUi ui;
    std::thread program;
    int exitCode = -1;
};

}  // namespace

// The form filled from the settings file (the folder typed over is not used), a listing,
// an unticked skin, a backup of the rest with the closing message, "Fermer", and a second
// "Connexion" that lists the server again in a new window.
TEST_F(BackupProgram, ASettingsFileThenAConnectionAListingAndABackup) {
    FtpPeer peer(PeerKind::Pyftpdlib);
    const auto server = guestbookOnServer();
    putOnServer(peer, server);
    ConnectionSettings stored = settingsFor(peer, 0);
    ASSERT_TRUE(saveConnectionSettings(Tool::Locator, stored, (tools.root / "Tools/softwareDatas/config.pcfg").string()));
    start();
    ASSERT_TRUE(ui.waitUntil([&] { return field(ids::folderField) == "livre-dor"; }));  // filled last
    EXPECT_EQ(field(ids::addressField), peer.host());
    EXPECT_EQ(field(ids::userField), peer.user());
    EXPECT_EQ(field(ids::passwordField), "");
    EXPECT_EQ(field(ids::portField), std::to_string(peer.port()));
    EXPECT_FALSE(ui.isChecked(ids::mainWindow, ids::passiveBox));

    ASSERT_TRUE(ui.typeText(ids::mainWindow, ids::passwordField, " " + peer.password() + " "));
    ASSERT_TRUE(ui.typeText(ids::mainWindow, ids::folderField, "autre-dossier"));
    connectAndList();
    EXPECT_EQ(rows(ids::skinsList), (std::map<std::string, std::string>{{"bleu", notSavedStatus}, {"rouge", notSavedStatus}}));
    EXPECT_EQ(rows(ids::filesList), (std::map<std::string, std::string>{{"livre.txt", notSavedStatus}, {"mdp.php", notSavedStatus}}));
    ASSERT_TRUE(ui.tickRow(ids::backupWindow, ids::skinsList, rowOf(ids::skinsList, "rouge"), false));

    ui.expectBox("Information.", "Les fichiers ont bien été sauvegardés.\r\n\r\nLe dossier s'appelle : sauvegarde_");
    backUp();
    EXPECT_EQ(rows(ids::skinsList),
              (std::map<std::string, std::string>{{"bleu", "3 fichier(s) sauvegardé(s)."}, {"rouge", notSavedStatus}}));
    EXPECT_EQ(rows(ids::filesList), (std::map<std::string, std::string>{{"livre.txt", savedStatus}, {"mdp.php", savedStatus}}));
    EXPECT_EQ(ui.shownBoxes().back().icon, ui::MessageIcon::Information);
    auto wanted = wholeBackup();
    std::erase_if(wanted, [](const auto& f) { return f.first.starts_with("skins/rouge/"); });
    const stdfs::directory_iterator backups(tools.root / "Tools/sauvegardes");
    ASSERT_NE(backups, stdfs::directory_iterator());
    expectSameTree(treeOf(backups->path()), expectedTree(wanted, server));

    ASSERT_TRUE(ui.click(ids::backupWindow, ids::backupButton));  // "Fermer"
    ASSERT_TRUE(ui.waitUntil([&] { return !ui.windowExists(ids::backupWindow) && ui.isWindowEnabled(ids::mainWindow); }));
    connectAndList();
    EXPECT_EQ(rows(ids::skinsList).size(), 2u);
    ASSERT_TRUE(ui.closeBox(ids::backupWindow));
    ASSERT_TRUE(ui.waitUntil([&] { return !ui.windowExists(ids::backupWindow) && ui.isWindowEnabled(ids::mainWindow); }));
    closeProgram();
}

// Without a settings file the program says so and the folder is empty (the guestbook is
// then looked for at the server's root). A failed login closes its backup window by
// itself. A login that fails after its window was closed stays silent and never closes
// the window opened after it.
TEST_F(BackupProgram, AFailedLoginClosesItsOwnWindowAndNoLaterOne) {
    FtpPeer peer(PeerKind::Pyftpdlib);
    std::map<std::string, std::string> atRoot;
    for (const auto& [path, bytes] : guestbookOnServer()) atRoot[path.substr(std::string("livre-dor/").size())] = bytes;
    putOnServer(peer, atRoot);
    ui.expectBox("Attention", "Le fichier contenant vos paramètres de connexion n'existe pas.");
    start();
    ASSERT_TRUE(ui.waitUntil([&] { return ui.shownBoxes().size() == 1; }));
    EXPECT_EQ(ui.shownBoxes()[0].icon, ui::MessageIcon::Error);
    EXPECT_EQ(field(ids::folderField), "");
    EXPECT_FALSE(ui.isChecked(ids::mainWindow, ids::passiveBox));

    ui.typeText(ids::mainWindow, ids::addressField, peer.host());
    ui.typeText(ids::mainWindow, ids::userField, peer.user());
    ui.typeText(ids::mainWindow, ids::passwordField, "faux");
    ui.typeText(ids::mainWindow, ids::portField, std::to_string(peer.port()));
    ui.click(ids::mainWindow, ids::passiveBox);
    ui.expectBox("Avertissement.", "Impossible de se connecter.\r\n\r\nRaisons possibles :");
    ASSERT_TRUE(ui.click(ids::mainWindow, ids::connectButton));
    ASSERT_TRUE(ui.waitUntil([&] { return ui.shownBoxes().size() == 2 && !ui.windowExists(ids::backupWindow); },
                             std::chrono::seconds(30)));
    ASSERT_TRUE(ui.waitUntil([&] { return ui.isWindowEnabled(ids::mainWindow); }));
    EXPECT_EQ(field(ids::passwordField), "faux");

    // A host slow to refuse the login: its window is closed meanwhile, and the next one
    // goes to the real server.
    testsupport::ScriptedServer slowHost;
    slowHost.reply("220 lent\r\n").expect("USER lent\r\n").reply("331 ok\r\n").expect("PASS faux\r\n");
    slowHost.silence(1500).reply("530 non\r\n");
    slowHost.start();
    ui.typeText(ids::mainWindow, ids::userField, "lent");
    ui.typeText(ids::mainWindow, ids::portField, std::to_string(slowHost.port()));
    ASSERT_TRUE(ui.click(ids::mainWindow, ids::connectButton));
    ASSERT_TRUE(ui.waitUntil([&] { return ui.windowExists(ids::backupWindow); }));
    ASSERT_TRUE(ui.closeBox(ids::backupWindow));
    ASSERT_TRUE(ui.waitUntil([&] { return ui.isWindowEnabled(ids::mainWindow); }));
    ui.typeText(ids::mainWindow, ids::userField, peer.user());
    ui.typeText(ids::mainWindow, ids::passwordField, peer.password());
    ui.typeText(ids::mainWindow, ids::portField, std::to_string(peer.port()));
    connectAndList();
    ui.expectBox("Information.", "Les fichiers ont bien été sauvegardés.");
    backUp();
    EXPECT_TRUE(ui.windowExists(ids::backupWindow));
    EXPECT_EQ(rows(ids::filesList), (std::map<std::string, std::string>{{"livre.txt", savedStatus}, {"mdp.php", savedStatus}}));
    EXPECT_EQ(ui.shownBoxes().size(), 3u);
    EXPECT_TRUE(slowHost.finish()) << slowHost.report();
    ASSERT_TRUE(ui.click(ids::backupWindow, ids::backupButton));  // "Fermer"
    ASSERT_TRUE(ui.waitUntil([&] { return ui.isWindowEnabled(ids::mainWindow); }));
    closeProgram();
}
