// The window-less core: what the start-up scan puts in the tree list, the bars' rounding,
// and what a finished run says and records.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "installer/engine/guestbook_manifest.h"
#include "installer/engine/permission_plan.h"
#include "installer/window/progress_display.h"
#include "installer/engine/run_completion.h"
#include "tests/support/scratch_folder.h"

using namespace velmo::installer;
namespace stdfs = std::filesystem;

namespace {

// A temporary folder that is the current directory while the test runs, as the installer
// runs in Tools.
struct InFolder : velmo::testing::ScratchFolder {
    InFolder() : ScratchFolder(Enter) {}
    void touch(const std::string& rel) const { writeFile(rel, "x"); }
};

}  // namespace

TEST(GuestbookManifest, ScanLeavesOutFoldersThumbsAndUnlistedPlaces) {
    InFolder in;
    in.touch("livre-dor/index.php");
    in.touch("livre-dor/Thumbs.db");
    in.touch("livre-dor/thumbs.db");  // only the exact name is left out
    in.touch("livre-dor/images/extra/deep.gif");  // not a manifest folder
    in.touch("livre-dor/images/b.gif");
    in.touch("livre-dor/images/A.gif");
    in.touch("livre-dor/langues/loose.php");  // the langues folder is never scanned
    std::vector<std::string> lines;
    std::vector<ManifestFolder> m = scanManifest(lines);
    const std::vector<std::string> expected = {
        "+-[Dossier] livre-dor", "   +- index.php", "   +- thumbs.db",
        "   +-[Dossier] images", "      +- A.gif", "      +- b.gif",
        "   +-[Dossier] langues"};
    EXPECT_EQ(lines, expected);
    // Entries whose folder is missing add nothing, yet keep their folder line for the upload.
    EXPECT_EQ(m[1].lines, std::vector<std::string>{"   +-[Dossier] aide"});
    EXPECT_EQ(fileNameOfLine("      +- A.gif", m[5].fileLinePrefix), "A.gif");
}

TEST(ProgressMath, BarsRoundUpStayInRangeAndDoNotOverflow) {
    EXPECT_EQ(overallPercent(0), 0);
    EXPECT_EQ(overallPercent(1), 1);
    EXPECT_EQ(overallPercent(166), 50);
    EXPECT_EQ(overallPercent(332), 100);
    EXPECT_EQ(overallPercent(400), 100);
    EXPECT_EQ(filePercent(0, 0), 0);  // an empty file shows 0 while it is sent
    EXPECT_EQ(filePercent(1, 1000), 1);
    EXPECT_EQ(filePercent(999, 1000), 100);
    EXPECT_EQ(filePercent(5LL << 40, 6LL << 40), 84);  // large files do not overflow
    EXPECT_EQ(permissionStepPercent(3, 14), 22);
}

// The closing box names the CHMOD only as what the permission step did, and the settings
// say the modes are applied (and the journal "CHMOD : oui") only when they were.
TEST(RunCompletion, TheClosingBoxAndTheRecordsSayWhatThePermissionStepDid) {
    const std::string allSent = "Tous les dossiers et fichiers ont bien été transférés.";
    const std::string missing = "Le transfert est terminé, mais 3 fichiers n'ont pas pu être envoyés.";
    struct Row {
        int givenUp;
        PermissionResult permissions;
        std::string first, last;
        velmo::installer::NoticeKind kind;
        int recordedFlag;
    };
    using velmo::installer::NoticeKind;
    const std::vector<Row> rows = {
        {0, {PermissionOutcome::NotAsked}, allSent, allSent, NoticeKind::Information, 0},
        {0, {PermissionOutcome::Applied}, allSent,
         "\r\n\r\nLe programme a effectué les CHMOD sur les dossiers et fichiers adéquates.",
         NoticeKind::Information, 1},
        {0, {PermissionOutcome::NotConnected}, allSent,
         "\r\n\r\nLe programme n'a pas pu se connecter pour effectuer les CHMOD sur les dossiers et fichiers "
         "adéquates.",
         NoticeKind::Warning, 0},
        {0, {PermissionOutcome::Refused, 2}, allSent,
         "\r\n\r\nLe serveur a refusé 2 des 14 CHMOD sur les dossiers et fichiers adéquates.", NoticeKind::Warning,
         0},
        {3, {PermissionOutcome::Applied}, missing, "Le programme a effectué les CHMOD sur les dossiers et fichiers adéquates.",
         NoticeKind::Warning, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.last);
        RunReport report;
        report.outcome = UploadOutcome::Processed;
        report.settings.permissionFlag = row.permissions.outcome == PermissionOutcome::NotAsked ? 0 : 1;
        report.filesGivenUp = row.givenUp;
        report.permissions = row.permissions;
        const velmo::installer::Notice n = closingNotice(report);
        EXPECT_EQ(n.title, "Statut transfert.");
        EXPECT_EQ(n.text.substr(0, row.first.size()), row.first);
        ASSERT_GE(n.text.size(), row.last.size());
        EXPECT_EQ(n.text.substr(n.text.size() - row.last.size()), row.last);
        EXPECT_EQ(n.kind, row.kind);
        EXPECT_EQ(settingsToRecord(report).permissionFlag, row.recordedFlag);
    }

    // On disk: a run whose permission step could not connect.
    InFolder in;
    std::filesystem::create_directory("softwareDatas");
    RunReport report;
    report.outcome = UploadOutcome::Processed;
    report.settings = velmo::ConnectionSettings{"ftp.exemple.fr", "jean", "secret", "livre-dor", 1, 1, 21};
    report.permissions = {PermissionOutcome::NotConnected};
    recordRun(report);
    EXPECT_NE(in.readFile("softwareDatas/config.pcfg").find("FTP_infoChmod = 0\r\n"), std::string::npos);
    EXPECT_NE(in.readFile("softwareDatas/log-erreur.txt").find("CHMOD       : non\r\n"), std::string::npos);
}
