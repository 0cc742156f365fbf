// The installer's upload from "Valider" to the link generator, against real FTP servers on
// loopback, with the shipped sample guestbook and the headless UI.
#include <ctime>

#include "ftp/ftp_session.h"
#include "installer/permission_plan.h"
#include "installer/run_completion.h"
#include "installer_harness.h"

using namespace velmo;
using namespace velmo::installer;
using namespace velmo::installer::testing;
using testsupport::FtpPeer;
using testsupport::PeerKind;
using testsupport::PeerOptions;

namespace {

const char* const allSent = "Tous les dossiers et fichiers ont bien été transférés.";
const char* const chmodSentence = "Le programme a effectué les CHMOD sur les dossiers et fichiers adéquates.";

std::time_t parseJournalTime(const std::string& date, const std::string& time) {
    std::tm t{};
    if (std::sscanf(date.c_str(), "%2d/%2d/%4d", &t.tm_mday, &t.tm_mon, &t.tm_year) != 3) return -1;
    if (std::sscanf(time.c_str(), "%2d:%2d:%2d", &t.tm_hour, &t.tm_min, &t.tm_sec) != 3) return -1;
    t.tm_mon -= 1;
    t.tm_year -= 1900;
    t.tm_isdst = -1;
    return std::mktime(&t);
}

// The journal holds one block, written between `before` and `after`, equal to the
// expected one byte for byte.
void expectOneJournalBlock(const ToolsFolder& tools, const FtpPeer& peer, const std::string& folder, bool chmod,
                           bool passive, std::time_t before, std::time_t after,
                           const std::vector<std::string>& failed) {
    ASSERT_TRUE(tools.hasJournal());
    const std::string journal = tools.journal();
    const std::string date = journalLine(journal, "Date        : ");
    const std::string time = journalLine(journal, "Heure       : ");
    const std::time_t written = parseJournalTime(date, time);
    EXPECT_GE(written, before - 1) << date << " " << time;
    EXPECT_LE(written, after + 1) << date << " " << time;
    EXPECT_EQ(journal, expectedJournalBlock(peer, folder, chmod, passive, date, time, failed));
}

struct InstallCase {
    PeerKind kind;
    bool passive;
    bool chmod;
    const char* folder;
};

std::string caseName(const ::testing::TestParamInfo<InstallCase>& info) {
    std::string n = testsupport::peerKindName(info.param.kind);
    n.erase(std::remove(n.begin(), n.end(), '-'), n.end());
    return n + (info.param.passive ? "_passive" : "_active") + (info.param.chmod ? "_chmod" : "");
}

class WholeInstall : public ::testing::TestWithParam<InstallCase> {};

}  // namespace

