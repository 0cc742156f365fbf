// The locator's connect-and-list and folder test, without a window, against every real FTP
// server kind on loopback: the rows a user sees and which folders pass the test.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "ftp/control_connection.h"
#include "ftp/ftp_session.h"
#include "locator/engine/locator_engine.h"
#include "suite/file_names.h"
#include "tests/support/ftp_peers.h"
#include "tests/support/scratch_folder.h"

using namespace velmo;
using namespace velmo::locator;
using testsupport::FtpPeer;
using testsupport::PeerKind;
namespace stdfs = std::filesystem;

namespace {

// What the worker reported; read once it has returned.
struct Reports : ListingReporter {
    std::string seen;
    ServerListing listing;
    void connectionFailed(int, ftp::Failure) override { seen += "connectionFailed "; }
    void listingFailed(int) override { seen += "listingFailed "; }
    void listed(int, const ServerListing& l) override {
        seen += "listed ";
        listing = l;
    }
};

// "name|weight" per row, folders marked with a trailing "/".
std::vector<std::string> rowTexts(const ServerListing& listing) {
    std::vector<std::string> out;
    for (const ListingRow& r : listingRows(listing)) out.push_back(r.name + (r.folder ? "/|" : "|") + r.weight);
    return out;
}

// A login directory holding both marker files itself, next to folders that look like
// guestbooks to a careless test.
void layOutServer(const stdfs::path& home) {
    for (const char* folder : {"www", "Livre-dor", "livre-dor", "my folder", "Zeta", "www/livre_signer.php"})
        stdfs::create_directories(home / folder);
    for (const char* file : {"livre_lire.php", "livre_signer.php", "livre-dor/livre_lire.php", "livre-dor/livre_signer.php",
                             "Livre-dor/livre_lire.php", "Livre-dor/Livre_signer.php", "www/livre_lire.php"})
        velmo::testing::writeBytes(home / file, "<?php ?>");
    for (const auto& [file, size] : {std::pair{"index.html", 1234}, {"README", 2}, {"alpha.txt", 1}, {"big.bin", 0}})
        velmo::testing::writeBytes(home / file, std::string(size, 'x'));
    stdfs::resize_file(home / "big.bin", 3221225472);  // sparse: past what 32 bits hold
}

class OnRealServer : public ::testing::TestWithParam<std::tuple<PeerKind, bool>> {};

}  // namespace

TEST_P(OnRealServer, ListsFoldersThenFilesInByteOrderAndPassesOnlyAGuestbookFolder) {
    const auto [kind, passive] = GetParam();
    FtpPeer peer(kind);
    layOutServer(peer.home());
    LocatorEngine engine;

    Reports reports;
    const ConnectionSettings settings{.serverAddress = peer.host(), .userId = peer.user(),
                                      .password = peer.password(), .passiveFlag = passive, .port = peer.port()};
    const int run = engine.beginRun(settings);
    engine.connectAndList(run, settings, reports);
    ASSERT_EQ(reports.seen, "listed ") << peer.serverOutput();
    EXPECT_EQ(reports.listing.loginDirectory, "/");
    EXPECT_EQ(rowTexts(reports.listing),
              (std::vector<std::string>{"Livre-dor/|Dossier", "Zeta/|Dossier", "livre-dor/|Dossier",
                                        "my folder/|Dossier", "www/|Dossier", "README|2", "alpha.txt|1",
                                        "big.bin|3221225472", "index.html|1234", "livre_lire.php|8",
                                        "livre_signer.php|8"}));
    EXPECT_EQ(ftp::openControlConnections(), 1) << "the session stays open for the tests";

    // The folder names a double-click can choose.
    for (const auto& [row, choosable] : std::vector<std::pair<std::string, bool>>{
             {"livre-dor", true}, {"my folder", true}, {"index.html", false}, {"LIVRE-DOR", false}, {"", false}})
        EXPECT_EQ(isChoosableFolder(reports.listing, row), choosable) << row;

    // Only a folder holding both files, by those exact names and as files, passes, also
    // written with the "/" that ends a folder's name; a name that is no single folder
    // below the login directory is refused as such, although the login directory itself
    // holds both. The test can be run again after failures.
    const std::pair<std::string, FolderTestResult> verdicts[] = {
        {"livre-dor", FolderTestResult::Valid},         {"Livre-dor", FolderTestResult::NotValid},
        {"www", FolderTestResult::NotValid},            {"absent", FolderTestResult::NotValid},
        {"index.html", FolderTestResult::NotValid},     {"", FolderTestResult::NotOneFolder},
        {"..", FolderTestResult::NotOneFolder},         {".", FolderTestResult::NotOneFolder},
        {"/", FolderTestResult::NotOneFolder},          {"livre-dor/..", FolderTestResult::NotOneFolder},
        {"/livre-dor", FolderTestResult::NotOneFolder}, {"my folder", FolderTestResult::NotValid},
        {"livre-dor/", FolderTestResult::Valid},        {"livre-dor//", FolderTestResult::Valid},
        {"my folder/", FolderTestResult::NotValid},     {"livre-dor", FolderTestResult::Valid}};
    for (const auto& [folder, verdict] : verdicts)
        EXPECT_EQ(engine.testFolder(folder), verdict) << "\"" << folder << "\"";

    // "Annuler" closes the session at once when no worker holds it.
    engine.cancel();
    EXPECT_EQ(ftp::openControlConnections(), 0);
    EXPECT_FALSE(engine.isCurrent(run));
}

