// One session's encryption: AUTH TLS after the greeting under the tool's rules
// (ftp/tls_trust.h), PBSZ and PROT after the login, and the TLS of each data connection.
#include "ftp/session.h"

namespace velmo::ftp::detail {
namespace {

constexpr int closeNotifyMs = 1000;
// How long a closing data connection waits for the server to end it after our close_notify
// (it answers at once once it has read the data: on loopback well under a millisecond).
constexpr int serverEndMs = 1000;

}  // namespace

void DataConnection::handOnSession(const tls::Session& before) {
    // The next data connection resumes the newest session this one was given: a TLS 1.3
    // ticket that came on it (vsftpd gives one on each), else the session it ran on when
    // that can be resumed again (TLS 1.2); with neither it resumes what this one resumed.
    // Nothing is waited for: the close took in whatever the server sent before it ended.
    SessionHandOn& on = *handOn_;
    const tls::Session after = tls_->session();
    const tls::Session& next = after.empty() ? before : after;
    on.dataTickets = after.empty() ? SessionHandOn::Tickets::None : SessionHandOn::Tickets::Given;
    if (!next.empty()) on.next = next;
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
    readFrom_ = true;
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
    if (tls_) {
        const tls::Session before = handOn_ ? tls_->session() : tls::Session();
        // An upload's end: close_notify, then the server's own end awaited, so that a ticket
        // it sent after our last read cannot turn our close into a reset that loses the
        // end of the file. A listing or download the server has ended (or that was given
        // up while it was still sending) is not waited on.
        tls_->close(closeNotifyMs, readFrom_ ? 0 : serverEndMs);
        if (handOn_) handOnSession(before);
    }
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
    // A reply on the control connection while the handshake waits is the server refusing
    // the transfer (a 4xx or 5xx after its 150, with the data connection left unanswered):
    // the handshake gives way at once rather than after the silence limit, and the reply
    // read after it (the transfer's final one) says why.
    bool replied = false;
    options.stop = [this, &replied] { return replied = control.replyArrived(); };
    if (dc.secure(options, &dataHandOn)) return true;
    // A server that refuses may also close the data connection, ending the handshake first.
    return replied || control.replyArrived() ? false : fail(Failure::TlsFailed);
}

}  // namespace velmo::ftp::detail