// A whole install: every folder and file arrives byte for byte, the closing box, the
// settings, the journal block, the window back to idle, and (with "Chmod.") the 14
// targets made writable on the server's disk.
TEST_P(WholeInstall, PutsTheGuestbookOnTheServerAndRecordsTheRun) {
    const InstallCase c = GetParam();
    ToolsFolder tools;
    FtpPeer peer(c.kind);
    Installer inst;
    inst.fillForm(peer, c.folder, c.passive, c.chmod);
    inst.ui.expectBox("Statut transfert.", allSent);

    const std::time_t before = std::time(nullptr);
    inst.pressValidate();
    ASSERT_TRUE(inst.closeLinkGenerator());
    const std::time_t after = std::time(nullptr);
    waitForWorkers();

    EXPECT_TRUE(inst.ui.failures().empty()) << inst.ui.failures().front();
    const auto boxes = inst.boxesTitled("Statut transfert.");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, c.chmod ? std::string(allSent) + "\r\n\r\n" + chmodSentence : std::string(allSent));
    EXPECT_EQ(boxes[0].icon, MessageIcon::Information);

    expectWholeGuestbook(peer, c.folder);
    EXPECT_EQ(tools.settings(), expectedSettings(peer, c.folder, c.chmod ? 1 : 0, c.passive ? 1 : 0));
    expectOneJournalBlock(tools, peer, c.folder, c.chmod, c.passive, before, after, {});

    // Idle again, the bars at their end state, the last line processed selected.
    auto& u = inst.ui;
    EXPECT_TRUE(u.isEnabled(ids::mainWindow, ids::validateButton));
    EXPECT_FALSE(u.isEnabled(ids::mainWindow, ids::cancelButton));
    EXPECT_TRUE(u.isEnabled(ids::mainWindow, ids::folderField));
    EXPECT_TRUE(u.isWindowEnabled(ids::mainWindow));
    EXPECT_EQ(u.getProgress(ids::mainWindow, ids::overallBar), 100);
    EXPECT_EQ(u.getProgress(ids::mainWindow, ids::fileBar), 0);
    EXPECT_EQ(u.selectedLine(ids::mainWindow, ids::treeList), expectedItemCount - 1);
    EXPECT_FALSE(u.windowExists(ids::linkGeneratorWindow));

    if (c.chmod) {
        const stdfs::path base = stdfs::path(peer.home()) / c.folder;
        for (const PermissionTarget& t : permissionPlan) EXPECT_EQ(modeOf(base.string() + t.suffix), 0777) << t.suffix;
        EXPECT_EQ(u.getText(ids::mainWindow, ids::chmodStatus), "En cours :");
        EXPECT_EQ(u.getProgress(ids::mainWindow, ids::chmodBar), 0);
    } else {
        EXPECT_NE(modeOf(stdfs::path(peer.home()) / c.folder / "chmod_perso/livre.txt"), 0777);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Peers, WholeInstall,
    ::testing::Values(InstallCase{PeerKind::Pyftpdlib, true, false, "livre-dor"},
                      InstallCase{PeerKind::Pyftpdlib, false, false, "livre-dor"},
                      InstallCase{PeerKind::Vsftpd, true, false, "mon-livre"},
                      InstallCase{PeerKind::Vsftpd, false, true, "mon-livre"},   // SITE CHMOD
                      InstallCase{PeerKind::PureFtpd, true, true, "livre-dor"}),  // CHMOD
    caseName);

// An existing remote folder is only overwritten when the user says so.
TEST(ExistingFolder, NoLeavesTheServerAsItWasAndWritesNothing) {
    ToolsFolder tools;
    FtpPeer peer(PeerKind::Vsftpd);
    peer.makeFolder("livre-dor");
    writeFile(stdfs::path(peer.home()) / "livre-dor/index.php", "ancien");
    Installer inst;
    inst.fillForm(peer, "livre-dor", true, false);
    inst.ui.expectBox("Dossier existant.",
                      "Le dossier \"livre-dor\" existe déjà.\r\n\r\nVous allez écraser les fichiers déjà "
                      "existants.\r\n\r\nVoulez-vous continuer ?",
                      MessageBoxResult::No);
    inst.ui.expectBox("Information.",
                      "Le transfert des fichiers est annulé.\r\n\r\nChoisissez un autre nom de dossier pour "
                      "transférer votre livre d'or.");
    inst.pressValidate();
    waitForWorkers();

    EXPECT_TRUE(inst.ui.failures().empty());
    EXPECT_TRUE(inst.ui.unmetExpectations().empty());
    EXPECT_EQ(treeBelow(peer.home()), (std::set<std::string>{"sessions/", "livre-dor/", "livre-dor/index.php"}));
    EXPECT_EQ(readFile(stdfs::path(peer.home()) / "livre-dor/index.php"), "ancien");
    EXPECT_FALSE(tools.hasSettings());
    EXPECT_FALSE(tools.hasJournal());
    EXPECT_TRUE(inst.ui.isEnabled(ids::mainWindow, ids::validateButton));
    EXPECT_FALSE(inst.ui.isEnabled(ids::mainWindow, ids::cancelButton));
    EXPECT_TRUE(inst.ui.isEnabled(ids::mainWindow, ids::addressField));
}

