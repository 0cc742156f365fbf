// The real-server harness itself: every kind starts, answers on its port and is gone
// (process, port, folders, PAM file) after the peer is destroyed; a missing program is an
// error, not a skip; run_peer prints what a script needs and stops at the end of input.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/net.h"
#include "tests/support/ftp_peers.h"

using namespace velmo;
using namespace velmo::testsupport;
namespace fsys = std::filesystem;

namespace {

// The first bytes the server sends on a new connection.
std::string greeting(const std::string& host, int port) {
    net::Socket s = net::Socket::connectTo(host, port);
    std::string text;
    char buffer[1024];
    std::size_t moved = 0;
    while (text.size() < 4 && s.valid() && s.waitReadable(5000) &&
           s.receiveSome(buffer, sizeof buffer, moved) == net::IoResult::Done && moved > 0)
        text.append(buffer, moved);
    return text;
}

class FtpPeerLifecycle : public ::testing::TestWithParam<PeerKind> {};

TEST_P(FtpPeerLifecycle, StartsAnswersAndLeavesNothingBehind) {
    net::startNetworking();
    std::string home, pam;
    int port = 0;
    {
        FtpPeer peer(GetParam());
        home = peer.home();
        port = peer.port();
        pam = peer.pamServiceFile();
        EXPECT_EQ(pam.empty(), GetParam() != PeerKind::Vsftpd);
        EXPECT_TRUE(pam.empty() || fsys::exists(pam)) << pam;
        EXPECT_EQ(peer.host(), "127.0.0.1");
        EXPECT_TRUE(fsys::is_directory(home));
        EXPECT_GE(peer.password().size(), 12u);
        EXPECT_EQ(greeting(peer.host(), port).substr(0, 3), "220");
        // A second peer of the same kind runs beside it on a port of its own.
        FtpPeer other(GetParam());
        EXPECT_NE(other.port(), port);
        EXPECT_NE(other.home(), home);
        EXPECT_NE(other.password(), peer.password());
    }
    EXPECT_FALSE(fsys::exists(fsys::path(home).parent_path()));
    EXPECT_FALSE(net::Socket::connectTo("127.0.0.1", port).valid()) << "still listening";
    EXPECT_TRUE(pam.empty() || !fsys::exists(pam)) << pam;
}

INSTANTIATE_TEST_SUITE_P(Peers, FtpPeerLifecycle, ::testing::ValuesIn(peerKindsUnderTest()),
                         [](const ::testing::TestParamInfo<PeerKind>& info) {
                             return std::string(peerKindName(info.param));
                         });

TEST(FtpPeerErrors, MissingProgramIsAnError) {
    const char* saved = std::getenv("VELMO_PEERS_DIR");
    std::string previous = saved ? saved : "";
    ::setenv("VELMO_PEERS_DIR", "/nonexistent/velmo-peers", 1);
    for (PeerKind kind : {PeerKind::Vsftpd, PeerKind::PureFtpd, PeerKind::Proftpd}) {
        SCOPED_TRACE(peerKindName(kind));
        EXPECT_THROW(FtpPeer peer(kind), PeerError);
    }
    if (saved) ::setenv("VELMO_PEERS_DIR", previous.c_str(), 1);
    else ::unsetenv("VELMO_PEERS_DIR");
}

TEST(FtpPeerErrors, KindNamesRoundTrip) {
    PeerKind kind;
    for (PeerKind k : {PeerKind::Pyftpdlib, PeerKind::Vsftpd, PeerKind::PureFtpd, PeerKind::Proftpd}) {
        ASSERT_TRUE(peerKindFromName(peerKindName(k), kind));
        EXPECT_EQ(kind, k);
    }
    EXPECT_TRUE(peerKindFromName("pure-ftpd", kind) && kind == PeerKind::PureFtpd);
    EXPECT_FALSE(peerKindFromName("ftpd", kind));
}

TEST(RunPeer, PrintsTheAccountAndStopsAtEndOfInput) {
    // Input is /dev/null: the peer starts, reports itself and stops at once.
    std::string command = std::string(RUN_PEER_PATH) + " pyftpdlib </dev/null";
    FILE* pipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string out;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe)) out += buffer;
    EXPECT_EQ(::pclose(pipe), 0);
    EXPECT_NE(out.find("host=127.0.0.1\nport="), std::string::npos) << out;
    for (const char* key : {"\nuser=", "\npassword=", "\nhome=/tmp/velmo-peer-"})
        EXPECT_NE(out.find(key), std::string::npos) << key << " in " << out;
    EXPECT_EQ(out.substr(out.size() - 6), "ready\n");
    std::size_t at = out.find("\nhome=") + 6;
    std::string home = out.substr(at, out.find('\n', at) - at);
    EXPECT_FALSE(fsys::exists(home));

    EXPECT_NE(::system((std::string(RUN_PEER_PATH) + " nosuchkind 2>/dev/null").c_str()), 0);
}

}  // namespace
