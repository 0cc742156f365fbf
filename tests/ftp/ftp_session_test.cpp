// The session layer against a scripted FTP server on 127.0.0.1: the exact bytes sent, the
// replies that count, transfers in both data-connection modes, background sends.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ftp/ftp_session.h"
#include "platform/clock.h"
#include "platform/fs.h"
#include "tests/support/scripted_server.h"

using namespace velmo;
using namespace velmo::ftp;
using velmo::testsupport::ScriptedServer;

namespace {

constexpr int kSession = 44;
const std::string kLoginBytes = "USER bob\r\nPASS pw\r\n";

ScriptedServer& login(ScriptedServer& server, const std::string& greeting = "220 ready\r\n") {
    return server.reply(greeting)
        .expect("USER bob\r\n")
        .reply("331 Password required\r\n")
        .expect("PASS pw\r\n")
        .reply("230 Logged in\r\n");
}

bool openOn(const ScriptedServer& server, int passive = 1) {
    return ftp::open(kSession, "127.0.0.1", "bob", "pw", passive, server.port());
}

std::string tempPath(const std::string& name) {
    return ::testing::TempDir() + "velmo_ftp_session_" + name;
}

std::string sampleBytes(std::size_t size) {
    std::string data(size, '\0');
    for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<char>((i * 131 + i / 4096) & 0xFF);
    return data;
}

// Polls the transfer status until it ends, recording every value seen (bounded).
std::vector<int> pollUntilEnded(int session) {
    std::vector<int> seen;
    for (int i = 0; i < 20000; ++i) {
        const int status = transferStatus(session);
        if (seen.empty() || seen.back() != status) seen.push_back(status);
        if (status == TransferDone || status == TransferFailed) break;
        clock::sleepMs(1);
    }
    return seen;
}

class FtpSessionTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { startSessions(); }
    static void TearDownTestSuite() { closeAllSessions(); }
    void TearDown() override {
        ftp::close(kSession);
        setSilenceLimitMs(120000);
    }
};

}  // namespace

TEST_F(FtpSessionTest, MultiLineGreetingIsDrainedBeforeUser) {
    ScriptedServer server;
    server.replySplit({"220-Welcome to the host\r\n220-", "Second line\r\n", "220 Ready\r\n"}, 20)
        .expect("USER bob\r\n")
        .reply("331 Password required\r\n")
        .expect("PASS pw\r\n")
        .reply("230 Logged in\r\n")
        .expect("PWD\r\n")
        .reply("257 \"/\" is the current directory\r\n");
    server.start();
    ASSERT_TRUE(openOn(server));
    EXPECT_EQ(currentDirectory(kSession), "/");
    ftp::close(kSession);
    EXPECT_TRUE(server.finish()) << server.report();
    EXPECT_EQ(server.received(), kLoginBytes + "PWD\r\n");
}

TEST_F(FtpSessionTest, LoginReplyOfSeveralLinesIsReadToItsEnd) {
    ScriptedServer server;
    server.reply("220 ready\r\n")
        .expect("USER bob\r\n")
        .reply("331 Password required\r\n")
        .expect("PASS pw\r\n")
        .replySplit({"230-Welcome\r\n230-No films", " please\r\n", "230 Logged in\r\n"}, 20)
        .expect("PWD\r\n")
        .replySplit({"25", "7 \"/www/li", "vre\" is current\r\n"}, 20);
    server.start();
    ASSERT_TRUE(openOn(server));
    EXPECT_EQ(currentDirectory(kSession), "/www/livre");
    ftp::close(kSession);
    EXPECT_TRUE(server.finish()) << server.report();
}

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
        EXPECT_FALSE(isAlive(kSession)) << r.what;  // no usable session under the number
        EXPECT_TRUE(server.finish()) << r.what << ": " << server.report();
        EXPECT_EQ(server.received(), r.passReply ? kLoginBytes : std::string("USER bob\r\n")) << r.what;
    }
}