TEST(ExistingFolder, YesOverwritesItWithTheWholeGuestbook) {
    ToolsFolder tools;
    FtpPeer peer(PeerKind::Pyftpdlib);
    peer.makeFolder("livre-dor/chmod_perso");
    writeFile(stdfs::path(peer.home()) / "livre-dor/index.php", "ancien");
    writeFile(stdfs::path(peer.home()) / "livre-dor/chmod_perso/livre.txt", "ancien livre");
    Installer inst;
    inst.fillForm(peer, "livre-dor", true, false);
    inst.ui.expectBox("Dossier existant.", "\"livre-dor\" existe déjà.", MessageBoxResult::Yes);
    inst.ui.expectBox("Statut transfert.", allSent);
    inst.pressValidate();
    ASSERT_TRUE(inst.closeLinkGenerator());
    waitForWorkers();

    EXPECT_TRUE(inst.ui.failures().empty());
    expectWholeGuestbook(peer, "livre-dor");
    EXPECT_EQ(tools.settings(), expectedSettings(peer, "livre-dor", 0, 1));
}

// "Annuler" (stopRequested) during the upload.
TEST(StopQuestion, YesEndsTheRunWithoutJournalOrSettings) {
    ToolsFolder tools;
    FtpPeer peer(PeerKind::Pyftpdlib);
    Installer inst;
    inst.fillForm(peer, "livre-dor", true, true);  // a stopped run does no CHMOD either
    inst.ui.expectBox("Information.", "Voulez-vous arreter le transfert en cours ?", MessageBoxResult::Yes);
    inst.ui.expectBox("Information.", "Le transfert va donc être arrêté, veuillez patienter.");
    inst.ui.expectBox("Statut transfert.",
                      "Tous les fichiers n'ont pas été transférés.\r\n\r\nVotre livre d'or ne sera donc pas "
                      "fonctionnel.");
    inst.pressValidate();
    // Once a few files are on their way, the user presses "Annuler".
    ASSERT_TRUE(inst.ui.waitUntil(
        [&] { return inst.ui.selectedLine(ids::mainWindow, ids::treeList) >= 20; }, std::chrono::seconds(30)));
    inst.app->stopRequested = 1;
    waitForWorkers();

    EXPECT_TRUE(inst.ui.failures().empty());
    EXPECT_TRUE(inst.ui.unmetExpectations().empty());
    EXPECT_FALSE(inst.ui.windowExists(ids::linkGeneratorWindow));
    EXPECT_FALSE(tools.hasSettings());
    EXPECT_FALSE(tools.hasJournal());
    // Only part of the guestbook went, and nothing after the file being sent at the stop.
    const int stoppedAt = inst.ui.selectedLine(ids::mainWindow, ids::treeList);
    EXPECT_LT(stoppedAt, 60);
    const std::set<std::string> got = treeBelow(peer.home());
    EXPECT_LT(got.size(), expectedTree("livre-dor").entries.size() / 4);
    EXPECT_NE(modeOf(stdfs::path(peer.home()) / "livre-dor/chmod_perso"), 0777);
    // Idle, ready for a new run.
    auto& u = inst.ui;
    EXPECT_EQ(inst.app->keepGoing.load(), 1);
    EXPECT_EQ(inst.app->stopRequested.load(), 0);
    EXPECT_TRUE(u.isEnabled(ids::mainWindow, ids::validateButton));
    EXPECT_FALSE(u.isEnabled(ids::mainWindow, ids::cancelButton));
    EXPECT_TRUE(u.isEnabled(ids::mainWindow, ids::passwordField));
    EXPECT_EQ(u.getProgress(ids::mainWindow, ids::overallBar), 0);
    EXPECT_EQ(u.getProgress(ids::mainWindow, ids::fileBar), 0);
}

