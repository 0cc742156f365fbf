// The installer's upload from "Valider" to the link generator, against real FTP servers on
// loopback, with the shipped sample guestbook and the headless UI.
#include <ctime>

#include "installer/engine/permission_plan.h"
#include "tests/installer/chmod_targets.h"
#include "installer/engine/run_completion.h"
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
const char* const stopQuestion = "Voulez-vous arreter le transfert en cours ?";

// The journal holds one block, equal byte for byte to the one a user must read, dated
// by the local clock at some second between `before` and `after`.
void expectOneJournalBlock(const ToolsFolder& tools, const FtpPeer& peer, const std::string& folder, bool chmod,
                           bool passive, std::time_t before, std::time_t after,
                           const std::vector<std::string>& failed) {
    auto block = [&](std::time_t at) {
        char date[16], time[16];
        std::strftime(date, sizeof date, "%d/%m/%Y", std::localtime(&at));
        std::strftime(time, sizeof time, "%H:%M:%S", std::localtime(&at));
        std::string b = "DEBUT ========================================\r\n"
                        "Journal d'erreur des fichiers mal transférés.\r\n"
                        "Date        : " + std::string(date) + "\r\nHeure       : " + time + "\r\n"
                        "Adresse FTP : " + peer.host() + "\r\n"
                        "Rép. dest.  : " + folder + "\r\n"
                        "CHMOD       : " + (chmod ? "oui" : "non") + "\r\n"
                        "Mode passif : " + (passive ? "oui" : "non") + "\r\n"
                        "Numéro Port : " + std::to_string(peer.port()) + "\r\n"
                        "\r\n"
                        "Information : Chaque fichier mal transféré est envoyé à nouveau et ceci autant de fois\r\n"
                        "              qu'il le faut jusqu'à ce que celui-ci soit bien sur le serveur.\r\n"
                        "========================================\r\n";
        if (failed.empty()) b += "Tous les fichiers ont bien été transférés.\r\n";
        for (const std::string& f : failed) b += f + "\r\n";
        return b + "FIN ========================================\r\n\r\n\r\n\r\n";
    };
    ASSERT_TRUE(tools.hasJournal());
    const std::string journal = tools.journal();
    for (std::time_t t = before; t <= after; ++t)
        if (journal == block(t)) return;
    EXPECT_EQ(journal, block(after));
}

// Exactly one box titled `title` was shown, with exactly `text` and `icon`, and every box
// was foreseen.
void expectTheBox(const Installer& inst, const std::string& title, const std::string& text, MessageIcon icon) {
    inst.expectScriptMet();
    const auto boxes = inst.boxesTitled(title);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, text);
    EXPECT_EQ(boxes[0].icon, icon);
}

void expectIdle(ui::HeadlessUi& u) {
    EXPECT_TRUE(u.isEnabled(ids::mainWindow, ids::validateButton));
    EXPECT_FALSE(u.isEnabled(ids::mainWindow, ids::cancelButton));
    EXPECT_TRUE(u.isEnabled(ids::mainWindow, ids::folderField));
    EXPECT_TRUE(u.isWindowEnabled(ids::mainWindow));
}

// A whole run into the existing "livre-dor" (the overwrite question answered Yes) whose
// closing box begins with `closing`; gives the seconds between which the journal was dated.
std::pair<std::time_t, std::time_t> runIntoExistingFolder(Installer& inst, const FtpPeer& peer,
                                                          const std::string& closing) {
    inst.fillForm(peer, "livre-dor", true, false);
    inst.ui.expectBox("Dossier existant.", "existe déjà", MessageBoxResult::Yes);
    inst.ui.expectBox("Statut transfert.", closing);
    const std::time_t before = std::time(nullptr);
    inst.pressValidate();
    EXPECT_TRUE(inst.closeLinkGenerator());
    const std::time_t after = std::time(nullptr);
    waitForWorkers();
    return {before, after};
}

