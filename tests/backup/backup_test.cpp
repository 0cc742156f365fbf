// Velmo_Sauvegarde as a user runs it: the real start-up, event loop and workers on the
// headless UI, the test typing, ticking, clicking and answering boxes, against real FTP
// servers on loopback holding an installed guestbook. What must arrive on the local disk
// is compared byte for byte with the server's files.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <string>

#include "backup/window/backup_app.h"
#include "backup/window/backup_tool.h"
#include "ftp/control_channel.h"
#include "platform/clock.h"
#include "tests/support/ftp_peers.h"
#include "tests/support/program_thread.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/scripted_server.h"
#include "tests/support/tools_tls.h"
#include "ui/headless/headless_ui.h"

using namespace velmo;
using namespace velmo::backup;
using testsupport::FtpPeer;
using testsupport::PeerKind;
namespace stdfs = std::filesystem;
using Files = std::map<std::string, std::string>;  // path -> bytes ("" for a folder "name/")

namespace {

// Bytes a text-mode transfer or a short read would damage (CR, LF, NUL, high bytes),
// several 4096-byte chunks long for the larger files.
std::string contentOf(const std::string& name, std::size_t size) {
    std::string data = "<?php // " + name + " ?>\r\n";
    for (std::size_t i = 0; data.size() < size; ++i)
        data += static_cast<char>((i * 131 + name.size() * 7 + (i >> 9)) & 0xFF);
    return data;
}

// An installed guestbook in livre-dor: two skins with settings, images, "index.php", a
// "Thumbs.db" and a sub-folder of old images; a file beside the skins; the personal files
// with "index.php", "code_ecrit.php" and the sub-folder "save".
Files guestbookOnServer() {
    Files f;
    auto add = [&](const std::string& path, std::size_t size) { f["livre-dor/" + path] = contentOf(path, size); };
    add("livre_lire.php", 300);
    add("skins/index.php", 120);
    for (const std::string s : {"skins/bleu/", "skins/rouge/"}) {
        add(s + "cfg_variables.php", 2500);
        add(s + "style.css", 800);
        add(s + "imgs/fond.gif", 9000);
        add(s + "imgs/index.php", 90);
        add(s + "imgs/anciennes/fond_2009.gif", 700);
    }
    add("skins/bleu/imgs/coin gauche.png", 5000);
    add("skins/bleu/imgs/Thumbs.db", 1024);
    for (const char* name : {"index.php", "code_ecrit.php", "mdp.php", "save/sauvegarde_livre.txt"}) add("chmod_perso/" + std::string(name), 300);
    add("chmod_perso/livre.txt", 70000);
    return f;
}

// What a whole backup of it holds: local path -> server path.
std::map<std::string, std::string> wholeBackup() {
    std::map<std::string, std::string> m;
    for (const char* p : {"skins/bleu/cfg_variables.php", "skins/bleu/imgs/fond.gif", "skins/bleu/imgs/coin gauche.png",
                          "skins/rouge/cfg_variables.php", "skins/rouge/imgs/fond.gif", "chmod_perso/livre.txt",
                          "chmod_perso/mdp.php"})
        m[p] = "livre-dor/" + std::string(p);
    return m;
}

void putOnServer(const FtpPeer& peer, const Files& files) {
    for (const auto& [path, bytes] : files) {
        stdfs::create_directories((stdfs::path(peer.home()) / path).parent_path());
        velmo::testing::writeBytes(stdfs::path(peer.home()) / path, bytes);
    }
}

Files treeOf(const stdfs::path& root) {
    Files out;
    for (const auto& e : stdfs::recursive_directory_iterator(root)) {
        const std::string rel = stdfs::relative(e.path(), root).generic_string();
        out[e.is_directory() ? rel + "/" : rel] = e.is_directory() ? "" : velmo::testing::readBytes(e.path());
    }
    return out;
}

// The files of `wanted` (local -> server path) with the server's bytes, their folders and
// `emptyFolders`.
Files expectedTree(const std::map<std::string, std::string>& wanted, const Files& server,
                   std::set<std::string> emptyFolders = {}) {
    Files out;
    for (const std::string& f : emptyFolders) out[f] = "";
    for (const auto& [local, remote] : wanted) {
        out[local] = server.at(remote);
        for (stdfs::path p = stdfs::path(local).parent_path(); !p.empty(); p = p.parent_path())
            out[p.generic_string() + "/"] = "";
    }
    return out;
}

// Same paths and bytes; a failure names the paths, never dumps the bytes.
void expectSameTree(const Files& got, const Files& want) {
    std::set<std::string> gotPaths, wantPaths, differing;
    for (const auto& entry : got) gotPaths.insert(entry.first);
    for (const auto& [path, bytes] : want) {
        wantPaths.insert(path);
        if (got.contains(path) && got.at(path) != bytes) differing.insert(path);
    }
    EXPECT_EQ(gotPaths, wantPaths);
    EXPECT_EQ(differing, std::set<std::string>{}) << "files whose bytes differ from the server's";
}

using Rows = std::map<std::string, std::string>;  // name -> status
const char* const allSaved = "Les fichiers ont bien été sauvegardés.";

class BackupProgram : public ::testing::Test {
protected:
    BackupProgram() { stdfs::create_directories(tools.root / "Tools/softwareDatas"); }

    void TearDown() override {
        if (program.running()) {  // a test that stopped half-way still ends the program
            ui.closeBox(ids::backupWindow);
            ui.waitUntil([&] { return ui.isWindowEnabled(ids::mainWindow); });
            closeProgram();
        }
        velmo::testing::expectWorkersEnded();
        velmo::testing::expectBoxScriptMet(ui);
        // A box is modal for the program's windows only when their own thread shows it;
        // a worker's box would leave them usable under it.
        for (const ui::ShownBox& box : ui.shownBoxes())
            EXPECT_EQ(box.thread, program.lastThreadId()) << "box \"" << box.title << "\" shown by a worker";
    }

