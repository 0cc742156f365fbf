// The session layer against a scripted FTP server on 127.0.0.1: the exact bytes sent, the
// replies that count and the reasons failures give, transfers in both data-connection
// modes and what their progress callback sees.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <regex>
#include <string>
#include <vector>

#include "ftp/control_connection.h"
#include "ftp/ftp_session.h"
#include "ftp/listing_parser.h"
#include "platform/clock.h"
#include "platform/fs.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/scripted_server.h"

using namespace velmo;
using namespace velmo::ftp;
using velmo::testsupport::ScriptedServer;

namespace velmo::ftp {
std::ostream& operator<<(std::ostream& out, const Result& r) { return out << describe(r); }
std::ostream& operator<<(std::ostream& out, Failure f) { return out << failureName(f); }
}  // namespace velmo::ftp

namespace {

const std::string loginBytes = "USER bob\r\nPASS pw\r\n";

ScriptedServer& login(ScriptedServer& server) {
    return server.reply("220 ready\r\n")
        .expect("USER bob\r\n").reply("331 Password required\r\n")
        .expect("PASS pw\r\n").reply("230 Logged in\r\n");
}

// Server side of a transfer: TYPE, PASV or PORT, the transfer command and its first reply,
// then the data connection unless that reply refused the transfer.
ScriptedServer& startTransfer(ScriptedServer& s, const char* type, bool passive, const std::string& command,
                              const std::string& startReply = "150 go\r\n", const std::string& pasvHost = "127,0,0,1") {
    s.expect(std::string("TYPE ") + type + "\r\n").reply("200 ok\r\n");
    if (passive) s.expect("PASV\r\n").pasv("", pasvHost);
    else s.expectPort().reply("200 PORT command successful\r\n");
    s.expect(command).reply(startReply);
    if (startReply[0] != '1') return s;
    return passive ? s.acceptData() : s.connectData();
}

// The client's side of it, after the login: the PORT line names 127.0.0.1 (the script
// checked that) and a port of the system's choice.
void expectTransferLines(const std::string& sent, const char* type, bool passive, const std::string& command,
                         const std::string& after = "") {
    const std::string head = loginBytes + "TYPE " + type + "\r\n" + (passive ? "PASV" : "PORT 127,0,0,1,");
    const std::string tail = "\r\n" + command + after;
    ASSERT_GE(sent.size(), head.size() + tail.size()) << testsupport::visible(sent);
    EXPECT_EQ(sent.substr(0, head.size()), head);
    EXPECT_EQ(sent.substr(sent.size() - tail.size()), tail);
    const std::string port = sent.substr(head.size(), sent.size() - head.size() - tail.size());
    EXPECT_TRUE(std::regex_match(port, std::regex(passive ? "" : "[0-9]{1,3},[0-9]{1,3}"))) << port;
}

// One scratch folder for the whole program: another checkout's tests running at the same
// time must not replace or remove these files.
std::string tempPath(const std::string& name) {
    static const velmo::testing::ScratchFolder folder;
    return folder.file(name);
}

std::string sampleBytes(std::size_t size) {
    std::string data(size, '\0');
    for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<char>((i * 131 + i / 4096) & 0xFF);
    return data;
}

// What a transfer's progress callback saw: each count with the tick it came at.
struct ProgressLog {
    std::vector<std::int64_t> counts;
    std::vector<std::uint64_t> ticks;
    // Stops the transfer (answers false) once this many bytes have moved; -1: never.
    std::int64_t stopAt = -1;
    int periodMs = 100;
    std::function<void()> onEachCall;
    TransferWatch watch() {
        return {[this](std::int64_t bytes) {
                    counts.push_back(bytes);
                    ticks.push_back(clock::tickMs());
                    if (onEachCall) onEachCall();
                    return stopAt < 0 || bytes < stopAt;
                },
                periodMs};
    }
    std::uint64_t longestGap() const {
        std::uint64_t gap = 0;
        for (std::size_t i = 1; i < ticks.size(); ++i) gap = std::max(gap, ticks[i] - ticks[i - 1]);
        return gap;
    }
};

class FtpSessionTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { startSessions(); }
    static void TearDownTestSuite() { stopSessions(); }
    void TearDown() override {
        session.close();
        setSilenceLimitMs(120000);
    }

