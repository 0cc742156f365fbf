// One session's data connections: PASV or PORT, the server's connection in active mode,
// and reads and sends on the data connection.
#include <algorithm>
#include <functional>

#include "ftp/session.h"
#include "ftp/wire_text.h"
#include "platform/clock.h"

namespace velmo::ftp::detail {
namespace {

constexpr int dataSendLimitSeconds = 5000;
constexpr int activeWaitMs = 30000;
constexpr int acceptProbeMs = 100;
constexpr int ioStepMs = 50;
constexpr int portBacklog = 100;

// Waits until the data connection has bytes (or is closed), at most the silence limit and
// never past `deadline` (a monotonic tick; 0 for none); `stop`, when given and true, ends
// the wait too.
bool waitForBytes(DataConnection& dc, const std::function<bool()>& stop, std::uint64_t deadline) {
    const std::uint64_t start = clock::tickMs();
    std::uint64_t limit = static_cast<std::uint64_t>(std::max(0, silenceLimitMs()));
    if (deadline != 0) limit = deadline > start ? std::min(limit, deadline - start) : 0;
    for (;;) {
        if (stop && stop()) return false;
        const std::uint64_t spent = clock::tickMs() - start;
        if (spent >= limit) return false;
        const int step = static_cast<int>(std::min<std::uint64_t>(ioStepMs, limit - spent));
        if (dc.waitReadable(step)) return true;
    }
}

}  // namespace

bool DataConnection::attach(net::Socket socket) {
    socket_ = std::move(socket);
    return socket_.valid() && socket_.setNonBlocking(true);
}

bool SessionState::openData(DataConnection& dc, bool watchAbort) {
    if (passive) {
        std::string pasvLine, reply;
        commandLine("PASV", pasvLine);
        if (!exchange(pasvLine, "227", &reply, watchAbort)) return false;
        std::string named;
        int port = 0;
        if (!parsePasvReply(reply, named, port)) return fail(Failure::BadReply);
        // Only the port is taken from the reply: the data goes to the server this session
        // talks to, never to another host a hostile server (or one behind NAT) names.
        const std::string host = control.peerAddress();
        if (host.empty()) return fail(Failure::ConnectionLost);
        if (!dc.attach(net::Socket::connectTo(host, port))) return fail(Failure::DataConnectionFailed);
        return true;
    }
    const std::string address = control.localAddress();
    dc.listener = net::Socket::listenOn(address, 0, portBacklog);
    if (!dc.listener.valid()) return fail(Failure::DataConnectionFailed);
    const std::string argument = formatPortArgument(address, dc.listener.localPort());
    std::string portLine;
    if (argument.empty() || !commandLine("PORT", argument, portLine)) return fail(Failure::DataConnectionFailed);
    return exchange(portLine, "200", nullptr, watchAbort);
}

bool SessionState::acceptData(DataConnection& dc, bool watchAbort) {
    if (passive) return true;
    // Only the server this session talks to may deliver or take the data: anyone else
    // who reaches the listening port first (another host, another user of the machine)
    // is turned away, and the wait for the server goes on within the same limit.
    const std::string server = control.peerAddress();
    if (server.empty()) return fail(Failure::ConnectionLost);
    const std::uint64_t start = clock::tickMs();
    for (;;) {
        for (;;) {
            if (watchAbort && stopRequested()) return fail(Failure::Aborted);
            if (dc.listener.waitReadable(acceptProbeMs)) break;
            if (clock::tickMs() - start >= static_cast<std::uint64_t>(activeWaitMs))
                return fail(Failure::DataConnectionFailed);
        }
        net::Socket caller = dc.listener.accept();
        if (caller.valid() && caller.peerAddress() == server) {
            if (!dc.attach(std::move(caller))) return fail(Failure::DataConnectionFailed);
            break;
        }
        caller.close();
        if (clock::tickMs() - start >= static_cast<std::uint64_t>(activeWaitMs))
            return fail(Failure::DataConnectionFailed);
    }
    const std::uint64_t probeStart = clock::tickMs();
    while (!dc.waitWritable(ioStepMs)) {
        if (clock::tickMs() - probeStart >= static_cast<std::uint64_t>(activeWaitMs)) break;
    }
    return true;
}

DataRead SessionState::readData(DataConnection& dc, char* buffer, std::size_t size, std::size_t& got,
                                bool watchAbort) {
    std::function<bool()> stop;
    if (watchAbort) stop = [this] { return stopRequested(); };
    got = 0;
    for (;;) {
        if (stop && stop()) return DataRead::Aborted;
        if (readDeadline != 0 && clock::tickMs() >= readDeadline) return DataRead::Stalled;
        const net::IoResult r = dc.receiveSome(buffer, size, got);
        if (r == net::IoResult::Done) return DataRead::Data;
        if (r == net::IoResult::Closed) return DataRead::End;
        // A reset connection may have lost data: that is no end of it.
        if (r == net::IoResult::Error) return DataRead::Broken;
        if (!waitForBytes(dc, stop, readDeadline)) return stopAsked ? DataRead::Aborted : DataRead::Stalled;
    }
}

bool SessionState::sendData(DataConnection& dc, const char* data, std::size_t size) {
    // Two bounds, both on the monotonic clock (a wall clock set back would stretch them):
    // the silence limit, restarted by every byte the peer takes, so that a server that
    // stopped reading fails the send instead of holding the tool for hours; and the long
    // outer limit for the whole chunk, so that a peer taking a byte now and then cannot
    // stretch it without end either.
    const std::uint64_t start = clock::tickMs();
    const std::uint64_t outerLimit = static_cast<std::uint64_t>(dataSendLimitSeconds) * 1000;
    std::uint64_t lastProgress = start;
    while (size > 0) {
        if (stopRequested()) return fail(Failure::Aborted);
        std::size_t moved = 0;
        const net::IoResult r = dc.sendSome(data, size, moved);
        if (r == net::IoResult::Done) {
            data += moved;
            size -= moved;
            lastProgress = clock::tickMs();
            continue;
        }
        if (r != net::IoResult::WouldBlock) return fail(Failure::ConnectionLost);
        const std::uint64_t now = clock::tickMs();
        const std::uint64_t silence = static_cast<std::uint64_t>(std::max(0, silenceLimitMs()));
        if (now - lastProgress >= silence || now - start >= outerLimit) return fail(Failure::TimedOut);
        dc.waitWritable(ioStepMs);
    }
    return true;
}

}  // namespace velmo::ftp::detail
