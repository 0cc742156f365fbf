// The GET client against the scripted server: the exact request, and every hostile or
// broken answer a server can give. A download that fails must leave the destination file
// as it was and must end within the client's time bounds.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "http/download.h"
#include "platform/clock.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/scripted_http.h"

using namespace velmo;
using namespace velmo::http;
using velmo::testing::ScratchFolder;
using velmo::testsupport::ScriptedServer;
using velmo::testsupport::expectGet;
using velmo::testsupport::scriptedUrl;

namespace {

const std::string ok200 = "HTTP/1.1 200 OK\r\n";

// Short waits so that the silent and slow servers below cost well under a second each.
DownloadLimits quickLimits() {
    DownloadLimits limits;
    limits.firstByteWaitMs = 300;
    limits.readWaitMs = 300;
    limits.responseLimitMs = 1500;
    limits.response.maxBodyBytes = 64 * 1024;
    return limits;
}

}  // namespace

TEST(DownloadScripted, SendsTheRequestAndStoresExactlyTheAnnouncedLength) {
    ScratchFolder dir;
    ScriptedServer server;
    expectGet(server, "/velmo-maj/_NumeroDeVersion_Exe_Script_SiteOfficiel.pcfg")
        .reply(ok200 + "Content-Length: 12\r\n\r\n" + "twelve bytes" + "and 8 more")
        .drop();
    server.start();
    const DownloadResult r =
        downloadFile(scriptedUrl(server, "velmo-maj/_NumeroDeVersion_Exe_Script_SiteOfficiel.pcfg"), dir.file("list"));
    EXPECT_TRUE(r.ok()) << errorName(r.error);
    EXPECT_EQ(dir.readFile("list"), "twelve bytes");
    EXPECT_TRUE(server.finish()) << server.report();
}

TEST(DownloadScripted, BrokenAndHostileAnswersFailAndLeaveTheFileAlone) {
    struct Row {
        const char* what;
        std::function<void(ScriptedServer&)> answer;  // after the request was read
        DownloadError error;
        ParseError parseError;
    };
    const std::vector<Row> rows = {
        {"body shorter than its length",
         [](ScriptedServer& s) { s.reply(ok200 + "Content-Length: 20\r\n\r\nonly twelve!").drop(); },
         DownloadError::Malformed, ParseError::Truncated},
        {"chunked body cut before its last chunk",
         [](ScriptedServer& s) { s.reply(ok200 + "Transfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n").drop(); },
         DownloadError::Malformed, ParseError::Truncated},
        {"malformed chunk size",
         [](ScriptedServer& s) { s.reply(ok200 + "Transfer-Encoding: chunked\r\n\r\n5x\r\nhello\r\n0\r\n\r\n").drop(); },
         DownloadError::Malformed, ParseError::BadChunk},
        {"404", [](ScriptedServer& s) { s.reply("HTTP/1.1 404 Not Found\r\nContent-Length: 3\r\n\r\nnon").drop(); },
         DownloadError::HttpStatus, ParseError::None},
        {"header line that never ends", [](ScriptedServer& s) { s.reply(ok200 + "X-Endless: ").stream("x", 64 * 1024 * 1024); },
         DownloadError::Malformed, ParseError::LineTooLong},
        {"endless body without length", [](ScriptedServer& s) { s.reply(ok200 + "\r\n").stream("body", 64 * 1024 * 1024); },
         DownloadError::Malformed, ParseError::BodyTooLarge},
        {"silence after the request", [](ScriptedServer& s) { s.silence(1000); }, DownloadError::NoAnswer, ParseError::None},
        {"closed without a word", [](ScriptedServer& s) { s.drop(); }, DownloadError::NoAnswer, ParseError::None},
        {"silence in the middle of the body",
         [](ScriptedServer& s) { s.reply(ok200 + "Content-Length: 10\r\n\r\nhalf").silence(1000); },
         DownloadError::Stalled, ParseError::None},
        {"a body that trickles past the time bound",
         [](ScriptedServer& s) { s.reply(ok200 + "\r\n").replySplit(std::vector<std::string>(40, "drip"), 100); },
         DownloadError::TooSlow, ParseError::None},
        {"redirect out of HTTP", [](ScriptedServer& s) {
             s.reply("HTTP/1.1 302 Found\r\nLocation: ftp://127.0.0.1/secure\r\nContent-Length: 0\r\n\r\n").drop();
         },
         DownloadError::NotHttp, ParseError::None},
        {"redirect to https on another host", [](ScriptedServer& s) {
             s.reply("HTTP/1.1 302 Found\r\nLocation: https://127.0.0.2/secure\r\nContent-Length: 0\r\n\r\n").drop();
         },
         DownloadError::RedirectElsewhere, ParseError::None},
        {"a length no file has, which the client once made room for before looking further",
         [](ScriptedServer& s) { s.reply(ok200 + "Content-Length: 99999999999\r\n\r\nfirst bytes").drop(); },
         DownloadError::Malformed, ParseError::BodyTooLarge},
        {"the same length on a 404",
         [](ScriptedServer& s) { s.reply("HTTP/1.1 404 Not Found\r\nContent-Length: 99999999999\r\n\r\n").drop(); },
         DownloadError::Malformed, ParseError::BodyTooLarge},
        {"redirect to the same server under another name", [](ScriptedServer& s) {
             s.reply("HTTP/1.1 302 Found\r\nLocation: http://localhost:" + std::to_string(s.port()) +
                     "/file.velmo\r\nContent-Length: 0\r\n\r\n").drop();
             expectGet(s, "/file.velmo").reply(ok200 + "Content-Length: 5\r\n\r\nother").drop();
         },
         DownloadError::RedirectElsewhere, ParseError::None},
        {"redirect without a Location",
         [](ScriptedServer& s) { s.reply("HTTP/1.1 301 Moved\r\nContent-Length: 4\r\n\r\nbody").drop(); },
         DownloadError::RedirectWithoutLocation, ParseError::None},
    };
    for (const Row& r : rows) {
        ScratchFolder dir;
        dir.writeFile("mirror/file.velmo", "old copy");
        ScriptedServer server;
        expectGet(server, "/file.velmo");
        r.answer(server);
        server.start();
        const std::uint64_t start = clock::tickMs();
        const DownloadResult got = downloadFile(scriptedUrl(server, "file.velmo"), dir.file("mirror/file.velmo"), quickLimits());
        const std::uint64_t took = clock::tickMs() - start;
        EXPECT_EQ(got.error, r.error) << r.what << ": " << errorName(got.error);
        EXPECT_EQ(got.parseError, r.parseError) << r.what << ": " << errorName(got.parseError);
        EXPECT_EQ(dir.readFile("mirror/file.velmo"), "old copy") << r.what;
        EXPECT_LT(took, 3000u) << r.what;
    }
}