TEST_F(FtpSessionTest, OpenWithLineBreakInUserIdSendsNothing) {
    ScriptedServer server;
    server.setStepLimit(300);
    server.start();
    EXPECT_FALSE(ftp::open(kSession, "127.0.0.1", "bob\r\nSITE EXEC x", "pw", 1, server.port()));
    EXPECT_FALSE(ftp::open(kSession, "127.0.0.1", "bob", "pw\n", 1, server.port()));
    server.finish();
    EXPECT_EQ(server.received(), "");
    EXPECT_EQ(server.connectionsAccepted(), 0);
}

TEST_F(FtpSessionTest, DirectoryCommandsCountOnlyTheirOwnCode) {
    ScriptedServer server;
    login(server)
        .expect("CDUP\r\n").reply("200 Command okay\r\n")
        .expect("CDUP\r\n").reply("250 Directory changed\r\n")
        .expect("CWD www/livre\r\n").reply("250 ok\r\n")
        .expect("CWD missing\r\n").reply("550-No such directory\r\n550 Really not\r\n")
        .expect("MKD sessions\r\n").reply("257 \"/www/sessions\" created\r\n")
        .expect("MKD sessions\r\n").reply("550 Exists\r\n")
        .expect("PWD\r\n").reply("257 /www no quote\r\n")
        .expect("PWD\r\n").reply("257 \"/www\" again\r\n");
    server.start();
    ASSERT_TRUE(openOn(server));
    EXPECT_FALSE(changeDirectory(kSession, ".."));
    EXPECT_TRUE(changeDirectory(kSession, ".."));
    EXPECT_TRUE(changeDirectory(kSession, "www/livre"));
    EXPECT_FALSE(changeDirectory(kSession, "missing"));
    EXPECT_TRUE(makeDirectory(kSession, "sessions"));
    EXPECT_FALSE(makeDirectory(kSession, "sessions"));
    EXPECT_EQ(currentDirectory(kSession), "");
    // Each reply was consumed whole: this PWD reads its own answer.
    EXPECT_EQ(currentDirectory(kSession), "/www");
    ftp::close(kSession);
    EXPECT_TRUE(server.finish()) << server.report();
    EXPECT_EQ(server.received(), kLoginBytes +
                                     "CDUP\r\nCDUP\r\nCWD www/livre\r\nCWD missing\r\nMKD sessions\r\n"
                                     "MKD sessions\r\nPWD\r\nPWD\r\n");
}

TEST_F(FtpSessionTest, ArgumentsWithLineBreaksAreNotSent) {
    ScriptedServer server;
    login(server).expect("PWD\r\n").reply("257 \"/\"\r\n");
    server.start();
    ASSERT_TRUE(openOn(server));
    EXPECT_FALSE(changeDirectory(kSession, "www\r\nDELE index.php"));
    EXPECT_FALSE(makeDirectory(kSession, "a\nb"));
    EXPECT_FALSE(receiveFile(kSession, "x\r\nDELE y", tempPath("never")));
    EXPECT_FALSE(fs::fileExists(tempPath("never")));
    const std::string local = tempPath("crlf_source");
    ASSERT_TRUE(fs::replaceFileContents(local, "abc"));
    EXPECT_FALSE(sendFile(kSession, local, "x\rDELE y", false));
    EXPECT_EQ(transferStatus(kSession), TransferFailed);
    ASSERT_TRUE(sendFile(kSession, local, "x\nDELE y", true));
    EXPECT_EQ(pollUntilEnded(kSession).back(), TransferFailed);
    EXPECT_TRUE(isAlive(kSession));
    ftp::close(kSession);
    EXPECT_TRUE(server.finish()) << server.report();
    EXPECT_EQ(server.received(), kLoginBytes + "PWD\r\n");
    fs::removeFile(local);
}

