// The session layer and the reconnect check against real FTP servers from Debian
// (pyftpdlib, vsftpd, pure-ftpd, proftpd) started on 127.0.0.1 for each test: what the
// tools meet at a web host, with each server's own reply wording, listing layout and
// data-connection habits. The large upload of each round trip runs as a background send
// (the installer's and the updater's way of uploading), polled as they poll it.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "ftp/control_channel.h"
#include "ftp/ftp_session.h"
#include "ftp/keep_alive.h"
#include "ftp/settings_account.h"
#include "platform/fs.h"
#include "settings/connection_settings.h"
#include "tests/support/ftp_peers.h"

using namespace velmo;
using namespace velmo::testsupport;
namespace fsys = std::filesystem;

namespace {

std::string readAll(const std::string& path) {
    std::string text;
    return fs::readWholeFile(path, text) ? text : "(unreadable)";
}

void writeAll(const std::string& path, const std::string& data) { ASSERT_TRUE(fs::replaceFileContents(path, data)); }

std::string randomBytes(std::size_t size) {
    static std::mt19937_64 generator{std::random_device{}()};
    std::string data(size, '\0');
    for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<char>(generator() & 0xFF);
    return data;
}

// Every count a transfer's watch was told, in order.
struct Counts {
    std::vector<std::int64_t> seen;
    ftp::TransferWatch watch() {
        return {[this](std::int64_t bytes) {
                    seen.push_back(bytes);
                    return true;
                },
                100};
    }
};

// A transfer seen by its watch: a count that only grows, ending at `size`.
void expectGrowingCountTo(const std::vector<std::int64_t>& seen, std::int64_t size) {
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back(), size);
    for (std::size_t i = 1; i < seen.size(); ++i) EXPECT_GE(seen[i], seen[i - 1]);
}

// The listing as name -> "d" for a folder, "f <size>" for anything else.
std::map<std::string, std::string> listing(ftp::Session& session, bool& listed) {
    std::map<std::string, std::string> out;
    listed = session.listDirectory().ok();
    while (listed && session.nextEntry())
        out[session.entryName()] = session.entryKind() == ftp::EntryDirectory
                                       ? "d" : "f " + std::to_string(session.entrySize());
    return out;
}

// True once a second conversation, logged in after the session's last command, has been
// dropped for being idle (421): the server drops the older session at the latest by then.
bool idleDropSeen(const FtpPeer& peer, int limitSeconds) {
    ftp::ControlChannel witness(5000);
    if (!witness.connect(peer.host(), peer.port()) ||
        witness.login(peer.user(), peer.password()) != ftp::CommandAccepted)
        return false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(limitSeconds);
    while (std::chrono::steady_clock::now() < deadline)
        if (ftp::replyCode(witness.readReply(100)) == "421") return true;
    return false;
}

ftp::Account accountFor(const FtpPeer& peer, const std::string& passwordTail = "") {
    return ftpAccount(ConnectionSettings{peer.host(), peer.user(), peer.password() + passwordTail, "", 0, 1, peer.port()});
}

// Parameter: the server kind and (for the round trips) the passive flag.
class RealServer : public ::testing::TestWithParam<std::tuple<PeerKind, int>> {
protected:
    static void SetUpTestSuite() { ftp::startSessions(); }
    static void TearDownTestSuite() { ftp::stopSessions(); }

    void SetUp() override {
        local_ = (fsys::temp_directory_path() / ("velmo-real-server-" + std::to_string(std::random_device{}()))).string();
        fsys::create_directories(local_);
    }
    void TearDown() override {
        session_.close();
        for (auto& peer : peers_) {
            const std::string out = HasFailure() ? peer->serverOutput() : "";
            if (!out.empty()) std::cerr << "---- server output\n" << out.substr(out.size() > 6000 ? out.size() - 6000 : 0) << "\n";
        }
        peers_.clear();
        std::error_code ignored;
        fsys::remove_all(local_, ignored);
    }

    FtpPeer& startPeer(PeerOptions options = {}) {
        peers_.push_back(std::make_unique<FtpPeer>(std::get<0>(GetParam()), std::move(options)));
        return *peers_.back();
    }
    bool openOn(const FtpPeer& peer, bool passive = true) {
        return session_.open(peer.host(), peer.user(), peer.password(), passive, peer.port()).ok();
    }
    std::string localPath(const std::string& name) const { return local_ + "/" + name; }

