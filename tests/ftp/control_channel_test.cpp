// The control-channel client against scripted loopback servers: what it makes of the
// replies, and exactly which bytes it puts on the wire.
#include "ftp/control_channel.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>

#include "platform/net.h"
#include "tests/support/scripted_server.h"

namespace velmo::ftp {
namespace {

using testsupport::ScriptedServer;

// Long enough that a loaded machine never hits it where a reply does come.
constexpr int WaitMs = 3000;
// For the cases where the server stays silent on purpose.
constexpr int ShortWaitMs = 150;

// ---------------------------------------------------------------- reply waits

TEST(ControlChannelReply, GreetingInTwoSegmentsIsOneReply) {
    ScriptedServer server;
    server.replySplit({"220-Bienvenue\r\n", "220 FTP pret\r\n"}, 30);
    server.start();
    ControlChannel channel(WaitMs);
    ASSERT_TRUE(channel.connect("127.0.0.1", server.port()));
    EXPECT_EQ(channel.lastReply(), "220-Bienvenue\r\n220 FTP pret");
    EXPECT_EQ(lastReplyText(), "220-Bienvenue\r\n220 FTP pret");
    channel.close();
    EXPECT_TRUE(server.finish()) << server.report();
    EXPECT_EQ(server.received(), "") << "connect sends nothing";
}

TEST(ControlChannelReply, SilentServerGivesTimeOutAndNoConnection) {
    ScriptedServer server;
    server.acceptControl().silence(2 * ShortWaitMs);
    server.start();
    ControlChannel channel(ShortWaitMs);
    EXPECT_FALSE(channel.connect("127.0.0.1", server.port()));
    EXPECT_EQ(channel.lastReply(), "TimeOut");
    EXPECT_FALSE(channel.connected());
    EXPECT_TRUE(server.finish()) << server.report();
}

TEST(ControlChannelReply, SilenceAfterTheGreetingGivesTimeOut) {
    ScriptedServer server;
    server.reply("220 ok\r\n").silence(2 * ShortWaitMs);
    server.start();
    ControlChannel channel(ShortWaitMs);
    ASSERT_TRUE(channel.connect("127.0.0.1", server.port()));
    EXPECT_EQ(channel.readReply(), "TimeOut");
    EXPECT_EQ(lastReplyText(), "TimeOut");
    channel.close();
    EXPECT_TRUE(server.finish()) << server.report();
}

TEST(ControlChannelReply, TrailingLineEndsAndBlanksAreRemovedButInnerOnesKept) {
    ScriptedServer server;
    server.reply("220 ok\r\n").silence(200).reply("211-a \r\n211 b  \r\n\r\n \n");
    server.start();
    ControlChannel channel(WaitMs);
    ASSERT_TRUE(channel.connect("127.0.0.1", server.port()));
    EXPECT_EQ(channel.readReply(), "211-a \r\n211 b");
    channel.close();
    EXPECT_TRUE(server.finish()) << server.report();
}

TEST(ControlChannelReply, LargePieceWaitsLongerForItsContinuation) {
    // After a piece of more than 150 bytes the next piece may come up to 1000 ms later;
    // after a short piece only 50 ms. A 300 ms gap therefore joins the first pair only.
    const std::string big = "220-" + std::string(196, 'a') + "\r\n";  // 202 bytes
    ScriptedServer server;
    server.replySplit({big, "220 fin\r\n"}, 300).silence(300);
    server.replySplit({"211-court\r\n", "211 fin\r\n"}, 300);
    server.start();
    ControlChannel channel(WaitMs);
    ASSERT_TRUE(channel.connect("127.0.0.1", server.port()));
    EXPECT_EQ(channel.lastReply(), big + "220 fin");
    EXPECT_EQ(channel.readReply(), "211-court");
    EXPECT_EQ(channel.readReply(), "211 fin");
    channel.close();
    EXPECT_TRUE(server.finish()) << server.report();
}

TEST(ControlChannelReply, EndlessReplyIsCutAtTheCap) {
    // 1000-byte lines: the cap falls inside a line, so nothing is stripped after the cut.
    const std::string line = "220-" + std::string(994, 'x') + "\r\n";
    ScriptedServer server;
    server.stream(line, std::size_t(1) << 30);
    server.start();
    ControlChannel channel(WaitMs);
    ASSERT_TRUE(channel.connect("127.0.0.1", server.port()));
    ASSERT_EQ(channel.lastReply().size(), ControlChannel::MaxReplyBytes);
    EXPECT_EQ(channel.lastReply().substr(0, 1000), line);
    channel.close();
    EXPECT_TRUE(server.finish()) << server.report();
}

TEST(ControlChannelReply, ServerClosingWithoutAWordCountsAsTimeOut) {
    ScriptedServer server;
    server.reply("220 ok\r\n").expect("USER bob\r\n").drop();
    server.start();
    ControlChannel channel(WaitMs);
    ASSERT_TRUE(channel.connect("127.0.0.1", server.port()));
    EXPECT_EQ(channel.login("bob", "pw"), CommandTimedOut);
    channel.close();
    EXPECT_TRUE(server.finish()) << server.report();
}

// ---------------------------------------------------------------- connect

TEST(ControlChannelConnect, OnlyA220GreetingGivesAConnection) {
    for (const char* greeting : {"421 Too many users\r\n", "120 Ready in 5 minutes\r\n", "\r\n"}) {
        SCOPED_TRACE(greeting);
        ScriptedServer server;
        server.reply(greeting);
        server.start();
        ControlChannel channel(WaitMs);
        EXPECT_FALSE(channel.connect("127.0.0.1", server.port()));
        EXPECT_FALSE(channel.connected());
        EXPECT_TRUE(server.finish()) << server.report();
        EXPECT_EQ(server.received(), "");
    }
}

TEST(ControlChannelConnect, NobodyListeningGivesNoConnection) {
    int port;
    {
        net::Socket probe = net::Socket::listenOn("127.0.0.1", 0, 1);
        ASSERT_TRUE(probe.valid());
        port = probe.localPort();
    }
    ControlChannel channel(ShortWaitMs);
    EXPECT_FALSE(channel.connect("127.0.0.1", port));
}

TEST(ControlChannelConnect, WithoutAConnectionNothingIsAccepted) {
    ControlChannel channel(ShortWaitMs);
    EXPECT_EQ(channel.login("bob", "pw"), CommandRejected);
    EXPECT_EQ(channel.chmod("livre-dor/chmod_perso", "777"), CommandRejected);
    EXPECT_EQ(channel.sendSiteCommand("SITE CHMOD", "a", "777"), CommandRejected);
}

// ---------------------------------------------------------------- login

TEST(ControlChannelLogin, UserPasswordThenTypeA) {
    ScriptedServer server;
    server.reply("220 ok\r\n")
        .expect("USER bob\r\n").reply("331 Password required\r\n")
        .expect("PASS s3cr\xE9t\r\n").reply("230 Logged in\r\n")
        .expect("TYPE A\r\n").reply("200 Type set to A\r\n");
    server.start();
    ControlChannel channel(WaitMs);
    ASSERT_TRUE(channel.connect("127.0.0.1", server.port()));
    EXPECT_EQ(channel.login("bob", "s3cr\xE9t"), CommandAccepted);
    channel.close();
    EXPECT_TRUE(server.finish()) << server.report();
    EXPECT_EQ(server.received(), "USER bob\r\nPASS s3cr\xE9t\r\nTYPE A\r\n");
}

TEST(ControlChannelLogin, UserAcceptedWithoutPasswordGetsTypeAAndNoPass) {
    ScriptedServer server;
    server.reply("220 ok\r\n").expect("USER bob\r\n").reply("230 No password needed\r\n")
        .expect("TYPE A\r\n").reply("200 ok\r\n");
    server.start();
    ControlChannel channel(WaitMs);
    ASSERT_TRUE(channel.connect("127.0.0.1", server.port()));
    EXPECT_EQ(channel.login("bob", "pw"), CommandAccepted);
    channel.close();
    EXPECT_TRUE(server.finish()) << server.report();
    EXPECT_EQ(server.received(), "USER bob\r\nTYPE A\r\n");
}

TEST(ControlChannelLogin, WrongPasswordIsRejectedWithoutTypeA) {
    ScriptedServer server;
    server.reply("220 ok\r\n").expect("USER bob\r\n").reply("331 pw?\r\n")
        .expect("PASS bad\r\n").reply("530 Login incorrect.\r\n");
    server.start();
    ControlChannel channel(WaitMs);
    ASSERT_TRUE(channel.connect("127.0.0.1", server.port()));
    EXPECT_EQ(channel.login("bob", "bad"), CommandRejected);
    channel.close();
    EXPECT_TRUE(server.finish()) << server.report();
    EXPECT_EQ(server.received(), "USER bob\r\nPASS bad\r\n");
}

TEST(ControlChannelLogin, EmptyReplyIsRejected) {
    ScriptedServer server;
    server.reply("220 ok\r\n").expect("USER bob\r\n").reply("\r\n");
    server.start();
    ControlChannel channel(WaitMs);
    ASSERT_TRUE(channel.connect("127.0.0.1", server.port()));
    EXPECT_EQ(channel.login("bob", "pw"), CommandRejected);
    EXPECT_EQ(channel.lastReply(), "");
    channel.close();
    EXPECT_TRUE(server.finish()) << server.report();
    EXPECT_EQ(server.received(), "USER bob\r\n");
}

TEST(ControlChannelLogin, ServerSilentAfterPassIsTimedOut) {
    ScriptedServer server;
    server.reply("220 ok\r\n").expect("USER bob\r\n").reply("331 pw?\r\n").expect("PASS pw\r\n")
        .silence(2 * ShortWaitMs);
    server.start();
    ControlChannel channel(ShortWaitMs);
    ASSERT_TRUE(channel.connect("127.0.0.1", server.port()));
    EXPECT_EQ(channel.login("bob", "pw"), CommandTimedOut);
    channel.close();
    EXPECT_TRUE(server.finish()) << server.report();
}

TEST(ControlChannelLogin, UnknownRepliesAreSkippedUntilAKnownOne) {
    ScriptedServer server;
    server.reply("220 ok\r\n").expect("USER bob\r\n")
        .reply("150 hmm\r\n").silence(120).reply("331 pw?\r\n")
        .expect("PASS pw\r\n").reply("230 in\r\n").expect("TYPE A\r\n").reply("200 A\r\n");
    server.start();
    ControlChannel channel(WaitMs);
    ASSERT_TRUE(channel.connect("127.0.0.1", server.port()));
    EXPECT_EQ(channel.login("bob", "pw"), CommandAccepted);
    channel.close();
    EXPECT_TRUE(server.finish()) << server.report();
    EXPECT_EQ(server.received(), "USER bob\r\nPASS pw\r\nTYPE A\r\n");
}

TEST(ControlChannelLogin, EndlessUnknownRepliesEndInRejectionAfterTheBound) {
    // Each unknown reply is a reply of its own (100 ms apart), and the server keeps them
    // coming for far longer than the login bound: a login without the bound would read
    // them all and then time out instead.
    ScriptedServer server;
    server.reply("220 ok\r\n").expect("USER bob\r\n");
    for (int i = 0; i < 30; ++i) server.reply("120 patience\r\n").silence(100);
    server.start();
    ControlChannel channel(ShortWaitMs, /*loginBoundMs=*/300);
    ASSERT_TRUE(channel.connect("127.0.0.1", server.port()));
    EXPECT_EQ(channel.login("bob", "pw"), CommandRejected);
    EXPECT_EQ(channel.lastReply(), "120 patience");
    channel.close();
    server.finish();  // the server may notice the client left mid-script; not the point here
    EXPECT_EQ(server.received(), "USER bob\r\n");
}

TEST(ControlChannelLogin, LineBreakInAnArgumentSendsNothing) {
    ScriptedServer server;
    server.reply("220 ok\r\n");
    server.start();
    ControlChannel channel(WaitMs);
    ASSERT_TRUE(channel.connect("127.0.0.1", server.port()));
    EXPECT_EQ(channel.login("bob\r\nDELE livre.txt", "pw"), CommandRejected);
    EXPECT_EQ(channel.login("bob", "pw\nRMD x"), CommandRejected);
    EXPECT_EQ(channel.login("bob", "pw\r"), CommandRejected);
    channel.close();
    EXPECT_TRUE(server.finish()) << server.report();
    EXPECT_EQ(server.received(), "");
}

// ---------------------------------------------------------------- permission commands

TEST(ControlChannelChmod, RefusedChmodIsRetriedAsSiteChmod) {
    ScriptedServer server;
    server.reply("220 ok\r\n")
        .expect("CHMOD 777 livre-dor/chmod_perso/livre.txt\r\n").reply("500 Unknown command.\r\n")
        .expect("SITE CHMOD 777 livre-dor/chmod_perso/livre.txt\r\n").reply("200 SITE CHMOD successful.\r\n");
    server.start();
    ControlChannel channel(WaitMs);
    ASSERT_TRUE(channel.connect("127.0.0.1", server.port()));
    EXPECT_EQ(channel.chmod("livre-dor/chmod_perso/livre.txt", "777"), CommandAccepted);
    channel.close();
    EXPECT_TRUE(server.finish()) << server.report();
    EXPECT_EQ(server.received(),
              "CHMOD 777 livre-dor/chmod_perso/livre.txt\r\nSITE CHMOD 777 livre-dor/chmod_perso/livre.txt\r\n");
}

TEST(ControlChannelChmod, AcceptedChmodIsNotRepeated) {
    ScriptedServer server;
    server.reply("220 ok\r\n").expect("CHMOD 705 mon livre/chmod_perso\r\n").reply("200 ok\r\n");
    server.start();
    ControlChannel channel(WaitMs);
    ASSERT_TRUE(channel.connect("127.0.0.1", server.port()));
    EXPECT_EQ(channel.chmod("mon livre/chmod_perso", "705"), CommandAccepted);
    channel.close();
    EXPECT_TRUE(server.finish()) << server.report();
    EXPECT_EQ(server.received(), "CHMOD 705 mon livre/chmod_perso\r\n");
}

TEST(ControlChannelChmod, ResultIsThatOfTheSecondTry) {
    ScriptedServer server;
    server.reply("220 ok\r\n")
        .expect("CHMOD 604 a.php\r\n").reply("500 no\r\n")
        .expect("SITE CHMOD 604 a.php\r\n").reply("550 a.php: No such file\r\n")
        .expect("CHMOD 604 b.php\r\n").reply("\r\n")
        .expect("SITE CHMOD 604 b.php\r\n").silence(2 * ShortWaitMs);
    server.start();
    ControlChannel channel(ShortWaitMs);
    ASSERT_TRUE(channel.connect("127.0.0.1", server.port()));
    EXPECT_EQ(channel.chmod("a.php", "604"), CommandRejected);
    EXPECT_EQ(channel.chmod("b.php", "604"), CommandTimedOut);
    channel.close();
    EXPECT_TRUE(server.finish()) << server.report();
}

TEST(ControlChannelChmod, TimeOutOnChmodStillTriesSiteChmod) {
    ScriptedServer server;
    // No answer to CHMOD: the server just waits for the next line.
    server.reply("220 ok\r\n").expect("CHMOD 777 f\r\n")
        .expect("SITE CHMOD 777 f\r\n").reply("200 ok\r\n");
    server.start();
    ControlChannel channel(ShortWaitMs);
    ASSERT_TRUE(channel.connect("127.0.0.1", server.port()));
    EXPECT_EQ(channel.chmod("f", "777"), CommandAccepted);
    channel.close();
    EXPECT_TRUE(server.finish()) << server.report();
}

TEST(ControlChannelChmod, SiteCommandLineIsWordModePath) {
    ScriptedServer server;
    server.reply("220 ok\r\n").expect("SITE UTIME 20240101 x\r\n").reply("202 not needed\r\n");
    server.start();
    ControlChannel channel(WaitMs);
    ASSERT_TRUE(channel.connect("127.0.0.1", server.port()));
    EXPECT_EQ(channel.sendSiteCommand("SITE UTIME", "x", "20240101"), CommandRejected);
    channel.close();
    EXPECT_TRUE(server.finish()) << server.report();
}

TEST(ControlChannelChmod, LineBreakInPathOrModeSendsNothing) {
    ScriptedServer server;
    server.reply("220 ok\r\n");
    server.start();
    ControlChannel channel(WaitMs);
    ASSERT_TRUE(channel.connect("127.0.0.1", server.port()));
    EXPECT_EQ(channel.chmod("livre.txt\r\nDELE livre.txt", "777"), CommandRejected);
    EXPECT_EQ(channel.chmod("livre.txt", "777\n"), CommandRejected);
    EXPECT_EQ(channel.chmod(std::string("a\0b", 3), "777"), CommandRejected);
    channel.close();
    EXPECT_TRUE(server.finish()) << server.report();
    EXPECT_EQ(server.received(), "");
}

TEST(ControlChannelChmod, SendLineAddsNothing) {
    ScriptedServer server;
    server.reply("220 ok\r\n").expect("NOOP\r\n");
    server.start();
    ControlChannel channel(WaitMs);
    ASSERT_TRUE(channel.connect("127.0.0.1", server.port()));
    channel.sendLine("NO");
    channel.sendLine("OP\r\n");
    channel.close();
    EXPECT_TRUE(server.finish()) << server.report();
    EXPECT_EQ(server.received(), "NOOP\r\n");
}

// ---------------------------------------------------------------- two conversations

TEST(ControlChannelConcurrency, TwoConversationsKeepTheirOwnReplies) {
    auto run = [](const std::string& who, int& result, std::string& last, std::string& received) {
        ScriptedServer server;
        server.reply("220 " + who + "\r\n").expect("USER " + who + "\r\n").reply("230 ok\r\n")
            .expect("TYPE A\r\n").reply("200 " + who + "\r\n");
        for (int i = 0; i < 20; ++i)
            server.expect("CHMOD 777 " + who + std::to_string(i) + "\r\n").reply("200 " + who + std::to_string(i) + "\r\n");
        server.start();
        ControlChannel channel(WaitMs);
        result = CommandRejected;
        if (channel.connect("127.0.0.1", server.port()) && channel.login(who, "pw") == CommandAccepted) {
            result = CommandAccepted;
            for (int i = 0; i < 20 && result == CommandAccepted; ++i) {
                result = channel.chmod(who + std::to_string(i), "777");
                if (channel.lastReply() != "200 " + who + std::to_string(i)) result = -100;
            }
        }
        last = channel.lastReply();
        channel.close();
        if (!server.finish()) result = -200;
        received = server.received();
    };
    int r1 = 0, r2 = 0;
    std::string last1, last2, rec1, rec2;
    std::thread t1(run, "alice", std::ref(r1), std::ref(last1), std::ref(rec1));
    std::thread t2(run, "bruno", std::ref(r2), std::ref(last2), std::ref(rec2));
    t1.join();
    t2.join();
    EXPECT_EQ(r1, CommandAccepted);
    EXPECT_EQ(r2, CommandAccepted);
    EXPECT_EQ(last1, "200 alice19");
    EXPECT_EQ(last2, "200 bruno19");
    EXPECT_EQ(rec1.rfind("USER alice\r\nTYPE A\r\nCHMOD 777 alice0\r\n", 0), 0u) << rec1;
    EXPECT_EQ(rec2.rfind("USER bruno\r\nTYPE A\r\nCHMOD 777 bruno0\r\n", 0), 0u) << rec2;
    const std::string shared = lastReplyText();
    EXPECT_TRUE(shared == "200 alice19" || shared == "200 bruno19") << shared;
}

}  // namespace
}  // namespace velmo::ftp
