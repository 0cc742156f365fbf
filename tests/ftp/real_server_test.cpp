// The session layer and the reconnect check against real FTP servers from Debian
// (pyftpdlib, vsftpd, pure-ftpd, proftpd) started on 127.0.0.1 for each test: what the
// tools meet at a web host, with each server's own reply wording, listing layout and
// data-connection habits. Everything runs in the test's thread (no background sends).
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "ftp/ftp_session.h"
#include "ftp/keep_alive.h"
#include "platform/net.h"
#include "settings/connection_settings.h"
#include "tests/support/ftp_peers.h"

using namespace velmo;
using namespace velmo::testsupport;
namespace fsys = std::filesystem;

namespace {

constexpr int kSession = 44;

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeAll(const std::string& path, const std::string& data) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << data;
}

std::string randomBytes(std::size_t size) {
    static std::mt19937_64 generator{std::random_device{}()};
    std::string data(size, '\0');
    for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<char>(generator() & 0xFF);
    return data;
}

// The test's own side of the transfers.
std::string makeLocalFolder() {
    fsys::path path = fsys::temp_directory_path() / ("velmo-real-server-" + std::to_string(std::random_device{}()));
    fsys::create_directories(path);
    return path.string();
}

std::string tail(const std::string& text, std::size_t n = 6000) {
    return text.size() <= n ? text : "..." + text.substr(text.size() - n);
}

struct Entry {
    int kind;
    std::int64_t size;
};

std::map<std::string, Entry> listing(int session, bool& listed) {
    std::map<std::string, Entry> out;
    listed = ftp::listDirectory(session);
    while (listed && ftp::nextEntry(session))
        out[ftp::entryName(session)] = Entry{ftp::entryKind(session), ftp::entrySize(session)};
    return out;
}

// A second control connection, logged in after the session's last command, that tells
// when the server's idle timer has run out: the server closes it at the latest as long
// after its login as it closes the (older) idle session.
class IdleWitness {
public:
    explicit IdleWitness(const FtpPeer& peer) : socket_(net::Socket::connectTo(peer.host(), peer.port())) {
        readReply();
        send("USER " + peer.user() + "\r\n");
        readReply();
        send("PASS " + peer.password() + "\r\n");
        loggedIn_ = readReply().rfind("230", 0) == 0;
    }
    bool loggedIn() const { return loggedIn_; }

    // True once the server has closed the connection (within `limitSeconds`).
    bool waitForDrop(int limitSeconds) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(limitSeconds);
        while (std::chrono::steady_clock::now() < deadline) {
            if (!socket_.waitReadable(100)) continue;
            char buffer[512];
            std::size_t moved = 0;
            if (socket_.receiveSome(buffer, sizeof buffer, moved) != net::IoResult::Done || moved == 0)
                return true;  // the 421 line (if any) has been read; this is the close
        }
        return false;
    }

private:
    void send(const std::string& line) { net::sendAll(socket_, line.data(), line.size(), 5); }
    // One reply, up to a line whose fourth character is a blank.
    std::string readReply() {
        std::string text;
        while (socket_.valid() && socket_.waitReadable(5000)) {
            char buffer[1024];
            std::size_t moved = 0;
            if (socket_.receiveSome(buffer, sizeof buffer, moved) != net::IoResult::Done || moved == 0)
                break;
            text.append(buffer, moved);
            std::size_t start = text.size() >= 2 ? text.rfind('\n', text.size() - 2) : std::string::npos;
            std::string last = text.substr(start == std::string::npos ? 0 : start + 1);
            if (text.back() == '\n' && last.size() > 3 && last[3] == ' ') break;
        }
        return text;
    }
    net::Socket socket_;
    bool loggedIn_ = false;
};

ConnectionSettings settingsFor(const FtpPeer& peer) {
    ConnectionSettings s;
    s.serverAddress = peer.host();
    s.userId = peer.user();
    s.password = peer.password();
    s.passiveFlag = 1;
    s.port = peer.port();
    return s;
}

std::string kindName(const ::testing::TestParamInfo<PeerKind>& info) {
    return peerKindName(info.param);
}

// ---------------------------------------------------------------------------------------