struct InstallCase {
    PeerKind kind;
    bool passive;
    bool chmod;
    const char* folder;
    bool existing;  // the folder is already on the server, with older files: "Dossier existant." Yes
    bool stopNo;    // "Annuler" half-way, answered No; the platform's themed bar (0 % shows as 1)
};

std::string caseName(const ::testing::TestParamInfo<InstallCase>& info) {
    const InstallCase& c = info.param;
    return std::string(testsupport::peerKindName(c.kind)) + (c.passive ? "_passive" : "_active") +
           (c.chmod ? "_chmod" : "") + (c.existing ? "_existing" : "") + (c.stopNo ? "_stopNo" : "");
}

class WholeInstall : public ::testing::TestWithParam<InstallCase> {};

}  // namespace

// A whole install: every folder and file arrives byte for byte (older files overwritten),
// the closing box, the settings, the journal block, the window back to idle, and (with
// "Chmod.") the 14 targets made writable on the server's disk.
TEST_P(WholeInstall, PutsTheGuestbookOnTheServerByteForByteAndRecordsTheRun) {
    const InstallCase c = GetParam();
    const std::string folder = c.folder;
    ToolsFolder tools;
    FtpPeer peer(c.kind);
    const stdfs::path remote = stdfs::path(peer.home()) / folder;
    if (c.existing) {
        peer.makeFolder(folder);
        peer.makeFolder(folder + "/chmod_perso");
        writeFile(remote / "index.php", "ancien");
        writeFile(remote / "chmod_perso/livre.txt", "ancien livre");
    }
    Installer inst(c.stopNo);
    auto& u = inst.ui;
    inst.fillForm(peer, folder, c.passive, c.chmod);
    if (c.existing) u.expectBox("Dossier existant.", "\"" + folder + "\" existe déjà.", MessageBoxResult::Yes);
    if (c.stopNo) {
        u.expectBox("Information.", stopQuestion, MessageBoxResult::No);
        u.expectBox("Information.", "Le tansfert des fichiers va donc reprendre.");
    }
    u.expectBox("Statut transfert.", allSent);

    const std::time_t before = std::time(nullptr);
    inst.pressValidate();
    if (c.stopNo) {
        ASSERT_TRUE(u.waitUntil([&] { return u.selectedLine(ids::mainWindow, ids::treeList) >= 20; },
                                std::chrono::seconds(30)));
        inst.pressCancel();
    }
    ASSERT_TRUE(inst.closeLinkGenerator());
    const std::time_t after = std::time(nullptr);
    waitForWorkers();

    expectTheBox(inst, "Statut transfert.", c.chmod ? std::string(allSent) + "\r\n\r\n" + chmodSentence : allSent,
                 MessageIcon::Information);

    expectWholeGuestbook(peer, folder);
    EXPECT_EQ(tools.settings(), expectedSettings(peer, folder, c.chmod ? 1 : 0, c.passive ? 1 : 0));
    expectOneJournalBlock(tools, peer, folder, c.chmod, c.passive, before, after, {});

    // Idle again, the bars at their end state, the last line processed selected.
    expectIdle(u);
    EXPECT_EQ(u.getProgress(ids::mainWindow, ids::overallBar), 100);
    EXPECT_EQ(u.getProgress(ids::mainWindow, ids::fileBar), c.stopNo ? 1 : 0);  // the themed range's 0 %
    EXPECT_EQ(u.selectedLine(ids::mainWindow, ids::treeList), expectedItemCount - 1);
    EXPECT_EQ(u.getText(ids::mainWindow, ids::countLabel), "Fichiers envoyés : 333/333");
    for (const ChmodTarget& t : chmodTargets)
        EXPECT_EQ(modeOf(remote.string() + t.suffix) == 0777, c.chmod) << t.suffix;
    if (c.chmod) {
        EXPECT_EQ(u.getText(ids::mainWindow, ids::chmodStatus), "En cours :");
    }
}

