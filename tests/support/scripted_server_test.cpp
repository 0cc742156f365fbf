// The scripted server is the referee of the client tests: these cases make sure it
// reports a wrong client instead of passing it, and never hangs on one.
#include "tests/support/scripted_server.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/net.h"

namespace velmo::testsupport {
namespace {

using net::IoResult;
using net::Socket;

// Reads from s until `want` bytes came or the peer closed.
std::string readBytes(Socket& s, std::size_t want) {
    std::string out;
    char buf[4096];
    while (out.size() < want) {
        if (!s.waitReadable(5000)) break;
        std::size_t moved = 0;
        if (s.receiveSome(buf, sizeof buf, moved) != IoResult::Done) break;
        out.append(buf, moved);
    }
    return out;
}

std::string readUntilClosed(Socket& s) {
    std::string out;
    char buf[4096];
    for (;;) {
        if (!s.waitReadable(5000)) break;
        std::size_t moved = 0;
        if (s.receiveSome(buf, sizeof buf, moved) != IoResult::Done) break;
        out.append(buf, moved);
    }
    return out;
}

void sendText(Socket& s, const std::string& text) { ASSERT_TRUE(net::sendAll(s, text.data(), text.size(), 5)); }

int pasvPort(const std::string& line) {
    // "227 Entering Passive Mode (127,0,0,1,p1,p2)"
    std::size_t open = line.find('(');
    int v[6] = {};
    if (open == std::string::npos ||
        std::sscanf(line.c_str() + open, "(%d,%d,%d,%d,%d,%d)", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5]) != 6)
        return -1;
    return v[4] * 256 + v[5];
}

TEST(ScriptedServerConversation, MatchingClientPassesAndEveryByteIsRecorded) {
    ScriptedServer server;
    server.reply("220 hi\r\n").expect("USER bob\r\n").replySplit({"331-a\r\n", "331 b\r\n"}, 20).expect("PASS x\r\n");
    server.start();
    Socket c = Socket::connectTo("127.0.0.1", server.port());
    ASSERT_TRUE(c.valid());
    EXPECT_EQ(readBytes(c, 8), "220 hi\r\n");
    sendText(c, "USER bob\r\n");
    EXPECT_EQ(readBytes(c, 14), "331-a\r\n331 b\r\n");
    // The client sends more than the script asks for: the extra line is still recorded.
    sendText(c, "PASS x\r\nQUIT\r\n");
    c.close();
    EXPECT_TRUE(server.finish()) << server.report();
    EXPECT_EQ(server.received(), "USER bob\r\nPASS x\r\nQUIT\r\n");
    EXPECT_EQ(server.connectionsAccepted(), 1);
}

TEST(ScriptedServerConversation, WrongLineIsReportedWithWhatCame) {
    ScriptedServer server;
    server.expect("USER bob\r\n").expectPrefix("PASS ");
    server.start();
    Socket c = Socket::connectTo("127.0.0.1", server.port());
    ASSERT_TRUE(c.valid());
    sendText(c, "USER bab\r\nPASX y\r\n");
    c.close();
    EXPECT_FALSE(server.finish());
    auto m = server.mismatches();
    ASSERT_EQ(m.size(), 2u) << server.report();
    EXPECT_NE(m[0].find("USER bab\\r\\n"), std::string::npos) << m[0];
    EXPECT_NE(m[1].find("PASX y\\r\\n"), std::string::npos) << m[1];
}

TEST(ScriptedServerConversation, ClientClosingEarlyEndsTheScriptAsAFailure) {
    ScriptedServer server;
    server.reply("220 hi\r\n").expect("USER bob\r\n").reply("331 pw\r\n");
    server.start();
    {
        Socket c = Socket::connectTo("127.0.0.1", server.port());
        ASSERT_TRUE(c.valid());
        sendText(c, "USE");
    }
    EXPECT_FALSE(server.finish());
    EXPECT_EQ(server.received(), "USE");
    ASSERT_EQ(server.mismatches().size(), 1u) << server.report();
    EXPECT_NE(server.mismatches()[0].find("closed"), std::string::npos) << server.report();
}

TEST(ScriptedServerConversation, SilentClientFailsAfterTheStepLimit) {
    ScriptedServer server;
    server.setStepLimit(100);
    server.reply("220 hi\r\n").expect("USER bob\r\n");
    server.start();
    Socket c = Socket::connectTo("127.0.0.1", server.port());
    ASSERT_TRUE(c.valid());
    EXPECT_FALSE(server.finish());
    EXPECT_EQ(server.mismatches().size(), 1u) << server.report();
}

TEST(ScriptedServerConversation, NoClientAtAllFails) {
    ScriptedServer server;
    server.setStepLimit(50);
    server.reply("220 hi\r\n");
    server.start();
    EXPECT_FALSE(server.finish());
    EXPECT_EQ(server.connectionsAccepted(), 0);
}

TEST(ScriptedServerConversation, DropClosesAndTheNextStepTakesANewConnection) {
    ScriptedServer server;
    server.reply("421 bye\r\n").drop().reply("220 again\r\n");
    server.start();
    Socket first = Socket::connectTo("127.0.0.1", server.port());
    ASSERT_TRUE(first.valid());
    EXPECT_EQ(readUntilClosed(first), "421 bye\r\n");
    Socket second = Socket::connectTo("127.0.0.1", server.port());
    ASSERT_TRUE(second.valid());
    EXPECT_EQ(readBytes(second, 11), "220 again\r\n");
    second.close();
    EXPECT_TRUE(server.finish()) << server.report();
    EXPECT_EQ(server.connectionsAccepted(), 2);
}

TEST(ScriptedServerConversation, StreamEndsQuietlyWhenTheClientCloses) {
    ScriptedServer server;
    server.stream(std::string(1000, 'x'), std::size_t(1) << 30);
    server.start();
    {
        Socket c = Socket::connectTo("127.0.0.1", server.port());
        ASSERT_TRUE(c.valid());
        EXPECT_EQ(readBytes(c, 5000).substr(0, 5000), std::string(5000, 'x'));
    }
    EXPECT_TRUE(server.finish()) << server.report();
}

TEST(ScriptedServerConversation, DestructorStopsARunningScript) {
    auto server = std::make_unique<ScriptedServer>();
    server->silence(600000).reply("never\r\n");
    server->start();
    server.reset();  // must return without waiting for the silence
    SUCCEED();
}

TEST(ScriptedServerData, PassiveListingAndUpload) {
    ScriptedServer server;
    server.pasv().acceptData().sendData("-rw-r--r-- 1 u g 5 Jan 01 2020 a.txt\r\n");
    server.pasv(".").acceptData().receiveData();
    server.start();
    Socket c = Socket::connectTo("127.0.0.1", server.port());
    ASSERT_TRUE(c.valid());

    std::string line = readBytes(c, 1);
    while (line.find('\n') == std::string::npos) line += readBytes(c, 1);
    ASSERT_EQ(line.rfind("227 Entering Passive Mode (127,0,0,1,", 0), 0u) << line;
    ASSERT_EQ(line.substr(line.size() - 3), ")\r\n");
    Socket d = Socket::connectTo("127.0.0.1", pasvPort(line));
    ASSERT_TRUE(d.valid());
    EXPECT_EQ(readUntilClosed(d), "-rw-r--r-- 1 u g 5 Jan 01 2020 a.txt\r\n");

    line = readBytes(c, 1);
    while (line.find('\n') == std::string::npos) line += readBytes(c, 1);
    ASSERT_EQ(line.substr(line.size() - 4), ").\r\n") << line;
    Socket u = Socket::connectTo("127.0.0.1", pasvPort(line));
    ASSERT_TRUE(u.valid());
    std::string upload(100000, '\0');
    for (std::size_t i = 0; i < upload.size(); ++i) upload[i] = static_cast<char>(i * 7);
    sendText(u, upload);
    u.close();
    c.close();
    EXPECT_TRUE(server.finish()) << server.report();
    ASSERT_EQ(server.dataReceived().size(), 1u);
    EXPECT_EQ(server.dataReceived()[0], upload);
}

TEST(ScriptedServerData, ActiveModeConnectsToThePortAddress) {
    Socket listener = Socket::listenOn("127.0.0.1", 0, 1);
    ASSERT_TRUE(listener.valid());
    int p = listener.localPort();
    ScriptedServer server;
    server.expectPort().reply("200 ok\r\n").connectData().sendData("abc");
    server.start();
    Socket c = Socket::connectTo("127.0.0.1", server.port());
    ASSERT_TRUE(c.valid());
    sendText(c, "PORT 127,0,0,1," + std::to_string(p / 256) + "," + std::to_string(p % 256) + "\r\n");
    EXPECT_EQ(readBytes(c, 8), "200 ok\r\n");
    ASSERT_TRUE(listener.waitReadable(5000));
    Socket d = listener.accept();
    ASSERT_TRUE(d.valid());
    EXPECT_EQ(readUntilClosed(d), "abc");
    c.close();
    EXPECT_TRUE(server.finish()) << server.report();
}

TEST(ScriptedServerData, PortNamingAnotherHostIsRefused) {
    ScriptedServer server;
    server.expectPort();
    server.start();
    Socket c = Socket::connectTo("127.0.0.1", server.port());
    ASSERT_TRUE(c.valid());
    sendText(c, "PORT 10,0,0,1,4,1\r\n");
    c.close();
    EXPECT_FALSE(server.finish());
    EXPECT_NE(server.report().find("10.0.0.1"), std::string::npos) << server.report();
}

TEST(ScriptedServerData, AcceptWithoutAClientFails) {
    ScriptedServer server;
    server.setStepLimit(50);
    server.pasv().acceptData().sendData("x");
    server.start();
    Socket c = Socket::connectTo("127.0.0.1", server.port());
    ASSERT_TRUE(c.valid());
    EXPECT_FALSE(server.finish());
    EXPECT_NE(server.report().find("no data connection"), std::string::npos) << server.report();
}

}  // namespace
}  // namespace velmo::testsupport
