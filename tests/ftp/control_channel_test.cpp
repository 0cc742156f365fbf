// The control-channel client against scripted loopback servers: what it makes of the
// replies, and exactly which bytes it puts on the wire.
#include "ftp/control_channel.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/scripted_server.h"

namespace velmo::ftp {
namespace {

using testsupport::ScriptedServer;

// Long enough that a loaded machine never hits it where a reply does come.
constexpr int WaitMs = 3000;
// For the cases where the server stays silent on purpose.
constexpr int ShortWaitMs = 150;

// One conversation with a server that greets with "220 ok": add the rest of the script,
// connect, talk, then end() gives every byte the client sent.
struct Conversation {
    explicit Conversation(int waitMs = WaitMs, int loginBoundMs = ControlChannel::DefaultLoginBoundMs)
        : channel(waitMs, loginBoundMs) {
        server.reply("220 ok\r\n");
    }
    bool connect() {
        server.start();
        return channel.connect("127.0.0.1", server.port());
    }
    std::string end(bool scriptMustFinish = true) {
        channel.close();
        const bool finished = server.finish();
        if (scriptMustFinish) { EXPECT_TRUE(finished) << server.report(); }
        return server.received();
    }
    ScriptedServer server;
    ControlChannel channel;
};


TEST(ControlChannelReply, PiecesCloseInTimeAreOneReplyWithoutTrailingBreaks) {
    // After a short piece the next one may come up to 50 ms later, so a 300 ms gap parts
    // two replies.
    ScriptedServer server;
    server.replySplit({"220-Bienvenue\r\n", "220 FTP pret\r\n"}, 30).silence(300);
    server.replySplit({"211-court\r\n", "211-a \r\n211 b  \r\n\r\n \n"}, 300);
    server.start();
    ControlChannel channel(WaitMs);
    ASSERT_TRUE(channel.connect("127.0.0.1", server.port()));
    EXPECT_EQ(channel.lastReply(), "220-Bienvenue\r\n220 FTP pret");
    EXPECT_EQ(channel.readReply(), "211-court");
    EXPECT_EQ(channel.readReply(), "211-a \r\n211 b") << "trailing line ends and blanks go, inner ones stay";
    channel.close();
    EXPECT_TRUE(server.finish()) << server.report();
    EXPECT_EQ(server.received(), "") << "connect and reply waits send nothing";
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


TEST(ControlChannelReply, AReplyDrippedPastItsBoundIsATimeOutAndEndsTheConnection) {
    // Each byte comes well within the 50 ms that join pieces, the whole greeting not
    // within the first wait plus the margin.
    constexpr int dripMs = 5;
    std::vector<std::string> drops;
    const std::size_t bytes = (ShortWaitMs + ControlChannel::ReplyCompletionMarginMs) / dripMs + 200;
    for (char c : "220 " + std::string(bytes, 'w') + "\r\n") drops.emplace_back(1, c);
    ScriptedServer server;
    server.replySplit(drops, dripMs);
    server.start();
    ControlChannel channel(ShortWaitMs);
    EXPECT_FALSE(channel.connect("127.0.0.1", server.port()));
    EXPECT_EQ(channel.lastReply(), "TimeOut");
    EXPECT_FALSE(channel.connected());
    server.finish();
    EXPECT_EQ(server.received(), "");
}

TEST(ControlChannelConnect, OnlyA220GreetingGivesAConnection) {
    for (const char* greeting : {"421 Too many users\r\n", "120 Ready in 5 minutes\r\n", ""}) {
        SCOPED_TRACE(greeting);
        ScriptedServer server;
        if (*greeting) server.reply(greeting);
        else server.acceptControl().silence(2 * ShortWaitMs);
        server.start();
        ControlChannel channel(*greeting ? WaitMs : ShortWaitMs);
        EXPECT_FALSE(channel.connect("127.0.0.1", server.port()));
        EXPECT_FALSE(channel.connected());
        if (!*greeting) { EXPECT_EQ(channel.lastReply(), "TimeOut"); }
        EXPECT_EQ(channel.chmod("f", "777"), CommandRejected) << "nothing is sent without a connection";
        EXPECT_TRUE(server.finish()) << server.report();
        EXPECT_EQ(server.received(), "");
    }
}


TEST(ControlChannelLogin, RepliesDecideTheNextLineAndTheResult) {
    struct Row {
        const char* what;
        std::function<void(ScriptedServer&)> afterUser;
        int waitMs;
        CommandResult result;
        std::string sent;
    };
    const std::string pass = "PASS s3cr\xE9t\r\n";
    const Row rows[] = {
        {"unknown reply skipped, then password and TYPE A",
         [&](ScriptedServer& s) {
             s.reply("150 hmm\r\n").silence(120).reply("331 pw?\r\n").expect(pass).reply("230 in\r\n")
                 .expect("TYPE A\r\n").reply("200 Type set to A\r\n");
         },
         WaitMs, CommandAccepted, "USER bob\r\n" + pass + "TYPE A\r\n"},
        {"user accepted without password",
         [](ScriptedServer& s) { s.reply("230 No password needed\r\n").expect("TYPE A\r\n").reply("200 ok\r\n"); },
         WaitMs, CommandAccepted, "USER bob\r\nTYPE A\r\n"},
        {"wrong password: no TYPE A",
         [&](ScriptedServer& s) { s.reply("331 pw?\r\n").expect(pass).reply("530 Login incorrect.\r\n"); },
         WaitMs, CommandRejected, "USER bob\r\n" + pass},
        {"empty reply", [](ScriptedServer& s) { s.reply("\r\n"); }, WaitMs, CommandRejected, "USER bob\r\n"},
        {"silent after PASS", [&](ScriptedServer& s) { s.reply("331 pw?\r\n").expect(pass).silence(2 * ShortWaitMs); },
         ShortWaitMs, CommandTimedOut, "USER bob\r\n" + pass},
        {"closed without a word", [](ScriptedServer& s) { s.drop(); }, WaitMs, CommandTimedOut, "USER bob\r\n"},
    };
    for (const Row& r : rows) {
        Conversation c(r.waitMs);
        c.server.expect("USER bob\r\n");
        r.afterUser(c.server);
        ASSERT_TRUE(c.connect()) << r.what;
        EXPECT_EQ(c.channel.login("bob", "s3cr\xE9t"), r.result) << r.what;
        EXPECT_EQ(c.end(), r.sent) << r.what;
    }
}

TEST(ControlChannelLogin, EndlessUnknownRepliesEndInRejectionAfterTheBound) {
    // Each unknown reply is a reply of its own (100 ms apart), and the server keeps them
    // coming for far longer than the login bound: a login without the bound would read
    // them all and then time out instead.
    Conversation c(ShortWaitMs, /*loginBoundMs=*/300);
    c.server.expect("USER bob\r\n");
    for (int i = 0; i < 30; ++i) c.server.reply("120 patience\r\n").silence(100);
    ASSERT_TRUE(c.connect());
    EXPECT_EQ(c.channel.login("bob", "pw"), CommandRejected);
    EXPECT_EQ(c.channel.lastReply(), "120 patience");
    // The server may notice the client left mid-script; not the point here.
    EXPECT_EQ(c.end(false), "USER bob\r\n");
}

TEST(ControlChannelLogin, AServerThatKeepsAskingEndsInRejectionAtTheBound) {
    // 40 rounds of at least the 10 ms pause each: past the 300 ms bound, and still short
    // of the end of the script, where a login without the bound would time out instead.
    struct Row {
        const char* what;
        const char* firstReply;
        std::string again;  // the line the client keeps sending
        const char* answer;
    };
    const Row rows[] = {
        {"every PASS answered 331", "331 pw?\r\n", "PASS pw\r\n", "331 pw?\r\n"},
        {"every TYPE A answered 230", "230 in\r\n", "TYPE A\r\n", "230 in\r\n"},
    };
    for (const Row& r : rows) {
        Conversation c(ShortWaitMs, /*loginBoundMs=*/300);
        c.server.expect("USER bob\r\n").reply(r.firstReply);
        for (int i = 0; i < 40; ++i) c.server.expect(r.again).reply(r.answer);
        ASSERT_TRUE(c.connect()) << r.what;
        EXPECT_EQ(c.channel.login("bob", "pw"), CommandRejected) << r.what;
        const std::string sent = c.end(false);
        EXPECT_EQ(sent.rfind("USER bob\r\n" + r.again, 0), 0u) << r.what;
        EXPECT_LT(sent.size(), 11 + 40 * r.again.size()) << r.what << ": it stopped before the script did";
    }
}

TEST(ControlChannelCommands, LineBreakOrNulInAnArgumentSendsNothing) {
    Conversation c;
    ASSERT_TRUE(c.connect());
    EXPECT_EQ(c.channel.login("bob\r\nDELE livre.txt", "pw"), CommandRejected);
    EXPECT_EQ(c.channel.login("bob", "pw\r"), CommandRejected);
    EXPECT_EQ(c.channel.chmod("livre.txt\r\nDELE livre.txt", "777"), CommandRejected);
    EXPECT_EQ(c.channel.chmod(std::string("a\0b", 3), "777"), CommandRejected);
    EXPECT_EQ(c.channel.sendSiteCommand("SITE\r\nDELE x", "a", "777"), CommandRejected);
    EXPECT_EQ(c.end(), "");
}


TEST(ControlChannelChmod, RefusedChmodIsRetriedAsSiteChmodAndOnly200Counts) {
    Conversation c;
    c.server.expect("NOOP\r\n")
        .expect("CHMOD 777 livre-dor/chmod_perso/livre.txt\r\n").reply("500 Unknown command.\r\n")
        .expect("SITE CHMOD 777 livre-dor/chmod_perso/livre.txt\r\n").reply("200 SITE CHMOD successful.\r\n")
        .expect("CHMOD 705 mon livre/chmod_perso\r\n").reply("200 ok\r\n")
        .expect("CHMOD 604 a.php\r\n").reply("500 no\r\n")
        .expect("SITE CHMOD 604 a.php\r\n").reply("550 a.php: No such file\r\n")
        .expect("SITE UTIME 20240101 x\r\n").reply("202 not needed\r\n");
    ASSERT_TRUE(c.connect());
    // sendLine adds nothing to what it is given.
    c.channel.sendLine("NO");
    c.channel.sendLine("OP\r\n");
    EXPECT_EQ(c.channel.chmod("livre-dor/chmod_perso/livre.txt", "777"), CommandAccepted);
    EXPECT_EQ(c.channel.chmod("mon livre/chmod_perso", "705"), CommandAccepted) << "not repeated";
    EXPECT_EQ(c.channel.chmod("a.php", "604"), CommandRejected) << "the result is that of SITE CHMOD";
    EXPECT_EQ(c.channel.sendSiteCommand("SITE UTIME", "x", "20240101"), CommandRejected);
    EXPECT_EQ(c.end(),
              "NOOP\r\n"
              "CHMOD 777 livre-dor/chmod_perso/livre.txt\r\nSITE CHMOD 777 livre-dor/chmod_perso/livre.txt\r\n"
              "CHMOD 705 mon livre/chmod_perso\r\n"
              "CHMOD 604 a.php\r\nSITE CHMOD 604 a.php\r\n"
              "SITE UTIME 20240101 x\r\n");
}

TEST(ControlChannelChmod, NoAnswerToChmodStillTriesSiteChmod) {
    Conversation c(ShortWaitMs);
    c.server.expect("CHMOD 777 f\r\n")  // no answer: the server just waits for the next line
        .expect("SITE CHMOD 777 f\r\n").reply("200 ok\r\n")
        .expect("CHMOD 604 b.php\r\n").reply("\r\n")
        .expect("SITE CHMOD 604 b.php\r\n").silence(2 * ShortWaitMs);
    ASSERT_TRUE(c.connect());
    EXPECT_EQ(c.channel.chmod("f", "777"), CommandAccepted);
    EXPECT_EQ(c.channel.chmod("b.php", "604"), CommandTimedOut);
    c.end();
}


TEST(ControlChannelConcurrency, TwoConversationsKeepTheirOwnReplies) {
    auto run = [](const std::string& who, std::string& seen) {
        Conversation c;
        for (int i = 0; i < 20; ++i) c.server.expect("CHMOD 777 " + who + "\r\n").reply("200 " + who + std::to_string(i) + "\r\n");
        if (!c.connect()) { seen = "no connection"; return; }
        for (int i = 0; i < 20; ++i)
            if (c.channel.chmod(who, "777") != CommandAccepted || c.channel.lastReply() != "200 " + who + std::to_string(i))
                seen += c.channel.lastReply() + ";";
        c.end();
    };
    std::string alice, bruno;
    std::thread t1(run, "alice", std::ref(alice)), t2(run, "bruno", std::ref(bruno));
    t1.join();
    t2.join();
    EXPECT_EQ(alice, "") << "replies not alice's own";
    EXPECT_EQ(bruno, "") << "replies not bruno's own";
}

}  // namespace
}  // namespace velmo::ftp