    // The settings file as the folder locator leaves it, then the program started.
    void startWithSettings(const FtpPeer& peer, int passive = 1) {
        startWithSettings(ConnectionSettings{peer.host(), peer.user(), "", "livre-dor", 0, passive, peer.port()});
    }
    void startWithSettings(const ConnectionSettings& s) {
        ASSERT_TRUE(saveConnectionSettings(Tool::Locator, s, (tools.root / "Tools/softwareDatas/config.pcfg").string()));
        start();
        ASSERT_TRUE(ui.waitUntil([&] { return field(ids::folderField) == "livre-dor"; }));  // filled last
    }
    void start() {
        tools.enter("Tools");
        ASSERT_TRUE(program.start([this] { return runBackupTool(ui); }));
    }

    // "Connexion" with the password, until the listing lets "Sauvegarder" be pressed.
    void connect(const std::string& password) {
        ui.typeText(ids::mainWindow, ids::passwordField, password);
        ASSERT_TRUE(ui.click(ids::mainWindow, ids::connectButton));
        ASSERT_TRUE(ui.waitUntil([&] { return ui.isEnabled(ids::backupWindow, ids::backupButton); }));
        EXPECT_FALSE(ui.isWindowEnabled(ids::mainWindow));
    }
    // "Sauvegarder", the closing box (expected beforehand) and "Fermer"; the box's text.
    std::string backUp() {
        EXPECT_TRUE(ui.click(ids::backupWindow, ids::backupButton));
        EXPECT_TRUE(ui.waitUntil([&] {
            return ui.getText(ids::backupWindow, ids::backupButton) == closeButtonText &&
                   ui.isEnabled(ids::backupWindow, ids::backupButton);
        }));
        return ui.shownBoxes().back().text;
    }
    void pressClose() {
        ASSERT_TRUE(ui.click(ids::backupWindow, ids::backupButton));
        ASSERT_TRUE(ui.waitUntil([&] { return !ui.windowExists(ids::backupWindow) && ui.isWindowEnabled(ids::mainWindow); }));
    }
    void closeProgram() {
        ASSERT_TRUE(program.closeWithoutLauncher());
        EXPECT_EQ(program.exitCode(), 0);
    }

    Rows rows(int list) {
        Rows out;
        for (int r = 0; r < ui.rowCount(ids::backupWindow, list); ++r)
            out[ui.getCell(ids::backupWindow, list, r, 0)] = ui.getCell(ids::backupWindow, list, r, 1);
        return out;
    }
    void untick(int list, const std::string& name, bool ticked = false) {
        for (int r = 0; r < ui.rowCount(ids::backupWindow, list); ++r)
            if (ui.getCell(ids::backupWindow, list, r, 0) == name) {
                ASSERT_TRUE(ui.tickRow(ids::backupWindow, list, r, ticked));
            }
    }
    std::string field(int id) { return ui.getText(ids::mainWindow, id); }
    // The backup folders in sauvegardes, in the order they were made (by name: the
    // time stamp, then "_2", "_3"... within one second).
    std::vector<stdfs::path> backupFolders() {
        std::set<stdfs::path> found;
        for (const auto& e : stdfs::directory_iterator(tools.root / "Tools/sauvegardes")) found.insert(e.path());
        return {found.begin(), found.end()};
    }
    // True while the download of `relative` (in the first backup folder) is under way or
    // saved: its file is made once the server has started sending it, and removed again
    // when the download is given up.
    bool downloadSeen(const std::string& relative) {
        std::error_code ec;
        if (!stdfs::is_directory(tools.root / "Tools/sauvegardes", ec)) return false;
        const std::vector<stdfs::path> folders = backupFolders();
        return !folders.empty() && stdfs::exists(folders.front() / relative, ec);
    }

    velmo::testing::ScratchFolder tools;
    ui::HeadlessUi ui;
    velmo::testing::ProgramThread program{ui, ids::mainWindow};
};

struct Peer {
    PeerKind kind;
    int passive;
};

class WholeBackup : public BackupProgram, public ::testing::WithParamInterface<Peer> {};

}  // namespace

// The form from the settings file (a folder typed over it is not used), the lists as the
// server has them, a backup of everything into a folder named after its start (with the
// missing "sauvegardes" made), every file with the server's bytes and nothing else.
TEST_P(WholeBackup, BringsHomeEverySkinAndPersonalFileByteForByte) {
    FtpPeer peer(GetParam().kind);
    const Files server = guestbookOnServer();
    putOnServer(peer, server);
    startWithSettings(peer, GetParam().passive);
    EXPECT_EQ(field(ids::addressField) + " " + field(ids::userField) + " " + field(ids::portField),
              peer.host() + " " + peer.user() + " " + std::to_string(peer.port()));
    EXPECT_EQ(ui.isChecked(ids::mainWindow, ids::passiveBox), GetParam().passive == 1);
    ui.typeText(ids::mainWindow, ids::folderField, "autre-dossier");
    connect(" " + peer.password() + " ");
    EXPECT_EQ(rows(ids::skinsList), (Rows{{"bleu", notSavedStatus}, {"rouge", notSavedStatus}}));
    EXPECT_EQ(rows(ids::filesList), (Rows{{"livre.txt", notSavedStatus}, {"mdp.php", notSavedStatus}}));

    ui.expectBox("Information.", allSaved);
    const std::string summary = backUp();
    EXPECT_EQ(rows(ids::skinsList), (Rows{{"bleu", "3 fichier(s) sauvegardé(s)."}, {"rouge", "2 fichier(s) sauvegardé(s)."}}));
    EXPECT_EQ(rows(ids::filesList), (Rows{{"livre.txt", savedStatus}, {"mdp.php", savedStatus}}));
    const auto folders = backupFolders();
    ASSERT_EQ(folders.size(), 1u);
    const std::string name = folders[0].filename().string();
    EXPECT_TRUE(std::regex_match(name, std::regex("sauvegarde_20[0-9]{2}(_[0-9]{2}){2}__[0-9]{2}(_[0-9]{2}){2}"))) << name;
    EXPECT_EQ(summary.rfind(std::string(allSaved) + "\r\n\r\nLe dossier s'appelle : " + name + "\r\n", 0), 0u);
    EXPECT_EQ(ui.shownBoxes().back().icon, ui::MessageIcon::Information);
    expectSameTree(treeOf(folders[0]), expectedTree(wholeBackup(), server));
    pressClose();
    closeProgram();
}

