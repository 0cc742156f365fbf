// The OpenSSL TLS stream against openssl s_server on 127.0.0.1, with certificates made for
// the test (tests/support/tls_certificates.h).
#include <gtest/gtest.h>

#include <chrono>
#include <regex>
#include <string>
#include <thread>

#include "platform/tls.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/tls_certificates.h"

using namespace velmo;
using velmo::testsupport::TlsCertificates;
using velmo::testsupport::TlsLeaf;
using velmo::testsupport::TlsServer;

namespace {

net::Socket connect(int port) { return net::Socket::connectTo("127.0.0.1", port, 5000, nullptr); }

tls::Options options(const std::string& host, const std::string& caFile) {
    tls::Options o;
    o.hostName = host;
    o.extraCaFile = caFile;
    o.timeoutMs = 5000;
    return o;
}

// One line through an s_server -rev (it answers each line reversed).
std::string roundTrip(tls::Stream& s, const std::string& line) {
    if (s.sendAll(line.data(), line.size(), 5000, nullptr) != tls::IoOutcome::Done) return "<send failed>";
    std::string got;
    char buf[256];
    std::size_t n = 0;
    while (got.find('\n') == std::string::npos) {
        if (s.receiveSome(buf, sizeof buf, n, 5000, nullptr) != tls::IoOutcome::Done) return got + "<receive failed>";
        got.append(buf, n);
    }
    return got;
}

struct Fixture : ::testing::Test {
    static void SetUpTestSuite() { net::startNetworking(); }
    velmo::testing::ScratchFolder dir;
    TlsCertificates certs{dir.path};
};

using TlsVerification = Fixture;
using TlsSessions = Fixture;
using TlsTimeouts = Fixture;

}  // namespace

TEST_F(TlsVerification, EachCertificateIsJudgedWithItsReasonAndDescribedAsOpenSslSeesIt) {
    struct Row {
        const char* what;
        const TlsLeaf* leaf;
        std::string host;
        bool withCa;
        tls::Reason reason;
    } rows[] = {
        {"CA-signed, by address", &certs.good, "127.0.0.1", true, tls::Reason::None},
        {"CA-signed, by name", &certs.good, "localhost", true, tls::Reason::None},
        {"CA not offered", &certs.good, "127.0.0.1", false, tls::Reason::Untrusted},
        {"other name typed", &certs.good, "velmo.example", true, tls::Reason::NameMismatch},
        {"other address typed", &certs.good, "127.0.0.2", true, tls::Reason::NameMismatch},
        {"self-signed", &certs.selfSigned, "127.0.0.1", true, tls::Reason::Untrusted},
        {"expired", &certs.expired, "127.0.0.1", true, tls::Reason::OutOfDate},
        {"not yet valid", &certs.notYetValid, "127.0.0.1", true, tls::Reason::OutOfDate},
        {"made for another name", &certs.otherName, "127.0.0.1", true, tls::Reason::NameMismatch},
    };
    const std::regex date(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        TlsServer server(*row.leaf, dir.path, {"-rev"});
        tls::Stream s;
        tls::Outcome r = s.handshake(connect(server.port()), options(row.host, row.withCa ? certs.caFile : ""));
        ASSERT_EQ(r, row.reason == tls::Reason::None ? tls::Outcome::Done : tls::Outcome::Untrusted)
            << s.verification().detail;
        const tls::Verification& v = s.verification();
        EXPECT_EQ(v.reason, row.reason) << v.detail;
        EXPECT_EQ(v.certificate.sha256, testsupport::opensslFingerprint(row.leaf->certFile));
        EXPECT_EQ(v.certificate.der, testsupport::certificateDer(row.leaf->certFile));
        EXPECT_NE(v.certificate.subject.find("CN=" + std::string(row.leaf == &certs.otherName
                                                                     ? "autre.example" : "127.0.0.1")),
                  std::string::npos) << v.certificate.subject;
        EXPECT_NE(v.certificate.issuer.find(row.leaf == &certs.selfSigned ? "CN=127.0.0.1" : "CN=Velmo CA"),
                  std::string::npos) << v.certificate.issuer;
        EXPECT_TRUE(std::regex_match(v.certificate.notBefore, date)) << v.certificate.notBefore;
        EXPECT_TRUE(std::regex_match(v.certificate.notAfter, date)) << v.certificate.notAfter;
        EXPECT_LT(v.certificate.notBefore, v.certificate.notAfter);
        EXPECT_GE(s.protocol(), "TLSv1.2");
        if (row.reason == tls::Reason::None) {
            EXPECT_EQ(roundTrip(s, "bonjour\n"), "ruojnob\n");
        } else {
            // Not trusted: no byte leaves until the user says so, then the same connection works.
            EXPECT_EQ(s.sendAll("x\n", 2, 1000, nullptr), tls::IoOutcome::Error);
            EXPECT_FALSE(s.ready());
            s.trustPresentedCertificate();
            EXPECT_EQ(roundTrip(s, "merci\n"), "icrem\n");
        }
    }
}

