// The backup engine against real FTP servers on loopback: what is listed, what arrives on
// the local disk byte for byte, and how every kind of failure is counted and said. The
// window's side is a table of rows the test holds (TableReporter).
#include <signal.h>
#include <sys/resource.h>

#include <algorithm>
#include <optional>
#include <regex>

#include "backup/backup_engine.h"
#include "backup_harness.h"
#include "ftp/ftp_session.h"

using namespace velmo;
using namespace velmo::backup;
using namespace velmo::backup::testing;
using testsupport::FtpPeer;
using testsupport::PeerKind;
using velmo::testing::ScratchFolder;

namespace {

// The two lists as the user sees and ticks them.
struct TableReporter : BackupReporter {
    struct Row {
        std::string name;
        bool checked = true;
        std::string status;
    };
    std::vector<Row> lists[2];
    std::vector<bool> busyChanges;
    int loginFailures = 0;
    bool listed = false, started = false;
    std::optional<BackupOutcome> ended;

    std::vector<Row>& rows(SourceList l) { return lists[l == SourceList::Skins ? 0 : 1]; }
    Row& row(SourceList l, const std::string& name) {
        auto& rs = rows(l);
        auto it = std::find_if(rs.begin(), rs.end(), [&](const Row& r) { return r.name == name; });
        if (it == rs.end()) throw std::runtime_error("no row " + name);
        return *it;
    }
    // name -> status, and names in listing order sorted (servers list in their own order).
    std::map<std::string, std::string> statuses(SourceList l) {
        std::map<std::string, std::string> out;
        for (const Row& r : rows(l)) out[r.name] = r.status;
        return out;
    }
    void uncheckAll() {
        for (auto& l : lists)
            for (Row& r : l) r.checked = false;
    }

    void setBusy(bool busy) override { busyChanges.push_back(busy); }
    void loginFailed() override { ++loginFailures; }
    void clearSources() override {
        lists[0].clear();
        lists[1].clear();
    }
    void addSource(SourceList l, const std::string& name) override { rows(l).push_back({name, true, notSavedStatus}); }
    void sourcesListed() override { listed = true; }
    void backupStarting() override { started = true; }
    int sourceCount(SourceList l) override { return static_cast<int>(rows(l).size()); }
    bool sourceToSave(SourceList l, int row, std::string& name) override {
        if (!rows(l).at(row).checked) return false;
        name = rows(l).at(row).name;
        return true;
    }
    void setSourceStatus(SourceList l, int row, const std::string& status) override { rows(l).at(row).status = status; }
    void backupEnded(const BackupOutcome& outcome) override { ended = outcome; }
};

using Statuses = std::map<std::string, std::string>;

const std::string noFailure = "Les fichiers ont bien été sauvegardés.";

std::string folderOf(const ScratchFolder& tools, const BackupOutcome& outcome) {
    return (tools / (std::string(backupsFolder) + "/" + outcome.folderName)).string();
}

struct Case {
    PeerKind kind;
    int passive;
};

class WholeBackup : public ::testing::TestWithParam<Case> {};

}  // namespace

// Listing and backup of a whole guestbook: the rows, the folder named after the start
// time (made together with a missing "sauvegardes"), every file with the server's bytes
// and nothing that is not to be saved, the statuses, the counts and the closed session.
TEST_P(WholeBackup, BringsHomeEverySkinAndPersonalFileByteForByte) {
    ScratchFolder tools(ScratchFolder::Enter);
    FtpPeer peer(GetParam().kind);
    const auto server = guestbookOnServer();
    putOnServer(peer, server);

    BackupJob job{settingsFor(peer, GetParam().passive), ""};
    TableReporter r;
    ASSERT_TRUE(listBackupSources(job, r));
    EXPECT_EQ(job.loginDirectory, "/");
    EXPECT_TRUE(r.listed);
    EXPECT_EQ(r.statuses(SourceList::Skins), (Statuses{{"bleu", notSavedStatus}, {"rouge", notSavedStatus}}));
    EXPECT_EQ(r.statuses(SourceList::PersonalFiles),
              (Statuses{{"livre.txt", notSavedStatus}, {"mdp.php", notSavedStatus}}));

    const BackupOutcome out = runBackup(job, r);
    ASSERT_TRUE(r.ended.has_value());
    EXPECT_TRUE(std::regex_match(out.folderName, std::regex("sauvegarde_20[0-9]{2}(_[0-9]{2}){2}__[0-9]{2}(_[0-9]{2}){2}")))
        << out.folderName;
    expectSameTree(treeOf(folderOf(tools, out)), expectedTree(wholeBackup(), server));
    EXPECT_EQ(r.statuses(SourceList::Skins),
              (Statuses{{"bleu", "3 fichier(s) sauvegardé(s)."}, {"rouge", "2 fichier(s) sauvegardé(s)."}}));
    EXPECT_EQ(r.statuses(SourceList::PersonalFiles), (Statuses{{"livre.txt", savedStatus}, {"mdp.php", savedStatus}}));
    EXPECT_EQ(out.tally.savedFiles, 7);
    EXPECT_FALSE(out.tally.anyFailure());
    EXPECT_EQ(summarize(out).title, "Information.");
    EXPECT_EQ(summarize(out).text.rfind(noFailure + "\r\n\r\nLe dossier s'appelle : " + out.folderName + "\r\n", 0), 0u);
    EXPECT_EQ(r.busyChanges, (std::vector<bool>{true, false, true, false}));
    EXPECT_FALSE(ftp::isAlive(backupSession));
}