INSTANTIATE_TEST_SUITE_P(Peers, WholeBackup,
                         ::testing::Values(Peer{PeerKind::Pyftpdlib, 1}, Peer{PeerKind::Pyftpdlib, 0},
                                           Peer{PeerKind::Vsftpd, 1}, Peer{PeerKind::PureFtpd, 1},
                                           Peer{PeerKind::Proftpd, 0}),
                         [](const auto& info) {
                             return std::string(testsupport::peerKindName(info.param.kind)) +
                                    (info.param.passive ? "_passive" : "_active");
                         });

// A server that takes only encrypted logins, with a certificate no authority signed: the
// question comes before anything is sent, its Yes is kept in the known-servers file the
// tools share, every file arrives byte for byte over the encrypted data connections, and
// the next "Connexion" asks nothing more.
TEST_F(BackupProgram, BacksUpFromATlsOnlyServerOnceItsCertificateIsTrusted) {
    const testsupport::ToolsTls tls;
    const auto peer = tls.peer(PeerKind::PureFtpd, testsupport::PeerOptions::Tls::Required);
    const Files server = guestbookOnServer();
    putOnServer(*peer, server);
    startWithSettings(*peer);
    ui.expectBox(testsupport::certificateQuestionTitle, testsupport::certificateQuestionStart(*peer),
                 ui::MessageBoxResult::Yes);
    connect(peer->password());
    EXPECT_EQ(testsupport::knownServer(tools.root / "Tools", *peer), (KnownServer{true, tls.selfSignedDer()}));
    ui.expectBox("Information.", allSaved);
    backUp();
    const auto folders = backupFolders();
    ASSERT_EQ(folders.size(), 1u);
    expectSameTree(treeOf(folders[0]), expectedTree(wholeBackup(), server));
    pressClose();
    connect(peer->password());  // no second question: the box script would fail
    EXPECT_EQ(rows(ids::filesList), (Rows{{"livre.txt", notSavedStatus}, {"mdp.php", notSavedStatus}}));
    ASSERT_TRUE(ui.closeBox(ids::backupWindow));
    ASSERT_TRUE(ui.waitUntil([&] { return !ui.windowExists(ids::backupWindow) && ui.isWindowEnabled(ids::mainWindow); }));
    closeProgram();
}

// Unticked rows are left alone (no download, no folder for the skin, status kept). After
// "Fermer", "Connexion" lists the server again in a new window; a backup with every row
// unticked still makes its own folder and says all went well.
TEST_F(BackupProgram, UntickedRowsAreLeftAloneAndEachBackupHasAFolderOfItsOwn) {
    FtpPeer peer(PeerKind::Pyftpdlib);
    const Files server = guestbookOnServer();
    putOnServer(peer, server);
    startWithSettings(peer);
    connect(peer.password());
    untick(ids::skinsList, "rouge");
    untick(ids::filesList, "mdp.php");
    ui.expectBox("Information.", allSaved);
    backUp();
    EXPECT_EQ(rows(ids::skinsList), (Rows{{"bleu", "3 fichier(s) sauvegardé(s)."}, {"rouge", notSavedStatus}}));
    EXPECT_EQ(rows(ids::filesList), (Rows{{"livre.txt", savedStatus}, {"mdp.php", notSavedStatus}}));
    pressClose();

    connect(peer.password());
    EXPECT_EQ(rows(ids::skinsList).size(), 2u);
    for (int list : {ids::skinsList, ids::filesList})
        for (int r = 0; r < 2; ++r) ui.tickRow(ids::backupWindow, list, r, false);
    ui.expectBox("Information.", allSaved);
    backUp();
    pressClose();

    auto wanted = wholeBackup();
    std::erase_if(wanted, [](const auto& f) { return f.first.starts_with("skins/rouge/") || f.first.ends_with("mdp.php"); });
    const auto folders = backupFolders();
    ASSERT_EQ(folders.size(), 2u);
    expectSameTree(treeOf(folders[0]), expectedTree(wanted, server));
    expectSameTree(treeOf(folders[1]), Files{{"chmod_perso/", ""}});
    closeProgram();
}

// A skin has lost its settings file; between the listing and the backup a personal file
// and a whole skin vanish from the server; the local disk refuses to hold a large file; a
// name would put its file outside the backup folder. None counts as saved, none leaves a
// file behind, each row says it failed, and the closing message counts them.
TEST_F(BackupProgram, FilesThatCannotBeSavedAreNeitherCountedNorLeftHalfWritten) {
    FtpPeer peer(PeerKind::Pyftpdlib);  // it lists names that begin with a dot
    Files server = guestbookOnServer();
    server["livre-dor/skins/vert/cfg_variables.php"] = contentOf("vert", 100);
    server["livre-dor/chmod_perso/..\\mdp.php"] = contentOf("ailleurs", 100);
    server["livre-dor/chmod_perso/livre.txt"] = contentOf("livre", 300000);
    putOnServer(peer, server);
    stdfs::remove(stdfs::path(peer.home()) / "livre-dor/skins/rouge/cfg_variables.php");
    startWithSettings(peer);
    connect(peer.password());
    stdfs::remove(stdfs::path(peer.home()) / "livre-dor/chmod_perso/mdp.php");
    stdfs::remove_all(stdfs::path(peer.home()) / "livre-dor/skins/vert");

    // A full disk, as root meets one: no file may grow past 64 KiB during the backup.
    rlimit previous{};
    getrlimit(RLIMIT_FSIZE, &previous);
    rlimit small = previous;
    small.rlim_cur = 64 * 1024;
    const auto previousHandler = signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &small);
    ui.expectBox("Avertissement.", "La sauvegarde n'est pas complète.");
    const std::string summary = backUp();
    setrlimit(RLIMIT_FSIZE, &previous);
    signal(SIGXFSZ, previousHandler);

    EXPECT_EQ(rows(ids::skinsList), (Rows{{"bleu", "3 fichier(s) sauvegardé(s)."},
                                          {"rouge", "1 sauvegardé(s), 1 échec(s)."},
                                          {"vert", failedStatus}}));
    EXPECT_EQ(rows(ids::filesList), (Rows{{"livre.txt", failedStatus}, {"mdp.php", failedStatus}, {"..\\mdp.php", failedStatus}}));
    const auto folders = backupFolders();
    ASSERT_EQ(folders.size(), 1u);
    auto wanted = wholeBackup();
    for (const char* gone : {"skins/rouge/cfg_variables.php", "chmod_perso/mdp.php", "chmod_perso/livre.txt"}) wanted.erase(gone);
    expectSameTree(treeOf(folders[0]), expectedTree(wanted, server, {"chmod_perso/"}));
    EXPECT_EQ(summary, "La sauvegarde n'est pas complète.\r\n\r\n"
                       "5 fichiers n'ont pas pu être sauvegardés.\r\n1 dossier d'images n'a pas pu être lu.\r\n\r\n"
                       "4 fichiers ont été sauvegardés dans le dossier : " + folders[0].filename().string() + "\r\n\r\n"
                       "Pour réessayer, cliquez sur le bouton \"Fermer\" et ensuite reconnectez-vous.\r\n"
                       "Un nouveau dossier sera créé : cette sauvegarde ne sera pas écrasée.\r\n");
    EXPECT_EQ(ui.shownBoxes().back().icon, ui::MessageIcon::Warning);
}