TEST_F(TlsVerification, APinnedCertificateIsTrustedOnlyForItsOwnBytes) {
    TlsServer server(certs.selfSigned, dir.path, {"-rev"});
    tls::Options o = options("velmo.example", "");  // not even its name: the pin decides
    o.trustedCertificate = testsupport::certificateDer(certs.good.certFile);
    tls::Stream other;
    ASSERT_EQ(other.handshake(connect(server.port()), o), tls::Outcome::Untrusted);
    other.close(2000);  // s_server serves one connection at a time
    o.trustedCertificate = testsupport::certificateDer(certs.selfSigned.certFile);
    tls::Stream pinned;
    ASSERT_EQ(pinned.handshake(connect(server.port()), o), tls::Outcome::Done) << pinned.verification().detail;
    EXPECT_EQ(roundTrip(pinned, "epingle\n"), "elgnipe\n");
}

TEST_F(TlsVerification, AServerLimitedToTls11IsRefused) {
    // Debian's OpenSSL refuses TLS 1.1 at its default security level; level 0 lets the
    // server offer it, as an old server would. Such a server ends the connection on our
    // hello (it resets it: Closed) or answers with an alert (Failed); either way no stream.
    TlsServer old(certs.good, dir.path, {"-rev", "-tls1_1", "-cipher", "DEFAULT:@SECLEVEL=0"});
    tls::Stream s;
    tls::Outcome r = s.handshake(connect(old.port()), options("127.0.0.1", certs.caFile));
    EXPECT_TRUE(r == tls::Outcome::Failed || r == tls::Outcome::Closed) << static_cast<int>(r);
    EXPECT_FALSE(s.ready());
    EXPECT_EQ(s.protocol(), "");
}