TEST_F(FtpSessionTest, PassiveListingWithTotalLineAndBlanksInNames) {
    ScriptedServer server;
    login(server)
        .expect("TYPE A\r\n").reply("200 Type set to A\r\n")
        .expect("PASV\r\n").pasv(".")
        .expect("LIST\r\n").reply("150 Here comes the listing\r\n")
        .acceptData()
        .sendData("total 12\r\n"
                  "drwxr-xr-x 2 web web 4096 Jan 1 12:00 my folder\r\n"
                  "-rw-r--r-- 1 web web 1234 Feb 28 2019 livre_lire.php\n"
                  "lrwxrwxrwx 1 web web 11 Mar 3 09:15 latest -> v2\r\n")
        .reply("226 Transfer complete\r\n")
        .expect("PWD\r\n").reply("257 \"/\"\r\n");
    server.start();
    ASSERT_TRUE(openOn(server));
    ASSERT_TRUE(listDirectory(kSession));
    std::vector<std::string> names;
    std::vector<int> kinds;
    std::vector<std::int64_t> sizes;
    while (nextEntry(kSession)) {
        names.push_back(entryName(kSession));
        kinds.push_back(entryKind(kSession));
        sizes.push_back(entrySize(kSession));
    }
    EXPECT_EQ(names, (std::vector<std::string>{"my folder", "livre_lire.php", "latest -> v2"}));
    EXPECT_EQ(kinds, (std::vector<int>{EntryDirectory, EntryFile, EntryFile}));
    EXPECT_EQ(sizes, (std::vector<std::int64_t>{4096, 1234, 11}));
    EXPECT_FALSE(nextEntry(kSession));
    EXPECT_EQ(entryName(kSession), "");
    // The 226 was drained: PWD gets its own reply.
    EXPECT_EQ(currentDirectory(kSession), "/");
    ftp::close(kSession);
    EXPECT_TRUE(server.finish()) << server.report();
    EXPECT_EQ(server.received(), kLoginBytes + "TYPE A\r\nPASV\r\nLIST\r\nPWD\r\n");
}

TEST_F(FtpSessionTest, LongListingIsReadAcrossManyChunks) {
    std::string listing;
    std::vector<std::string> expected;
    for (int i = 0; i < 600; ++i) {
        const std::string name = "image " + std::to_string(i) + ".png";
        listing += "-rw-r--r-- 1 web web " + std::to_string(i * 10) + " Jan 1 12:00 " + name + "\r\n";
        expected.push_back(name);
    }
    ASSERT_GT(listing.size(), 20000u);
    ScriptedServer server;
    login(server)
        .expect("TYPE A\r\n").reply("200 ok\r\n")
        .expect("PASV\r\n").pasv()
        .expect("LIST\r\n").reply("150 Here it comes\r\n")
        .acceptData()
        .sendData(listing)
        .reply("226 Transfer complete\r\n");
    server.start();
    ASSERT_TRUE(openOn(server));
    ASSERT_TRUE(listDirectory(kSession));
    std::vector<std::string> names;
    std::int64_t sizeSum = 0;
    while (nextEntry(kSession)) {
        names.push_back(entryName(kSession));
        sizeSum += entrySize(kSession);
    }
    EXPECT_EQ(names, expected);
    EXPECT_EQ(sizeSum, INT64_C(10) * 599 * 600 / 2);
    ftp::close(kSession);
    EXPECT_TRUE(server.finish()) << server.report();
}

TEST_F(FtpSessionTest, EmptyListingSucceedsWithNoEntry) {
    ScriptedServer server;
    login(server)
        .expect("TYPE A\r\n").reply("200 ok\r\n")
        .expect("PASV\r\n").pasv()
        .expect("LIST\r\n").reply("125 Data connection already open\r\n")
        .acceptData()
        .sendData("")
        .reply("226 Transfer complete\r\n");
    server.start();
    ASSERT_TRUE(openOn(server));
    EXPECT_TRUE(listDirectory(kSession));
    EXPECT_FALSE(nextEntry(kSession));
    ftp::close(kSession);
    EXPECT_TRUE(server.finish()) << server.report();
}

