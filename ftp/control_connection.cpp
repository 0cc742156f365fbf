#include "ftp/control_connection.h"

#include <algorithm>
#include <atomic>
#include <mutex>

#include "platform/clock.h"

namespace velmo::ftp {
namespace {

// Waits are cut into slices this long so that an abort request is seen quickly.
constexpr int waitSliceMs = 50;
// How long a closing connection waits to get its TLS close_notify out.
constexpr int closeNotifyMs = 1000;

std::atomic<int> gOpenConnections{0};

std::mutex gNetworkingMutex;
bool gNetworkingStarted = false;

}  // namespace

void startNetworkingOnce() {
    std::lock_guard<std::mutex> lock(gNetworkingMutex);
    if (!gNetworkingStarted) {
        net::startNetworking();
        gNetworkingStarted = true;
    }
}

void stopStartedNetworking() {
    std::lock_guard<std::mutex> lock(gNetworkingMutex);
    if (gNetworkingStarted) {
        net::stopNetworking();
        gNetworkingStarted = false;
    }
}

int openControlConnections() { return gOpenConnections.load(); }

net::IoResult ioResultOf(tls::IoOutcome outcome) {
    switch (outcome) {
        case tls::IoOutcome::Done: return net::IoResult::Done;
        case tls::IoOutcome::TimedOut: return net::IoResult::WouldBlock;
        case tls::IoOutcome::Closed: return net::IoResult::Closed;
        case tls::IoOutcome::Aborted:
        case tls::IoOutcome::Error: break;
    }
    return net::IoResult::Error;
}

TlsStart startTls(ControlConnection& connection, bool accepted, const std::string& server, int port,
                  TlsTrust& trust, int timeoutMs) {
    if (!accepted)
        // No TLS here: plain FTP, unless this server took it before; then whoever answers
        // now is not to be given the password in clear.
        return trust.seenWithTls(server, port) ? TlsStart::Downgrade : TlsStart::Plain;
    tls::Options options;
    options.hostName = server;
    const std::string kept = trust.keptCertificate(server, port);
    options.trustedCertificate = kept;
    options.extraCaFile = trust.extraCaFile();
    options.timeoutMs = timeoutMs;
    const tls::Outcome outcome = connection.secure(options);
    if (outcome == tls::Outcome::Untrusted) {
        CertificateQuestion question{server, port, connection.verification(), false};
        question.changed = !kept.empty() && kept != question.verification.certificate.der;
        if (!trust.askAboutCertificate(question)) return TlsStart::CertificateRefused;
        connection.trustPresented();
    } else if (outcome == tls::Outcome::TimedOut) {
        return TlsStart::TimedOut;
    } else if (outcome != tls::Outcome::Done) {
        return TlsStart::Failed;
    }
    trust.rememberTls(server, port);
    return TlsStart::Encrypted;
}

bool ControlConnection::connect(const std::string& server, int port) {
    close();
    startNetworkingOnce();
    socket_ = net::Socket::connectTo(server, port);
    if (socket_.valid()) ++gOpenConnections;
    localAddress_ = socket_.localAddress();
    peerAddress_ = socket_.peerAddress();
    if (socket_.valid() && socket_.setNonBlocking(true)) return true;
    close();
    return false;
}

void ControlConnection::close() {
    if (connected()) --gOpenConnections;
    if (tls_) tls_->close(closeNotifyMs);
    tls_.reset();
    socket_.close();
    framer_.clear();
    localAddress_.clear();
    peerAddress_.clear();
}

tls::Outcome ControlConnection::secure(const tls::Options& options) {
    // Bytes the server sent after its 234 are not TLS: nothing may be left unread.
    framer_.clear();
    auto stream = std::make_unique<tls::Stream>();
    const tls::Outcome outcome = stream->handshake(std::move(socket_), options);
    tls_ = std::move(stream);
    if (outcome != tls::Outcome::Done && outcome != tls::Outcome::Untrusted) close();
    return outcome;
}

void ControlConnection::trustPresented() {
    if (tls_) tls_->trustPresentedCertificate();
}

const tls::Verification& ControlConnection::verification() const {
    static const tls::Verification none;
    return tls_ ? tls_->verification() : none;
}

tls::Session ControlConnection::tlsSession() const { return tls_ ? tls_->session() : tls::Session(); }

net::IoResult ControlConnection::receiveSome(char* buffer, std::size_t size, std::size_t& moved) {
    if (!tls_) return socket_.receiveSome(buffer, size, moved);
    // No wait here: the reply reads wait through waitReadable, in their own slices.
    return ioResultOf(tls_->receiveSome(buffer, size, moved, 0, nullptr));
}

bool ControlConnection::sendAll(const char* data, std::size_t size, int limitSeconds) {
    if (!tls_) return net::sendAll(socket_, data, size, limitSeconds);
    return tls_->sendAll(data, size, std::max(0, limitSeconds) * 1000, nullptr) == tls::IoOutcome::Done;
}

bool ControlConnection::waitReadable(int ms) { return tls_ ? tls_->waitReadable(ms) : socket_.waitReadable(ms); }

void ControlConnection::dropUnsolicited() {
    framer_.clear();
    // What is readable now was sent unasked; a server that never stops sending is left
    // to the reply read that follows.
    char scrap[ReplyFramer::BufferSize];
    std::size_t dropped = 0;
    while (connected() && dropped < ReplyAssembler::MaxBytes && waitReadable(0)) {
        std::size_t moved = 0;
        const net::IoResult r = receiveSome(scrap, sizeof scrap, moved);
        if (r == net::IoResult::Done) dropped += moved;
        else if (r == net::IoResult::WouldBlock) break;
        else close();  // the server has gone: the send would be lost
    }
}

bool ControlConnection::sendLine(const std::string& line, int limitSeconds) {
    if (!connected()) return false;
    dropUnsolicited();
    if (!connected()) return false;
    if (sendAll(line.data(), line.size(), limitSeconds)) return true;
    // Part of the line may have gone out: the server's next reply cannot be trusted.
    close();
    return false;
}

bool ControlConnection::replyArrived() {
    if (framer_.pendingLines() > 0 || framer_.holdsPartial()) return true;
    if (!connected()) return true;
    while (waitReadable(0)) {
        char buffer[ReplyFramer::BufferSize];
        std::size_t moved = 0;
        const std::size_t room = std::min(framer_.readRoom(), ReplyFramer::MaxRead);
        if (room == 0) return true;
        const net::IoResult r = receiveSome(buffer, room, moved);
        if (r == net::IoResult::WouldBlock) break;
        // The server has gone: the reply read that follows finds out at once.
        if (r != net::IoResult::Done) return true;
        framer_.feed(buffer, moved);
        if (framer_.pendingLines() > 0 || framer_.holdsPartial()) return true;
    }
    return false;
}

ReplyEnd ControlConnection::readReply(ReplyAssembler& reply, const ReplyWait& wait) {
    reply.reset();
    const std::uint64_t start = clock::tickMs();
    const auto after = [start](int ms) { return start + static_cast<std::uint64_t>(std::max(0, ms)); };
    const std::uint64_t wholeEnd = after(wait.wholeReplyMs);
    // Until the first byte the first-byte limit applies, then the quiet spell.
    std::uint64_t quietEnd = after(wait.firstByteMs);
    bool anything = false;
    std::string line;
    // Adds a line; true when the reply is decided (complete or over its limit).
    const auto add = [&reply](const std::string& l) { return reply.addLine(l) || reply.overLimit(); };
    const auto decided = [&reply] { return reply.complete() ? ReplyEnd::Complete : ReplyEnd::OverLimit; };

    for (;;) {
        while (framer_.takeLine(line)) {
            anything = true;
            if (add(line)) return decided();
        }
        if (!connected()) return anything ? ReplyEnd::EndedEarly : ReplyEnd::NoReply;
        if (wait.stop && wait.stop()) return ReplyEnd::Aborted;

        const std::uint64_t now = clock::tickMs();
        const std::uint64_t until = std::min(quietEnd, wholeEnd);
        // At least one look, even when the time is up already.
        const int slice = static_cast<int>(std::min<std::uint64_t>(until > now ? until - now : 0, waitSliceMs));
        if (waitReadable(slice)) {
            char buffer[ReplyFramer::BufferSize];
            std::size_t moved = 0;
            const std::size_t room = std::min(framer_.readRoom(), ReplyFramer::MaxRead);
            const net::IoResult r = receiveSome(buffer, room, moved);
            if (r == net::IoResult::Done && moved > 0) {
                framer_.feed(buffer, moved);
                anything = true;
                const int quiet = moved > wait.largePieceBytes ? wait.quietAfterLargePieceMs : wait.quietMs;
                quietEnd = clock::tickMs() + static_cast<std::uint64_t>(std::max(0, quiet));
                continue;
            }
            if (r == net::IoResult::WouldBlock) continue;
            // The server closed (or the connection failed): what it sent is all there is.
            const bool held = framer_.takePartial(line);
            close();
            if (held && add(line)) return decided();
            return anything || held ? ReplyEnd::EndedEarly : ReplyEnd::NoReply;
        }
        if (clock::tickMs() < until) continue;

        if (!anything) return ReplyEnd::NoReply;
        if (clock::tickMs() >= wholeEnd) {
            // Still coming after the bound: whatever follows would be taken for the
            // answer to a later command.
            close();
            return ReplyEnd::TooSlow;
        }
        // A quiet spell: a line still missing its break is over.
        if (framer_.takePartial(line) && add(line)) return decided();
        if (wait.quietEndsReply) return ReplyEnd::EndedEarly;
        quietEnd = wholeEnd;
    }
}

}  // namespace velmo::ftp
