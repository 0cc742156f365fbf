// The locator's connect-and-list and folder test, without a window, against every real FTP
// server kind on loopback: the rows a user sees and which folders pass the test.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "ftp/ftp_session.h"
#include "locator/locator_engine.h"
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
    std::vector<std::string> seen;
    ServerListing listing;
    void connectionFailed(int run) override { seen.push_back("connectionFailed " + std::to_string(run)); }
    void listingFailed(int run) override { seen.push_back("listingFailed " + std::to_string(run)); }
    void listed(int run, const ServerListing& l) override {
        seen.push_back("listed " + std::to_string(run));
        listing = l;
    }
};

ConnectionSettings settingsFor(const FtpPeer& peer, bool passive, const std::string& password) {
    ConnectionSettings s;
    s.serverAddress = peer.host();
    s.userId = peer.user();
    s.password = password;
    s.passiveFlag = passive ? 1 : 0;
    s.port = peer.port();
    return s;
}

// "name|weight" per row, folders marked with a trailing "/".
std::vector<std::string> rowTexts(const ServerListing& listing) {
    std::vector<std::string> out;
    for (const ListingRow& r : listingRows(listing)) out.push_back(r.name + (r.folder ? "/|" : "|") + r.weight);
    return out;
}

// A login directory holding both marker files itself, next to folders that look like
// guestbooks to a careless test.
void layOutServer(const FtpPeer& peer) {
    const stdfs::path home = peer.home();
    const std::string php = "<?php ?>";
    for (const char* folder : {"www", "Livre-dor", "livre-dor", "my folder", "Zeta", "www/livre_signer.php"})
        stdfs::create_directories(home / folder);
    for (const char* file : {"livre_lire.php", "livre_signer.php", "livre-dor/livre_lire.php",
                             "livre-dor/livre_signer.php", "Livre-dor/livre_lire.php",
                             "Livre-dor/Livre_signer.php", "www/livre_lire.php"})
        velmo::testing::writeBytes(home / file, php);
    velmo::testing::writeBytes(home / "index.html", std::string(1234, 'x'));
    velmo::testing::writeBytes(home / "README", "hi");
    velmo::testing::writeBytes(home / "alpha.txt", "a");
    velmo::testing::writeBytes(home / "big.bin", "");
    stdfs::resize_file(home / "big.bin", 3221225472);  // sparse: past what 32 bits hold
}

class OnRealServer : public ::testing::TestWithParam<std::tuple<PeerKind, bool>> {
protected:
    void TearDown() override { ftp::close(locatorSession); }
};

}  // namespace

TEST_P(OnRealServer, ListsFoldersThenFilesInByteOrderAndPassesOnlyAGuestbookFolder) {
    const auto [kind, passive] = GetParam();
    FtpPeer peer(kind);
    layOutServer(peer);
    LocatorEngine engine;

    Reports wrongPassword;
    const int refused = engine.beginRun(settingsFor(peer, passive, peer.password() + "x"));
    engine.connectAndList(refused, settingsFor(peer, passive, peer.password() + "x"), wrongPassword);
    EXPECT_EQ(wrongPassword.seen, std::vector<std::string>{"connectionFailed " + std::to_string(refused)});
    EXPECT_FALSE(ftp::isAlive(locatorSession));

    Reports reports;
    const ConnectionSettings settings = settingsFor(peer, passive, peer.password());
    const int run = engine.beginRun(settings);
    engine.connectAndList(run, settings, reports);
    ASSERT_EQ(reports.seen, std::vector<std::string>{"listed " + std::to_string(run)}) << peer.serverOutput();
    EXPECT_EQ(reports.listing.loginDirectory, "/");
    EXPECT_EQ(rowTexts(reports.listing),
              (std::vector<std::string>{"Livre-dor/|Dossier", "Zeta/|Dossier", "livre-dor/|Dossier",
                                        "my folder/|Dossier", "www/|Dossier", "README|2", "alpha.txt|1",
                                        "big.bin|3221225472", "index.html|1234", "livre_lire.php|8",
                                        "livre_signer.php|8"}));
    EXPECT_TRUE(ftp::isAlive(locatorSession));

    // The folder names a double-click can choose.
    for (const auto& [row, choosable] : std::vector<std::pair<std::string, bool>>{
             {"livre-dor", true}, {"my folder", true}, {"index.html", false}, {"LIVRE-DOR", false}, {"", false}})
        EXPECT_EQ(isChoosableFolder(reports.listing, row), choosable) << row;

    // Only a folder holding both files, by those exact names and as files, passes; a name
    // that is no folder below the login directory fails although the login directory
    // itself holds both. The test can be run again after failures.
    const std::vector<std::pair<std::string, FolderTestResult>> tests = {
        {"livre-dor", FolderTestResult::Valid},       {"Livre-dor", FolderTestResult::NotValid},
        {"www", FolderTestResult::NotValid},          {"absent", FolderTestResult::NotValid},
        {"index.html", FolderTestResult::NotValid},   {"", FolderTestResult::NotValid},
        {"..", FolderTestResult::NotValid},           {"livre-dor/..", FolderTestResult::NotValid},
        {"my folder", FolderTestResult::NotValid},    {"livre-dor", FolderTestResult::Valid}};
    for (const auto& [folder, expected] : tests)
        EXPECT_EQ(engine.testFolder(folder), expected) << "\"" << folder << "\"";

    // "Annuler" closes the session at once when no worker holds it.
    engine.cancel();
    EXPECT_FALSE(ftp::isAlive(locatorSession));
    EXPECT_FALSE(engine.isCurrent(run));
}

INSTANTIATE_TEST_SUITE_P(
    Peers, OnRealServer,
    ::testing::Combine(::testing::ValuesIn(testsupport::peerKindsUnderTest()), ::testing::Values(true, false)),
    [](const ::testing::TestParamInfo<std::tuple<PeerKind, bool>>& info) {
        return std::string(testsupport::peerKindName(std::get<0>(info.param))) +
               (std::get<1>(info.param) ? "_passive" : "_active");
    });

// The folder's path on the server joins the login directory and the folder with one "/".
TEST(FolderPath, JoinsWithOneSlash) {
    EXPECT_EQ(folderPath("/", "livre-dor"), "/livre-dor");
    EXPECT_EQ(folderPath("/www", "livre-dor"), "/www/livre-dor");
    EXPECT_EQ(folderPath("/www/", "my folder"), "/www/my folder");
}