// Also on a platform whose themed bars glide: the file bar then counts in hundredths.
TEST(StopQuestion, NoGoesOnToTheEnd) {
    ToolsFolder tools;
    FtpPeer peer(PeerKind::Vsftpd);
    Installer inst(true);
    inst.fillForm(peer, "livre-dor", true, false);
    inst.ui.expectHeldBox("Information.", "Voulez-vous arreter le transfert en cours ?", MessageBoxResult::No);
    inst.ui.expectBox("Information.", "Le tansfert des fichiers va donc reprendre.");
    inst.ui.expectBox("Statut transfert.", allSent);
    inst.pressValidate();
    ASSERT_TRUE(inst.ui.waitUntil(
        [&] { return inst.ui.selectedLine(ids::mainWindow, ids::treeList) >= 20; }, std::chrono::seconds(30)));
    inst.app->stopRequested = 1;
    ASSERT_TRUE(inst.ui.waitForHeldBox());
    // While the question is up the run waits; the file bar is on its fine range.
    const auto bar = inst.ui.control(ids::mainWindow, ids::fileBar);
    ASSERT_TRUE(bar);
    EXPECT_EQ(bar->rangeMin, 1);
    EXPECT_EQ(bar->rangeMax, 10000);
    // (0 % shows as the range's lowest value)
    EXPECT_TRUE(bar->progress == 1 || bar->progress % 100 == 0) << bar->progress;
    EXPECT_EQ(inst.ui.getText(ids::mainWindow, ids::countLabel),
              "Fichiers envoyés : " + std::to_string(inst.ui.selectedLine(ids::mainWindow, ids::treeList) + 1) +
                  "/333");
    inst.ui.releaseBox();
    ASSERT_TRUE(inst.closeLinkGenerator());
    waitForWorkers();

    EXPECT_TRUE(inst.ui.failures().empty());
    EXPECT_TRUE(inst.ui.unmetExpectations().empty());
    expectWholeGuestbook(peer, "livre-dor");
    EXPECT_EQ(tools.settings(), expectedSettings(peer, "livre-dor", 0, 1));
    EXPECT_EQ(journalLine(tools.journal(), "\r\n========================================\r\n"),
              "Tous les fichiers ont bien été transférés.");
}

// A folder in which the server refuses to store: each of its files is sent at most
// maxSendAttempts times, every failed attempt is in the journal, the rest of the guestbook
// still arrives and the closing box says what is missing instead of the all-clear.
TEST(RefusedFiles, AreGivenUpAtTheBoundAndReported) {
    ToolsFolder tools;
    FtpPeer peer(PeerKind::Vsftpd, PeerOptions{0, {"livre-dor/chmod_perso/save"}, true});
    peer.makeFolder("livre-dor");
    peer.makeFolder("livre-dor/chmod_perso");
    Installer inst;
    inst.fillForm(peer, "livre-dor", true, false);
    inst.ui.expectBox("Dossier existant.", "existe déjà", MessageBoxResult::Yes);
    inst.ui.expectBox("Statut transfert.", "Le transfert est terminé, mais 3 fichiers n'ont pas pu être envoyés.");
    const std::time_t before = std::time(nullptr);
    inst.pressValidate();
    ASSERT_TRUE(inst.closeLinkGenerator());
    const std::time_t after = std::time(nullptr);
    waitForWorkers();

    EXPECT_TRUE(inst.ui.failures().empty()) << inst.ui.failures().front();
    const auto boxes = inst.boxesTitled("Statut transfert.");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text,
              "Le transfert est terminé, mais 3 fichiers n'ont pas pu être envoyés.\r\n\r\n"
              "La liste se trouve dans le fichier \"softwareDatas/log-erreur.txt\".\r\n\r\n"
              "Votre livre d'or risque de ne pas fonctionner correctement.");
    EXPECT_EQ(boxes[0].icon, MessageIcon::Warning);

    std::vector<std::string> failed;
    std::vector<std::string> names;
    for (const auto& e : stdfs::directory_iterator(stdfs::path(SAMPLE_GUESTBOOK_PARENT) / "livre-dor/chmod_perso/save"))
        names.push_back(e.path().filename().string());
    ASSERT_EQ(names.size(), 3u);
    // The journal lists them in the order they were sent: one line per failed attempt.
    const std::string journal = tools.journal();
    std::vector<std::pair<std::size_t, std::string>> order;
    for (const std::string& n : names) order.emplace_back(journal.find("livre-dor/chmod_perso/save/" + n + "\r\n"), n);
    std::sort(order.begin(), order.end());
    for (const auto& [pos, n] : order)
        for (int i = 0; i < maxSendAttempts; ++i) failed.push_back("livre-dor/chmod_perso/save/" + n);
    expectOneJournalBlock(tools, peer, "livre-dor", false, true, before, after, failed);

    // Everything else is there; the refused folder stays empty.
    ExpectedTree want = expectedTree("livre-dor");
    for (const std::string& n : names) want.entries.erase("livre-dor/chmod_perso/save/" + n);
    EXPECT_EQ(treeBelow(peer.home()), want.entries);
    // The files that arrived are on the server: the connection is recorded.
    EXPECT_EQ(tools.settings(), expectedSettings(peer, "livre-dor", 0, 1));
}

