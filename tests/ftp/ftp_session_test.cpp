// The session layer against a scripted FTP server on 127.0.0.1: the exact bytes sent, the
// replies that count, transfers in both data-connection modes, background sends.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <regex>
#include <string>
#include <vector>

#include "ftp/ftp_session.h"
#include "ftp/listing_parser.h"
#include "platform/clock.h"
#include "platform/fs.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/scripted_server.h"

using namespace velmo;
using namespace velmo::ftp;
using velmo::testsupport::ScriptedServer;

namespace {

constexpr int sessionNumber = 44;
const std::string loginBytes = "USER bob\r\nPASS pw\r\n";

ScriptedServer& login(ScriptedServer& server) {
    return server.reply("220 ready\r\n")
        .expect("USER bob\r\n").reply("331 Password required\r\n")
        .expect("PASS pw\r\n").reply("230 Logged in\r\n");
}

bool openOn(const ScriptedServer& server, bool passive = true) {
    return ftp::open(sessionNumber, "127.0.0.1", "bob", "pw", passive, server.port());
}

// Closes the session, then waits for the script: every byte the client sent.
std::string sentAfterClose(ScriptedServer& server, const std::string& what = "") {
    ftp::close(sessionNumber);
    EXPECT_TRUE(server.finish()) << what << " " << server.report();
    return server.received();
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

// Polls the transfer status until it ends, recording every value seen (bounded).
std::vector<TransferStatus> pollUntilEnded() {
    std::vector<TransferStatus> seen;
    for (int i = 0; i < 20000; ++i) {
        const TransferStatus status = transferStatus(sessionNumber);
        if (seen.empty() || !(seen.back() == status)) seen.push_back(status);
        if (status.ended()) break;
        clock::sleepMs(1);
    }
    return seen;
}

class FtpSessionTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { startSessions(); }
    static void TearDownTestSuite() { closeAllSessions(); }
    void TearDown() override {
        ftp::close(sessionNumber);
        setSilenceLimitMs(120000);
    }
};

}  // namespace

TEST_F(FtpSessionTest, OpenFailures) {
    struct Row {
        const char* what;
        const char* userReply;
        const char* passReply;  // nullptr: PASS must not be sent
    };
    const Row rows[] = {
        {"USER answered 230 directly", "230 Logged in\r\n", nullptr},
        {"USER refused", "530 Not allowed\r\n", nullptr},
        {"wrong password", "331 Password required\r\n", "530 Login incorrect\r\n"},
        {"PASS asks for an account", "331 Password required\r\n", "332 Need account\r\n"},
    };
    for (const Row& r : rows) {
        ScriptedServer server;
        server.reply("220 ready\r\n").expect("USER bob\r\n").reply(r.userReply);
        if (r.passReply) server.expect("PASS pw\r\n").reply(r.passReply);
        server.start();
        EXPECT_FALSE(openOn(server)) << r.what;
        EXPECT_FALSE(isAlive(sessionNumber)) << r.what;  // no usable session under the number
        EXPECT_EQ(sentAfterClose(server, r.what), r.passReply ? loginBytes : std::string("USER bob\r\n")) << r.what;
    }
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
    EXPECT_EQ(currentDirectory(sessionNumber), "/www/livre");
    EXPECT_FALSE(changeDirectory(sessionNumber, ".."));
    EXPECT_TRUE(changeDirectory(sessionNumber, ".."));
    EXPECT_FALSE(changeDirectory(sessionNumber, "missing"));
    EXPECT_TRUE(makeDirectory(sessionNumber, "sessions"));
    EXPECT_FALSE(makeDirectory(sessionNumber, "sessions"));
    EXPECT_EQ(currentDirectory(sessionNumber), "");
    // Each reply was consumed whole: this PWD reads its own answer.
    EXPECT_EQ(currentDirectory(sessionNumber), "/www");
    EXPECT_EQ(sentAfterClose(server),
              loginBytes + "PWD\r\nCDUP\r\nCDUP\r\nCWD missing\r\nMKD sessions\r\nMKD sessions\r\nPWD\r\nPWD\r\n");
}