    Result openOn(const ScriptedServer& server, bool passive = true) {
        return session.open("127.0.0.1", "bob", "pw", passive, server.port());
    }

    // Closes the session, then waits for the script: every byte the client sent.
    std::string sentAfterClose(ScriptedServer& server, const std::string& what = "") {
        session.close();
        EXPECT_TRUE(server.finish()) << what << " " << server.report();
        return server.received();
    }

    Session session;
};

}  // namespace

TEST_F(FtpSessionTest, OpenFailures) {
    struct Row {
        const char* what;
        const char* userReply;
        const char* passReply;  // nullptr: PASS must not be sent
        int refusedCode;        // of the LoginRefused result
    };
    const Row rows[] = {
        {"USER answered 230 directly", "230 Logged in\r\n", nullptr, 230},
        {"USER refused", "530 Not allowed\r\n", nullptr, 530},
        {"wrong password", "331 Password required\r\n", "530 Login incorrect\r\n", 530},
        {"PASS asks for an account", "331 Password required\r\n", "332 Need account\r\n", 332},
    };
    for (const Row& r : rows) {
        ScriptedServer server;
        server.reply("220 ready\r\n").expect("USER bob\r\n").reply(r.userReply);
        if (r.passReply) server.expect("PASS pw\r\n").reply(r.passReply);
        server.start();
        EXPECT_EQ(openOn(server), (Result{Failure::LoginRefused, r.refusedCode})) << r.what;
        EXPECT_FALSE(session.hasConnection()) << r.what;
        EXPECT_FALSE(session.isAlive()) << r.what;  // no usable session is left
        EXPECT_EQ(session.lastResult().failure, Failure::NotConnected) << r.what << ": and nothing was sent";
        EXPECT_EQ(sentAfterClose(server, r.what), r.passReply ? loginBytes : std::string("USER bob\r\n")) << r.what;
    }
    // No server on the port: the open says so, and the session stays closed.
    int freePort = 0;
    {
        ScriptedServer gone;
        freePort = gone.port();
    }
    EXPECT_EQ(session.open("127.0.0.1", "bob", "pw", true, freePort).failure, Failure::ConnectFailed);
    EXPECT_EQ(session.changeDirectory("www").failure, Failure::NotConnected);
}

// A session belongs to its engine and may be moved with it: the connection goes along, and
// what the process holds on its servers comes back to nothing once each session is closed
// or gone, and once the server dropped one.
TEST_F(FtpSessionTest, AMovedSessionKeepsItsConnectionAndEveryEndGivesItBack) {
    ScriptedServer server;
    login(server).expect("PWD\r\n").reply("257 \"/www\"\r\n").drop();
    login(server).expect("PWD\r\n").drop();
    server.start();
    const int before = openControlConnections();
    {
        Session first;
        ASSERT_TRUE(first.open("127.0.0.1", "bob", "pw", true, server.port()));
        Session moved = std::move(first);
        EXPECT_EQ(openControlConnections(), before + 1);
        EXPECT_EQ(first.changeDirectory("www").failure, Failure::NotConnected) << "the moved-from session sends nothing";
        EXPECT_EQ(moved.currentDirectory(), "/www");
        first = std::move(moved);
        EXPECT_TRUE(first.hasConnection());
    }
    EXPECT_EQ(openControlConnections(), before) << "a session that goes closes its connection";
    ASSERT_TRUE(openOn(server));
    EXPECT_EQ(openControlConnections(), before + 1);
    EXPECT_FALSE(session.isAlive());
    EXPECT_EQ(openControlConnections(), before) << "a connection the server dropped is no longer held";
    EXPECT_EQ(sentAfterClose(server), loginBytes + "PWD\r\n" + loginBytes + "PWD\r\n");
}