// Login failures end the run at once with the suite's connection text.
TEST(LoginFailure, ShowsTheConnectionTextAndGoesBackToIdle) {
    ToolsFolder tools;
    FtpPeer peer(PeerKind::Vsftpd);
    Installer inst;
    inst.fillForm(peer.host(), peer.user(), "", peer.port(), "livre-dor", true, false);
    inst.ui.expectBox("Avertissement.", inst.app->connectionErrorText);
    inst.pressValidate();
    waitForWorkers();
    const auto boxes = inst.boxesTitled("Avertissement.");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, buildConnectionErrorText());
    EXPECT_EQ(boxes[0].icon, MessageIcon::Warning);
    EXPECT_TRUE(inst.ui.isEnabled(ids::mainWindow, ids::validateButton));
    EXPECT_FALSE(inst.ui.isEnabled(ids::mainWindow, ids::cancelButton));
    EXPECT_TRUE(inst.ui.isEnabled(ids::mainWindow, ids::userField));
    EXPECT_EQ(treeBelow(peer.home()), std::set<std::string>{});
    EXPECT_FALSE(tools.hasSettings());
    EXPECT_FALSE(tools.hasJournal());
}

// A file removed from the local folder after the start-up scan can never be sent: it is
// tried maxSendAttempts times (nothing reaches the server for it), then given up, and the
// run goes on with the next file.
TEST(RefusedFiles, ALocalFileGoneAfterTheScanIsGivenUpAndTheRunGoesOn) {
    ToolsFolder tools(true);
    FtpPeer peer(PeerKind::Pyftpdlib);
    Installer inst;
    stdfs::remove(tools.dir / "livre-dor/img_perso/lisezmoi.txt");
    inst.fillForm(peer, "livre-dor", false, false);
    inst.ui.expectBox("Statut transfert.", "Le transfert est terminé, mais 1 fichier n'a pas pu être envoyé.");
    const std::time_t before = std::time(nullptr);
    inst.pressValidate();
    ASSERT_TRUE(inst.closeLinkGenerator());
    const std::time_t after = std::time(nullptr);
    waitForWorkers();

    EXPECT_TRUE(inst.ui.failures().empty()) << inst.ui.failures().front();
    const auto boxes = inst.boxesTitled("Statut transfert.");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text,
              "Le transfert est terminé, mais 1 fichier n'a pas pu être envoyé.\r\n\r\n"
              "La liste se trouve dans le fichier \"softwareDatas/log-erreur.txt\".\r\n\r\n"
              "Votre livre d'or risque de ne pas fonctionner correctement.");
    expectOneJournalBlock(tools, peer, "livre-dor", false, false, before, after,
                          std::vector<std::string>(maxSendAttempts, "livre-dor/img_perso/lisezmoi.txt"));
    ExpectedTree want = expectedTree("livre-dor");
    want.entries.erase("livre-dor/img_perso/lisezmoi.txt");
    EXPECT_EQ(treeBelow(peer.home()), want.entries);
    EXPECT_EQ(tools.settings(), expectedSettings(peer, "livre-dor", 0, 0));
}