TEST_F(FtpSessionTest, LineBreaksInArgumentsOrAMissingLocalFileSendNothing) {
    ScriptedServer server;
    login(server).expect("PWD\r\n").reply("257 \"/\"\r\n");
    server.start();
    EXPECT_FALSE(ftp::open(sessionNumber, "127.0.0.1", "bob\r\nSITE EXEC x", "pw", true, server.port()));
    ASSERT_TRUE(openOn(server));
    EXPECT_FALSE(changeDirectory(sessionNumber, "www\r\nDELE index.php"));
    const std::string local = tempPath("crlf_source"), missing = tempPath("does_not_exist");
    ASSERT_TRUE(fs::replaceFileContents(local, "abc"));
    fs::removeFile(missing);
    EXPECT_FALSE(sendFile(sessionNumber, local, "x\rDELE y", false));
    EXPECT_FALSE(sendFile(12, local, "x.php", true)) << "no session under 12";
    // In the background the failure comes without a byte count: no poller sees data moving.
    ASSERT_TRUE(sendFile(sessionNumber, missing, "x.php", true));
    for (const TransferStatus& status : pollUntilEnded()) EXPECT_NE(status.phase, TransferMoving);
    EXPECT_EQ(transferStatus(sessionNumber).phase, TransferFailed);
    EXPECT_TRUE(isAlive(sessionNumber));
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
        bool listed;
        std::vector<std::string> entries;  // name, kind (d or f), size
        std::string finalReply = "226 Transfer complete\r\n";
        bool dataLeftOpen = false;
    };
    const Row rows[] = {
        {"folder, then many data reads", "125 Data connection already open\r\n",
         "drwxr-xr-x 2 web web 4096 Jan 1 12:00 my folder\r\n" + longListing, true, longEntries},
        {"refused", "550 No listing\r\n", "", false, {}},
        // A listing the server did not finish is no listing (the locator would show a
        // cut or empty folder as the real one).
        {"the server ends the transfer with 426", "150 go\r\n", longListing, false, {}, "426 Connection closed; transfer aborted\r\n"},
        {"the data connection never closes", "150 go\r\n", longListing, false, {}, complete, true},
        {"one entry over the cap", "150 go\r\n", overCap, false, {}},
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
        EXPECT_EQ(listDirectory(sessionNumber), r.listed) << r.what;
        std::vector<std::string> entries;
        while (nextEntry(sessionNumber))
            entries.push_back(entryName(sessionNumber) + (entryKind(sessionNumber) == EntryDirectory ? " d " : " f ") +
                              std::to_string(entrySize(sessionNumber)));
        EXPECT_EQ(entries, r.entries) << r.what;
        EXPECT_EQ(currentDirectory(sessionNumber), "/") << r.what << ": the 226 was drained";
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
        bool succeeds;
        const char* pasvHost = "127,0,0,1";
    };
    const Row rows[] = {
        {"STOR passive, 226", true, true, 10000, "150 Ok to send data\r\n", "226 Transfer complete\r\n", true},
        // The data goes to the server of the session, never to the host a 227 names
        // (FTP bounce; servers behind NAT name their inner address).
        {"STOR passive, 227 names another host", true, true, 5000, "150 go\r\n", "226 Transfer complete\r\n", true,
         "127,0,0,2"},
        {"STOR active, empty file", true, false, 0, "125 Data connection already open\r\n", "226-Done\r\n226 Bye\r\n", true},
        {"STOR disk full 552 after the data", true, true, 9000, "150 go\r\n", "552 Exceeded storage allocation\r\n", false},
        {"STOR no final reply", true, true, 100, "150 go\r\n", nullptr, false},
        {"STOR refused", true, true, 100, "553 Not allowed\r\n", "", false},
        {"RETR active, 226", false, false, 70000, "150 Opening BINARY mode\r\n", "226 Transfer complete\r\n", true},
        {"RETR 426 after the data", false, true, 70000, "150 go\r\n", "426 Failure reading network stream\r\n", false},
        {"RETR refused: no local file", false, true, 0, "550 No such file\r\n", "", false},
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
        EXPECT_EQ(r.upload ? sendFile(sessionNumber, local, "livre.php", false)
                           : receiveFile(sessionNumber, "livre.php", local, false),
                  r.succeeds) << r.what;
        EXPECT_EQ(transferStatus(sessionNumber).phase, r.succeeds ? TransferDone : TransferFailed) << r.what;
        EXPECT_EQ(isAlive(sessionNumber), r.finalReply != nullptr) << r.what << ": every reply was read";
        expectTransferLines(sentAfterClose(server, r.what), "I", r.passive, command, r.finalReply ? "PWD\r\n" : "");
        std::string got = "(no file)";
        if (r.upload) EXPECT_EQ(server.dataReceived(), std::vector<std::string>(started ? 1 : 0, content)) << r.what;
        else EXPECT_EQ(fs::readWholeFile(local, got) ? got : "(no file)", started ? content : "(no file)") << r.what;
    }
    fs::removeFile(local);
}