INSTANTIATE_TEST_SUITE_P(Peers, WholeInstall,
                         ::testing::Values(InstallCase{PeerKind::Pyftpdlib, true, false, "livre-dor", true, false},
                                           InstallCase{PeerKind::Pyftpdlib, false, false, "livre-dor", false, true},
                                           InstallCase{PeerKind::Vsftpd, true, false, "mon-livre", false, false},
                                           InstallCase{PeerKind::Vsftpd, false, true, "mon-livre", false, false}),
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
    ASSERT_TRUE(inst.waitForRunEnd());
    waitForWorkers();

    inst.expectScriptMet();
    EXPECT_EQ(treeBelow(peer.home()), (std::set<std::string>{"sessions/", "livre-dor/", "livre-dor/index.php"}));
    EXPECT_EQ(readFile(stdfs::path(peer.home()) / "livre-dor/index.php"), "ancien");
    EXPECT_FALSE(tools.hasSettings());
    EXPECT_FALSE(tools.hasJournal());
    expectIdle(inst.ui);
}

// "Annuler" during the upload, answered Yes.
TEST(StopQuestion, YesEndsTheRunWithoutJournalSettingsOrChmod) {
    ToolsFolder tools;
    FtpPeer peer(PeerKind::Pyftpdlib);
    Installer inst;
    inst.fillForm(peer, "livre-dor", true, true);
    inst.ui.expectBox("Information.", stopQuestion, MessageBoxResult::Yes);
    inst.ui.expectBox("Information.", "Le transfert va donc être arrêté, veuillez patienter.");
    inst.ui.expectBox("Statut transfert.",
                      "Tous les fichiers n'ont pas été transférés.\r\n\r\nVotre livre d'or ne sera donc pas "
                      "fonctionnel.");
    inst.pressValidate();
    ASSERT_TRUE(inst.ui.waitUntil(
        [&] { return inst.ui.selectedLine(ids::mainWindow, ids::treeList) >= 20; }, std::chrono::seconds(30)));
    inst.pressCancel();
    ASSERT_TRUE(inst.waitForRunEnd());
    waitForWorkers();

    inst.expectScriptMet();
    EXPECT_FALSE(inst.ui.windowExists(ids::linkGeneratorWindow));
    EXPECT_FALSE(tools.hasSettings());
    EXPECT_FALSE(tools.hasJournal());
    // Only part of the guestbook went, nothing after the file being sent at the stop.
    EXPECT_LT(inst.ui.selectedLine(ids::mainWindow, ids::treeList), 60);
    EXPECT_LT(treeBelow(peer.home()).size(), expectedTree("livre-dor").size() / 4);
    EXPECT_NE(modeOf(stdfs::path(peer.home()) / "livre-dor/chmod_perso"), 0777);
    // Ready for a new run.
    EXPECT_FALSE(inst.app->uploadRunning);
    EXPECT_FALSE(inst.app->stopRequested);
    expectIdle(inst.ui);
    EXPECT_EQ(inst.ui.getProgress(ids::mainWindow, ids::overallBar), 0);
}

// Files that never arrive — refused by the server (a read-only folder), or gone from the
// local folder after the start-up scan — are each sent maxSendAttempts times, every failed
// attempt is a journal line in send order, the rest of the guestbook still arrives and the
// closing box says what is missing instead of the all-clear.
TEST(RefusedFiles, AreGivenUpAtTheBoundAndReported) {
    ToolsFolder tools(true);
    FtpPeer peer(PeerKind::Vsftpd, PeerOptions{0, {"livre-dor/chmod_perso/save"}, true});
    peer.makeFolder("livre-dor");  // the read-only folder's parents, writable for the server
    peer.makeFolder("livre-dor/chmod_perso");
    Installer inst;
    stdfs::remove(tools.dir / "livre-dor/img_perso/lisezmoi.txt");
    const std::string closing = "Le transfert est terminé, mais 4 fichiers n'ont pas pu être envoyés.\r\n\r\n"
                                "La liste se trouve dans le fichier \"softwareDatas/log-erreur.txt\".\r\n\r\n"
                                "Votre livre d'or risque de ne pas fonctionner correctement.";
    const auto [before, after] = runIntoExistingFolder(inst, peer, closing);
    expectTheBox(inst, "Statut transfert.", closing, MessageIcon::Warning);

    const std::vector<std::string> missing = {
        "livre-dor/chmod_perso/save/index.php", "livre-dor/chmod_perso/save/sauvegarde_config.php",
        "livre-dor/chmod_perso/save/sauvegarde_livre.txt", "livre-dor/img_perso/lisezmoi.txt"};
    std::vector<std::string> failed;
    for (const std::string& m : missing) failed.insert(failed.end(), maxSendAttempts, m);
    expectOneJournalBlock(tools, peer, "livre-dor", false, true, before, after, failed);

    std::set<std::string> want = expectedTree("livre-dor");
    for (const std::string& m : missing) want.erase(m);
    EXPECT_EQ(treeBelow(peer.home()), want);
    // The files that arrived are on the server: the connection is recorded.
    EXPECT_EQ(tools.settings(), expectedSettings(peer, "livre-dor", 0, 1));
}

