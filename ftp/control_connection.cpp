#include "ftp/control_connection.h"

#include <algorithm>
#include <atomic>
#include <mutex>

#include "platform/clock.h"

namespace velmo::ftp {
namespace {

// Waits are cut into slices this long so that an abort request is seen quickly.
constexpr int waitSliceMs = 50;

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

bool ControlConnection::connect(const std::string& server, int port) {
    close();
    startNetworkingOnce();
    socket_ = net::Socket::connectTo(server, port);
    if (socket_.valid()) ++gOpenConnections;
    if (socket_.valid() && socket_.setNonBlocking(true)) return true;
    close();
    return false;
}

void ControlConnection::close() {
    if (socket_.valid()) --gOpenConnections;
    socket_.close();
    framer_.clear();
}

net::IoResult ControlConnection::receiveSome(char* buffer, std::size_t size, std::size_t& moved) {
    return socket_.receiveSome(buffer, size, moved);
}

bool ControlConnection::sendAll(const char* data, std::size_t size, int limitSeconds) {
    return net::sendAll(socket_, data, size, limitSeconds);
}

bool ControlConnection::waitReadable(int ms) { return socket_.waitReadable(ms); }

void ControlConnection::dropUnsolicited() {
    framer_.clear();
    // What is readable now was sent unasked; a server that never stops sending is left
    // to the reply read that follows.
    char scrap[ReplyFramer::BufferSize];
    std::size_t dropped = 0;
    while (socket_.valid() && dropped < ReplyAssembler::MaxBytes && waitReadable(0)) {
        std::size_t moved = 0;
        const net::IoResult r = receiveSome(scrap, sizeof scrap, moved);
        if (r == net::IoResult::Done) dropped += moved;
        else if (r == net::IoResult::WouldBlock) break;
        else close();  // the server has gone: the send would be lost
    }
}

bool ControlConnection::sendLine(const std::string& line, int limitSeconds) {
    if (!socket_.valid()) return false;
    dropUnsolicited();
    if (!socket_.valid()) return false;
    if (sendAll(line.data(), line.size(), limitSeconds)) return true;
    // Part of the line may have gone out: the server's next reply cannot be trusted.
    close();
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
        if (!socket_.valid()) return anything ? ReplyEnd::EndedEarly : ReplyEnd::NoReply;
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