TEST_F(FtpSessionTest, BackgroundSendStatusRunsStartedBytesDoneAndCloseAbortsTheNext) {
    // Large enough that moving it takes many polling rounds even on a fast loopback.
    const std::string local = tempPath("background"), content = sampleBytes(32 * 1024 * 1024 + 17);
    ASSERT_TRUE(fs::replaceFileContents(local, content));
    ScriptedServer server;
    // The pause before the TYPE reply lets the poller see TransferStarted first.
    login(server).expect("TYPE I\r\n").silence(300).reply("200 ok\r\n").expect("PASV\r\n").pasv()
        .expect("STOR big.bin\r\n").reply("150 go\r\n").acceptData().receiveData().reply("226 Transfer complete\r\n");
    startTransfer(server, "I", true, "STOR f\r\n").receiveData().reply("426 Transfer aborted\r\n");
    server.start();
    ASSERT_TRUE(openOn(server));
    ASSERT_TRUE(sendFile(sessionNumber, local, "big.bin", true));
    const std::vector<TransferStatus> seen = pollUntilEnded();
    ASSERT_GE(seen.size(), 3u) << "started, some byte counts, done";
    EXPECT_EQ(seen.front().phase, TransferStarted);
    EXPECT_EQ(seen.back(), (TransferStatus{TransferDone, static_cast<std::int64_t>(content.size())}));
    for (std::size_t i = 1; i + 1 < seen.size(); ++i) EXPECT_EQ(seen[i].phase, TransferMoving);
    for (std::size_t i = 2; i + 1 < seen.size(); ++i) EXPECT_GE(seen[i].bytes, seen[i - 1].bytes) << "byte counts only grow";
    EXPECT_LE(seen[seen.size() - 2].bytes, static_cast<std::int64_t>(content.size()));

    ASSERT_TRUE(sendFile(sessionNumber, local, "f", true));
    TransferStatus moving = transferStatus(sessionNumber);
    for (int i = 0; i < 30000 && !moving.ended() && moving.bytes < 1; ++i) {
        clock::sleepMs(1);
        moving = transferStatus(sessionNumber);
    }
    ASSERT_EQ(moving.phase, TransferMoving) << server.report();
    ASSERT_GE(moving.bytes, 1);
    // An aborted send is a failure; abortTransfer returns once the thread has said so.
    EXPECT_EQ(abortTransfer(sessionNumber).phase, TransferFailed);
    ftp::close(sessionNumber);
    EXPECT_EQ(transferStatus(sessionNumber).phase, TransferFailed);  // the number names no session now
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
        EXPECT_FALSE(isAlive(sessionNumber));
        EXPECT_EQ(sentAfterClose(server), loginBytes + "PWD\r\n");
    }
    {
        setSilenceLimitMs(200);
        ScriptedServer server;
        server.setStepLimit(3000);
        login(server).expect("PWD\r\n").silence(1000).reply("257 \"/\"\r\n");
        server.start();
        ASSERT_TRUE(openOn(server));
        EXPECT_FALSE(isAlive(sessionNumber));
        // The late answer must not be taken for the next command's: the connection is given up.
        EXPECT_FALSE(isAlive(sessionNumber));
        ftp::close(sessionNumber);
        server.finish();
        EXPECT_EQ(server.received(), loginBytes + "PWD\r\n");
    }
    ScriptedServer endless;
    endless.stream("220-an endless greeting line\r\n", 4 * 1024 * 1024);
    endless.start();
    EXPECT_FALSE(openOn(endless));
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
    EXPECT_EQ(currentDirectory(sessionNumber), "") << "a path past the kept 1023 characters is not made up";
    EXPECT_TRUE(changeDirectory(sessionNumber, "www"));
    EXPECT_TRUE(makeDirectory(sessionNumber, "livre"));
    EXPECT_EQ(currentDirectory(sessionNumber), "/www");
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
    EXPECT_EQ(currentDirectory(sessionNumber), "/www");
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