INSTANTIATE_TEST_SUITE_P(Peers, WholeBackup,
                         ::testing::Values(Case{PeerKind::Pyftpdlib, 1}, Case{PeerKind::Pyftpdlib, 0},
                                           Case{PeerKind::Vsftpd, 1}, Case{PeerKind::PureFtpd, 1},
                                           Case{PeerKind::Proftpd, 0}),
                         [](const auto& info) {
                             return std::string(testsupport::peerKindName(info.param.kind)) +
                                    (info.param.passive ? "_passive" : "_active");
                         });

// Unchecked rows are left alone (no download, no local folder for the skin, status kept);
// with every row unchecked a backup still makes its folder and says all went well; and a
// second backup never lands in the folder of the first.
TEST(Backup, UncheckedRowsAreLeftAloneAndEachBackupHasAFolderOfItsOwn) {
    ScratchFolder tools(ScratchFolder::Enter);
    FtpPeer peer(PeerKind::Pyftpdlib);
    const auto server = guestbookOnServer();
    putOnServer(peer, server);

    BackupJob job{settingsFor(peer), ""};
    TableReporter r;
    ASSERT_TRUE(listBackupSources(job, r));
    r.row(SourceList::Skins, "rouge").checked = false;
    r.row(SourceList::PersonalFiles, "mdp.php").checked = false;
    const BackupOutcome first = runBackup(job, r);
    auto wanted = wholeBackup();
    std::erase_if(wanted, [](const auto& f) { return f.first.starts_with("skins/rouge/") || f.first.ends_with("mdp.php"); });
    expectSameTree(treeOf(folderOf(tools, first)), expectedTree(wanted, server));
    EXPECT_EQ(r.row(SourceList::Skins, "rouge").status, notSavedStatus);
    EXPECT_EQ(r.row(SourceList::PersonalFiles, "mdp.php").status, notSavedStatus);
    EXPECT_EQ(first.tally.savedFiles, 4);

    ASSERT_TRUE(listBackupSources(job, r));
    r.uncheckAll();
    const BackupOutcome second = runBackup(job, r);
    EXPECT_NE(second.folderName, first.folderName);
    expectSameTree(treeOf(folderOf(tools, second)), {{"chmod_perso/", ""}});
    EXPECT_EQ(summarize(second).kind, SummaryKind::Saved);
    expectSameTree(treeOf(folderOf(tools, first)), expectedTree(wanted, server));
}

// A skin has lost its settings file; between the listing and the backup a personal file
// and a whole skin vanish from the server; the local disk refuses to hold a large file; a personal file's name
// would put it outside the backup folder. None of them counts as saved, none leaves a
// file behind, each row says it failed, and the summary counts them.
TEST(Backup, FilesThatCannotBeSavedAreNeitherCountedNorLeftHalfWritten) {
    ScratchFolder tools(ScratchFolder::Enter);
    FtpPeer peer(PeerKind::Pyftpdlib);  // it lists names that begin with a dot
    auto server = guestbookOnServer();
    server["livre-dor/skins/vert/cfg_variables.php"] = contentOf("vert", 100);
    server["livre-dor/chmod_perso/..\\mdp.php"] = contentOf("evil", 100);
    server["livre-dor/chmod_perso/livre.txt"] = contentOf("livre", 300000);
    putOnServer(peer, server);

    BackupJob job{settingsFor(peer), ""};
    TableReporter r;
    ASSERT_TRUE(listBackupSources(job, r));
    ASSERT_EQ(r.rows(SourceList::PersonalFiles).size(), 3u);
    const stdfs::path remote = stdfs::path(peer.home()) / "livre-dor";
    stdfs::remove(remote / "skins/rouge/cfg_variables.php");
    stdfs::remove(remote / "chmod_perso/mdp.php");
    stdfs::remove_all(remote / "skins/vert");

    // A full disk, as root sees one: files may not grow past 64 KiB while the backup runs.
    rlimit previous{};
    getrlimit(RLIMIT_FSIZE, &previous);
    rlimit small = previous;
    small.rlim_cur = 64 * 1024;
    const auto previousHandler = signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &small);
    const BackupOutcome out = runBackup(job, r);
    setrlimit(RLIMIT_FSIZE, &previous);
    signal(SIGXFSZ, previousHandler);

    auto wanted = wholeBackup();
    for (const char* gone : {"skins/rouge/cfg_variables.php", "chmod_perso/mdp.php", "chmod_perso/livre.txt"})
        wanted.erase(gone);
    expectSameTree(treeOf(folderOf(tools, out)), expectedTree(wanted, server, {"chmod_perso/"}));
    EXPECT_EQ(r.statuses(SourceList::Skins), (Statuses{{"bleu", "3 fichier(s) sauvegardé(s)."},
                                                       {"rouge", "1 fichier(s) sauvegardé(s), 1 échec(s)."},
                                                       {"vert", failedStatus}}));
    EXPECT_EQ(r.statuses(SourceList::PersonalFiles),
              (Statuses{{"livre.txt", failedStatus}, {"mdp.php", failedStatus}, {"..\\mdp.php", failedStatus}}));
    EXPECT_EQ(out.tally.savedFiles, 4);
    EXPECT_EQ(out.tally.failedFiles, 5);
    EXPECT_EQ(out.tally.unreadFolders, 1);
    const BackupSummary summary = summarize(out);
    EXPECT_EQ(summary.title, "Avertissement.");
    EXPECT_EQ(summary.text.find(noFailure), std::string::npos);
    EXPECT_NE(summary.text.find("5 fichiers n'ont pas pu être sauvegardés.\r\n"
                                "1 dossier d'images n'a pas pu être lu.\r\n\r\n"
                                "4 fichiers ont été sauvegardés dans le dossier : " + out.folderName),
              std::string::npos)
        << summary.text;
}