TEST_F(FtpSessionTest, SplitRepliesAreReadToTheirEndAndCommandsCountOnlyTheirOwnCode) {
    ScriptedServer server;
    server.replySplit({"220-Welcome to the host\r\n220-", "Second line\r\n", "220 Ready\r\n"}, 20)
        .expect("USER bob\r\n").reply("331 Password required\r\n")
        .expect("PASS pw\r\n").replySplit({"230-Welcome\r\n230-No films", " please\r\n", "230 Logged in\r\n"}, 20)
        .expect("PWD\r\n").replySplit({"25", "7 \"/www/li", "vre\" is current\r\n"}, 20)
        .expect("CDUP\r\n").reply("200 Command okay\r\n")
        .expect("CDUP\r\n").reply("250 Directory changed\r\n")
        .expect("CWD missing\r\n").reply("550-No such directory\r\n550 Really not\r\n")
        .expect("MKD sessions\r\n").reply("257 \"/www/sessions\" created\r\n")
        .expect("MKD sessions\r\n").reply("550 Exists\r\n")
        .expect("PWD\r\n").reply("257 /www no quote\r\n")
        .expect("PWD\r\n").reply("257 \"/www\" again\r\n");
    server.start();
    ASSERT_TRUE(openOn(server));
    EXPECT_EQ(session.currentDirectory(), "/www/livre");
    EXPECT_EQ(session.changeDirectory(".."), (Result{Failure::Refused, 200}));
    EXPECT_TRUE(session.changeDirectory(".."));
    EXPECT_EQ(session.changeDirectory("missing"), (Result{Failure::Refused, 550}));
    EXPECT_TRUE(session.makeDirectory("sessions"));
    EXPECT_EQ(session.makeDirectory("sessions"), (Result{Failure::Refused, 550}));
    EXPECT_EQ(session.currentDirectory(), "");
    // Each reply was consumed whole: this PWD reads its own answer.
    EXPECT_EQ(session.currentDirectory(), "/www");
    EXPECT_EQ(sentAfterClose(server),
              loginBytes + "PWD\r\nCDUP\r\nCDUP\r\nCWD missing\r\nMKD sessions\r\nMKD sessions\r\nPWD\r\nPWD\r\n");
}

TEST_F(FtpSessionTest, LineBreaksInArgumentsOrAMissingLocalFileSendNothing) {
    ScriptedServer server;
    login(server).expect("PWD\r\n").reply("257 \"/\"\r\n");
    server.start();
    EXPECT_EQ(session.open("127.0.0.1", "bob\r\nSITE EXEC x", "pw", true, server.port()).failure,
              Failure::BadArgument);
    ASSERT_TRUE(openOn(server));
    EXPECT_EQ(session.changeDirectory("www\r\nDELE index.php").failure, Failure::BadArgument);
    const std::string local = tempPath("crlf_source"), missing = tempPath("does_not_exist");
    ASSERT_TRUE(fs::replaceFileContents(local, "abc"));
    fs::removeFile(missing);
    EXPECT_EQ(session.sendFile(local, "x\rDELE y").failure, Failure::BadArgument);
    Session neverOpened;
    EXPECT_EQ(neverOpened.sendFile(local, "x.php").failure, Failure::NotConnected);
    // A missing file fails before any byte: its watch never hears of data moving.
    ProgressLog log;
    EXPECT_EQ(session.sendFile(missing, "x.php", log.watch()).failure, Failure::LocalFile);
    for (std::int64_t count : log.counts) EXPECT_EQ(count, 0);
    EXPECT_TRUE(session.isAlive());
    EXPECT_EQ(sentAfterClose(server), loginBytes + "PWD\r\n");
    EXPECT_EQ(server.connectionsAccepted(), 1);
    fs::removeFile(local);
}