// The server goes away after the listing: the reconnection fails, every file fails, and
// the closing message says that nothing was saved.
TEST_F(BackupProgram, ABackupInWhichEverythingFailedSaysSo) {
    std::optional<FtpPeer> peer(std::in_place, PeerKind::Vsftpd);
    putOnServer(*peer, guestbookOnServer());
    startWithSettings(*peer);
    connect(peer->password());
    peer.reset();
    ui.expectBox("Attention", "Aucun fichier n'a pu être sauvegardé.");
    const std::string summary = backUp();
    EXPECT_EQ(summary.rfind("Aucun fichier n'a pu être sauvegardé.\r\n\r\n4 fichiers n'ont pas pu être sauvegardés.\r\n"
                            "2 dossiers d'images n'ont pas pu être lus.\r\n", 0),
              0u)
        << summary;
    EXPECT_EQ(ui.shownBoxes().back().icon, ui::MessageIcon::Error);
    EXPECT_EQ(rows(ids::skinsList), (Rows{{"bleu", failedStatus}, {"rouge", failedStatus}}));
    EXPECT_EQ(rows(ids::filesList), (Rows{{"livre.txt", failedStatus}, {"mdp.php", failedStatus}}));
}

// A personal file the server refuses to send (it may not read it): not saved, and said.
TEST_F(BackupProgram, AFileTheServerRefusesIsNotSaved) {
    FtpPeer peer(PeerKind::Vsftpd);  // runs unprivileged
    const Files server = guestbookOnServer();
    putOnServer(peer, server);
    stdfs::permissions(stdfs::path(peer.home()) / "livre-dor/chmod_perso/mdp.php", stdfs::perms::none);
    startWithSettings(peer);
    connect(peer.password());
    ui.expectBox("Avertissement.", "La sauvegarde n'est pas complète.\r\n\r\n1 fichier n'a pas pu être sauvegardé.");
    backUp();
    EXPECT_EQ(rows(ids::filesList), (Rows{{"livre.txt", savedStatus}, {"mdp.php", failedStatus}}));
    auto wanted = wholeBackup();
    wanted.erase("chmod_perso/mdp.php");
    expectSameTree(treeOf(backupFolders().at(0)), expectedTree(wanted, server));
}

// The server's side of "CWD /", "CWD livre-dor/chmod_perso" and a passive LIST up to its
// data, in a scripted conversation.
testsupport::ScriptedServer& listChmodPerso(testsupport::ScriptedServer& host, const std::string& listing) {
    host.expect("CWD /\r\n").reply("250 ok\r\n").expect("CWD livre-dor/chmod_perso\r\n").reply("250 ok\r\n");
    host.expect("TYPE A\r\n").reply("200 ok\r\n").expect("PASV\r\n").pasv().expect("LIST\r\n").reply("150 ok\r\n");
    return host.acceptData().sendData(listing);
}

// The listing of the personal files is cut by the server: no list passes for the whole
// guestbook, the user is told, and the window closes.
TEST_F(BackupProgram, AListingCutShortIsSaidAndClosesTheWindow) {
    testsupport::ScriptedServer host;
    host.reply("220 ok\r\n").expect("AUTH TLS\r\n").reply("500 AUTH non reconnu\r\n").expect("USER velmo\r\n").reply("331 ok\r\n").expect("PASS secret\r\n").reply("230 ok\r\n");
    host.expect("PWD\r\n").reply("257 \"/\"\r\n");
    host.expect("CWD /\r\n").reply("250 ok\r\n").expect("CWD livre-dor/skins\r\n").reply("550 absent\r\n");
    host.expect("PWD\r\n").reply("257 \"/\"\r\n");
    listChmodPerso(host, "-rw-r--r-- 1 web web 7 Jan 1 12:00 livre.txt\r\n").reply("426 Connexion interrompue\r\n");
    host.start();
    startWithSettings(ConnectionSettings{"127.0.0.1", "velmo", "", "livre-dor", 0, 1, host.port()});
    ui.expectBox("Avertissement.", "La liste des skins et des fichiers n'a pas pu être lue en entier.");
    ui.typeText(ids::mainWindow, ids::passwordField, "secret");
    ASSERT_TRUE(ui.click(ids::mainWindow, ids::connectButton));
    ASSERT_TRUE(ui.waitUntil([&] { return ui.shownBoxes().size() == 1 && !ui.windowExists(ids::backupWindow); }));
    ASSERT_TRUE(ui.waitUntil([&] { return ui.isWindowEnabled(ids::mainWindow); }));
    EXPECT_FALSE(stdfs::exists(tools.root / "Tools/sauvegardes"));
    EXPECT_TRUE(host.finish()) << host.report();
}

