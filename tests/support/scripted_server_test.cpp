// The scripted server is the referee of the client tests: a wrong client line and a client
// that closes early must come out as failures, never as a passed script.
#include "tests/support/scripted_server.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/net.h"

namespace velmo::testsupport {
namespace {

net::Socket connectAndSend(const ScriptedServer& server, const std::string& text) {
    net::Socket c = net::Socket::connectTo("127.0.0.1", server.port());
    EXPECT_TRUE(c.valid());
    EXPECT_TRUE(net::sendAll(c, text.data(), text.size(), 5));
    return c;
}

TEST(ScriptedServer, WrongLinesAreReportedWithWhatCame) {
    ScriptedServer server;
    server.expect("USER bob\r\n").expectPrefix("PASS ");
    server.start();
    connectAndSend(server, "USER bab\r\nPASX y\r\n").close();
    EXPECT_FALSE(server.finish());
    const auto m = server.mismatches();
    ASSERT_EQ(m.size(), 2u) << server.report();
    EXPECT_NE(m[0].find("USER bab\\r\\n"), std::string::npos) << m[0];
    EXPECT_NE(m[1].find("PASX y\\r\\n"), std::string::npos) << m[1];
}

TEST(ScriptedServer, ClientClosingEarlyEndsTheScriptAsAFailure) {
    ScriptedServer server;
    server.reply("220 hi\r\n").expect("USER bob\r\n").reply("331 pw\r\n");
    server.start();
    connectAndSend(server, "USE").close();
    EXPECT_FALSE(server.finish());
    EXPECT_EQ(server.received(), "USE");
    ASSERT_EQ(server.mismatches().size(), 1u) << server.report();
    EXPECT_NE(server.mismatches()[0].find("closed"), std::string::npos) << server.report();
}

}  // namespace
}  // namespace velmo::testsupport