TEST_F(FtpSessionTest, ListingsAreReadWholeOrRefusedAndTheirRepliesDrained) {
    std::string longListing;
    std::vector<std::string> longEntries = {"my folder d 4096"};
    for (int i = 0; i < 600; ++i) {
        longListing += "-rw-r--r-- 1 web web " + std::to_string(i) + " Jan 1 12:00 image " + std::to_string(i) + "\r\n";
        longEntries.push_back("image " + std::to_string(i) + " f " + std::to_string(i));
    }
    std::string overCap;
    for (std::size_t i = 0; i <= ListingParser::MaxEntries; ++i) overCap += "-rw-r--r-- 1 a b 1 Jan 1 12:00 f" + std::to_string(i) + "\n";
    const std::string complete = "226 Transfer complete\r\n";
    struct Row {
        const char* what;
        const char* startReply;
        std::string data;
        Result listed;
        std::vector<std::string> entries;  // name, kind (d or f), size
        std::string finalReply = "226 Transfer complete\r\n";
        bool dataLeftOpen = false;
    };
    const Row rows[] = {
        {"folder, then many data reads", "125 Data connection already open\r\n",
         "drwxr-xr-x 2 web web 4096 Jan 1 12:00 my folder\r\n" + longListing, {}, longEntries},
        {"refused", "550 No listing\r\n", "", {Failure::Refused, 550}, {}},
        // A listing the server did not finish is no listing (the locator would show a
        // cut or empty folder as the real one).
        {"the server ends the transfer with 426", "150 go\r\n", longListing, {Failure::Refused, 426}, {},
         "426 Connection closed; transfer aborted\r\n"},
        {"the data connection never closes", "150 go\r\n", longListing, {Failure::TimedOut}, {}, complete, true},
        {"one entry over the cap", "150 go\r\n", overCap, {Failure::ListingTooLarge}, {}},
    };
    for (const Row& r : rows) {
        // Short only where the session must give up on a data connection that never closes.
        setSilenceLimitMs(r.dataLeftOpen ? 1000 : 120000);
        const bool started = r.startReply[0] == '1';
        ScriptedServer server;
        // Parsing 100 001 entries under the sanitizers outlasts the default step limit.
        server.setStepLimit(60000);
        startTransfer(login(server), "A", true, "LIST\r\n", r.startReply);
        if (started) server.sendData(r.data, r.dataLeftOpen).reply(r.finalReply);
        server.expect("PWD\r\n").reply("257 \"/\"\r\n");
        server.start();
        ASSERT_TRUE(openOn(server)) << r.what;
        EXPECT_EQ(session.listDirectory(), r.listed) << r.what;
        std::vector<std::string> entries;
        while (session.nextEntry())
            entries.push_back(session.entryName() + (session.entryKind() == EntryDirectory ? " d " : " f ") +
                              std::to_string(session.entrySize()));
        EXPECT_EQ(entries, r.entries) << r.what;
        EXPECT_EQ(session.currentDirectory(), "/") << r.what << ": the 226 was drained";
        expectTransferLines(sentAfterClose(server, r.what), "A", true, "LIST\r\n", "PWD\r\n");
    }
}

TEST_F(FtpSessionTest, TransfersSucceedOnlyOnTheirFinalCompletionReply) {
    struct Row {
        const char* what;
        bool upload;
        bool passive;
        std::size_t size;
        const char* startReply;
        const char* finalReply;  // nullptr: the server drops the connection instead
        Result result;
        const char* pasvHost = "127,0,0,1";
    };
    const Row rows[] = {
        {"STOR passive, 226", true, true, 10000, "150 Ok to send data\r\n", "226 Transfer complete\r\n", {}},
        // The data goes to the server of the session, never to the host a 227 names
        // (FTP bounce; servers behind NAT name their inner address).
        {"STOR passive, 227 names another host", true, true, 5000, "150 go\r\n", "226 Transfer complete\r\n", {},
         "127,0,0,2"},
        {"STOR active, empty file", true, false, 0, "125 Data connection already open\r\n", "226-Done\r\n226 Bye\r\n", {}},
        {"STOR disk full 552 after the data", true, true, 9000, "150 go\r\n", "552 Exceeded storage allocation\r\n",
         {Failure::Refused, 552}},
        {"STOR no final reply", true, true, 100, "150 go\r\n", nullptr, {Failure::ConnectionLost}},
        {"STOR refused", true, true, 100, "553 Not allowed\r\n", "", {Failure::Refused, 553}},
        {"RETR active, 226", false, false, 70000, "150 Opening BINARY mode\r\n", "226 Transfer complete\r\n", {}},
        {"RETR 426 after the data", false, true, 70000, "150 go\r\n", "426 Failure reading network stream\r\n",
         {Failure::Refused, 426}},
        {"RETR refused: no local file", false, true, 0, "550 No such file\r\n", "", {Failure::Refused, 550}},
    };
    const std::string local = tempPath("transfer");
    for (const Row& r : rows) {
        const std::string content = sampleBytes(r.size);
        const std::string command = std::string(r.upload ? "STOR" : "RETR") + " livre.php\r\n";
        const bool started = r.startReply[0] == '1';
        fs::removeFile(local);
        if (r.upload) {
            ASSERT_TRUE(fs::replaceFileContents(local, content));
        }
        ScriptedServer server;
        startTransfer(login(server), "I", r.passive, command, r.startReply, r.pasvHost);
        if (started && r.upload) server.receiveData();
        if (started && !r.upload) server.sendData(content);
        if (!r.finalReply) server.drop();
        else if (*r.finalReply) server.reply(r.finalReply);
        if (r.finalReply) server.expect("PWD\r\n").reply("257 \"/\"\r\n");
        server.start();
        ASSERT_TRUE(openOn(server, r.passive)) << r.what;
        ProgressLog log;
        EXPECT_EQ(r.upload ? session.sendFile(local, "livre.php", log.watch())
                           : session.receiveFile("livre.php", local, {}, log.watch()),
                  r.result) << r.what;
        // The data's end is told with the whole count (a transfer refused before its data
        // moved none).
        if (started) {
            ASSERT_FALSE(log.counts.empty()) << r.what;
        }
        EXPECT_EQ(log.counts.empty() ? 0 : log.counts.back(), started ? static_cast<std::int64_t>(r.size) : 0) << r.what;
        EXPECT_EQ(session.isAlive(), r.finalReply != nullptr) << r.what << ": every reply was read";
        expectTransferLines(sentAfterClose(server, r.what), "I", r.passive, command, r.finalReply ? "PWD\r\n" : "");
        std::string got = "(no file)";
        if (r.upload) EXPECT_EQ(server.dataReceived(), std::vector<std::string>(started ? 1 : 0, content)) << r.what;
        else EXPECT_EQ(fs::readWholeFile(local, got) ? got : "(no file)", started ? content : "(no file)") << r.what;
    }
    fs::removeFile(local);
}