TEST(DownloadScripted, RedirectsAreFollowedAndTheirBodiesNeverStored) {
    ScratchFolder dir;
    ScriptedServer server;
    expectGet(server, "/velmo-maj/old/file.velmo")
        .reply("HTTP/1.1 302 Found\r\nLocation: ../new/file.velmo\r\nContent-Length: 9\r\n\r\nnot this!")
        .drop();
    // The answer arrives in pieces: the status line cut, the head and body apart.
    expectGet(server, "/velmo-maj/new/file.velmo")
        .replySplit({"HTTP/1.", "1 200 OK\r\nTransfer-Encoding: chunked\r\n\r", "\n3\r\nthe", "\r\n5\r\n file\r\n0\r\n\r\n"}, 30)
        .drop();
    server.start();
    const DownloadResult r = downloadFile(scriptedUrl(server, "velmo-maj/old/file.velmo"), dir.file("f"));
    EXPECT_TRUE(r.ok()) << errorName(r.error) << " " << errorName(r.parseError);
    EXPECT_EQ(r.redirects, 1);
    EXPECT_EQ(r.finalUrl, scriptedUrl(server, "velmo-maj/new/file.velmo"));
    EXPECT_EQ(dir.readFile("f"), "the file");
    EXPECT_TRUE(server.finish()) << server.report();
    EXPECT_EQ(server.connectionsAccepted(), 2);
}

TEST(DownloadScripted, ClosedPortsAndUnwritableDestinationsFail) {
    ScratchFolder dir;
    int closedPort = 0;
    {
        ScriptedServer gone;  // its listener closes with it
        closedPort = gone.port();
    }
    EXPECT_EQ(downloadFile("http://127.0.0.1:" + std::to_string(closedPort) + "/x", dir.file("f")).error,
              DownloadError::ConnectFailed);
    EXPECT_FALSE(std::filesystem::exists(dir / "f"));

    // A destination that cannot be written: the body arrived, the download still fails.
    ScriptedServer server;
    expectGet(server, "/x").reply(ok200 + "Content-Length: 2\r\n\r\nok").drop();
    server.start();
    EXPECT_EQ(downloadFile(scriptedUrl(server, "x"), dir.file("no-such-folder/f")).error, DownloadError::CannotWrite);
}

// A file of the official site comes from the official site: a redirect to another port or
// another host (another name of the same machine included) is not followed, and the other
// server never sees a request.
TEST(DownloadScripted, RedirectsAwayFromTheHostOrPortAreNotFollowed) {
    ScriptedServer other;
    expectGet(other, "/file.velmo").reply(ok200 + "Content-Length: 11\r\n\r\nnot the one").drop();
    other.setStepLimit(300);
    other.start();
    const std::string otherPort = std::to_string(other.port());
    for (const std::string& location :
         {"http://127.0.0.1:" + otherPort + "/file.velmo", "//127.0.0.1:" + otherPort + "/file.velmo",
          std::string("http://127.0.0.2/file.velmo")}) {
        ScratchFolder dir;
        dir.writeFile("f", "old copy");
        ScriptedServer server;
        expectGet(server, "/velmo-maj/file.velmo")
            .reply("HTTP/1.1 302 Found\r\nLocation: " + location + "\r\nContent-Length: 0\r\n\r\n")
            .drop();
        server.start();
        const DownloadResult got = downloadFile(scriptedUrl(server, "velmo-maj/file.velmo"), dir.file("f"), quickLimits());
        EXPECT_EQ(got.error, DownloadError::RedirectElsewhere) << location << ": " << errorName(got.error);
        EXPECT_EQ(dir.readFile("f"), "old copy") << location;
        EXPECT_TRUE(server.finish()) << server.report();
    }
    other.finish();
    EXPECT_EQ(other.connectionsAccepted(), 0);
}

