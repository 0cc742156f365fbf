// The real-server harness itself: every kind starts on its port and takes a login with the
// account the peer made, so a test over a kind fails only for what the client does.
#include <gtest/gtest.h>

#include <string>

#include "platform/net.h"
#include "tests/support/ftp_peers.h"

using namespace velmo;
using namespace velmo::testsupport;

namespace {

// The code of the last line of the next reply ("" when the server goes quiet or closes).
std::string replyCode(net::Socket& s) {
    std::string line;
    char c;
    std::size_t moved = 0;
    while (s.waitReadable(5000) && s.receiveSome(&c, 1, moved) == net::IoResult::Done && moved == 1) {
        if (c != '\n') { line += c; continue; }
        if (line.size() >= 4 && line[3] == ' ') return line.substr(0, 3);
        line.clear();
    }
    return "";
}

std::string send(net::Socket& s, const std::string& line) {
    const std::string bytes = line + "\r\n";
    return net::sendAll(s, bytes.data(), bytes.size(), 5) ? replyCode(s) : "";
}

class FtpPeerStart : public ::testing::TestWithParam<PeerKind> {};

TEST_P(FtpPeerStart, StartsAndTakesALogin) {
    net::startNetworking();
    FtpPeer peer(GetParam());
    EXPECT_EQ(peer.host(), "127.0.0.1");
    net::Socket s = net::Socket::connectTo(peer.host(), peer.port());
    ASSERT_TRUE(s.valid());
    EXPECT_EQ(replyCode(s), "220");
    EXPECT_EQ(send(s, "USER " + peer.user()), "331");
    EXPECT_EQ(send(s, "PASS " + peer.password()), "230") << peer.serverOutput();
}

INSTANTIATE_TEST_SUITE_P(Peers, FtpPeerStart, ::testing::ValuesIn(peerKindsUnderTest()),
                         [](const ::testing::TestParamInfo<PeerKind>& info) {
                             return std::string(peerKindName(info.param));
                         });

}  // namespace