// Every byte of the file arrives, and then the server says the transfer failed: the file
// is not saved, and the copy that arrived is not left in the backup.
TEST_F(BackupProgram, ADownloadEndedByAFailureReplyIsNotKept) {
    testsupport::ScriptedServer host;
    host.reply("220 ok\r\n").expect("AUTH TLS\r\n").reply("500 AUTH non reconnu\r\n").expect("USER velmo\r\n").reply("331 ok\r\n").expect("PASS secret\r\n").reply("230 ok\r\n");
    host.expect("PWD\r\n").reply("257 \"/\"\r\n");
    host.expect("CWD /\r\n").reply("250 ok\r\n").expect("CWD livre-dor/skins\r\n").reply("550 absent\r\n");
    host.expect("PWD\r\n").reply("257 \"/\"\r\n");  // still there: the folder is missing
    listChmodPerso(host, "-rw-r--r-- 1 web web 7 Jan 1 12:00 livre.txt\r\n").reply("226 ok\r\n");
    host.expect("PWD\r\n").reply("257 \"/\"\r\n");  // "Sauvegarder"
    host.expect("CWD /\r\n").reply("250 ok\r\n").expect("CWD livre-dor/chmod_perso\r\n").reply("250 ok\r\n");
    host.expect("TYPE I\r\n").reply("200 ok\r\n").expect("PASV\r\n").pasv().expect("RETR livre.txt\r\n").reply("150 ok\r\n").acceptData();
    host.sendData("1||Léa\n").reply("451 Erreur locale\r\n");
    host.start();
    startWithSettings(ConnectionSettings{"127.0.0.1", "velmo", "", "livre-dor", 0, 1, host.port()});
    connect("secret");
    ui.expectBox("Attention", "Aucun fichier n'a pu être sauvegardé.\r\n\r\n1 fichier n'a pas pu être sauvegardé.");
    backUp();
    EXPECT_EQ(rows(ids::filesList), (Rows{{"livre.txt", failedStatus}}));
    expectSameTree(treeOf(backupFolders().at(0)), Files{{"chmod_perso/", ""}});
    EXPECT_TRUE(host.finish()) << host.report();
}

class DroppedSession : public BackupProgram, public ::testing::WithParamInterface<PeerKind> {};

// The user looked at the lists until the server dropped the idle session: "Sauvegarder"
// logs in again and saves everything.
TEST_P(DroppedSession, IsReopenedBeforeTheBackup) {
    FtpPeer peer(GetParam(), testsupport::PeerOptions{2, {}, true});
    const Files server = guestbookOnServer();
    putOnServer(peer, server);
    startWithSettings(peer);
    connect(peer.password());
    // A session of our own, opened after the program's, is dropped after it.
    ftp::ControlChannel witness(5000);
    ASSERT_TRUE(witness.connect(peer.host(), peer.port()));
    ASSERT_EQ(witness.login(peer.user(), peer.password()), ftp::CommandAccepted);
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (ftp::replyCode(witness.readReply(100)) != "421")
        ASSERT_LT(std::chrono::steady_clock::now(), limit) << "the server never dropped an idle session";

    ui.expectBox("Information.", allSaved);
    backUp();
    expectSameTree(treeOf(backupFolders().at(0)), expectedTree(wholeBackup(), server));
}

INSTANTIATE_TEST_SUITE_P(Peers, DroppedSession, ::testing::ValuesIn(testsupport::peerKindsWithIdleSeconds()),
                         [](const auto& info) { return std::string(testsupport::peerKindName(info.param)); });

// Without a settings file the program says so and the folder is empty (the guestbook is
// then looked for at the server's root). A failed login closes its own window. A login
// that fails after its window was closed stays silent and never closes a later window.
TEST_F(BackupProgram, AFailedLoginClosesItsOwnWindowAndNoLaterOne) {
    FtpPeer peer(PeerKind::Pyftpdlib);
    Files atRoot;
    for (const auto& [path, bytes] : guestbookOnServer()) atRoot[path.substr(std::string("livre-dor/").size())] = bytes;
    putOnServer(peer, atRoot);
    ui.expectBox("Attention", "Le fichier contenant vos paramètres de connexion n'existe pas.");
    start();
    ASSERT_TRUE(ui.waitUntil([&] { return ui.shownBoxes().size() == 1; }));
    EXPECT_EQ(ui.shownBoxes()[0].icon, ui::MessageIcon::Error);
    EXPECT_EQ(field(ids::folderField) + field(ids::portField), "");
    EXPECT_FALSE(ui.isChecked(ids::mainWindow, ids::passiveBox));
    ASSERT_TRUE(ui.chooseMenu(ids::mainWindow, ids::menuAbout));
    ASSERT_TRUE(ui.waitUntil([&] { return ui.windowExists(ids::aboutWindow); }));
    EXPECT_EQ(ui.getText(ids::aboutWindow, 41), "Velmo, Sauvegarde - Version : 1.0.1");
    ASSERT_TRUE(ui.closeBox(ids::aboutWindow));
    ASSERT_TRUE(ui.waitUntil([&] { return ui.isWindowEnabled(ids::mainWindow); }));

    ui.typeText(ids::mainWindow, ids::addressField, peer.host());
    ui.typeText(ids::mainWindow, ids::userField, peer.user());
    ui.typeText(ids::mainWindow, ids::portField, std::to_string(peer.port()));
    ui.click(ids::mainWindow, ids::passiveBox);
    ui.typeText(ids::mainWindow, ids::passwordField, "faux");
    ui.expectBox("Avertissement.", "Impossible de se connecter.\r\n\r\nRaisons possibles :");
    ASSERT_TRUE(ui.click(ids::mainWindow, ids::connectButton));
    ASSERT_TRUE(ui.waitUntil([&] { return ui.shownBoxes().size() == 2 && !ui.windowExists(ids::backupWindow); }));
    ASSERT_TRUE(ui.waitUntil([&] { return ui.isWindowEnabled(ids::mainWindow); }));
    EXPECT_EQ(field(ids::passwordField), "faux");

    // A host slow to refuse: its window is closed meanwhile; the next one goes to the peer.
    testsupport::ScriptedServer slowHost;
    slowHost.reply("220 lent\r\n").expect("AUTH TLS\r\n").reply("500 AUTH non reconnu\r\n").expect("USER lent\r\n").reply("331 ok\r\n").expect("PASS faux\r\n");
    slowHost.silence(1500).reply("530 non\r\n");
    slowHost.start();
    ui.typeText(ids::mainWindow, ids::userField, "lent");
    ui.typeText(ids::mainWindow, ids::portField, std::to_string(slowHost.port()));
    ASSERT_TRUE(ui.click(ids::mainWindow, ids::connectButton));
    ASSERT_TRUE(ui.waitUntil([&] { return ui.windowExists(ids::backupWindow); }));
    ASSERT_TRUE(ui.closeBox(ids::backupWindow));
    ASSERT_TRUE(ui.waitUntil([&] { return ui.isWindowEnabled(ids::mainWindow); }));
    ui.typeText(ids::mainWindow, ids::userField, peer.user());
    ui.typeText(ids::mainWindow, ids::portField, std::to_string(peer.port()));
    connect(peer.password());
    ui.expectBox("Information.", allSaved);
    backUp();
    EXPECT_EQ(rows(ids::filesList), (Rows{{"livre.txt", savedStatus}, {"mdp.php", savedStatus}}));
    EXPECT_EQ(ui.shownBoxes().size(), 3u);
    EXPECT_TRUE(slowHost.finish()) << slowHost.report();
    pressClose();
    closeProgram();
}