TEST_F(FtpSessionTest, AStorRefusedAfterItsPassivePortClosedIsToldAsTheRefusal) {
    // STOR leaves before the data connection is made; a server that refuses it may close
    // the port its 227 named before the connection gets there (proftpd). The refusal is the
    // reason, and the session goes on.
    int closedPort = 0;
    {
        net::Socket gone = net::Socket::listenOn("127.0.0.1", 0, 1);
        ASSERT_TRUE(gone.valid());
        closedPort = gone.localPort();
    }
    const std::string local = tempPath("refused");
    ASSERT_TRUE(fs::replaceFileContents(local, "livre"));
    ScriptedServer server;
    login(server).expect("TYPE I\r\n").reply("200 ok\r\n").expect("PASV\r\n")
        .reply("227 Entering Passive Mode (127,0,0,1," + std::to_string(closedPort / 256) + "," +
               std::to_string(closedPort % 256) + ")\r\n")
        .expect("STOR livre.php\r\n").reply("553 Not allowed\r\n")
        .expect("PWD\r\n").reply("257 \"/\"\r\n");
    server.start();
    ASSERT_TRUE(openOn(server));
    EXPECT_EQ(session.sendFile(local, "livre.php"), (Result{Failure::Refused, 553}));
    EXPECT_EQ(session.currentDirectory(), "/");
    session.close();
    EXPECT_TRUE(server.finish()) << server.report();
    fs::removeFile(local);
}

