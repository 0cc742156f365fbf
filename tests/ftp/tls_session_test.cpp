// Encrypted sessions against real servers from Debian started with TLS on 127.0.0.1
// (certificates made at test time): the login, listings and both transfer directions over
// TLS, the downgrade refusal, and the certificate question's three paths.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>
#include <string>
#include <vector>

#include "ftp/control_channel.h"
#include "ftp/ftp_session.h"
#include "platform/fs.h"
#include "tests/support/child_process.h"
#include "tests/support/ftp_peers.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/tls_certificates.h"

using namespace velmo;
using namespace velmo::testsupport;

namespace {

// The tool's side, recorded: what it remembers and how it answers the question.
struct RecordingTrust : ftp::TlsTrust {
    std::string caFile;
    bool seen = false, remembered = false, answer = false;
    std::string kept;
    std::vector<ftp::CertificateQuestion> asked;
    bool seenWithTls(const std::string&, int) override { return seen; }
    void rememberTls(const std::string&, int) override { remembered = true; }
    std::string keptCertificate(const std::string&, int) override { return kept; }
    bool askAboutCertificate(const ftp::CertificateQuestion& q) override {
        asked.push_back(q);
        return answer;
    }
    std::string extraCaFile() const override { return caFile; }
};

// VELMO_FTP_PEERS narrows the tables to some kinds for a local run.
bool underTest(PeerKind kind) {
    const auto kinds = peerKindsUnderTest();
    return std::find(kinds.begin(), kinds.end(), kind) != kinds.end();
}

struct TlsPeer {
    PeerKind kind;
    PeerOptions::Tls tls;
};

class TlsSession : public ::testing::Test {
protected:
    velmo::testing::ScratchFolder dir_;
    TlsCertificates certs_{dir_.root.string()};