namespace {

const std::string dirLine = "drwxr-xr-x 2 web web 4096 Jan 1 12:00 ";
const std::string fileLine = "-rw-r--r-- 1 web web ";
std::string fileEntry(std::size_t size, const std::string& name) { return fileLine + std::to_string(size) + " Jan 1 12:00 " + name + "\r\n"; }

// The login, the PWD and the two listings of listBackupSources, passive.
testsupport::ScriptedServer& listSources(testsupport::ScriptedServer& host, const std::string& skins,
                                         const std::string& personal) {
    host.reply("220 ok\r\n").expect("AUTH TLS\r\n").reply("500 AUTH non reconnu\r\n").expect("USER velmo\r\n").reply("331 ok\r\n").expect("PASS secret\r\n").reply("230 ok\r\n");
    host.expect("PWD\r\n").reply("257 \"/\"\r\n");
    host.expect("CWD /\r\n").reply("250 ok\r\n").expect("CWD livre-dor/skins\r\n").reply("250 ok\r\n");
    host.expect("TYPE A\r\n").reply("200 ok\r\n").expect("PASV\r\n").pasv().expect("LIST\r\n").reply("150 ok\r\n");
    host.acceptData().sendData(skins).reply("226 ok\r\n");
    return listChmodPerso(host, personal).reply("226 ok\r\n");
}

// A passive download of `name` whose data the server sends whole, then 226.
testsupport::ScriptedServer& retr(testsupport::ScriptedServer& host, const std::string& name, const std::string& data) {
    host.expect("TYPE I\r\n").reply("200 ok\r\n").expect("PASV\r\n").pasv().expect("RETR " + name + "\r\n").reply("150 ok\r\n");
    return host.acceptData().sendData(data).reply("226 ok\r\n");
}

testsupport::ScriptedServer& listHere(testsupport::ScriptedServer& host) {
    return host.expect("TYPE A\r\n").reply("200 ok\r\n").expect("PASV\r\n").pasv().expect("LIST\r\n").reply("150 ok\r\n").acceptData();
}

}  // namespace

// A hostile or odd server, byte for byte: a skin and an image whose lines are too long to
// read (left out, counted, the folder still listed), an image named "../style.css" (it
// would land in the skin's folder, outside imgs), an image folder whose listing is cut
// (426), and a personal file listed at 4 bytes of which the server sends 16 MiB, then says
// the transfer went well. Nothing of it is saved or left on disk, and the closing message
// counts each.
TEST_F(BackupProgram, WhatTheServerListedBoundsWhatIsSavedAndWhere) {
    const std::string tooLong(9000, 'x');
    testsupport::ScriptedServer host;
    listSources(host, dirLine + "bleu\r\n" + dirLine + tooLong + "\r\n" + dirLine + "rouge\r\n",
                fileEntry(4, "livre.txt") + dirLine + tooLong + "\r\n");
    host.expect("PWD\r\n").reply("257 \"/\"\r\n");  // "Sauvegarder"
    host.expect("CWD /\r\n").reply("250 ok\r\n").expect("CWD livre-dor/skins/bleu\r\n").reply("250 ok\r\n");
    retr(host, "cfg_variables.php", "<?php $bleu; ?>");
    host.expect("CWD imgs\r\n").reply("250 ok\r\n");
    listHere(host).sendData(fileEntry(5, "fond.gif") + fileEntry(9, tooLong) + fileEntry(6, "../style.css")).reply("226 ok\r\n");
    retr(host, "fond.gif", "GIF89");
    host.expect("CWD /\r\n").reply("250 ok\r\n").expect("CWD livre-dor/skins/rouge\r\n").reply("250 ok\r\n");
    retr(host, "cfg_variables.php", "<?php $rouge; ?>");
    host.expect("CWD imgs\r\n").reply("250 ok\r\n");
    listHere(host).sendData(fileEntry(5, "fond.gif")).reply("426 Connexion interrompue\r\n");
    host.expect("CWD /\r\n").reply("250 ok\r\n").expect("CWD livre-dor/chmod_perso\r\n").reply("250 ok\r\n");
    host.expect("TYPE I\r\n").reply("200 ok\r\n").expect("PASV\r\n").pasv().expect("RETR livre.txt\r\n").reply("150 ok\r\n");
    host.acceptData().sendDataUntilClosed(std::string(16 * 1024 * 1024, 'L')).reply("226 ok\r\n");
    host.start();
    startWithSettings(ConnectionSettings{"127.0.0.1", "velmo", "", "livre-dor", 0, 1, host.port()});
    connect("secret");
    EXPECT_EQ(rows(ids::skinsList), (Rows{{"bleu", notSavedStatus}, {"rouge", notSavedStatus}}));
    EXPECT_EQ(rows(ids::filesList), (Rows{{"livre.txt", notSavedStatus}}));
    ui.expectBox("Avertissement.", "La sauvegarde n'est pas complète.");
    const std::string summary = backUp();
    EXPECT_EQ(rows(ids::skinsList), (Rows{{"bleu", "2 sauvegardé(s), 2 échec(s)."}, {"rouge", "1 sauvegardé(s), 1 échec(s)."}}));
    EXPECT_EQ(rows(ids::filesList), (Rows{{"livre.txt", failedStatus}}));
    const auto folders = backupFolders();
    ASSERT_EQ(folders.size(), 1u);
    expectSameTree(treeOf(folders[0]), Files{{"skins/", ""}, {"skins/bleu/", ""}, {"skins/bleu/cfg_variables.php", "<?php $bleu; ?>"},
                                             {"skins/bleu/imgs/", ""}, {"skins/bleu/imgs/fond.gif", "GIF89"},
                                             {"skins/rouge/", ""}, {"skins/rouge/cfg_variables.php", "<?php $rouge; ?>"},
                                             {"skins/rouge/imgs/", ""}, {"chmod_perso/", ""}});
    EXPECT_EQ(summary, "La sauvegarde n'est pas complète.\r\n\r\n"
                       "2 fichiers n'ont pas pu être sauvegardés.\r\n1 dossier d'images n'a pas pu être lu.\r\n"
                       "2 éléments au nom trop long n'ont pas pu être sauvegardés.\r\n\r\n"
                       "3 fichiers ont été sauvegardés dans le dossier : " + folders[0].filename().string() + "\r\n\r\n"
                       "Pour réessayer, cliquez sur le bouton \"Fermer\" et ensuite reconnectez-vous.\r\n"
                       "Un nouveau dossier sera créé : cette sauvegarde ne sera pas écrasée.\r\n");
    EXPECT_TRUE(host.finish()) << host.report();
}

