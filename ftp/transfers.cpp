// One session's listings and file transfers: the command sequence, the data, and the
// final reply that decides.
#include <vector>

#include "ftp/session.h"
#include "ftp/wire_text.h"
#include "platform/clock.h"
#include "platform/fs.h"

namespace velmo::ftp::detail {
namespace {

constexpr std::size_t transferChunk = 4096;
constexpr int portBacklog = 100;
// How long the server's reply to a download given up midway is waited for.
constexpr int givenUpReplyMs = 3000;

}  // namespace

bool SessionState::beginTransfer(DataConnection& dc, const std::string& typeLine, const std::string& transferLine,
                            bool watchAbort) {
    if (!exchange(typeLine, "200", nullptr, watchAbort) || !openData(dc, watchAbort) ||
        !exchange(transferLine, "125;150", nullptr, watchAbort)) {
        // (A refused PASV, PORT or transfer command: the reason is recorded.)
        dc.close();
        return false;
    }
    if (!acceptData(dc, watchAbort) || !secureData(dc)) {
        // The server has answered (or will answer) the transfer command: read it so the
        // next command gets its own reply.
        dc.close();
        readCompletion(watchAbort);
        return false;
    }
    return true;
}

bool SessionState::runList(ListingParser& parser) {
    std::string typeLine, listLine;
    commandLine("TYPE", "A", typeLine);
    commandLine("LIST", listLine);
    DataConnection dc;
    if (!beginTransfer(dc, typeLine, listLine, false)) return false;
    char chunk[ListingParser::MaxChunk];
    DataRead end = DataRead::Data;
    while (parser.room() > 0) {
        std::size_t got = 0;
        end = readData(dc, chunk, parser.room(), got, false);
        if (end != DataRead::Data) break;
        parser.feed(chunk, got);
    }
    dc.close();
    if (parser.ended()) fail(Failure::ListingTooLarge);
    else if (end == DataRead::Stalled) fail(Failure::TimedOut);
    else if (end == DataRead::Broken) fail(Failure::ConnectionLost);
    else if (end == DataRead::Data) fail(Failure::ListingTooLarge);  // no room left
    const bool completed = readCompletion(false);
    // A listing counts only when the server closed the data connection after all of it,
    // the parser took every line, and the final reply says the transfer completed: a
    // stalled, cut or refused listing would show a folder that is not what the server holds.
    return end == DataRead::End && !parser.ended() && completed;
}

bool SessionState::runSend(const std::string& localPath, const std::string& remoteName, bool pwdFirst,
                           const std::vector<std::string>& folders, const std::string& from) {
    std::string pwdLine, typeLine, storLine;
    commandLine("PWD", pwdLine);
    commandLine("TYPE", "I", typeLine);
    if (!commandLine("STOR", remoteName, storLine)) return fail(Failure::BadArgument);
    std::vector<std::string> cwdLines(folders.size());
    for (std::size_t i = 0; i < folders.size(); ++i) {
        bool made = true;
        if (folders[i] == "..") commandLine("CDUP", cwdLines[i]);
        else made = commandLine("CWD", folders[i], cwdLines[i]);
        if (!made) return fail(Failure::BadArgument);
    }
    std::string restartLine;
    if (!folders.empty() && !commandLine("CWD", from, restartLine)) return fail(Failure::BadArgument);
    fs::File file;
    if (!file.open(localPath, fs::File::Mode::Read)) return fail(Failure::LocalFile);
    DataConnection dc;

    // PWD, TYPE I and PASV (or PORT) need no answer before the next can go: they travel
    // together (sendCommands), their replies checked in order as if sent one at a time.
    std::string pwdReply, pasvReply, dataLine;
    if (passive) {
        commandLine("PASV", dataLine);
    } else {
        const std::string address = control.localAddress();
        dc.listener = net::Socket::listenOn(address, 0, portBacklog);
        if (!dc.listener.valid()) return fail(Failure::DataConnectionFailed);
        const std::string argument = formatPortArgument(address, dc.listener.localPort());
        if (argument.empty() || !commandLine("PORT", argument, dataLine)) return fail(Failure::DataConnectionFailed);
    }
    std::vector<Batched> commands;
    if (pwdFirst) commands.push_back({pwdLine, "257", &pwdReply, false});
    for (const std::string& cwd : cwdLines) commands.push_back({cwd, "250", nullptr, true, false});
    commands.push_back({typeLine, "200", nullptr, true});
    commands.push_back({dataLine, passive ? "227" : "200", passive ? &pasvReply : nullptr, true});
    if (!sendCommands(commands, true, restartLine)) {
        dc.close();
        return false;
    }

    std::vector<char> chunk(transferChunk);
    std::size_t pending = 0, offset = 0;  // bytes of `chunk` read from the file, and sent of them
    bool sent = false;                    // the whole file is on its way
    std::int64_t early = 0;               // sent before the server's first reply to STOR
    if (passive) {
        std::string named;
        int port = 0;
        if (!parsePasvReply(pasvReply, named, port)) return fail(Failure::BadReply);
        // Only the port is taken from the reply: the data goes to the server this session
        // talks to, never to another host a hostile server (or one behind NAT) names.
        const std::string host = control.peerAddress();
        if (host.empty()) return fail(Failure::ConnectionLost);
        // STOR leaves before the connection is made, so the server's answer and the
        // connection's handshake take the same round trip (a server reads STOR and then
        // waits for the connection its PASV announced).
        if (!sendLine(storLine)) return false;
        if (!dc.attach(net::Socket::connectTo(host, port))) {
            // A server that refuses STOR may close the port its PASV named before the
            // connection reaches it (proftpd): its answer is the reason, and the session
            // goes on. Otherwise it waits for this connection before it answers STOR, maybe
            // for minutes: the two sides are out of step, and the connection is given up.
            if (readRefusal(givenUpReplyMs)) return false;
            loseConnection();
            return fail(Failure::DataConnectionFailed);
        }
        if (!protectData) {
            // The bytes go as far as the connection takes them without waiting: the server
            // reads them once it has answered STOR. (A protected connection's handshake
            // comes after that answer, so its data waits for it.)
            while (!sent && !stopRequested()) {
                if (offset == pending) {
                    pending = file.read(chunk.data(), chunk.size());
                    offset = 0;
                    if (pending == 0) {
                        sent = true;
                        break;
                    }
                }
                std::size_t moved = 0;
                const net::IoResult r = dc.sendSome(chunk.data() + offset, pending - offset, moved);
                if (r != net::IoResult::Done) break;  // full (or broken: the send below tells)
                if (moved == 0) break;
                offset += moved;
                early += static_cast<std::int64_t>(moved);
            }
            // All of it went: its end goes with it, so the server can store the file and
            // answer without waiting for our word after its 150.
            if (sent) dc.close();
        }
        if (!expect("125;150", nullptr, true)) {
            dc.close();
            return false;
        }
    } else if (!exchange(storLine, "125;150", nullptr, true)) {
        dc.close();
        return false;
    }
    if (!acceptData(dc, true) || !secureData(dc)) {
        // The server has answered (or will answer) the transfer command: read it so the
        // next command gets its own reply.
        dc.close();
        readCompletion(true);
        return false;
    }
    // What went before the server's answer counts as moved once it accepted the transfer.
    moved += early;
    bool broken = false;
    if (offset < pending) {
        broken = !sendData(dc, chunk.data() + offset, pending - offset);
        if (!broken) moved += static_cast<std::int64_t>(pending - offset);
    }
    while (!sent && !broken && !stopRequested()) {
        const std::size_t n = file.read(chunk.data(), chunk.size());
        if (n == 0) {
            sent = true;
            break;
        }
        if (!sendData(dc, chunk.data(), n)) break;
        moved += static_cast<std::int64_t>(n);
    }
    if (stopAsked) {
        sent = false;
        fail(Failure::Aborted);
    }
    dc.close();
    stopRequested(true);  // the data has ended: the final count
    // The data connection alone cannot tell a stored file from one the server cut
    // short or refused (426, 451, 452, 552): its final reply decides.
    const bool completed = readCompletion(true);
    file.close();
    return sent && completed;
}

bool SessionState::runReceive(const std::string& remoteName, const std::string& localPath, const ReceiveBounds& bounds) {
    std::string typeLine, retrLine;
    commandLine("TYPE", "I", typeLine);
    if (!commandLine("RETR", remoteName, retrLine)) return fail(Failure::BadArgument);
    struct DeadlineScope {
        std::uint64_t& tick;
        ~DeadlineScope() { tick = 0; }
    } scope{readDeadline};
    readDeadline = bounds.deadlineMs > 0 ? clock::tickMs() + static_cast<std::uint64_t>(bounds.deadlineMs) : 0;
    DataConnection dc;
    if (!beginTransfer(dc, typeLine, retrLine, true)) return false;
    fs::File file;
    if (!file.open(localPath, fs::File::Mode::CreateReadWrite)) {
        fail(Failure::LocalFile);
        dc.close();
        readCompletion(true);
        return false;
    }
    DataRead end = DataRead::Data;
    bool kept = true;
    std::int64_t total = 0;
    std::vector<char> chunk(transferChunk);
    for (;;) {
        std::size_t got = 0;
        end = readData(dc, chunk.data(), chunk.size(), got, true);
        if (end != DataRead::Data) break;
        total += static_cast<std::int64_t>(got);
        // More than the caller allows: the rest is not even read, let alone written.
        if (bounds.maxBytes > 0 && total > bounds.maxBytes) {
            kept = fail(Failure::TooLarge);
            break;
        }
        if (!file.write(chunk.data(), got)) {
            kept = fail(Failure::LocalFile);
            break;
        }
        moved += static_cast<std::int64_t>(got);
    }
    file.close();
    dc.close();
    if (end == DataRead::Aborted) fail(Failure::Aborted);
    else if (end == DataRead::Stalled) fail(Failure::TimedOut);
    else if (end == DataRead::Broken) fail(Failure::ConnectionLost);
    stopRequested(true);  // the data has ended: the final count
    if (!kept) {
        // Given up while the server was still sending: some servers answer at once (426),
        // others never do. A short wait for that answer, then the connection is given up
        // rather than the caller held for the whole silence limit.
        readCompletion(true, givenUpReplyMs);
        return false;
    }
    if (end != DataRead::End) {
        // Over time: the deadline has passed, and the server's word is not waited for.
        if (readDeadline != 0 && clock::tickMs() >= readDeadline) {
            loseConnection();
            return false;
        }
        readCompletion(true);
        return false;
    }
    return readCompletion(true);
}

}  // namespace velmo::ftp::detail