    std::vector<std::unique_ptr<FtpPeer>> peers_;
    std::string local_;
    ftp::Session session_;
};

TEST_P(RealServer, DirectoriesAndListingsWithNamesKindsAndSizesInBothModes) {
    FtpPeer& peer = startPeer();
    ASSERT_TRUE(openOn(peer));
    EXPECT_EQ(session_.currentDirectory(), "/");
    EXPECT_TRUE(session_.makeDirectory("a folder"));
    EXPECT_FALSE(session_.makeDirectory("a folder")) << "a folder that exists already";
    ASSERT_TRUE(session_.changeDirectory("a folder"));
    EXPECT_TRUE(session_.makeDirectory("empty"));  // relative to the current directory
    EXPECT_EQ(session_.currentDirectory(), "/a folder");
    EXPECT_TRUE(session_.changeDirectory(".."));
    EXPECT_FALSE(session_.changeDirectory("missing"));
    EXPECT_EQ(session_.currentDirectory(), "/");
    session_.close();
    writeAll(peer.home() + "/file one.txt", std::string(1234, 'x'));
    writeAll(peer.home() + "/zero", "");
    writeAll(peer.home() + "/a folder/inside.bin", std::string(70000, 'y'));
    fsys::create_symlink("file one.txt", peer.home() + "/link");

    for (int passive : {1, 0}) {
        SCOPED_TRACE(passive ? "passive" : "active");
        ASSERT_TRUE(openOn(peer, passive));
        bool listed = false;
        auto entries = listing(session_, listed);
        ASSERT_TRUE(listed);
        // Some servers show the link itself ("link -> file one.txt"), some its target;
        // either way it is no folder.
        auto link = entries.lower_bound("link");
        ASSERT_TRUE(link != entries.end() && link->first.rfind("link", 0) == 0);
        EXPECT_EQ(link->second.substr(0, 2), "f ");
        entries.erase(link);
        EXPECT_EQ(entries, (std::map<std::string, std::string>{
                               {"a folder", "d"}, {"file one.txt", "f 1234"}, {"zero", "f 0"}}));
        ASSERT_TRUE(session_.changeDirectory("a folder"));
        EXPECT_EQ(listing(session_, listed), (std::map<std::string, std::string>{{"empty", "d"}, {"inside.bin", "f 70000"}}));
        ASSERT_TRUE(session_.changeDirectory("/a folder/empty"));
        EXPECT_TRUE(listing(session_, listed).empty());
        EXPECT_TRUE(listed) << "an empty folder lists fine";
        session_.close();
    }
}

TEST_P(RealServer, RefusedLoginAndRefusedTransfersFailAndTheSessionGoesOn) {
    FtpPeer& peer = startPeer(PeerOptions{0, {"locked"}, true});
    EXPECT_EQ(session_.open(peer.host(), peer.user(), peer.password() + "x", true, peer.port()).failure,
              ftp::Failure::LoginRefused);
    EXPECT_FALSE(session_.isAlive());
    writeAll(localPath("data.bin"), randomBytes(3000));
    ASSERT_TRUE(openOn(peer));
    ASSERT_TRUE(session_.changeDirectory("locked"));
    // Refused before its data: the watch never hears of a byte, and the reason is the
    // server's refusal (a 5xx code).
    Counts counts;
    const ftp::Result refused = session_.sendFile(localPath("data.bin"), "data.bin", counts.watch());
    EXPECT_EQ(refused.failure, ftp::Failure::Refused);
    EXPECT_EQ(refused.replyCode / 100, 5) << ftp::describe(refused);
    for (std::int64_t count : counts.seen) EXPECT_EQ(count, 0);
    EXPECT_FALSE(fsys::exists(peer.home() + "/locked/data.bin"));

    // A missing remote file: the refusal comes before any local file is made.
    EXPECT_EQ(session_.receiveFile("missing.bin", localPath("missing.bin")).failure, ftp::Failure::Refused);
    EXPECT_FALSE(fsys::exists(localPath("missing.bin")));

    // Every refusal was read whole: the next command gets its own reply.
    EXPECT_EQ(session_.currentDirectory(), "/locked");
}

