// The GET client over https: nginx with the tests' CA-signed leaf (every framing, the
// redirects allowed and refused), leaves that must be refused without a question, and TLS
// servers that stall or trickle their handshake.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "http/download.h"
#include "http/test_ca.h"
#include "platform/clock.h"
#include "tests/support/child_process.h"
#include "tests/support/http_peers.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/scripted_server.h"
#include "tests/support/tls_certificates.h"

using namespace velmo;
using namespace velmo::http;
using velmo::testing::ScratchFolder;
using velmo::testsupport::HttpPeer;
using velmo::testsupport::HttpPeerKind;
using velmo::testsupport::HttpTlsLeaf;
using velmo::testsupport::ScriptedServer;
using velmo::testsupport::TlsCertificates;
using velmo::testsupport::TlsLeaf;

namespace {

HttpTlsLeaf leafOf(const TlsLeaf& l) { return {l.certFile, l.keyFile}; }

// Trusts the tests' CA for one test.
struct TestCa {
    explicit TestCa(const std::string& file) { setExtraCaFileForTests(file); }
    ~TestCa() { setExtraCaFileForTests(""); }
};

std::string fileBytes() {
    std::string bytes;
    for (int round = 0; round < 300; ++round) {
        for (int b = 0; b < 256; ++b) bytes += static_cast<char>(b);
        bytes += "\r\n0\r\n\r\n";
    }
    return bytes;
}

}  // namespace

TEST(DownloadTls, NginxOverTlsGivesTheFileAndOnlyTheAllowedRedirectsAreFollowed) {
    ScratchFolder certDir;
    const TlsCertificates certs(certDir.path);
    TestCa ca(certs.caFile);
    HttpPeer web(HttpPeerKind::Nginx, leafOf(certs.good));
    const std::string file = "velmo-maj/maj_2010000/img/fond.velmo";
    const std::string bytes = fileBytes();
    web.writeFile(file, bytes);
    struct Row {
        const char* what;
        std::string url;
        DownloadError error;
        int redirects;
    };
    const std::vector<Row> rows = {
        {"length", web.tlsUrl(file), DownloadError::None, 0},
        {"chunked", web.tlsUrl("chunked/" + file), DownloadError::None, 0},
        {"ended by close_notify", web.tlsUrl("close/" + file), DownloadError::None, 0},
        {"https to https, same host and port", web.tlsUrl("redirect/301/" + file), DownloadError::None, 1},
        {"http to https, same host, the port the Location names", web.url("to-https/" + file), DownloadError::None, 1},
        {"https back to http", web.tlsUrl("to-http/" + file), DownloadError::RedirectDowngrade, 1},
        {"https to https on another port", web.tlsUrl("to-other-port/" + file), DownloadError::RedirectElsewhere, 1},
        {"https to https under another name", web.tlsUrl("to-localhost/" + file), DownloadError::RedirectElsewhere, 1},
        {"https to a plain HTTP port", "https://127.0.0.1:" + std::to_string(web.port()) + "/" + file,
         DownloadError::TlsFailed, 0},
    };
    for (const Row& r : rows) {
        ScratchFolder dir;
        dir.writeFile("fond.php", "old copy");
        const DownloadResult got = downloadFile(r.url, dir.file("fond.php"));
        EXPECT_EQ(got.error, r.error) << r.what << ": " << errorName(got.error) << " " << got.tlsDetail;
        EXPECT_EQ(got.redirects, r.redirects) << r.what;
        if (r.error == DownloadError::None) {
            EXPECT_EQ(got.finalUrl, r.redirects ? web.tlsUrl(file) : r.url) << r.what;
            EXPECT_TRUE(dir.readFile("fond.php") == bytes) << r.what << ": the stored file differs";
        } else {
            EXPECT_EQ(dir.readFile("fond.php"), "old copy") << r.what;
        }
    }
}

// Nothing but a certificate that holds against the trusted store: no question, no
// exception, the reason kept, and not a byte of the request sent on the connection.
TEST(DownloadTls, CertificatesThatDoNotHoldAreRefusedBeforeTheRequest) {
    ScratchFolder certDir;
    const TlsCertificates certs(certDir.path);
    struct Row {
        const char* what;
        const TlsLeaf& leaf;
        bool trustTestCa;
        tls::Reason reason;
    };
    const std::vector<Row> rows = {
        {"self-signed", certs.selfSigned, true, tls::Reason::Untrusted},
        {"expired", certs.expired, true, tls::Reason::OutOfDate},
        {"not valid yet", certs.notYetValid, true, tls::Reason::OutOfDate},
        {"for another name", certs.otherName, true, tls::Reason::NameMismatch},
        {"by a CA the system store does not know", certs.good, false, tls::Reason::Untrusted},
    };
    for (const Row& r : rows) {
        setExtraCaFileForTests(r.trustTestCa ? certs.caFile : "");
        HttpPeer web(HttpPeerKind::Nginx, leafOf(r.leaf));
        web.writeFile("velmo-maj/list.pcfg", "[Grp_NumeroDeVersion_Exe_Script_SiteOfficiel]\r\n");
        ScratchFolder dir;
        dir.writeFile("list.pcfg", "old copy");
        const DownloadResult got = downloadFile(web.tlsUrl("velmo-maj/list.pcfg"), dir.file("list.pcfg"));
        EXPECT_EQ(got.error, DownloadError::CertificateRejected) << r.what << ": " << errorName(got.error);
        EXPECT_EQ(got.certificateReason, r.reason) << r.what;
        EXPECT_NE(got.tlsDetail.find("subject: "), std::string::npos) << r.what << ": " << got.tlsDetail;
        EXPECT_EQ(dir.readFile("list.pcfg"), "old copy") << r.what;
        EXPECT_EQ(web.accessLog().find("GET"), std::string::npos) << r.what << ": " << web.accessLog();
    }
    setExtraCaFileForTests("");
}