// Names a Linux server holds and Windows cannot keep as they are (a device name, a last
// dot, a reserved character) or that the server would read as another path ("~" first):
// none is reported saved, none leaves a file; the plain names beside them are saved.
TEST_F(BackupProgram, ServerNamesWindowsCannotKeepAreNotReportedSaved) {
    FtpPeer peer(PeerKind::Pyftpdlib);
    Files server = guestbookOnServer();
    for (const char* name : {"nul", "Aux.txt", "livre.txt.", "a?b.txt", "~brouillon.txt"})
        server["livre-dor/chmod_perso/" + std::string(name)] = contentOf(name, 200);
    server["livre-dor/skins/bleu/imgs/COM1.gif"] = contentOf("COM1.gif", 300);
    putOnServer(peer, server);
    startWithSettings(peer);
    connect(peer.password());
    ui.expectBox("Avertissement.", "La sauvegarde n'est pas complète.\r\n\r\n6 fichiers n'ont pas pu être sauvegardés.");
    backUp();
    EXPECT_EQ(rows(ids::filesList), (Rows{{"livre.txt", savedStatus}, {"mdp.php", savedStatus}, {"nul", failedStatus},
                                          {"Aux.txt", failedStatus}, {"livre.txt.", failedStatus},
                                          {"a?b.txt", failedStatus}, {"~brouillon.txt", failedStatus}}));
    EXPECT_EQ(rows(ids::skinsList), (Rows{{"bleu", "3 sauvegardé(s), 1 échec(s)."}, {"rouge", "2 fichier(s) sauvegardé(s)."}}));
    expectSameTree(treeOf(backupFolders().at(0)), expectedTree(wholeBackup(), server));
}

// Closing the backup window while a download trickles asks whether to stop: "Non" lets the
// backup go on, "Oui" gives the download up at once (no part of it stays), leaves the rows
// not reached unsaved, says what was not saved, and closes the window.
TEST_F(BackupProgram, ClosingTheWindowDuringABackupAsksAndStopsIt) {
    testsupport::ScriptedServer host;
    host.setStepLimit(30000);
    host.reply("220 ok\r\n").expect("AUTH TLS\r\n").reply("500 AUTH non reconnu\r\n").expect("USER velmo\r\n").reply("331 ok\r\n").expect("PASS secret\r\n").reply("230 ok\r\n");
    host.expect("PWD\r\n").reply("257 \"/\"\r\n");
    host.expect("CWD /\r\n").reply("250 ok\r\n").expect("CWD livre-dor/skins\r\n").reply("550 absent\r\n");
    host.expect("PWD\r\n").reply("257 \"/\"\r\n");
    listChmodPerso(host, fileEntry(100000, "livre.txt") + fileEntry(10, "mdp.php")).reply("226 ok\r\n");
    host.expect("PWD\r\n").reply("257 \"/\"\r\n");
    host.expect("CWD /\r\n").reply("250 ok\r\n").expect("CWD livre-dor/chmod_perso\r\n").reply("250 ok\r\n");
    host.expect("TYPE I\r\n").reply("200 ok\r\n").expect("PASV\r\n").pasv().expect("RETR livre.txt\r\n").reply("150 ok\r\n");
    host.acceptData().sendData("1||Léa||", true).silence(25000);
    host.start();
    startWithSettings(ConnectionSettings{"127.0.0.1", "velmo", "", "livre-dor", 0, 1, host.port()});
    connect("secret");
    ASSERT_TRUE(ui.click(ids::backupWindow, ids::backupButton));
    // The download is no window state: its file is looked at every few milliseconds.
    for (int i = 0; i < 2000 && !downloadSeen("chmod_perso/livre.txt"); ++i) clock::sleepMs(5);
    ASSERT_TRUE(downloadSeen("chmod_perso/livre.txt"));

    ui.expectBox("Attention.", stopQuestionText, ui::MessageBoxResult::No);
    ASSERT_TRUE(ui.closeBox(ids::backupWindow));
    ASSERT_TRUE(ui.waitUntil([&] { return ui.shownBoxes().size() == 1; }));
    clock::sleepMs(300);  // pacing: a stop would have ended the transfer by now
    EXPECT_TRUE(ui.windowExists(ids::backupWindow));
    EXPECT_TRUE(downloadSeen("chmod_perso/livre.txt")) << "the download was given up";

    ui.expectBox("Attention.", stopQuestionText, ui::MessageBoxResult::Yes);
    ui.expectBox("Avertissement.", "La sauvegarde a été arrêtée.");
    const std::uint64_t asked = clock::tickMs();
    ASSERT_TRUE(ui.closeBox(ids::backupWindow));
    ASSERT_TRUE(ui.waitUntil([&] { return !ui.windowExists(ids::backupWindow) && ui.isWindowEnabled(ids::mainWindow); }));
    EXPECT_LT(clock::tickMs() - asked, 5000u) << "the stop waited for the server";
    ASSERT_EQ(ui.shownBoxes().size(), 3u);
    EXPECT_EQ(ui.shownBoxes()[2].text, "La sauvegarde a été arrêtée.\r\n\r\n"
                                       "1 fichier n'a pas pu être sauvegardé.\r\n1 élément coché n'a pas été sauvegardé.\r\n\r\n"
                                       "Aucun fichier n'a été sauvegardé.\r\n");
    EXPECT_EQ(ui.shownBoxes()[2].icon, ui::MessageIcon::Warning);
    expectSameTree(treeOf(backupFolders().at(0)), Files{{"chmod_perso/", ""}});
    closeProgram();
}