// A symbolic link with a long target ("lien -> /...", as most servers list links) makes a
// line past 1023 bytes: the folder still lists, with its other entries.
// A download from a server sending more than the bound the caller set (a file that grew
// far past its listed size) fails, and writes nothing past the bound.
TEST_P(RealServer, LongListingLinesAndFilesPastTheirBoundCostOnlyThemselves) {
    FtpPeer& peer = startPeer();
    fsys::create_directories(peer.home() + "/liens");
    writeAll(peer.home() + "/liens/a.txt", "aaa");
    writeAll(peer.home() + "/liens/z.txt", std::string(300000, 'z'));
    std::string target;
    for (int i = 0; i < 4; ++i) target += "/" + std::string(240, static_cast<char>('a' + i));
    // proftpd cannot list a line past its own 1 KiB buffer (it drops the rest of the folder).
    if (std::get<0>(GetParam()) != PeerKind::Proftpd) fsys::create_symlink(target, peer.home() + "/liens/lien");
    ASSERT_TRUE(openOn(peer));
    ASSERT_TRUE(session_.changeDirectory("liens"));
    bool listed = false;
    auto entries = listing(session_, listed);
    EXPECT_TRUE(listed) << "one long line refused the whole folder";
    std::erase_if(entries, [](const auto& e) { return e.first.rfind("lien", 0) == 0; });
    EXPECT_EQ(entries, (std::map<std::string, std::string>{{"a.txt", "f 3"}, {"z.txt", "f 300000"}}));

    // Some servers answer a download given up midway at once, others never (pure-ftpd):
    // the session waits a short while for that answer, not the whole silence limit.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(session_.receiveFile("z.txt", localPath("z.txt"), ftp::ReceiveBounds{70000, 0}).failure,
              ftp::Failure::TooLarge);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    if (!session_.hasConnection()) {
        ASSERT_TRUE(openOn(peer));
        ASSERT_TRUE(session_.changeDirectory("liens"));
    }
    EXPECT_LE(fsys::file_size(localPath("z.txt")), 70000u);
    EXPECT_TRUE(session_.receiveFile("z.txt", localPath("z.txt"), ftp::ReceiveBounds{300000, 0}))
        << "exactly the bound is whole";
    EXPECT_EQ(readAll(localPath("z.txt")), std::string(300000, 'z'));
}

// STOR then RETR of random content, byte for byte, in both data modes.
class RoundTrip : public RealServer {};

TEST_P(RoundTrip, StoredAndRetrievedFilesAreByteIdentical) {
    const bool passive = std::get<1>(GetParam()) != 0;
    FtpPeer& peer = startPeer();
    peer.makeFolder("up");
    ASSERT_TRUE(openOn(peer, passive));
    ASSERT_TRUE(session_.changeDirectory("up"));

    for (std::size_t size : {std::size_t(0), std::size_t(4096), std::size_t(5 * 1024 * 1024 + 17)}) {
        SCOPED_TRACE("size " + std::to_string(size));
        const std::string name = "file " + std::to_string(size) + ".bin";
        const std::string sent = randomBytes(size);
        writeAll(localPath(name), sent);

        // Both ways, the watch sees the count grow to the file's size (the installer's
        // send, the backup tool's receive).
        Counts sentCounts;
        ASSERT_TRUE(session_.sendFile(localPath(name), name, sentCounts.watch()));
        expectGrowingCountTo(sentCounts.seen, static_cast<std::int64_t>(size));
        // What the server stored (all of them have finished writing before their 226).
        EXPECT_TRUE(readAll(peer.home() + "/up/" + name) == sent);

        const std::string back = localPath("back " + name);
        Counts receivedCounts;
        ASSERT_TRUE(session_.receiveFile(name, back, {}, receivedCounts.watch()));
        expectGrowingCountTo(receivedCounts.seen, static_cast<std::int64_t>(size));
        EXPECT_TRUE(readAll(back) == sent);
    }

    // Storing again under the same name replaces the file.
    const std::string shorter = randomBytes(100);
    writeAll(localPath("again.bin"), shorter);
    ASSERT_TRUE(session_.sendFile(localPath("again.bin"), "file 4096.bin"));
    EXPECT_TRUE(readAll(peer.home() + "/up/file 4096.bin") == shorter);
}