TEST_F(FtpSessionTest, ListingRefusedOrBadPasvFails) {
    struct Row {
        const char* what;
        bool badPasv;
        const char* listReply;
    };
    const Row rows[] = {
        {"PASV with five numbers", true, nullptr},
        {"LIST refused", false, "550 No listing\r\n"},
    };
    for (const Row& r : rows) {
        ScriptedServer server;
        login(server).expect("TYPE A\r\n").reply("200 ok\r\n").expect("PASV\r\n");
        if (r.badPasv) {
            server.reply("227 Entering Passive Mode (127,0,0,1,19)\r\n");
        } else {
            server.pasv().expect("LIST\r\n").reply(r.listReply);
        }
        server.expect("PWD\r\n").reply("257 \"/\"\r\n");
        server.start();
        ASSERT_TRUE(openOn(server)) << r.what;
        EXPECT_FALSE(listDirectory(kSession)) << r.what;
        EXPECT_FALSE(nextEntry(kSession)) << r.what;
        EXPECT_TRUE(isAlive(kSession)) << r.what;
        ftp::close(kSession);
        EXPECT_TRUE(server.finish()) << r.what << ": " << server.report();
    }
}

TEST_F(FtpSessionTest, ActiveListingAnnouncesTheControlAddress) {
    ScriptedServer server;
    login(server)
        .expect("TYPE A\r\n").reply("200 ok\r\n")
        .expectPort().reply("200 PORT command successful\r\n")
        .expect("LIST\r\n").reply("150 Opening\r\n")
        .connectData()
        .sendData("-rw-r--r-- 1 web web 5 Jan 1 12:00 a.txt\r\n")
        .reply("226 Done\r\n");
    server.start();
    ASSERT_TRUE(openOn(server, 0));
    ASSERT_TRUE(listDirectory(kSession));
    ASSERT_TRUE(nextEntry(kSession));
    EXPECT_EQ(entryName(kSession), "a.txt");
    EXPECT_FALSE(nextEntry(kSession));
    ftp::close(kSession);
    EXPECT_TRUE(server.finish()) << server.report();
}

TEST_F(FtpSessionTest, SendFileOutcomeFollowsTheFinalReply) {
    struct Row {
        const char* what;
        bool passive;
        std::size_t size;
        const char* finalReply;  // nullptr: the server drops the connection
        bool succeeds;
    };
    const Row rows[] = {
        {"passive, 226", true, 10000, "226 Transfer complete\r\n", true},
        {"active, 226", false, 5000, "226 Transfer complete\r\n", true},
        {"empty file", true, 0, "226 Transfer complete\r\n", true},
        {"several-line 226", true, 4096, "226-Done\r\n226 Bye\r\n", true},
        {"disk full 552 after the data", true, 9000, "552 Exceeded storage allocation\r\n", false},
        {"426 after the data", false, 100, "426 Connection closed; transfer aborted\r\n", false},
        {"no final reply", true, 100, nullptr, false},
    };
    const std::string local = tempPath("upload");
    for (const Row& r : rows) {
        const std::string content = sampleBytes(r.size);
        ASSERT_TRUE(fs::replaceFileContents(local, content));
        ScriptedServer server;
        login(server).expect("TYPE I\r\n").reply("200 Type set to I\r\n");
        if (r.passive) server.expect("PASV\r\n").pasv();
        else server.expectPort().reply("200 ok\r\n");
        server.expect("STOR livre.php\r\n").reply("150 Ok to send data\r\n");
        if (r.passive) server.acceptData();
        else server.connectData();
        server.receiveData();
        if (r.finalReply) server.reply(r.finalReply);
        else server.drop();
        server.start();
        ASSERT_TRUE(openOn(server, r.passive ? 1 : 0)) << r.what;
        EXPECT_EQ(sendFile(kSession, local, "livre.php", false), r.succeeds) << r.what;
        EXPECT_EQ(transferStatus(kSession), r.succeeds ? TransferDone : TransferFailed) << r.what;
        ftp::close(kSession);
        EXPECT_TRUE(server.finish()) << r.what << ": " << server.report();
        ASSERT_EQ(server.dataReceived().size(), 1u) << r.what;
        EXPECT_EQ(server.dataReceived()[0], content) << r.what;
        const std::string sent = server.received();
        if (r.passive) {
            EXPECT_EQ(sent, kLoginBytes + "TYPE I\r\nPASV\r\nSTOR livre.php\r\n") << r.what;
        } else {
            // The port is the system's choice; the script checked that PORT names 127.0.0.1.
            const std::string head = kLoginBytes + "TYPE I\r\nPORT 127,0,0,1,";
            const std::string tail = "\r\nSTOR livre.php\r\n";
            ASSERT_GT(sent.size(), head.size() + tail.size()) << r.what;
            EXPECT_EQ(sent.substr(0, head.size()), head) << r.what;
            EXPECT_EQ(sent.substr(sent.size() - tail.size()), tail) << r.what;
        }
    }
    fs::removeFile(local);
}