// What one address may cost: its redirects share one deadline, a connect that is never
// taken ends at its own bound, the caller's deadline and abort flag end it early, and a
// text of more lines than the caller reads is refused.
TEST(DownloadScripted, OneAddressHasOneBudgetAndTheCallerCanEndIt) {
    // A listener whose queue is full: the system drops further connection attempts, so a
    // connect there waits as long as the client lets it.
    net::Socket fullListener = net::Socket::listenOn("127.0.0.1", 0, 0);
    ASSERT_TRUE(fullListener.valid());
    const int fullPort = fullListener.localPort();
    std::vector<net::Socket> fillers;
    for (int i = 0; i < 16; ++i) {
        net::Socket::ConnectOutcome outcome{};
        net::Socket s = net::Socket::connectTo("127.0.0.1", fullPort, 200, nullptr, &outcome);
        if (outcome == net::Socket::ConnectOutcome::TimedOut) break;
        ASSERT_TRUE(s.valid()) << "attempt " << i;
        fillers.push_back(std::move(s));
    }

    std::atomic<bool> abort{false};
    std::thread aborter;
    struct Row {
        const char* what;
        std::function<void(ScriptedServer&)> script;  // the whole conversation
        std::function<void(DownloadLimits&)> limits;
        DownloadError error;
        std::uint64_t maxMs;
        std::string url;  // empty: the scripted server's /file.velmo
    };
    const std::string slowHop = "HTTP/1.1 302 Found\r\nLocation: /file.velmo\r\nContent-Length: 0\r\n\r\n";
    const std::vector<Row> rows = {
        {"four redirects of 400 ms each against 1000 ms for the address",
         [&](ScriptedServer& s) {
             for (int hop = 0; hop < 4; ++hop) expectGet(s, "/file.velmo").silence(400).reply(slowHop).drop();
             expectGet(s, "/file.velmo").reply(ok200 + "Content-Length: 4\r\n\r\nlate").drop();
         },
         [](DownloadLimits& l) { l.responseLimitMs = 1000; }, DownloadError::TooSlow, 1400},
        {"a connect never taken", [](ScriptedServer&) {}, [](DownloadLimits& l) { l.connectWaitMs = 300; },
         DownloadError::ConnectTimedOut, 900, "http://127.0.0.1:" + std::to_string(fullPort) + "/file.velmo"},
        {"a connect never taken, the address's time running out first", [](ScriptedServer&) {},
         [](DownloadLimits& l) { l.responseLimitMs = 300; l.connectWaitMs = 5000; }, DownloadError::TooSlow, 900,
         "http://127.0.0.1:" + std::to_string(fullPort) + "/file.velmo"},
        {"the caller's deadline before the first byte", [](ScriptedServer& s) { expectGet(s, "/file.velmo").silence(2000); },
         [](DownloadLimits& l) {
             l.firstByteWaitMs = 5000;
             l.deadlineTickMs = clock::tickMs() + 300;
         },
         DownloadError::TooSlow, 900},
        {"the caller's abort flag during a slow body",
         [](ScriptedServer& s) {
             expectGet(s, "/file.velmo").reply(ok200 + "\r\n").replySplit(std::vector<std::string>(40, "drip"), 50);
         },
         [&](DownloadLimits& l) {
             l.abort = &abort;
             aborter = std::thread([&abort] {
                 clock::sleepMs(300);
                 abort = true;
             });
         },
         DownloadError::Aborted, 900},
        {"more lines than the caller reads",
         [](ScriptedServer& s) { expectGet(s, "/file.velmo").reply(ok200 + "Content-Length: 8\r\n\r\na\nb\nc\nd\n").drop(); },
         [](DownloadLimits& l) { l.maxBodyLines = 3; }, DownloadError::TooManyLines, 900},
    };
    for (const Row& r : rows) {
        abort = false;
        ScratchFolder dir;
        dir.writeFile("f", "old copy");
        ScriptedServer server;
        r.script(server);
        server.start();
        DownloadLimits limits = quickLimits();
        limits.firstByteWaitMs = limits.readWaitMs = 1000;
        limits.responseLimitMs = 5000;
        r.limits(limits);
        const std::uint64_t start = clock::tickMs();
        const DownloadResult got = downloadFile(r.url.empty() ? scriptedUrl(server, "file.velmo") : r.url, dir.file("f"), limits);
        const std::uint64_t took = clock::tickMs() - start;
        EXPECT_EQ(got.error, r.error) << r.what << ": " << errorName(got.error);
        EXPECT_LT(took, r.maxMs) << r.what;
        EXPECT_EQ(dir.readFile("f"), "old copy") << r.what;
        if (aborter.joinable()) aborter.join();
    }
}
