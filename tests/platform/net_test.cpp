#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "platform/net.h"

using namespace velmo::net;

TEST(Net, ExchangeOnLoopbackThenThePeerLeavesAndNobodyListens) {
    startNetworking();
    Socket server = Socket::listenOn("127.0.0.1", 0, 4);
    ASSERT_TRUE(server.valid());
    const int port = server.localPort();
    Socket client = Socket::connectTo("127.0.0.1", port);
    Socket peer = server.accept();
    ASSERT_TRUE(peer.valid());
    EXPECT_EQ(client.localAddress(), "127.0.0.1");
    ASSERT_TRUE(sendAll(client, "USER x\r\n", 8, 30));
    ASSERT_TRUE(peer.waitReadable(1000));
    char buf[16];
    std::size_t n = 0;
    ASSERT_EQ(peer.receiveSome(buf, sizeof buf, n), IoResult::Done);
    EXPECT_EQ(std::string(buf, n), "USER x\r\n");
    // Nothing to read yet: a non-blocking receive says so instead of waiting.
    ASSERT_TRUE(client.setNonBlocking(true));
    EXPECT_FALSE(client.waitReadable(0));
    EXPECT_EQ(client.receiveSome(buf, sizeof buf, n), IoResult::WouldBlock);
    // The peer leaving shows as Closed; a send after that fails instead of killing us.
    peer.close();
    ASSERT_TRUE(client.waitReadable(1000));
    EXPECT_EQ(client.receiveSome(buf, sizeof buf, n), IoResult::Closed);
    bool failed = false;
    for (int i = 0; i < 100 && !failed; ++i) failed = !sendAll(client, "x", 1, 1);
    EXPECT_TRUE(failed);
    // Once nobody listens, for a name that does not resolve or a port past 65535: no socket.
    server.close();
    EXPECT_FALSE(Socket::connectTo("127.0.0.1", port).valid());
    EXPECT_FALSE(Socket::connectTo("nom.invalide.", 21).valid());
    EXPECT_FALSE(Socket::connectTo("127.0.0.1", 70000).valid());
}

TEST(Net, SendAllWaitsForAFullSocketToDrain) {
    Socket server = Socket::listenOn("127.0.0.1", 0, 1);
    Socket client = Socket::connectTo("127.0.0.1", server.localPort());
    Socket peer = server.accept();
    ASSERT_TRUE(client.setNonBlocking(true));
    const std::string big(8 << 20, 'z');  // far more than the socket buffers hold
    std::size_t received = 0;
    std::thread reader([&] {
        char buf[65536];
        std::size_t n;
        while (received < big.size() && peer.waitReadable(5000) &&
               peer.receiveSome(buf, sizeof buf, n) == IoResult::Done)
            received += n;
    });
    EXPECT_TRUE(sendAll(client, big.data(), big.size(), 30));
    reader.join();
    EXPECT_EQ(received, big.size());
}