class RealServer : public ::testing::TestWithParam<PeerKind> {
protected:
    static void SetUpTestSuite() { ftp::startSessions(); }
    static void TearDownTestSuite() { ftp::closeAllSessions(); }

    void SetUp() override {
        local_ = makeLocalFolder();
    }
    void TearDown() override {
        ftp::close(kSession);
        if (HasFailure())
            for (auto& peer : peers_)
                std::cerr << "---- " << peerKindName(peer->kind()) << " output\n"
                          << tail(peer->serverOutput()) << "\n";
        peers_.clear();
        std::error_code ignored;
        fsys::remove_all(local_, ignored);
    }

    FtpPeer& startPeer(PeerOptions options = {}) {
        peers_.push_back(std::make_unique<FtpPeer>(GetParam(), std::move(options)));
        return *peers_.back();
    }
    bool openOn(const FtpPeer& peer, int passive) {
        return ftp::open(kSession, peer.host(), peer.user(), peer.password(), passive, peer.port());
    }
    std::string localPath(const std::string& name) const { return local_ + "/" + name; }

    std::vector<std::unique_ptr<FtpPeer>> peers_;
    std::string local_;
};

TEST_P(RealServer, LoginAndDirectoryWalk) {
    FtpPeer& peer = startPeer();
    ASSERT_TRUE(openOn(peer, 1));
    EXPECT_TRUE(ftp::isAlive(kSession));
    EXPECT_EQ(ftp::currentDirectory(kSession), "/");

    EXPECT_TRUE(ftp::makeDirectory(kSession, "docs"));
    EXPECT_TRUE(fsys::is_directory(peer.home() + "/docs"));
    EXPECT_FALSE(ftp::makeDirectory(kSession, "docs")) << "a folder that exists already";

    ASSERT_TRUE(ftp::changeDirectory(kSession, "docs"));
    EXPECT_EQ(ftp::currentDirectory(kSession), "/docs");
    // Relative to the current directory, with a blank in the name.
    EXPECT_TRUE(ftp::makeDirectory(kSession, "my folder"));
    EXPECT_TRUE(fsys::is_directory(peer.home() + "/docs/my folder"));
    ASSERT_TRUE(ftp::changeDirectory(kSession, "my folder"));
    EXPECT_EQ(ftp::currentDirectory(kSession), "/docs/my folder");

    EXPECT_TRUE(ftp::changeDirectory(kSession, ".."));
    EXPECT_EQ(ftp::currentDirectory(kSession), "/docs");
    EXPECT_TRUE(ftp::changeDirectory(kSession, ".."));
    EXPECT_EQ(ftp::currentDirectory(kSession), "/");

    EXPECT_FALSE(ftp::changeDirectory(kSession, "missing"));
    EXPECT_EQ(ftp::currentDirectory(kSession), "/") << "a refused CWD leaves the directory";
    EXPECT_TRUE(ftp::changeDirectory(kSession, "/docs/my folder")) << "absolute path";
    EXPECT_EQ(ftp::currentDirectory(kSession), "/docs/my folder");
}

TEST_P(RealServer, RefusedLoginLeavesNoSession) {
    FtpPeer& peer = startPeer();
    EXPECT_FALSE(ftp::open(kSession, peer.host(), peer.user(), peer.password() + "x", 1, peer.port()));
    EXPECT_FALSE(ftp::isAlive(kSession));
    EXPECT_EQ(ftp::currentDirectory(kSession), "");
    // The server itself is still fine.
    EXPECT_TRUE(openOn(peer, 1));
}

