// One session's encryption: AUTH TLS after the greeting under the tool's rules
// (ftp/tls_trust.h), PBSZ and PROT after the login, and the TLS of each data connection.
#include <algorithm>

#include "ftp/session.h"
#include "platform/clock.h"

namespace velmo::ftp::detail {
namespace {

constexpr int closeNotifyMs = 1000;
// How long a closing data connection waits for the server's TLS 1.3 ticket.
constexpr std::uint64_t ticketWaitMs = 2000;

}  // namespace

void DataConnection::handOnSession() {
    // With TLS 1.3 the server sends its tickets once our side of the handshake is done:
    // a short upload can be over before they come, and an upload never reads them. A server
    // may let a session be resumed only once (vsftpd), so a ticket this connection was given
    // is waited for; a server that gives none on data connections is learnt from the first
    // one and not waited for again (it lets the same session be resumed again).
    SessionHandOn& on = *handOn_;
    const bool wait = tls_->protocol() == "TLSv1.3" && on.dataTickets != SessionHandOn::Tickets::None;
    const std::uint64_t end = clock::tickMs() + (wait ? ticketWaitMs : 0);
    for (;;) {
        char scrap[256];
        std::size_t moved = 0;
        tls_->receiveSome(scrap, sizeof scrap, moved, 0, nullptr);
        tls::Session next = tls_->session();
        if (!next.empty()) {
            on.next = next;
            on.dataTickets = SessionHandOn::Tickets::Given;
            return;
        }
        if (clock::tickMs() >= end) break;
        tls_->waitReadable(static_cast<int>(std::min<std::uint64_t>(end - clock::tickMs(), 50)));
    }
    if (wait && on.dataTickets == SessionHandOn::Tickets::Unknown) on.dataTickets = SessionHandOn::Tickets::None;
}

bool DataConnection::secure(const tls::Options& options, SessionHandOn* handOn) {
    auto stream = std::make_unique<tls::Stream>();
    const tls::Outcome outcome = stream->handshake(std::move(socket_), options);
    if (outcome != tls::Outcome::Done) return false;
    tls_ = std::move(stream);
    handOn_ = handOn;
    return true;
}

net::IoResult DataConnection::receiveSome(char* buffer, std::size_t size, std::size_t& moved) {
    if (!tls_) return socket_.receiveSome(buffer, size, moved);
    // No wait here: the data reads wait through waitReadable, in their own slices.
    return ioResultOf(tls_->receiveSome(buffer, size, moved, 0, nullptr));
}

net::IoResult DataConnection::sendSome(const char* data, std::size_t size, std::size_t& moved) {
    if (!tls_) return socket_.sendSome(data, size, moved);
    // The silence bound is the caller's (sendData, which asks the watch between tries), so
    // the stream is given a short one and a full socket counts as "not yet": the call again
    // with the same bytes carries on where this one stopped (platform/tls.h).
    moved = 0;
    const net::IoResult r = ioResultOf(tls_->sendAll(data, size, 50, nullptr));
    if (r == net::IoResult::Done) moved = size;
    return r;
}

bool DataConnection::waitReadable(int ms) { return tls_ ? tls_->waitReadable(ms) : socket_.waitReadable(ms); }

bool DataConnection::waitWritable(int ms) { return tls_ ? true : socket_.waitWritable(ms); }

void DataConnection::close() {
    if (tls_ && handOn_) handOnSession();
    if (tls_) tls_->close(closeNotifyMs);
    tls_.reset();
    socket_.close();
    listener.close();
}

bool SessionState::negotiateTls(const std::string& server, int port, TlsTrust& trust) {
    ReplyAssembler reply;
    if (!sendLine("AUTH TLS\r\n") || !readReply(reply, false)) return false;
    const bool accepted = reply.firstLine().rfind("234", 0) == 0;
    switch (startTls(control, accepted, server, port, trust, silenceLimitMs())) {
        case TlsStart::Plain: return true;
        case TlsStart::Encrypted: tlsHost = server; return true;
        case TlsStart::Downgrade: return fail(Failure::TlsDowngrade);
        case TlsStart::CertificateRefused: return fail(Failure::CertificateRefused);
        case TlsStart::TimedOut: return fail(Failure::TimedOut);
        case TlsStart::Failed: break;
    }
    return fail(Failure::TlsFailed);
}

bool SessionState::protectDataConnections() {
    if (!control.secured()) return true;
    if (!exchange("PBSZ 0\r\n", "200") || !exchange("PROT P\r\n", "200")) return false;
    protectData = true;
    dataHandOn = SessionHandOn{};
    return true;
}

bool SessionState::secureData(DataConnection& dc) {
    if (!protectData) return true;
    tls::Options options;
    options.hostName = tlsHost;
    // The control connection's certificate, as judged (or trusted by the user) at login.
    options.trustedCertificate = control.verification().certificate.der;
    options.resume = dataHandOn.next.empty() ? control.tlsSession() : dataHandOn.next;
    options.timeoutMs = silenceLimitMs();
    if (dc.secure(options, &dataHandOn)) return true;
    return fail(Failure::TlsFailed);
}

}  // namespace velmo::ftp::detail