// The handshake has the bounds of the rest of an address: a TLS server that accepts and
// says nothing, one that trickles a record a byte at a time, and the caller's abort.
TEST(DownloadTls, AStalledHandshakeEndsWithinTheAddressBounds) {
    std::atomic<bool> abort{false};
    std::thread aborter;
    // A handshake record that announces 16 KiB: the client waits for all of it.
    const std::string recordHead("\x16\x03\x03\x40\x00", 5);
    struct Row {
        const char* what;
        std::function<void(ScriptedServer&)> script;
        std::function<void(DownloadLimits&)> limits;
        DownloadError error;
        std::uint64_t minMs, maxMs;
    };
    const std::vector<Row> rows = {
        {"accepts and says nothing", [](ScriptedServer& s) { s.acceptControl().silence(3000); },
         [](DownloadLimits& l) { l.firstByteWaitMs = 400; }, DownloadError::NoAnswer, 350, 1200},
        {"trickles its record past the address's time",
         [&](ScriptedServer& s) { s.reply(recordHead).replySplit(std::vector<std::string>(60, "\x02"), 50); },
         [](DownloadLimits& l) {
             l.firstByteWaitMs = 1000;
             l.responseLimitMs = 700;
         },
         DownloadError::TooSlow, 650, 1400},
        {"the caller's abort during a silent handshake", [](ScriptedServer& s) { s.acceptControl().silence(3000); },
         [&](DownloadLimits& l) {
             l.abort = &abort;
             aborter = std::thread([&abort] {
                 clock::sleepMs(300);
                 abort = true;
             });
         },
         DownloadError::Aborted, 250, 900},
    };
    for (const Row& r : rows) {
        abort = false;
        ScratchFolder dir;
        dir.writeFile("f", "old copy");
        ScriptedServer server;
        r.script(server);
        server.start();
        DownloadLimits limits;
        limits.firstByteWaitMs = limits.readWaitMs = 5000;
        limits.responseLimitMs = 10000;
        r.limits(limits);
        const std::uint64_t start = clock::tickMs();
        const DownloadResult got =
            downloadFile("https://127.0.0.1:" + std::to_string(server.port()) + "/f", dir.file("f"), limits);
        const std::uint64_t took = clock::tickMs() - start;
        EXPECT_EQ(got.error, r.error) << r.what << ": " << errorName(got.error) << " " << got.tlsDetail;
        EXPECT_GE(took, r.minMs) << r.what;
        EXPECT_LT(took, r.maxMs) << r.what;
        EXPECT_EQ(dir.readFile("f"), "old copy") << r.what;
        if (aborter.joinable()) aborter.join();
    }
}

// A body without length ends where the connection ends, but over TLS only TLS's own close
// (close_notify) ends it: a connection cut without it (by a third party, perhaps) would
// otherwise pass half a file for the whole.
TEST(DownloadTls, ABodyEndsOnlyWithTheTlsClose) {
    ScratchFolder certDir;
    const TlsCertificates certs(certDir.path);
    TestCa ca(certs.caFile);
    const std::string server =
        "import socket, ssl, sys\n"
        "cert, key, port, mode = sys.argv[1:5]\n"
        "ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)\n"
        "ctx.load_cert_chain(cert, key)\n"
        "ls = socket.socket()\n"
        "ls.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)\n"
        "ls.bind(('127.0.0.1', int(port)))\n"
        "ls.listen(8)\n"
        "while True:\n"
        "    raw, _ = ls.accept()\n"
        "    raw.settimeout(5)\n"
        "    try:\n"
        "        c = ctx.wrap_socket(raw, server_side=True)\n"
        "        head = b''\n"
        "        while b'\\r\\n\\r\\n' not in head:\n"
        "            more = c.recv(4096)\n"
        "            if not more: raise OSError('closed')\n"
        "            head += more\n"
        "        c.sendall(b'HTTP/1.1 200 OK\\r\\nConnection: close\\r\\n\\r\\nthe first half of a file')\n"
        "        if mode == 'notify': c = c.unwrap()\n"
        "        else: c.shutdown(socket.SHUT_RDWR)\n"  // the TCP end alone, no close_notify
        "        c.close()\n"
        "    except Exception as e:\n"
        "        print(e, flush=True)\n";
    struct Row {
        const char* mode;
        DownloadError error;
    };
    for (const Row& r : {Row{"notify", DownloadError::None}, Row{"cut", DownloadError::TlsFailed}}) {
        velmo::testsupport::ChildProcess process;
        const int port = velmo::testsupport::freeLoopbackPort();
        process.start({"/usr/bin/python3", "-c", server, certs.good.certFile, certs.good.keyFile, std::to_string(port),
                       r.mode},
                      certDir.file(std::string(r.mode) + ".txt"));
        ASSERT_TRUE(velmo::testsupport::waitUntilListening(process, port, 20000)) << process.output();
        ScratchFolder dir;
        dir.writeFile("f", "old copy");
        const DownloadResult got = downloadFile("https://127.0.0.1:" + std::to_string(port) + "/f", dir.file("f"));
        EXPECT_EQ(got.error, r.error) << r.mode << ": " << errorName(got.error) << " " << got.tlsDetail;
        EXPECT_EQ(dir.readFile("f"), r.error == DownloadError::None ? "the first half of a file" : "old copy") << r.mode;
    }
}