TEST_P(RealServer, ListingGivesNamesKindsAndSizesInBothModes) {
    FtpPeer& peer = startPeer();
    fsys::create_directory(peer.home() + "/a folder");
    fsys::create_directory(peer.home() + "/empty");
    writeAll(peer.home() + "/file one.txt", std::string(1234, 'x'));
    writeAll(peer.home() + "/zero", "");
    writeAll(peer.home() + "/a folder/inside.bin", std::string(70000, 'y'));
    fsys::create_symlink("file one.txt", peer.home() + "/link");

    for (int passive : {1, 0}) {
        SCOPED_TRACE(passive ? "passive" : "active");
        ASSERT_TRUE(openOn(peer, passive));
        bool listed = false;
        auto entries = listing(kSession, listed);
        ASSERT_TRUE(listed);
        ASSERT_EQ(entries.size(), 5u);
        EXPECT_EQ(entries["a folder"].kind, ftp::EntryDirectory);
        EXPECT_EQ(entries["empty"].kind, ftp::EntryDirectory);
        EXPECT_EQ(entries["file one.txt"].kind, ftp::EntryFile);
        EXPECT_EQ(entries["file one.txt"].size, 1234);
        EXPECT_EQ(entries["zero"].kind, ftp::EntryFile);
        EXPECT_EQ(entries["zero"].size, 0);
        // Some servers show the link itself ("link -> file one.txt"), some its target;
        // either way it is no folder.
        bool linkSeen = false;
        for (const auto& [name, entry] : entries)
            if (name.rfind("link", 0) == 0) {
                linkSeen = true;
                EXPECT_EQ(entry.kind, ftp::EntryFile);
            }
        EXPECT_TRUE(linkSeen);

        ASSERT_TRUE(ftp::changeDirectory(kSession, "a folder"));
        entries = listing(kSession, listed);
        ASSERT_TRUE(listed);
        ASSERT_EQ(entries.size(), 1u);
        EXPECT_EQ(entries["inside.bin"].size, 70000);

        ASSERT_TRUE(ftp::changeDirectory(kSession, "/empty"));
        EXPECT_TRUE(ftp::listDirectory(kSession));
        EXPECT_FALSE(ftp::nextEntry(kSession)) << "an empty folder has no entry";
        ftp::close(kSession);
    }
}

TEST_P(RealServer, RefusedTransfersFailAndTheSessionGoesOn) {
    FtpPeer& peer = startPeer(PeerOptions{0, {"locked"}, true});
    writeAll(localPath("data.bin"), randomBytes(3000));
    ASSERT_TRUE(openOn(peer, 1));

    EXPECT_FALSE(ftp::sendFile(kSession, localPath("data.bin"), "locked/data.bin", false));
    EXPECT_EQ(ftp::transferStatus(kSession), ftp::TransferFailed);
    EXPECT_FALSE(fsys::exists(peer.home() + "/locked/data.bin"));
    ASSERT_TRUE(ftp::changeDirectory(kSession, "locked"));
    EXPECT_FALSE(ftp::sendFile(kSession, localPath("data.bin"), "data.bin", false));
    EXPECT_FALSE(fsys::exists(peer.home() + "/locked/data.bin"));
    EXPECT_FALSE(ftp::makeDirectory(kSession, "sub"));

    // A missing remote file: the refusal comes before any local file is made.
    EXPECT_FALSE(ftp::receiveFile(kSession, "missing.bin", localPath("missing.bin")));
    EXPECT_EQ(ftp::transferStatus(kSession), ftp::TransferFailed);
    EXPECT_FALSE(fsys::exists(localPath("missing.bin")));

    // Every refusal was read whole: the next command gets its own reply.
    EXPECT_EQ(ftp::currentDirectory(kSession), "/locked");
    ASSERT_TRUE(ftp::changeDirectory(kSession, ".."));
    EXPECT_TRUE(ftp::sendFile(kSession, localPath("data.bin"), "data.bin", false));
    EXPECT_EQ(readAll(peer.home() + "/data.bin"), readAll(localPath("data.bin")));
}

TEST_P(RealServer, SendingAMissingLocalFileSendsNoCommand) {
    FtpPeer& peer = startPeer();
    ASSERT_TRUE(openOn(peer, 1));
    ASSERT_TRUE(ftp::isAlive(kSession));
    EXPECT_FALSE(ftp::sendFile(kSession, localPath("not-there.bin"), "x.bin", false));
    EXPECT_EQ(ftp::transferStatus(kSession), ftp::TransferFailed);
    EXPECT_FALSE(fsys::exists(peer.home() + "/x.bin"));
    EXPECT_TRUE(ftp::isAlive(kSession));
    if (FtpPeer::logsCommands(peer.kind())) {
        std::vector<std::string> commands = peer.receivedCommands();
        ASSERT_GE(commands.size(), 2u);
        // Only the two PWDs follow the login: no TYPE, PASV or STOR in between.
        EXPECT_EQ(commands[commands.size() - 1], "PWD");
        EXPECT_EQ(commands[commands.size() - 2], "PWD");
        EXPECT_EQ(commands[commands.size() - 3].rfind("PASS", 0), 0u);
    }
}