TEST_F(FtpSessionTest, SendingAMissingFileSendsNothing) {
    ScriptedServer server;
    login(server).expect("PWD\r\n").reply("257 \"/\"\r\n");
    server.start();
    ASSERT_TRUE(openOn(server));
    const std::string missing = tempPath("does_not_exist");
    fs::removeFile(missing);
    EXPECT_FALSE(sendFile(kSession, missing, "x.php", false));
    EXPECT_EQ(transferStatus(kSession), TransferFailed);
    ASSERT_TRUE(sendFile(kSession, missing, "x.php", true));
    const std::vector<int> seen = pollUntilEnded(kSession);
    for (int status : seen) EXPECT_LT(status, 0) << "no data may move";
    EXPECT_EQ(seen.back(), TransferFailed);
    EXPECT_TRUE(isAlive(kSession));
    ftp::close(kSession);
    EXPECT_TRUE(server.finish()) << server.report();
    EXPECT_EQ(server.received(), kLoginBytes + "PWD\r\n");
}

TEST_F(FtpSessionTest, BackgroundSendStatusRunsStartedBytesDone) {
    const std::string local = tempPath("background");
    // Large enough that moving it takes many polling rounds even on a fast loopback.
    const std::string content = sampleBytes(16 * 1024 * 1024 + 17);
    ASSERT_TRUE(fs::replaceFileContents(local, content));
    ScriptedServer server;
    // The pause before the TYPE reply lets the poller see TransferStarted first.
    login(server)
        .expect("TYPE I\r\n").silence(300).reply("200 ok\r\n")
        .expect("PASV\r\n").pasv()
        .expect("STOR big.bin\r\n").reply("150 go\r\n")
        .acceptData()
        .receiveData()
        .reply("226 Transfer complete\r\n");
    server.start();
    ASSERT_TRUE(openOn(server));
    ASSERT_TRUE(sendFile(kSession, local, "big.bin", true));
    const std::vector<int> seen = pollUntilEnded(kSession);
    ASSERT_GE(seen.size(), 3u) << "started, some byte counts, done";
    EXPECT_EQ(seen.front(), TransferStarted);
    EXPECT_EQ(seen.back(), TransferDone);
    int last = -1;
    for (std::size_t i = 1; i + 1 < seen.size(); ++i) {
        EXPECT_GE(seen[i], last) << "byte counts only grow";
        EXPECT_LE(seen[i], static_cast<int>(content.size()));
        last = seen[i];
    }
    ftp::close(kSession);
    EXPECT_TRUE(server.finish()) << server.report();
    ASSERT_EQ(server.dataReceived().size(), 1u);
    EXPECT_EQ(server.dataReceived()[0], content);
    fs::removeFile(local);
}