TEST_F(FtpSessionTest, ASendTellsItsGrowingCountAboutEveryPeriodAndAFalseAnswerAbortsIt) {
    // Large enough that moving it takes many periods even on a fast loopback.
    const std::string local = tempPath("background"), content = sampleBytes(32 * 1024 * 1024 + 17);
    ASSERT_TRUE(fs::replaceFileContents(local, content));
    ScriptedServer server;
    // The pause before the TYPE reply: the watch is told (nothing moved yet) while the
    // commands are still being answered.
    login(server).expect("TYPE I\r\n").silence(300).reply("200 ok\r\n").expect("PASV\r\n").pasv()
        .expect("STOR big.bin\r\n").reply("150 go\r\n").acceptData().receiveData().reply("226 Transfer complete\r\n");
    startTransfer(server, "I", true, "STOR f\r\n").receiveData().reply("426 Transfer aborted\r\n");
    server.start();
    ASSERT_TRUE(openOn(server));
    ProgressLog whole;
    ASSERT_TRUE(session.sendFile(local, "big.bin", whole.watch()));
    const std::vector<std::int64_t>& seen = whole.counts;
    ASSERT_GE(seen.size(), 3u) << "nothing yet, some byte counts, the whole";
    EXPECT_EQ(seen.front(), 0);
    EXPECT_EQ(seen.back(), static_cast<std::int64_t>(content.size()));
    for (std::size_t i = 1; i < seen.size(); ++i) EXPECT_GE(seen[i], seen[i - 1]) << "byte counts only grow";
    // About every 100 ms, however fast or slow the data goes (generous for the sanitizers).
    EXPECT_LT(whole.longestGap(), 600u);

    // The next send is stopped by its watch once data moves: a failure that says so, and the
    // connection is given up (the server's answer can no longer be told from a later one's).
    ProgressLog stopped;
    stopped.stopAt = 1;
    stopped.periodMs = 1;  // a fast loopback could move the whole file within one period
    EXPECT_EQ(session.sendFile(local, "f", stopped.watch()).failure, Failure::Aborted);
    ASSERT_FALSE(stopped.counts.empty());
    EXPECT_GE(stopped.counts.back(), 1);
    EXPECT_FALSE(session.hasConnection());
    EXPECT_EQ(session.changeDirectory("www").failure, Failure::NotConnected);
    session.close();
    server.finish();
    ASSERT_EQ(server.dataReceived().size(), 2u);
    EXPECT_TRUE(server.dataReceived()[0] == content);
    EXPECT_LT(server.dataReceived()[1].size(), content.size());
    fs::removeFile(local);
}

TEST_F(FtpSessionTest, LostOrSilentOrEndlessServerFailsTheOperation) {
    {
        ScriptedServer server;
        login(server).expect("PWD\r\n").drop();
        server.start();
        ASSERT_TRUE(openOn(server));
        EXPECT_FALSE(session.isAlive());
        EXPECT_EQ(session.lastResult().failure, Failure::ConnectionLost);
        EXPECT_EQ(sentAfterClose(server), loginBytes + "PWD\r\n");
    }
    {
        setSilenceLimitMs(200);
        ScriptedServer server;
        server.setStepLimit(3000);
        login(server).expect("PWD\r\n").silence(1000).reply("257 \"/\"\r\n");
        server.start();
        ASSERT_TRUE(openOn(server));
        EXPECT_FALSE(session.isAlive());
        EXPECT_EQ(session.lastResult().failure, Failure::TimedOut);
        // The late answer must not be taken for the next command's: the connection is given up.
        EXPECT_FALSE(session.isAlive());
        EXPECT_EQ(session.lastResult().failure, Failure::NotConnected);
        session.close();
        server.finish();
        EXPECT_EQ(server.received(), loginBytes + "PWD\r\n");
    }
    ScriptedServer endless;
    endless.stream("220-an endless greeting line\r\n", 4 * 1024 * 1024);
    endless.start();
    EXPECT_EQ(openOn(endless).failure, Failure::BadReply);
    endless.finish();
    EXPECT_EQ(endless.received(), "");
}

TEST_F(FtpSessionTest, OverLongAndUnaskedLinesDoNotShiftLaterReplies) {
    // A 257 whose line is longer than the reply buffer, its end coming in a later
    // segment; then a reply said twice. Each command still reads its own reply.
    const std::string longPath = "/" + std::string(5000, 'p');
    ScriptedServer server;
    login(server)
        .expect("PWD\r\n").replySplit({"257 \"" + longPath.substr(0, 4500), longPath.substr(4500) + "\" is current\r\n"}, 100)
        .expect("CWD www\r\n").reply("250 ok\r\n250 said twice\r\n")
        .expect("MKD livre\r\n").reply("257 \"/www/livre\" created\r\n")
        .expect("PWD\r\n").reply("257 \"/www\"\r\n");
    server.start();
    ASSERT_TRUE(openOn(server));
    EXPECT_EQ(session.currentDirectory(), "") << "a path past the kept 1023 characters is not made up";
    EXPECT_TRUE(session.changeDirectory("www"));
    EXPECT_TRUE(session.makeDirectory("livre"));
    EXPECT_EQ(session.currentDirectory(), "/www");
    EXPECT_EQ(sentAfterClose(server), loginBytes + "PWD\r\nCWD www\r\nMKD livre\r\nPWD\r\n");
}