    std::unique_ptr<FtpPeer> start(PeerKind kind, PeerOptions::Tls tls, const TlsLeaf& leaf) {
        PeerOptions options;
        options.tls = tls;
        options.tlsCertFile = leaf.certFile;
        options.tlsKeyFile = leaf.keyFile;
        return std::make_unique<FtpPeer>(kind, options);
    }
    static ftp::Account account(const FtpPeer& peer, std::shared_ptr<RecordingTrust> trust, bool passive = true) {
        return {peer.host(), peer.user(), peer.password(), passive, peer.port(), std::move(trust)};
    }
    static bool userWasSent(const FtpPeer& peer) {
        const auto commands = peer.receivedCommands();
        return std::any_of(commands.begin(), commands.end(),
                           [](const std::string& c) { return c.rfind("USER", 0) == 0; });
    }
};

// Login, a listing, an upload and its download back, in passive and active mode, each data
// connection resuming the control connection's session (vsftpd refuses any that does not).
TEST_F(TlsSession, EverythingGoesEncryptedOnServersThatOfferOrRequireTls) {
    const std::string data(200 * 1024 + 17, 'v');
    const std::string local = dir_.file("envoi.bin"), back = dir_.file("retour.bin");
    ASSERT_TRUE(fs::replaceFileContents(local, data));
    const std::string small = dir_.file("court.txt");
    ASSERT_TRUE(fs::replaceFileContents(small, "livre d'or\n"));
    for (TlsPeer p : {TlsPeer{PeerKind::Vsftpd, PeerOptions::Tls::Required},
                      TlsPeer{PeerKind::Vsftpd, PeerOptions::Tls::Offered},
                      TlsPeer{PeerKind::PureFtpd, PeerOptions::Tls::Required},
                      TlsPeer{PeerKind::PureFtpd, PeerOptions::Tls::Offered},
                      TlsPeer{PeerKind::Proftpd, PeerOptions::Tls::Required},
                      TlsPeer{PeerKind::Proftpd, PeerOptions::Tls::Offered},
                      TlsPeer{PeerKind::Pyftpdlib, PeerOptions::Tls::Required},
                      TlsPeer{PeerKind::Pyftpdlib, PeerOptions::Tls::Offered}}) {
        if (!underTest(p.kind)) continue;
        for (bool passive : {true, false}) {
            SCOPED_TRACE(std::string(peerKindName(p.kind)) + (p.tls == PeerOptions::Tls::Required ? " required" : " offered") +
                         (passive ? " passive" : " active"));
            auto peer = start(p.kind, p.tls, certs_.good);
            auto trust = std::make_shared<RecordingTrust>();
            trust->caFile = certs_.caFile;
            ftp::Session session;
            ASSERT_EQ(session.open(account(*peer, trust, passive)), ftp::Result{});
            EXPECT_TRUE(session.encrypted());
            EXPECT_TRUE(trust->remembered);
            EXPECT_TRUE(trust->asked.empty());
            EXPECT_EQ(session.sendFile(local, "envoi.bin"), ftp::Result{});
            EXPECT_EQ(session.listDirectory(), ftp::Result{});
            bool listed = false;
            while (session.nextEntry()) listed = listed || session.entryName() == "envoi.bin";
            EXPECT_TRUE(listed);
            EXPECT_EQ(session.receiveFile("envoi.bin", back), ftp::Result{});
            std::string got;
            EXPECT_TRUE(fs::readWholeFile(back, got));
            EXPECT_TRUE(got == data) << got.size();
            // Short files in a row: each data connection must hand on a session the
            // next may resume, even when it ended before the server's ticket came.
            for (int i = 0; i < 4; ++i) EXPECT_EQ(session.sendFile(small, "court.txt"), ftp::Result{}) << i;
            EXPECT_TRUE(session.isAlive());
            if (::testing::Test::HasFailure()) ADD_FAILURE() << peer->serverOutput();
        }
    }
}

using Clock = std::chrono::steady_clock;
long long msSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// A refused download over TLS (RETR of a missing file) reports the server's 550 and leaves
// the session usable, on every server and in both modes: the refusal comes instead of the
// 150, before any data handshake, on all four. Then short uploads in a row, each ending
// whole on the server, and at no stall's cost: every data connection resumes without
// waiting for a ticket, and the client's trusted CAs are not read again for each one.
TEST_F(TlsSession, RefusalsAndShortUploadsInARowKeepTheSessionAndCostNoStall) {
    const std::string small = dir_.file("court.txt");
    ASSERT_TRUE(fs::replaceFileContents(small, "livre d'or\n"));
    constexpr int uploads = 20;
    // Well above the few milliseconds one takes on loopback; far below what a wait for a
    // ticket (seconds) or the CA bundle read again for each (tens of milliseconds) costs.
    constexpr long long uploadsLimitMs = 1500;
    for (PeerKind kind : peerKindsUnderTest()) {
        for (bool passive : {true, false}) {
            SCOPED_TRACE(std::string(peerKindName(kind)) + (passive ? " passive" : " active"));
            auto peer = start(kind, PeerOptions::Tls::Required, certs_.good);
            auto trust = std::make_shared<RecordingTrust>();
            trust->caFile = certs_.caFile;
            ftp::Session session;
            ASSERT_EQ(session.open(account(*peer, trust, passive)), ftp::Result{});
            const auto refusedAt = Clock::now();
            EXPECT_EQ(session.receiveFile("absent.bin", dir_.file("absent.bin")),
                      (ftp::Result{ftp::Failure::Refused, 550}));
            EXPECT_LT(msSince(refusedAt), 3000);
            EXPECT_TRUE(session.isAlive());
            const auto sentAt = Clock::now();
            for (int i = 0; i < uploads; ++i)
                EXPECT_EQ(session.sendFile(small, "f" + std::to_string(i) + ".txt"), ftp::Result{}) << i;
            EXPECT_LT(msSince(sentAt), uploadsLimitMs);
            for (int i = 0; i < uploads; ++i) {
                std::string stored;
                EXPECT_TRUE(fs::readWholeFile(peer->home() + "/f" + std::to_string(i) + ".txt", stored) &&
                            stored == "livre d'or\n") << i;
            }
            EXPECT_TRUE(session.isAlive());
            if (::testing::Test::HasFailure()) ADD_FAILURE() << peer->serverOutput();
        }
    }
}

// A server that answers 150 and then, while the client sits in the data handshake, refuses
// with 550 and leaves the data connection silent: the client gives up the handshake at
// once (not after the silence limit), reports the 550 and the session goes on.
TEST_F(TlsSession, ARefusalDuringTheDataHandshakeEndsItAtOnce) {
    const std::string user = "velmo", password = "secret";
    ChildProcess server;
    const std::string output = dir_.file("refusing.txt");
    server.start({"/usr/bin/python3", VELMO_REFUSING_TLS_FTP, "--cert", certs_.good.certFile, "--key",
                  certs_.good.keyFile, "--user", user, "--password", password},
                 output);
    int port = 0;
    for (int i = 0; i < 200 && port == 0 && server.running(); ++i) {
        const std::string text = server.output();
        const std::size_t at = text.find("ready port=");
        if (at != std::string::npos) port = std::atoi(text.c_str() + at + 11);
        else std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    ASSERT_GT(port, 0) << server.output();
    const int silence = ftp::silenceLimitMs();
    ftp::setSilenceLimitMs(8000);
    auto trust = std::make_shared<RecordingTrust>();
    trust->caFile = certs_.caFile;
    ftp::Session session;
    ASSERT_EQ(session.open({"127.0.0.1", user, password, true, port, trust}), ftp::Result{}) << server.output();
    const auto start = Clock::now();
    EXPECT_EQ(session.receiveFile("livre.zip", dir_.file("livre.zip")), (ftp::Result{ftp::Failure::Refused, 550}));
    EXPECT_LT(msSince(start), 3000);
    EXPECT_TRUE(session.isAlive());
    EXPECT_EQ(session.currentDirectory(), "/");
    ftp::setSilenceLimitMs(silence);
    if (::testing::Test::HasFailure()) ADD_FAILURE() << server.output();
}

// A server that does not answer AUTH TLS is used in clear, unless it took TLS before: then
// the password is not sent to whoever answers now.
TEST_F(TlsSession, ARefusalIsPlainFtpUnlessTheServerWasSeenWithTls) {
    for (bool seenBefore : {false, true}) {
        SCOPED_TRACE(seenBefore ? "seen with TLS before" : "never seen with TLS");
        auto peer = start(PeerKind::Vsftpd, PeerOptions::Tls::Off, certs_.good);
        auto trust = std::make_shared<RecordingTrust>();
        trust->seen = seenBefore;
        ftp::Session session;
        const ftp::Result r = session.open(account(*peer, trust));
        EXPECT_EQ(r.failure, seenBefore ? ftp::Failure::TlsDowngrade : ftp::Failure::None);
        EXPECT_FALSE(session.encrypted());
        EXPECT_EQ(userWasSent(*peer), !seenBefore);
        EXPECT_FALSE(trust->remembered);
    }
}

// A certificate the system does not trust is put to the user once per connection: No ends
// the attempt before the login, Yes logs in on the same connection, a kept certificate
// with the same bytes asks nothing, and another one asks again, saying it changed.
TEST_F(TlsSession, AnUntrustedCertificateIsAskedAboutAndTheAnswerHolds) {
    const std::string der = certificateDer(certs_.selfSigned.certFile);
    const std::string fingerprint = opensslFingerprint(certs_.selfSigned.certFile);
    struct Row {
        const char* what;
        std::string kept;
        bool answer;
        std::size_t questions;
        bool changed;
        ftp::Failure failure;
    } rows[] = {
        {"unknown, refused", "", false, 1, false, ftp::Failure::CertificateRefused},
        {"unknown, trusted", "", true, 1, false, ftp::Failure::None},
        {"kept, same bytes", der, false, 0, false, ftp::Failure::None},
        {"kept, another certificate shown", certificateDer(certs_.good.certFile), true, 1, true, ftp::Failure::None},
    };
    auto peer = start(PeerKind::Vsftpd, PeerOptions::Tls::Required, certs_.selfSigned);
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        auto trust = std::make_shared<RecordingTrust>();
        trust->kept = r.kept;
        trust->answer = r.answer;
        ftp::Session session;
        EXPECT_EQ(session.open(account(*peer, trust)).failure, r.failure);
        ASSERT_EQ(trust->asked.size(), r.questions);
        EXPECT_EQ(session.encrypted(), r.failure == ftp::Failure::None);
        if (r.questions == 0) continue;
        const ftp::CertificateQuestion& q = trust->asked[0];
        EXPECT_EQ(q.host, peer->host());
        EXPECT_EQ(q.port, peer->port());
        EXPECT_EQ(q.changed, r.changed);
        EXPECT_EQ(q.verification.reason, tls::Reason::Untrusted);
        EXPECT_EQ(q.verification.certificate.sha256, fingerprint);
        EXPECT_EQ(q.verification.certificate.der, der);
        if (r.answer) {
            EXPECT_EQ(session.listDirectory(), ftp::Result{});
        }
    }
}

// Refused: nothing after the handshake reached the server.
TEST_F(TlsSession, ARefusedCertificateSendsNoLogin) {
    auto peer = start(PeerKind::Vsftpd, PeerOptions::Tls::Required, certs_.selfSigned);
    auto trust = std::make_shared<RecordingTrust>();
    ftp::Session session;
    EXPECT_EQ(session.open(account(*peer, trust)).failure, ftp::Failure::CertificateRefused);
    EXPECT_FALSE(userWasSent(*peer));
}

// The permission client makes a connection of its own: on a server that takes logins only
// encrypted it logs in and changes a mode with the rules, is refused without them, and it
// never logs in to a server that used to take TLS and now refuses it.
TEST_F(TlsSession, ThePermissionChannelLogsInEncryptedUnderTheSameRules) {
    auto peer = start(PeerKind::Vsftpd, PeerOptions::Tls::Required, certs_.good);
    auto trust = std::make_shared<RecordingTrust>();
    trust->caFile = certs_.caFile;
    {
        ftp::Session session;
        ASSERT_EQ(session.open(account(*peer, trust)), ftp::Result{});
        ASSERT_TRUE(fs::replaceFileContents(dir_.file("droits.txt"), "x"));
        ASSERT_EQ(session.sendFile(dir_.file("droits.txt"), "droits.txt"), ftp::Result{});
    }
    for (bool withRules : {true, false}) {
        SCOPED_TRACE(withRules ? "with the rules" : "without them");
        ftp::ControlChannel channel(5000);
        ASSERT_TRUE(channel.connect(peer->host(), peer->port(), withRules ? trust : nullptr));
        EXPECT_EQ(channel.login(peer->user(), peer->password()),
                  withRules ? ftp::CommandAccepted : ftp::CommandRejected);
        if (withRules) {
            EXPECT_EQ(channel.chmod("droits.txt", "640"), ftp::CommandAccepted) << channel.lastReply();
        }
    }
    auto plain = start(PeerKind::Vsftpd, PeerOptions::Tls::Off, certs_.good);
    auto seen = std::make_shared<RecordingTrust>();
    seen->seen = true;
    ftp::ControlChannel channel(5000);
    EXPECT_FALSE(channel.connect(plain->host(), plain->port(), seen));
    EXPECT_FALSE(userWasSent(*plain));
}

}  // namespace