// The sends that put their first commands in one write (the installer's PWD, TYPE I, PASV
// or PORT; the updater's folder changes before them): every server takes them as sent, so
// no session falls back to one command at a time, and each file lands where it should.
TEST_P(RoundTrip, CommandsSentTogetherAreTakenInOrder) {
    const bool passive = std::get<1>(GetParam()) != 0;
    FtpPeer& peer = startPeer();
    peer.makeFolder("a");
    peer.makeFolder("a/b");
    ASSERT_TRUE(openOn(peer, passive));
    const std::string top = session_.currentDirectory();
    ASSERT_FALSE(top.empty());
    struct Row {
        std::vector<std::string> folders;  // none: the installer's send after a PWD
        const char* stored;                // below the home
    };
    const Row rows[] = {{{}, "un.bin"},       {{"a", "b"}, "a/b/deux.bin"}, {{"..", ".."}, "trois.bin"},
                        {{}, "quatre.bin"},   {{top + "/a"}, "a/cinq.bin"}, {{".."}, "six.bin"}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.stored);
        const std::string sent = randomBytes(70000);
        writeAll(localPath("f.bin"), sent);
        const std::string name = std::string(row.stored).substr(std::string(row.stored).rfind('/') + 1);
        const ftp::Result r = row.folders.empty() ? session_.sendFileAfterPwd(localPath("f.bin"), name)
                                                  : session_.sendFileInto(top, row.folders, localPath("f.bin"), name);
        ASSERT_TRUE(r.ok()) << ftp::describe(r);
        EXPECT_TRUE(readAll(peer.home() + "/" + row.stored) == sent);
    }
    EXPECT_EQ(session_.oneAtATimeReason(), "");
}

// ensureConnected against servers that drop idle sessions.
class KeepAlive : public RealServer {};

constexpr int idleSeconds = 2;

TEST_P(KeepAlive, LiveSessionIsKeptADroppedOneReopenedInTheGivenDirectoryOrLeftClosed) {
    FtpPeer& peer = startPeer(PeerOptions{idleSeconds, {}, true});
    peer.makeFolder("first");
    peer.makeFolder("second folder");
    ASSERT_TRUE(openOn(peer));
    ASSERT_TRUE(session_.changeDirectory("first"));
    // A live session is left as it is: a reopen or a CWD would move it.
    ftp::ensureConnected(session_, accountFor(peer), "second folder");
    EXPECT_EQ(session_.currentDirectory(), "/first");

    ASSERT_TRUE(idleDropSeen(peer, idleSeconds + 10)) << "the server never dropped an idle session";
    ftp::ensureConnected(session_, accountFor(peer), "second folder");
    EXPECT_EQ(session_.currentDirectory(), "/second folder");

    // Dropped again, and the record's password is wrong now: no usable session is left.
    ASSERT_TRUE(idleDropSeen(peer, idleSeconds + 10));
    ftp::ensureConnected(session_, accountFor(peer, "-wrong"), "/");
    EXPECT_FALSE(session_.isAlive());
    EXPECT_EQ(session_.currentDirectory(), "");
}

std::string caseName(const ::testing::TestParamInfo<std::tuple<PeerKind, int>>& info) {
    return std::string(peerKindName(std::get<0>(info.param))) + (std::get<1>(info.param) ? "_passive" : "_active");
}

std::vector<std::tuple<PeerKind, int>> passiveOnly(const std::vector<PeerKind>& kinds) {
    std::vector<std::tuple<PeerKind, int>> out;
    for (PeerKind kind : kinds) out.emplace_back(kind, 1);
    return out;
}

// Every kind in passive mode; the round trips in both modes; the idle drops only where
// the idle limit can be set in seconds.
INSTANTIATE_TEST_SUITE_P(Peers, RealServer, ::testing::ValuesIn(passiveOnly(peerKindsUnderTest())), caseName);
INSTANTIATE_TEST_SUITE_P(Peers, RoundTrip,
                         ::testing::Combine(::testing::ValuesIn(peerKindsUnderTest()), ::testing::Values(1, 0)),
                         caseName);
INSTANTIATE_TEST_SUITE_P(Peers, KeepAlive, ::testing::ValuesIn(passiveOnly(peerKindsWithIdleSeconds())), caseName);

}  // namespace