TEST_F(FtpSessionTest, RepliesWithoutTheirLastLineEndAreReadAfterAShortQuiet) {
    // Well inside the silence limit: the session must not wait for a line end that never comes.
    setSilenceLimitMs(5000);
    ScriptedServer server;
    server.reply("220-Hello\r\n220 ready")
        .expect("USER bob\r\n").reply("331 Password required\r\n")
        .expect("PASS pw\r\n").reply("230 Logged in\r\n")
        .expect("PWD\r\n").reply("257 \"/www\" is current");
    server.start();
    ASSERT_TRUE(openOn(server));
    EXPECT_EQ(session.currentDirectory(), "/www");
    EXPECT_EQ(sentAfterClose(server), loginBytes + "PWD\r\n");
}

TEST_F(FtpSessionTest, AReplyDrippedPastTheSilenceLimitEndsTheSession) {
    // Every byte comes well within the limit, the whole greeting does not.
    setSilenceLimitMs(300);
    std::vector<std::string> drops;
    for (char c : std::string("220 ") + std::string(60, 'w') + "\r\n") drops.emplace_back(1, c);
    ScriptedServer server;
    server.replySplit(drops, 15).expect("USER bob\r\n").reply("331 Password required\r\n")
        .expect("PASS pw\r\n").reply("230 Logged in\r\n");
    server.start();
    EXPECT_FALSE(openOn(server));
    server.finish();
    EXPECT_EQ(server.received(), "") << "nothing is sent after a greeting that never ended in time";
}

TEST_F(FtpSessionTest, ATransferReturnsWithItsFinalReplyAndGoesOnBeingWatchedWhileItWaits) {
    const std::string local = tempPath("wait_end");
    ASSERT_TRUE(fs::replaceFileContents(local, "bytes"));
    ScriptedServer server;
    // The final reply comes late; the PWD after it must come within the step limit (5 s),
    // so a send that waited out more than the reply's delay fails the script.
    startTransfer(login(server), "I", true, "STOR f\r\n").receiveData().silence(1500).reply("226 done\r\n")
        .expect("PWD\r\n").reply("257 \"/\" is the current directory\r\n");
    server.start();
    ASSERT_TRUE(openOn(server));
    Session closed;
    const std::uint64_t before = clock::tickMs();
    EXPECT_EQ(closed.sendFile(local, "f").failure, Failure::NotConnected);
    EXPECT_LT(clock::tickMs() - before, 100u) << "no session: no wait";
    ProgressLog log;
    const std::uint64_t start = clock::tickMs();
    EXPECT_TRUE(session.sendFile(local, "f", log.watch()));
    const std::uint64_t spent = clock::tickMs() - start;
    EXPECT_GE(spent, 1400u);
    EXPECT_LT(spent, 4000u);
    // While the final reply was awaited, the watch went on hearing the whole count.
    ASSERT_GE(log.counts.size(), 5u);
    EXPECT_EQ(log.counts.back(), 5);
    EXPECT_EQ(log.counts[log.counts.size() - 3], 5);
    EXPECT_EQ(session.currentDirectory(), "/");
    EXPECT_EQ(sentAfterClose(server), loginBytes + "TYPE I\r\nPASV\r\nSTOR f\r\nPWD\r\n");
    fs::removeFile(local);
}

namespace {

// Connects to the client's listening port from 127.0.0.2, as another host (or another user
// of the machine) could, and delivers `bytes` there.
bool intrudeFrom127002(const std::string& portLine, const std::string& bytes) {
    std::smatch m;
    if (!std::regex_search(portLine, m, std::regex("PORT 127,0,0,1,([0-9]+),([0-9]+)\r\n"))) return false;
    const int port = std::stoi(m[1]) * 256 + std::stoi(m[2]);
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in from{}, to{};
    from.sin_family = to.sin_family = AF_INET;
    from.sin_addr.s_addr = htonl(0x7F000002);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    to.sin_port = htons(static_cast<std::uint16_t>(port));
    const bool ok = fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from) == 0 &&
                    ::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0 &&
                    ::send(fd, bytes.data(), bytes.size(), 0) == static_cast<ssize_t>(bytes.size());
    if (fd >= 0) ::close(fd);
    return ok;
}

}  // namespace