// ---------------------------------------------------------------------------------------
// Round trips: STOR then RETR of random content, byte for byte, in both data modes.

class RoundTrip : public ::testing::TestWithParam<std::tuple<PeerKind, int>> {
protected:
    static void SetUpTestSuite() { ftp::startSessions(); }
    static void TearDownTestSuite() { ftp::closeAllSessions(); }
    void SetUp() override {
        local_ = makeLocalFolder();
        peer_ = std::make_unique<FtpPeer>(std::get<0>(GetParam()));
    }
    void TearDown() override {
        ftp::close(kSession);
        if (HasFailure() && peer_) std::cerr << tail(peer_->serverOutput()) << "\n";
        peer_.reset();
        std::error_code ignored;
        fsys::remove_all(local_, ignored);
    }
    std::unique_ptr<FtpPeer> peer_;
    std::string local_;
};

TEST_P(RoundTrip, StoredAndRetrievedFilesAreByteIdentical) {
    const int passive = std::get<1>(GetParam());
    FtpPeer& peer = *peer_;
    peer.makeFolder("up");
    ASSERT_TRUE(ftp::open(kSession, peer.host(), peer.user(), peer.password(), passive, peer.port()));
    ASSERT_TRUE(ftp::changeDirectory(kSession, "up"));

    const std::vector<std::size_t> sizes = {0, 1, 4096, 5000, 5 * 1024 * 1024 + 17};
    for (std::size_t size : sizes) {
        SCOPED_TRACE("size " + std::to_string(size));
        const std::string name = "file " + std::to_string(size) + ".bin";
        const std::string sent = randomBytes(size);
        writeAll(local_ + "/" + name, sent);

        ASSERT_TRUE(ftp::sendFile(kSession, local_ + "/" + name, name, false));
        EXPECT_EQ(ftp::transferStatus(kSession), ftp::TransferDone);
        // What the server stored (all of them have finished writing before their 226).
        EXPECT_TRUE(readAll(peer.home() + "/up/" + name) == sent);

        const std::string back = local_ + "/back " + name;
        ASSERT_TRUE(ftp::receiveFile(kSession, name, back));
        EXPECT_EQ(ftp::transferStatus(kSession), ftp::TransferDone);
        EXPECT_EQ(static_cast<std::size_t>(fsys::file_size(back)), size);
        EXPECT_TRUE(readAll(back) == sent);
    }

    // Storing again under the same name replaces the file.
    const std::string shorter = randomBytes(100);
    writeAll(local_ + "/again.bin", shorter);
    ASSERT_TRUE(ftp::sendFile(kSession, local_ + "/again.bin", "file 5000.bin", false));
    EXPECT_TRUE(readAll(peer.home() + "/up/file 5000.bin") == shorter);

    // The listing reports what was stored.
    bool listed = false;
    auto entries = listing(kSession, listed);
    ASSERT_TRUE(listed);
    EXPECT_EQ(entries.size(), sizes.size());
    EXPECT_EQ(entries["file 5242897.bin"].size, 5 * 1024 * 1024 + 17);
    EXPECT_EQ(entries["file 5000.bin"].size, 100);
    EXPECT_EQ(entries["file 0.bin"].kind, ftp::EntryFile);
}

std::string roundTripName(const ::testing::TestParamInfo<std::tuple<PeerKind, int>>& info) {
    return std::string(peerKindName(std::get<0>(info.param))) +
           (std::get<1>(info.param) ? "_passive" : "_active");
}

// ---------------------------------------------------------------------------------------
// ensureConnected against servers that drop idle sessions.

class KeepAlive : public RealServer {};

constexpr int kIdleSeconds = 2;

