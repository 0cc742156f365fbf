// The scripted server is the referee of the client tests: these cases make sure it
// records every byte, reports a wrong client instead of passing it, and never hangs on one.
#include "tests/support/scripted_server.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/net.h"

namespace velmo::testsupport {
namespace {

using net::IoResult;
using net::Socket;

// Reads from s until `want` bytes came (or through the first LF when `line`), or the
// peer closed.
std::string readFrom(Socket& s, std::size_t want = std::string::npos, bool line = false) {
    std::string out;
    char c;
    std::size_t moved = 0;
    while (out.size() < want && !(line && !out.empty() && out.back() == '\n') && s.waitReadable(5000) &&
           s.receiveSome(&c, 1, moved) == IoResult::Done)
        out += c;
    return out;
}

void sendText(Socket& s, const std::string& text) { ASSERT_TRUE(net::sendAll(s, text.data(), text.size(), 5)); }

Socket connectTo(const ScriptedServer& server) {
    Socket c = Socket::connectTo("127.0.0.1", server.port());
    EXPECT_TRUE(c.valid());
    return c;
}

// The data port of a "227 Entering Passive Mode (127,0,0,1,p1,p2)" line.
int pasvPort(const std::string& line) {
    int v[6] = {};
    const std::size_t open = line.find('(');
    if (open == std::string::npos ||
        std::sscanf(line.c_str() + open, "(%d,%d,%d,%d,%d,%d)", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5]) != 6)
        return -1;
    return v[4] * 256 + v[5];
}

TEST(ScriptedServerConversation, MatchingClientPassesAndEveryByteIsRecorded) {
    ScriptedServer server;
    server.reply("220 hi\r\n").expect("USER bob\r\n");
    server.replySplit({"331-a\r\n", "331 b\r\n"}, 20).expect("PASS x\r\n");
    server.start();
    Socket c = connectTo(server);
    EXPECT_EQ(readFrom(c, 8), "220 hi\r\n");
    sendText(c, "USER bob\r\n");
    EXPECT_EQ(readFrom(c, 14), "331-a\r\n331 b\r\n");
    // The client sends more than the script asks for: the extra line is still recorded.
    sendText(c, "PASS x\r\nQUIT\r\n");
    c.close();
    EXPECT_TRUE(server.finish()) << server.report();
    EXPECT_EQ(server.received(), "USER bob\r\nPASS x\r\nQUIT\r\n");
    EXPECT_EQ(server.connectionsAccepted(), 1);
}

TEST(ScriptedServerConversation, WrongLinesAreReportedWithWhatCame) {
    ScriptedServer server;
    server.expect("USER bob\r\n").expectPrefix("PASS ");
    server.start();
    Socket c = connectTo(server);
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
        Socket c = connectTo(server);
        sendText(c, "USE");
    }
    EXPECT_FALSE(server.finish());
    EXPECT_EQ(server.received(), "USE");
    ASSERT_EQ(server.mismatches().size(), 1u) << server.report();
    EXPECT_NE(server.mismatches()[0].find("closed"), std::string::npos) << server.report();
}

TEST(ScriptedServerConversation, SilentOrAbsentClientFailsAfterTheStepLimit) {
    for (bool connect : {true, false}) {
        SCOPED_TRACE(connect ? "silent client" : "no client");
        ScriptedServer server;
        server.setStepLimit(50);
        server.reply("220 hi\r\n").expect("USER bob\r\n");
        server.start();
        Socket c;
        if (connect) c = connectTo(server);
        EXPECT_FALSE(server.finish());
        EXPECT_EQ(server.mismatches().size(), 1u) << server.report();
        EXPECT_EQ(server.connectionsAccepted(), connect ? 1 : 0);
    }
    // The destructor stops a running script without waiting for its steps.
    auto server = std::make_unique<ScriptedServer>();
    server->silence(600000).reply("never\r\n");
    server->start();
    server.reset();
}

TEST(ScriptedServerConversation, DropClosesAndTheNextStepTakesANewConnection) {
    ScriptedServer server;
    server.reply("421 bye\r\n").drop().reply("220 again\r\n");
    server.start();
    Socket first = connectTo(server);
    EXPECT_EQ(readFrom(first), "421 bye\r\n");  // then closed
    Socket second = connectTo(server);
    EXPECT_EQ(readFrom(second, 11), "220 again\r\n");
    second.close();
    EXPECT_TRUE(server.finish()) << server.report();
    EXPECT_EQ(server.connectionsAccepted(), 2);
}

TEST(ScriptedServerData, PassiveListingAndUploadAreExact) {
    ScriptedServer server;
    server.pasv().acceptData().sendData("-rw-r--r-- 1 u g 5 Jan 01 2020 a.txt\r\n");
    server.pasv(".").acceptData().receiveData();
    server.start();
    Socket c = connectTo(server);
    std::string line = readFrom(c, std::string::npos, true);
    ASSERT_EQ(line.rfind("227 Entering Passive Mode (127,0,0,1,", 0), 0u) << line;
    ASSERT_EQ(line.substr(line.size() - 3), ")\r\n");
    Socket d = Socket::connectTo("127.0.0.1", pasvPort(line));
    EXPECT_EQ(readFrom(d), "-rw-r--r-- 1 u g 5 Jan 01 2020 a.txt\r\n");

    line = readFrom(c, std::string::npos, true);
    ASSERT_EQ(line.substr(line.size() - 4), ").\r\n") << line;
    Socket u = Socket::connectTo("127.0.0.1", pasvPort(line));
    std::string upload(100000, '\0');
    for (std::size_t i = 0; i < upload.size(); ++i) upload[i] = static_cast<char>(i * 7);
    sendText(u, upload);
    u.close();
    c.close();
    EXPECT_TRUE(server.finish()) << server.report();
    ASSERT_EQ(server.dataReceived().size(), 1u);
    EXPECT_EQ(server.dataReceived()[0], upload);
}

TEST(ScriptedServerData, PortNamingAnotherHostOrAMissingDataClientFails) {
    ScriptedServer port;
    port.expectPort();
    port.start();
    Socket c = connectTo(port);
    sendText(c, "PORT 10,0,0,1,4,1\r\n");
    c.close();
    EXPECT_FALSE(port.finish());
    EXPECT_NE(port.report().find("10.0.0.1"), std::string::npos) << port.report();

    ScriptedServer pasv;
    pasv.setStepLimit(50);
    pasv.pasv().acceptData().sendData("x");
    pasv.start();
    Socket d = connectTo(pasv);
    EXPECT_FALSE(pasv.finish());
    EXPECT_NE(pasv.report().find("no data connection"), std::string::npos) << pasv.report();
}

}  // namespace
}  // namespace velmo::testsupport