// The server goes away after the listing: the reconnection fails, every checked file
// fails, and the closing message says that nothing was saved.
TEST(Backup, ABackupInWhichEverythingFailedSaysSo) {
    ScratchFolder tools(ScratchFolder::Enter);
    std::optional<FtpPeer> peer(std::in_place, PeerKind::Pyftpdlib);
    putOnServer(*peer, guestbookOnServer());
    BackupJob job{settingsFor(*peer), ""};
    TableReporter r;
    ASSERT_TRUE(listBackupSources(job, r));
    peer.reset();

    const BackupOutcome out = runBackup(job, r);
    EXPECT_EQ(r.statuses(SourceList::Skins), (Statuses{{"bleu", failedStatus}, {"rouge", failedStatus}}));
    EXPECT_EQ(r.statuses(SourceList::PersonalFiles), (Statuses{{"livre.txt", failedStatus}, {"mdp.php", failedStatus}}));
    EXPECT_EQ(out.tally.savedFiles, 0);
    const BackupSummary summary = summarize(out);
    EXPECT_EQ(summary.kind, SummaryKind::NothingSaved);
    EXPECT_EQ(summary.title, "Attention");
    EXPECT_EQ(summary.text.rfind("Aucun fichier n'a pu être sauvegardé.\r\n\r\n4 fichiers n'ont pas pu être "
                                 "sauvegardés.\r\n2 dossiers d'images n'ont pas pu être lus.\r\n",
                                 0),
              0u)
        << summary.text;
    EXPECT_EQ(summary.text.find(noFailure), std::string::npos);
}

// A login that fails says so and leaves the lists alone; nothing is marked busy.
TEST(Backup, AFailedLoginIsReportedAndListsNothing) {
    FtpPeer peer(PeerKind::Vsftpd);
    BackupJob job{settingsFor(peer), ""};
    job.settings.password += "-faux";
    TableReporter r;
    EXPECT_FALSE(listBackupSources(job, r));
    EXPECT_EQ(r.loginFailures, 1);
    EXPECT_FALSE(r.listed);
    EXPECT_TRUE(r.busyChanges.empty());
}

class DroppedSession : public ::testing::TestWithParam<PeerKind> {};

// The user looked at the lists until the server dropped the idle session: "Sauvegarder"
// logs in again and saves everything.
TEST_P(DroppedSession, IsReopenedBeforeTheBackup) {
    ScratchFolder tools(ScratchFolder::Enter);
    FtpPeer peer(GetParam(), testsupport::PeerOptions{2, {}, true});
    const auto server = guestbookOnServer();
    putOnServer(peer, server);
    BackupJob job{settingsFor(peer), ""};
    TableReporter r;
    ASSERT_TRUE(listBackupSources(job, r));
    ASSERT_TRUE(idleDropSeen(peer, 15)) << "the server never dropped an idle session";

    const BackupOutcome out = runBackup(job, r);
    EXPECT_EQ(out.tally.savedFiles, 7);
    EXPECT_FALSE(out.tally.anyFailure());
    expectSameTree(treeOf(folderOf(tools, out)), expectedTree(wholeBackup(), server));
}

INSTANTIATE_TEST_SUITE_P(Peers, DroppedSession, ::testing::ValuesIn(testsupport::peerKindsWithIdleSeconds()),
                         [](const auto& info) { return std::string(testsupport::peerKindName(info.param)); });
