// Background sends (the installer's and the updater's way of uploading) against the real
// FTP servers: the status runs from TransferStarted through growing byte counts to
// TransferDone while the caller only polls, and the server ends up with the same bytes.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "ftp/ftp_session.h"
#include "tests/support/ftp_peers.h"

using namespace velmo;
using namespace velmo::testsupport;
namespace fsys = std::filesystem;

namespace {

constexpr int kSession = 44;

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Every distinct status value seen while polling, until the transfer ended (bounded).
std::vector<int> pollUntilEnded(int session) {
    std::vector<int> seen;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline) {
        const int status = ftp::transferStatus(session);
        if (seen.empty() || seen.back() != status) seen.push_back(status);
        if (status == ftp::TransferDone || status == ftp::TransferFailed) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return seen;
}

class BackgroundSend : public ::testing::TestWithParam<std::tuple<PeerKind, int>> {
protected:
    static void SetUpTestSuite() { ftp::startSessions(); }
    static void TearDownTestSuite() { ftp::closeAllSessions(); }
    void SetUp() override {
        local_ = (fsys::temp_directory_path() /
                  ("velmo-background-send-" + std::to_string(std::random_device{}())))
                     .string();
        fsys::create_directories(local_);
    }
    void TearDown() override {
        ftp::close(kSession);
        std::error_code ignored;
        fsys::remove_all(local_, ignored);
    }
    std::string local_;
};

TEST_P(BackgroundSend, StatusClimbsToDoneAndTheServerHasTheBytes) {
    FtpPeer peer(std::get<0>(GetParam()), PeerOptions{0, {"locked"}, true});
    const int passive = std::get<1>(GetParam());
    ASSERT_TRUE(ftp::open(kSession, peer.host(), peer.user(), peer.password(), passive, peer.port()));

    std::string data(3 * 1024 * 1024 + 5, '\0');
    std::mt19937_64 generator{std::random_device{}()};
    for (auto& c : data) c = static_cast<char>(generator() & 0xFF);
    const std::string path = local_ + "/upload.bin";
    { std::ofstream(path, std::ios::binary) << data; }

    ASSERT_TRUE(ftp::sendFile(kSession, path, "upload.bin", true));
    std::vector<int> seen = pollUntilEnded(kSession);
    ASSERT_FALSE(seen.empty());
    ASSERT_EQ(seen.back(), ftp::TransferDone) << peer.serverOutput();
    // Started (if the poll was quick enough to see it), then counts that never go down.
    int last = -1;
    for (std::size_t i = 0; i + 1 < seen.size(); ++i) {
        if (i == 0 && seen[i] == ftp::TransferStarted) continue;
        ASSERT_GE(seen[i], 0) << "index " << i;
        EXPECT_GE(seen[i], last);
        EXPECT_LE(seen[i], static_cast<int>(data.size()));
        last = seen[i];
    }
    EXPECT_TRUE(readAll(peer.home() + "/upload.bin") == data);

    // A refused STOR goes from TransferStarted straight to TransferFailed, and the session
    // still answers afterwards.
    ASSERT_TRUE(ftp::sendFile(kSession, path, "locked/upload.bin", true));
    seen = pollUntilEnded(kSession);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back(), ftp::TransferFailed);
    for (std::size_t i = 0; i + 1 < seen.size(); ++i) EXPECT_EQ(seen[i], ftp::TransferStarted);
    EXPECT_FALSE(fsys::exists(peer.home() + "/locked/upload.bin"));
    EXPECT_EQ(ftp::currentDirectory(kSession), "/");
}

std::string caseName(const ::testing::TestParamInfo<std::tuple<PeerKind, int>>& info) {
    return std::string(peerKindName(std::get<0>(info.param))) +
           (std::get<1>(info.param) ? "_passive" : "_active");
}

INSTANTIATE_TEST_SUITE_P(Peers, BackgroundSend,
                         ::testing::Combine(::testing::ValuesIn(peerKindsUnderTest()),
                                            ::testing::Values(1, 0)),
                         caseName);

}  // namespace