TEST_F(FtpSessionTest, WaitingForTheEndOfABackgroundSendEndsWithItNotWithTheTimeout) {
    const std::string local = tempPath("wait_end");
    ASSERT_TRUE(fs::replaceFileContents(local, "bytes"));
    ScriptedServer server;
    // The final reply comes late; the PWD after it must come within the step limit (5 s),
    // so a waiter that slept out its whole time limit instead of waking fails the script.
    startTransfer(login(server), "I", true, "STOR f\r\n").receiveData().silence(1500).reply("226 done\r\n")
        .expect("PWD\r\n").reply("257 \"/\" is the current directory\r\n");
    server.start();
    ASSERT_TRUE(openOn(server));
    EXPECT_EQ(waitForTransferEnd(99, 600000).phase, TransferFailed) << "no such session: no wait";
    ASSERT_TRUE(sendFile(sessionNumber, local, "f", true));
    EXPECT_FALSE(waitForTransferEnd(sessionNumber, 20).ended()) << "the server has not answered yet";
    EXPECT_EQ(waitForTransferEnd(sessionNumber, 30000), (TransferStatus{TransferDone, 5}));
    EXPECT_EQ(waitForTransferEnd(sessionNumber, 30000).phase, TransferDone) << "nothing running: no wait";
    EXPECT_EQ(currentDirectory(sessionNumber), "/");
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
        ASSERT_TRUE(sendFile(sessionNumber, local, "big.bin", true));
        const TransferStatus end = waitForTransferEnd(sessionNumber, 4000);
        EXPECT_EQ(end.phase, TransferFailed) << "still waiting after 4 s with a 500 ms silence limit";
        ftp::close(sessionNumber);
    }
    {
        SCOPED_TRACE("a download far larger than its bound");
        setSilenceLimitMs(1000);
        ScriptedServer server;
        startTransfer(login(server), "I", true, "RETR livre.txt\r\n").sendData(sampleBytes(8 * 1024 * 1024));
        server.start();
        ASSERT_TRUE(openOn(server));
        fs::removeFile(local);
        EXPECT_FALSE(receiveFile(sessionNumber, "livre.txt", local, false, ReceiveBounds{10000, 0}));
        std::string got;
        ASSERT_TRUE(fs::readWholeFile(local, got));
        EXPECT_LE(got.size(), 10000u) << "no byte past the bound is written";
        EXPECT_LE(transferStatus(sessionNumber).bytes, 10000);
        ftp::close(sessionNumber);
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
        EXPECT_FALSE(receiveFile(sessionNumber, "livre.txt", local, false, ReceiveBounds{0, 1500}));
        EXPECT_LT(clock::tickMs() - start, 3500u);
        ftp::close(sessionNumber);
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
        ASSERT_TRUE(receiveFile(sessionNumber, "livre.txt", local, true));
        std::string sent;
        for (int i = 0; i < 500 && (sent = server.received()).find("RETR") == std::string::npos; ++i) clock::sleepMs(10);
        ASSERT_TRUE(intrudeFrom127002(sent, "fichier d'un intrus")) << testsupport::visible(sent);
        EXPECT_EQ(waitForTransferEnd(sessionNumber, 20000).phase, TransferDone);
        std::string got;
        EXPECT_TRUE(fs::readWholeFile(local, got) && got == real) << "the data came from another caller than the server";
        EXPECT_EQ(currentDirectory(sessionNumber), "/");
        ftp::close(sessionNumber);
        EXPECT_TRUE(server.finish()) << server.report();
    }
    fs::removeFile(local);
}