TEST_P(KeepAlive, DroppedSessionIsReopenedInTheGivenDirectory) {
    FtpPeer& peer = startPeer(PeerOptions{kIdleSeconds, {}, true});
    peer.makeFolder("first");
    peer.makeFolder("second folder");
    ASSERT_TRUE(openOn(peer, 1));
    ASSERT_TRUE(ftp::changeDirectory(kSession, "first"));
    IdleWitness witness(peer);
    ASSERT_TRUE(witness.loggedIn());
    ASSERT_TRUE(witness.waitForDrop(kIdleSeconds + 10)) << "the server never dropped an idle session";

    ftp::ensureConnected(kSession, settingsFor(peer), "second folder");
    // A session still alive would have stayed in "/first".
    EXPECT_EQ(ftp::currentDirectory(kSession), "/second folder");
    EXPECT_TRUE(ftp::isAlive(kSession));

    // The server saw a fresh login followed by the change of directory.
    std::vector<std::string> commands = peer.receivedCommands();
    std::size_t cwd = commands.size();
    for (std::size_t i = 0; i < commands.size(); ++i)
        if (commands[i] == "CWD second folder") cwd = i;
    ASSERT_LT(cwd, commands.size());
    ASSERT_GE(cwd, 2u);
    EXPECT_EQ(commands[cwd - 2], "USER " + peer.user());
    EXPECT_EQ(commands[cwd - 1].rfind("PASS", 0), 0u);
}

TEST_P(KeepAlive, DroppedSessionWithAWrongPasswordStaysClosed) {
    FtpPeer& peer = startPeer(PeerOptions{kIdleSeconds, {}, true});
    ASSERT_TRUE(openOn(peer, 1));
    IdleWitness witness(peer);
    ASSERT_TRUE(witness.loggedIn());
    ASSERT_TRUE(witness.waitForDrop(kIdleSeconds + 10));

    ConnectionSettings wrong = settingsFor(peer);
    wrong.password += "-wrong";
    ftp::ensureConnected(kSession, wrong, "/");
    EXPECT_FALSE(ftp::isAlive(kSession));
    EXPECT_EQ(ftp::currentDirectory(kSession), "");
    // The right record brings it back.
    ftp::ensureConnected(kSession, settingsFor(peer), "/");
    EXPECT_TRUE(ftp::isAlive(kSession));
}

TEST_P(KeepAlive, LiveSessionGetsOnlyPwd) {
    FtpPeer& peer = startPeer();
    peer.makeFolder("first");
    peer.makeFolder("second");
    ASSERT_TRUE(openOn(peer, 1));
    ASSERT_TRUE(ftp::changeDirectory(kSession, "first"));
    const std::size_t before = peer.receivedCommands().size();

    ftp::ensureConnected(kSession, settingsFor(peer), "second");
    EXPECT_EQ(ftp::currentDirectory(kSession), "/first");

    // Some servers write a command's log line only after answering it: wait for both.
    std::vector<std::string> commands;
    for (int i = 0; i < 500; ++i) {
        commands = peer.receivedCommands();
        if (commands.size() >= before + 2) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_GE(commands.size(), before);
    EXPECT_EQ(std::vector<std::string>(commands.begin() + before, commands.end()),
              (std::vector<std::string>{"PWD", "PWD"}))
        << "the check sends one PWD, the test the other";
}

// A session number that was never opened (or was closed) counts as dropped too.
TEST_P(RealServer, EnsureConnectedOpensAMissingSession) {
    FtpPeer& peer = startPeer();
    peer.makeFolder("www");
    ftp::close(kSession);
    ConnectionSettings wrong = settingsFor(peer);
    wrong.password += "-wrong";
    ftp::ensureConnected(kSession, wrong, "www");
    EXPECT_FALSE(ftp::isAlive(kSession));
    ftp::ensureConnected(kSession, settingsFor(peer), "www");
    EXPECT_EQ(ftp::currentDirectory(kSession), "/www");
}

INSTANTIATE_TEST_SUITE_P(Peers, RealServer, ::testing::ValuesIn(peerKindsUnderTest()), kindName);
INSTANTIATE_TEST_SUITE_P(Peers, RoundTrip,
                         ::testing::Combine(::testing::ValuesIn(peerKindsUnderTest()),
                                            ::testing::Values(1, 0)),
                         roundTripName);
INSTANTIATE_TEST_SUITE_P(Peers, KeepAlive, ::testing::ValuesIn(peerKindsWithIdleSeconds()), kindName);

}  // namespace