TEST_F(FtpSessionTest, BackgroundSendWhoseCommandsFailGoesStraightToFailed) {
    const std::string local = tempPath("refused");
    ASSERT_TRUE(fs::replaceFileContents(local, sampleBytes(1000)));
    const char* refusals[] = {"TYPE", "STOR"};
    for (const char* refused : refusals) {
        ScriptedServer server;
        login(server).expect("TYPE I\r\n");
        if (std::string(refused) == "TYPE") {
            server.reply("504 Not implemented\r\n");
        } else {
            server.reply("200 ok\r\n").expect("PASV\r\n").pasv().expect("STOR f\r\n").reply("553 Not allowed\r\n");
        }
        server.expect("PWD\r\n").reply("257 \"/\"\r\n");
        server.start();
        ASSERT_TRUE(openOn(server));
        ASSERT_TRUE(sendFile(kSession, local, "f", true));
        const std::vector<int> seen = pollUntilEnded(kSession);
        EXPECT_EQ(seen, (std::vector<int>{TransferStarted, TransferFailed})) << refused;
        EXPECT_TRUE(isAlive(kSession)) << refused;
        ftp::close(kSession);
        EXPECT_TRUE(server.finish()) << refused << ": " << server.report();
    }
    fs::removeFile(local);
}

TEST_F(FtpSessionTest, CloseDuringABackgroundSendAbortsAndJoins) {
    const std::string local = tempPath("aborted");
    const std::size_t size = 32 * 1024 * 1024;
    ASSERT_TRUE(fs::replaceFileContents(local, sampleBytes(size)));
    ScriptedServer server;
    server.setStepLimit(2000);
    login(server)
        .expect("TYPE I\r\n").reply("200 ok\r\n")
        .expect("PASV\r\n").pasv()
        .expect("STOR f\r\n").reply("150 go\r\n")
        .acceptData()
        .receiveData()
        .reply("426 Transfer aborted\r\n");
    server.start();
    ASSERT_TRUE(openOn(server));
    ASSERT_TRUE(sendFile(kSession, local, "f", true));
    for (int i = 0; i < 5000 && transferStatus(kSession) < 1; ++i) clock::sleepMs(1);
    ASSERT_GE(transferStatus(kSession), 1);
    // An aborted send is a failure; abortTransfer returns once the thread has said so.
    EXPECT_EQ(abortTransfer(kSession), TransferFailed);
    ftp::close(kSession);
    EXPECT_EQ(transferStatus(kSession), TransferFailed);  // the number names no session now
    server.finish();
    ASSERT_EQ(server.dataReceived().size(), 1u);
    EXPECT_LT(server.dataReceived()[0].size(), size);
    fs::removeFile(local);
}

TEST_F(FtpSessionTest, ReceiveFileWritesTheDataAndChecksTheFinalReply) {
    struct Row {
        const char* what;
        bool passive;
        const char* finalReply;
        bool succeeds;
    };
    const Row rows[] = {
        {"passive, 226", true, "226 Transfer complete\r\n", true},
        {"active, 226", false, "226 Transfer complete\r\n", true},
        {"426 after the data", true, "426 Failure reading network stream\r\n", false},
    };
    const std::string local = tempPath("download");
    for (const Row& r : rows) {
        fs::removeFile(local);
        const std::string content = sampleBytes(70000);
        ScriptedServer server;
        login(server).expect("TYPE I\r\n").reply("200 ok\r\n");
        if (r.passive) server.expect("PASV\r\n").pasv();
        else server.expectPort().reply("200 ok\r\n");
        server.expect("RETR cfg_variables.php\r\n").reply("150 Opening BINARY mode\r\n");
        if (r.passive) server.acceptData();
        else server.connectData();
        server.sendData(content).reply(r.finalReply);
        server.start();
        ASSERT_TRUE(openOn(server, r.passive ? 1 : 0)) << r.what;
        EXPECT_EQ(receiveFile(kSession, "cfg_variables.php", local), r.succeeds) << r.what;
        EXPECT_EQ(transferStatus(kSession), r.succeeds ? TransferDone : TransferFailed) << r.what;
        std::string got;
        ASSERT_TRUE(fs::readWholeFile(local, got)) << r.what;
        EXPECT_EQ(got, content) << r.what;
        ftp::close(kSession);
        EXPECT_TRUE(server.finish()) << r.what << ": " << server.report();
    }
    fs::removeFile(local);
}