TEST(RefusedFiles, OneGivenUpFileIsNamedInTheSingular) {
    const std::string first = "Le transfert est terminé, mais 1 fichier n'a pas pu être envoyé.\r\n";
    RunReport report;
    report.outcome = UploadOutcome::Processed;
    report.filesGivenUp = 1;
    EXPECT_EQ(closingNotice(report).text.substr(0, first.size()), first);
}

// A folder field that names no sub-folder ("//" typed, blanks, "..") would put the
// guestbook into the login directory, over the site's own files: "Valider" says so and
// the server hears nothing.
TEST(FolderField, ThatNamesNoSubFolderIsRefusedAndNothingIsSent) {
    ToolsFolder tools;
    FtpPeer peer(PeerKind::Pyftpdlib);
    Installer inst;
    auto& u = inst.ui;
    for (const char* typed : {"//", "   ", ".."}) {
        SCOPED_TRACE(typed);
        if (std::string(typed) == "//") u.expectBox("ATTENTION.", "sous-dossier");
        inst.fillForm(peer, typed, true, false);
        const std::size_t before = u.shownBoxes().size();
        u.expectBox("ATTENTION.", "Vous devez entrer le nom du dossier");
        inst.pressValidate();
        ASSERT_TRUE(inst.waitForRunEnd());
        ASSERT_EQ(u.shownBoxes().size(), before + 1);
        EXPECT_EQ(u.shownBoxes().back().text,
                  "Vous devez entrer le nom du dossier dans lequel les fichiers de Velmo Livre d'or seront "
                  "transférés.\r\n\r\nLe livre d'or ne peut pas être transféré directement à la racine de votre "
                  "site.");
        EXPECT_EQ(u.shownBoxes().back().icon, MessageIcon::Warning);
        expectIdle(u);
    }
    waitForWorkers();
    inst.expectScriptMet();
    EXPECT_EQ(peer.receivedCommands(), std::vector<std::string>{});
    EXPECT_TRUE(treeBelow(peer.home()).empty());
    EXPECT_FALSE(tools.hasSettings());
}