// What a data connection may cost the tool: a server that stops reading an upload, floods
// a download or trickles it, and a caller other than the server on an active-mode port.
// Each fails its transfer within its bound (or is turned away), never holds the tool.
TEST_F(FtpSessionTest, DataConnectionsAreBoundedAndTakenFromTheServerOnly) {
    const std::string local = tempPath("bounded");
    {
        SCOPED_TRACE("an upload the server never reads");
        setSilenceLimitMs(500);
        ASSERT_TRUE(fs::replaceFileContents(local, sampleBytes(32 * 1024 * 1024)));
        ScriptedServer server;
        server.setStepLimit(10000);
        startTransfer(login(server), "I", true, "STOR big.bin\r\n").silence(6000);
        server.start();
        ASSERT_TRUE(openOn(server));
        const std::uint64_t start = clock::tickMs();
        EXPECT_EQ(session.sendFile(local, "big.bin").failure, Failure::TimedOut);
        EXPECT_LT(clock::tickMs() - start, 4000u) << "still waiting after 4 s with a 500 ms silence limit";
        session.close();
    }
    {
        SCOPED_TRACE("a download far larger than its bound");
        setSilenceLimitMs(1000);
        ScriptedServer server;
        startTransfer(login(server), "I", true, "RETR livre.txt\r\n").sendData(sampleBytes(8 * 1024 * 1024));
        server.start();
        ASSERT_TRUE(openOn(server));
        fs::removeFile(local);
        ProgressLog log;
        EXPECT_EQ(session.receiveFile("livre.txt", local, ReceiveBounds{10000, 0}, log.watch()).failure,
                  Failure::TooLarge);
        std::string got;
        ASSERT_TRUE(fs::readWholeFile(local, got));
        EXPECT_LE(got.size(), 10000u) << "no byte past the bound is written";
        ASSERT_FALSE(log.counts.empty());
        EXPECT_LE(log.counts.back(), 10000);
        session.close();
    }
    {
        SCOPED_TRACE("a download that trickles past its deadline");
        setSilenceLimitMs(2000);  // every pause is far shorter
        ScriptedServer server;
        startTransfer(login(server), "I", true, "RETR livre.txt\r\n");
        for (int i = 0; i < 25; ++i) server.sendData("x", true).silence(200);
        server.closeData().reply("226 done\r\n");
        server.start();
        ASSERT_TRUE(openOn(server));
        const std::uint64_t start = clock::tickMs();
        EXPECT_EQ(session.receiveFile("livre.txt", local, ReceiveBounds{0, 1500}).failure, Failure::TimedOut);
        EXPECT_LT(clock::tickMs() - start, 3500u);
        session.close();
    }
    {
        SCOPED_TRACE("active mode: a caller from 127.0.0.2 comes first");
        const std::string real = sampleBytes(5000);
        ScriptedServer server;
        login(server).expect("TYPE I\r\n").reply("200 ok\r\n").expectPort().reply("200 PORT ok\r\n");
        server.expect("RETR livre.txt\r\n").reply("150 go\r\n").silence(700).connectData().sendData(real).reply("226 done\r\n");
        server.expect("PWD\r\n").reply("257 \"/\"\r\n");
        server.start();
        ASSERT_TRUE(openOn(server, false));
        fs::removeFile(local);
        // The intruder comes while the session waits for the server's connection: from the
        // watch, which the wait goes on calling.
        ProgressLog log;
        std::string sent;
        bool intruded = false;
        log.onEachCall = [&] {
            if (!intruded && (sent = server.received()).find("RETR") != std::string::npos)
                intruded = intrudeFrom127002(sent, "fichier d'un intrus");
        };
        EXPECT_TRUE(session.receiveFile("livre.txt", local, {}, log.watch()));
        EXPECT_TRUE(intruded) << testsupport::visible(sent);
        std::string got;
        EXPECT_TRUE(fs::readWholeFile(local, got) && got == real) << "the data came from another caller than the server";
        EXPECT_EQ(session.currentDirectory(), "/");
        session.close();
        EXPECT_TRUE(server.finish()) << server.report();
    }
    fs::removeFile(local);
}