class GrownFile : public BackupProgram, public ::testing::WithParamInterface<PeerKind> {};

// Between the listing and the backup the guestbook's data file grows far past its listed
// size (a server that says one size and sends another): it is not saved, nothing of it
// stays, and the files after it are still saved, on a new connection where the server
// never answered the download given up.
TEST_P(GrownFile, IsNotSavedAndTheBackupGoesOn) {
    FtpPeer peer(GetParam());
    Files server = guestbookOnServer();
    server["livre-dor/chmod_perso/a_livre.txt"] = contentOf("a_livre", 1000);
    putOnServer(peer, server);
    startWithSettings(peer);
    connect(peer.password());
    velmo::testing::writeBytes(stdfs::path(peer.home()) / "livre-dor/chmod_perso/a_livre.txt", std::string(8 * 1024 * 1024, 'g'));
    ui.expectBox("Avertissement.", "La sauvegarde n'est pas complète.\r\n\r\n1 fichier n'a pas pu être sauvegardé.");
    backUp();
    EXPECT_EQ(rows(ids::filesList), (Rows{{"a_livre.txt", failedStatus}, {"livre.txt", savedStatus}, {"mdp.php", savedStatus}}));
    expectSameTree(treeOf(backupFolders().at(0)), expectedTree(wholeBackup(), server));
}

INSTANTIATE_TEST_SUITE_P(Peers, GrownFile, ::testing::Values(PeerKind::Vsftpd, PeerKind::PureFtpd, PeerKind::Pyftpdlib),
                         [](const auto& info) { return std::string(testsupport::peerKindName(info.param)); });

// What is ticked when "Sauvegarder" is pressed is what is saved: rows ticked or unticked
// while the first file comes change nothing of the backup under way.
TEST_F(BackupProgram, TheRowsTickedAtThePressAreTheOnesSaved) {
    testsupport::ScriptedServer host;
    host.reply("220 ok\r\n").expect("AUTH TLS\r\n").reply("500 AUTH non reconnu\r\n").expect("USER velmo\r\n").reply("331 ok\r\n").expect("PASS secret\r\n").reply("230 ok\r\n");
    host.expect("PWD\r\n").reply("257 \"/\"\r\n");
    host.expect("CWD /\r\n").reply("250 ok\r\n").expect("CWD livre-dor/skins\r\n").reply("550 absent\r\n");
    host.expect("PWD\r\n").reply("257 \"/\"\r\n");
    listChmodPerso(host, fileEntry(6, "livre.txt") + fileEntry(3, "mdp.php") + fileEntry(5, "notes.txt")).reply("226 ok\r\n");
    host.expect("PWD\r\n").reply("257 \"/\"\r\n");
    host.expect("CWD /\r\n").reply("250 ok\r\n").expect("CWD livre-dor/chmod_perso\r\n").reply("250 ok\r\n");
    host.expect("TYPE I\r\n").reply("200 ok\r\n").expect("PASV\r\n").pasv().expect("RETR livre.txt\r\n").reply("150 ok\r\n");
    host.acceptData().sendData("1||", true).silence(800).sendData("Lea").reply("226 ok\r\n");
    retr(host, "mdp.php", "mdp");
    host.start();
    startWithSettings(ConnectionSettings{"127.0.0.1", "velmo", "", "livre-dor", 0, 1, host.port()});
    connect("secret");
    untick(ids::filesList, "notes.txt");
    ASSERT_TRUE(ui.click(ids::backupWindow, ids::backupButton));
    for (int i = 0; i < 2000 && !downloadSeen("chmod_perso/livre.txt"); ++i) clock::sleepMs(5);
    ASSERT_TRUE(downloadSeen("chmod_perso/livre.txt"));
    untick(ids::filesList, "mdp.php");
    untick(ids::filesList, "notes.txt", true);
    ui.expectBox("Information.", allSaved);
    ASSERT_TRUE(ui.waitUntil([&] { return ui.getText(ids::backupWindow, ids::backupButton) == closeButtonText; }));
    EXPECT_EQ(rows(ids::filesList), (Rows{{"livre.txt", savedStatus}, {"mdp.php", savedStatus}, {"notes.txt", notSavedStatus}}));
    expectSameTree(treeOf(backupFolders().at(0)), Files{{"chmod_perso/", ""}, {"chmod_perso/livre.txt", "1||Lea"},
                                                        {"chmod_perso/mdp.php", "mdp"}});
    EXPECT_TRUE(host.finish()) << host.report();
}