// The server already holds a file named "aide" where the folder goes: "aide" can be
// neither made nor entered, so neither its files (among them an index.php) nor those of
// "aide/img" are sent; each is a journal line, the closing box counts them, and
// everything else arrives in its place, the guestbook's own index.php untouched.
TEST(FolderThatCannotBeEntered, GetsNoneOfItsFilesSentAndIsReported) {
    ToolsFolder tools;
    FtpPeer peer(PeerKind::Vsftpd);
    peer.makeFolder("livre-dor");
    writeFile(stdfs::path(peer.home()) / "livre-dor/aide", "un fichier");
    std::vector<std::string> notSent;
    std::set<std::string> want = expectedTree("livre-dor");
    for (auto it = want.begin(); it != want.end();) {
        if (it->rfind("livre-dor/aide/", 0) != 0) {
            ++it;
            continue;
        }
        if (it->back() != '/') notSent.push_back(*it);
        it = want.erase(it);
    }
    want.insert("livre-dor/aide");
    Installer inst;
    const auto [before, after] = runIntoExistingFolder(
        inst, peer, "Le transfert est terminé, mais " + std::to_string(notSent.size()) + " fichiers n'ont pas pu être envoyés.");
    inst.expectScriptMet();
    EXPECT_EQ(inst.boxesTitled("Statut transfert.").at(0).icon, MessageIcon::Warning);

    EXPECT_EQ(treeBelow(peer.home()), want);
    for (const std::string& rel : want) {
        if (rel.back() == '/' || rel == "livre-dor/aide") continue;
        EXPECT_EQ(readFile(stdfs::path(peer.home()) / rel), readFile(sampleGuestbook() / rel.substr(10))) << rel;
    }
    // The tree list's order, which is the journal's: aide's files, then aide/img's.
    std::vector<std::string> inSendOrder;
    for (const ManifestFolder& m : *inst.app->manifest)
        if (m.remoteFolder == "aide" || m.remoteFolder == "aide/img")
            for (std::size_t i = 1; i < m.lines.size(); ++i)
                inSendOrder.push_back(m.uploadPrefix + fileNameOfLine(m.lines[i], m.fileLinePrefix));
    EXPECT_EQ(inSendOrder.size(), notSent.size());
    expectOneJournalBlock(tools, peer, "livre-dor", false, true, before, after, inSendOrder);
}

// Two runs in a row. During the first, the link generator is opened from the menu: the
// run's end takes it over (the link it builds names the folder just sent) and the main
// window stays disabled, not deaf, until it is closed. An "Annuler" that came too late
// for the first run is not the second's: the second run asks no stop question.
TEST(TwoRuns, TheMenusGeneratorDuringAnUploadAndALateAnnulerLeaveTheNextRunAlone) {
    ToolsFolder tools;
    FtpPeer peer(PeerKind::Pyftpdlib);
    writeFile(tools.dir / "softwareDatas/config.pcfg", expectedSettings(peer, "livre-dor", 0, 1));
    Installer inst;
    auto& u = inst.ui;
    const int gen = ids::linkGeneratorWindow;
    inst.fillForm(peer, "mon-livre", true, false);
    u.expectBox("Statut transfert.", allSent);
    inst.pressValidate();
    ASSERT_TRUE(u.waitUntil([&] { return u.selectedLine(ids::mainWindow, ids::treeList) >= 20; },
                            std::chrono::seconds(30)));
    ASSERT_TRUE(u.chooseMenu(ids::mainWindow, ids::menuLinkGenerator));
    ASSERT_TRUE(u.waitUntil([&] { return u.windowExists(gen); }));
    ASSERT_TRUE(u.waitUntil([&] { return !inst.app->uploadRunning; }, std::chrono::seconds(60)));
    EXPECT_TRUE(u.windowExists(gen));
    EXPECT_FALSE(u.isWindowEnabled(ids::mainWindow)) << "the generator stands above it";
    u.expectBox("Lien généré.", "Le lien vient d'être généré.");
    ASSERT_TRUE(u.typeText(gen, ids::linkField, "http://www.mon-site.fr"));
    ASSERT_TRUE(u.click(gen, ids::linkGenerateButton));
    EXPECT_TRUE(u.waitUntil([&] {
        return u.getText(gen, ids::linkControl) == "http://www.mon-site.fr/mon-livre/install/index.php";
    }));
    ASSERT_TRUE(inst.closeLinkGenerator());
    EXPECT_TRUE(u.isEnabled(ids::mainWindow, ids::folderField));
    settleMainLoop(u);
    expectWholeGuestbook(peer, "mon-livre");

    // "Annuler" pressed after the first run's last file had left the flag set.
    inst.app->stopRequested = true;
    u.expectBox("Dossier existant.", "existe déjà", MessageBoxResult::Yes);
    u.expectBox("Statut transfert.", allSent);
    inst.pressValidate();
    ASSERT_TRUE(inst.closeLinkGenerator());
    waitForWorkers();
    inst.expectScriptMet();
    for (const ui::ShownBox& box : u.shownBoxes()) EXPECT_NE(box.text, stopQuestion);
}