INSTANTIATE_TEST_SUITE_P(
    Peers, OnRealServer,
    ::testing::Combine(::testing::ValuesIn(testsupport::peerKindsUnderTest()), ::testing::Values(true, false)),
    [](const ::testing::TestParamInfo<std::tuple<PeerKind, bool>>& info) {
        return std::string(testsupport::peerKindName(std::get<0>(info.param))) +
               (std::get<1>(info.param) ? "_passive" : "_active");
    });

// Below a login directory other than "/" (which these servers do not give).
TEST(FolderPath, JoinsWithOneSlash) {
    EXPECT_EQ(suite::joinServerPath("/www", "livre-dor") + suite::joinServerPath("/www/", "a"), "/www/livre-dor/www/a");
}

// A host that logs its users into /www: the test enters /www/livre-dor, not the home's own
// livre-dor (which lacks a file), and a path through /www typed from there is no folder of
// the listing, though /www/www/livre-dor exists and holds both files.
TEST(LoginDirectoryBelowTheRoot, TheTestEntersTheFolderBelowIt) {
    FtpPeer peer(PeerKind::Pyftpdlib, testsupport::PeerOptions{.loginFolder = "www"});
    const stdfs::path home = peer.home();
    for (const char* file : {"www/livre-dor/livre_lire.php", "www/livre-dor/livre_signer.php", "livre-dor/livre_lire.php",
                             "www/www/livre-dor/livre_lire.php", "www/www/livre-dor/livre_signer.php"}) {
        stdfs::create_directories((home / file).parent_path());
        velmo::testing::writeBytes(home / file, "<?php ?>");
    }
    LocatorEngine engine;
    Reports reports;
    const ConnectionSettings settings{.serverAddress = peer.host(), .userId = peer.user(),
                                      .password = peer.password(), .port = peer.port()};
    const int run = engine.beginRun(settings);
    engine.connectAndList(run, settings, reports);
    ASSERT_EQ(reports.seen, "listed ") << peer.serverOutput();
    EXPECT_EQ(reports.listing.loginDirectory, "/www");
    EXPECT_EQ(rowTexts(reports.listing), (std::vector<std::string>{"livre-dor/|Dossier", "www/|Dossier"}));
    EXPECT_EQ(engine.testFolder("livre-dor"), FolderTestResult::Valid);
    EXPECT_EQ(engine.testFolder("www/livre-dor"), FolderTestResult::NotOneFolder);
    const std::vector<std::string> commands = peer.receivedCommands();
    EXPECT_NE(std::find(commands.begin(), commands.end(), "CWD /www/livre-dor"), commands.end())
        << ::testing::PrintToString(commands);
    EXPECT_EQ(std::find(commands.begin(), commands.end(), "CWD /www/www/livre-dor"), commands.end());
}