TEST_F(TlsSessions, ASecondConnectionResumesTheFirstOnesSessionAndCloseSendsCloseNotify) {
    for (const char* version : {"-tls1_3", "-tls1_2"}) {
        SCOPED_TRACE(version);
        TlsServer server(certs.good, dir.path, {"-rev", version});
        tls::Stream first;
        ASSERT_EQ(first.handshake(connect(server.port()), options("127.0.0.1", certs.caFile)), tls::Outcome::Done);
        EXPECT_FALSE(first.resumed());
        EXPECT_EQ(roundTrip(first, "controle\n"), "elortnoc\n");  // TLS 1.3 tickets come with data
        tls::Session session = first.session();
        ASSERT_FALSE(session.empty());
        EXPECT_TRUE(first.close(2000));  // s_server serves one connection at a time

        tls::Options o = options("127.0.0.1", certs.caFile);
        o.resume = session;
        tls::Stream data;
        ASSERT_EQ(data.handshake(connect(server.port()), o), tls::Outcome::Done) << data.verification().detail;
        EXPECT_TRUE(data.resumed());
        EXPECT_EQ(data.verification().certificate.sha256, first.verification().certificate.sha256);
        EXPECT_EQ(roundTrip(data, "donnees\n"), "seennod\n");
        EXPECT_TRUE(data.close(2000));

        tls::Stream fresh;
        ASSERT_EQ(fresh.handshake(connect(server.port()), options("127.0.0.1", certs.caFile)), tls::Outcome::Done);
        EXPECT_FALSE(fresh.resumed());
        fresh = tls::Stream();  // dropped without close_notify
        // s_server says "unexpected eof" only for the connection that was not closed cleanly.
        std::string out;
        for (int i = 0; i < 100; ++i) {
            out = server.output();
            std::size_t closed = 0;
            for (std::size_t at = 0; (at = out.find("CONNECTION CLOSED", at)) != std::string::npos; ++at) ++closed;
            if (closed >= 3) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        std::size_t eofs = 0;
        for (std::size_t at = 0; (at = out.find("unexpected eof", at)) != std::string::npos; ++at) ++eofs;
        EXPECT_EQ(eofs, 1u) << out;
    }
}

TEST_F(TlsSessions, AResumedConnectionOffersTheKeyGroupItsServerSettledOn) {
    // A server that takes P-256 only (as vsftpd does) makes a client offering x25519 first
    // ask again: two ClientHellos for the first connection. The connection that resumes its
    // session starts with P-256 and needs one.
    TlsServer server(certs.good, dir.path, {"-rev", "-tls1_3", "-groups", "P-256", "-msg"});
    tls::Stream first;
    ASSERT_EQ(first.handshake(connect(server.port()), options("127.0.0.1", certs.caFile)), tls::Outcome::Done);
    EXPECT_EQ(roundTrip(first, "controle\n"), "elortnoc\n");
    tls::Options o = options("127.0.0.1", certs.caFile);
    o.resume = first.session();
    ASSERT_FALSE(o.resume.empty());
    EXPECT_TRUE(first.close(2000));
    tls::Stream data;
    ASSERT_EQ(data.handshake(connect(server.port()), o), tls::Outcome::Done) << data.verification().detail;
    EXPECT_TRUE(data.resumed());
    EXPECT_EQ(roundTrip(data, "donnees\n"), "seennod\n");
    EXPECT_TRUE(data.close(2000));
    const auto hellos = [&server] {
        const std::string out = server.output();
        std::size_t n = 0;
        for (std::size_t at = 0; (at = out.find(", ClientHello", at)) != std::string::npos; ++at) ++n;
        return n;
    };
    for (int i = 0; i < 100 && hellos() < 3; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(hellos(), 3u) << server.output();
}

TEST_F(TlsTimeouts, ASilentPeerCostsTheBoundAndTheAbortFlagStopsTheWait) {
    using Clock = std::chrono::steady_clock;
    net::Socket listener = net::Socket::listenOn("127.0.0.1", 0, 4);
    ASSERT_TRUE(listener.valid());
    // Connected, accepted, never answered.
    tls::Options o = options("127.0.0.1", certs.caFile);
    o.timeoutMs = 400;
    tls::Stream s;
    auto start = Clock::now();
    EXPECT_EQ(s.handshake(connect(listener.localPort()), o), tls::Outcome::TimedOut);
    auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    EXPECT_GE(took, 400);
    EXPECT_LT(took, 400 + 700);  // the bound, not a multiple of it

    std::atomic<bool> abort{false};
    o.timeoutMs = 30000;
    o.abort = &abort;
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        abort = true;
    });
    start = Clock::now();
    EXPECT_EQ(s.handshake(connect(listener.localPort()), o), tls::Outcome::Aborted);
    stopper.join();
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count(), 2000);

    // A server that says nothing after the handshake: the receive gives up after the silence.
    TlsServer quiet(certs.good, dir.path, {"-rev"});
    tls::Stream q;
    ASSERT_EQ(q.handshake(connect(quiet.port()), options("127.0.0.1", certs.caFile)), tls::Outcome::Done);
    char buf[16];
    std::size_t n = 0;
    start = Clock::now();
    EXPECT_EQ(q.receiveSome(buf, sizeof buf, n, 300, nullptr), tls::IoOutcome::TimedOut);
    took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    EXPECT_GE(took, 300);
    EXPECT_LT(took, 300 + 700);
    // A peer that is not TLS at all: closed without a word.
    net::Socket plain = net::Socket::listenOn("127.0.0.1", 0, 4);
    std::thread closer([&] {
        net::Socket c = plain.accept();
        c.close();
    });
    tls::Stream none;
    EXPECT_EQ(none.handshake(connect(plain.localPort()), options("127.0.0.1", "")), tls::Outcome::Closed);
    closer.join();
}