TEST_F(FtpSessionTest, RefusedDownloadCreatesNoFile) {
    const std::string local = tempPath("refused_download");
    fs::removeFile(local);
    ScriptedServer server;
    login(server)
        .expect("TYPE I\r\n").reply("200 ok\r\n")
        .expect("PASV\r\n").pasv()
        .expect("RETR missing.php\r\n").reply("550 No such file\r\n")
        .expect("PWD\r\n").reply("257 \"/\"\r\n");
    server.start();
    ASSERT_TRUE(openOn(server));
    EXPECT_FALSE(receiveFile(kSession, "missing.php", local));
    EXPECT_EQ(transferStatus(kSession), TransferFailed);
    EXPECT_FALSE(fs::fileExists(local));
    EXPECT_TRUE(isAlive(kSession));
    ftp::close(kSession);
    EXPECT_TRUE(server.finish()) << server.report();
}

TEST_F(FtpSessionTest, LostOrSilentOrEndlessServerFailsTheOperation) {
    {
        ScriptedServer server;
        login(server).expect("PWD\r\n").drop();
        server.start();
        ASSERT_TRUE(openOn(server));
        EXPECT_FALSE(isAlive(kSession));
        EXPECT_FALSE(isAlive(kSession));
        ftp::close(kSession);
        EXPECT_TRUE(server.finish()) << server.report();
    }
    {
        setSilenceLimitMs(200);
        ScriptedServer server;
        server.setStepLimit(3000);
        login(server).expect("PWD\r\n").silence(1000).reply("257 \"/\"\r\n");
        server.start();
        ASSERT_TRUE(openOn(server));
        EXPECT_FALSE(isAlive(kSession));
        // The late answer must not be taken for the next command's: the connection is given up.
        EXPECT_FALSE(isAlive(kSession));
        ftp::close(kSession);
        server.finish();
        EXPECT_EQ(server.received(), kLoginBytes + "PWD\r\n");
        setSilenceLimitMs(120000);
    }
    {
        ScriptedServer server;
        server.stream("220-an endless greeting line\r\n", 4 * 1024 * 1024);
        server.start();
        EXPECT_FALSE(openOn(server));
        server.finish();
        EXPECT_EQ(server.received(), "");
    }
}

TEST_F(FtpSessionTest, OpeningTheSameNumberAgainClosesTheFirstSession) {
    ScriptedServer first, second;
    login(first);
    login(second).expect("PWD\r\n").reply("257 \"/second\"\r\n");
    first.start();
    second.start();
    ASSERT_TRUE(openOn(first));
    ASSERT_TRUE(openOn(second));
    // The first server sees its connection closed, so its final drain ends.
    EXPECT_TRUE(first.finish()) << first.report();
    EXPECT_EQ(first.received(), kLoginBytes);
    EXPECT_EQ(currentDirectory(kSession), "/second");
    ftp::close(kSession);
    EXPECT_TRUE(second.finish()) << second.report();
}

TEST_F(FtpSessionTest, UnknownSessionNumbersFailAtOnce) {
    EXPECT_FALSE(isAlive(12));
    EXPECT_EQ(currentDirectory(12), "");
    EXPECT_FALSE(changeDirectory(12, ".."));
    EXPECT_FALSE(makeDirectory(12, "x"));
    EXPECT_FALSE(listDirectory(12));
    EXPECT_FALSE(nextEntry(12));
    EXPECT_EQ(entryName(12), "");
    EXPECT_EQ(entryKind(12), 0);
    EXPECT_EQ(entrySize(12), 0);
    EXPECT_FALSE(sendFile(12, "a", "b", true));
    EXPECT_FALSE(receiveFile(12, "a", "b"));
    EXPECT_EQ(transferStatus(12), TransferFailed);
    EXPECT_EQ(abortTransfer(12), TransferFailed);
    ftp::close(12);
}
