// The FTP session layer: see ftp_session.h for the contract.
//
// Threads: every operation on a session holds its operation lock while it talks on the
// control connection, so a background send (which holds it for the whole transfer) and a
// careless caller cannot interleave commands. The transfer status and the abort request
// are atomics: the starter of a background transfer polls the status without any lock,
// and close/abortTransfer raise the abort request while the transfer runs.
#include "ftp/ftp_session.h"

#include <algorithm>
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "ftp/listing_parser.h"
#include "ftp/reply_framer.h"
#include "ftp/wire_text.h"
#include "platform/clock.h"
#include "platform/fs.h"
#include "platform/net.h"

namespace velmo::ftp {
namespace {

constexpr int ControlSendLimitSeconds = 30;
constexpr int DataSendLimitSeconds = 5000;
constexpr int ActiveWaitMs = 30000;
constexpr int AcceptProbeMs = 100;
constexpr int IoStepMs = 50;
constexpr int AbortCheckMs = 10;
constexpr std::size_t TransferChunk = 4096;
// Preliminary (1xx) replies tolerated before a transfer's final reply.
constexpr int MaxPreliminaryReplies = 4;

std::atomic<int> gSilenceLimitMs{120000};

// The transfer status as one 64-bit word, so that a poller reads phase and byte count
// together: the phase in the top two bits, the count below (capped far beyond any file).
class StatusWord {
public:
    static constexpr int phaseShift = 62;
    static constexpr std::uint64_t countMask = (std::uint64_t(1) << phaseShift) - 1;

    TransferStatus load() const {
        const std::uint64_t w = word_.load();
        return {static_cast<TransferPhase>(w >> phaseShift), static_cast<std::int64_t>(w & countMask)};
    }
    void store(TransferPhase phase, std::int64_t bytes = 0) {
        const std::uint64_t count = std::min<std::uint64_t>(static_cast<std::uint64_t>(bytes), countMask);
        word_.store(static_cast<std::uint64_t>(phase) << phaseShift | count);
    }
    // Only the thread that runs the transfer moves the count, so load-then-store is enough.
    void addMoved(std::size_t n) {
        const TransferStatus now = load();
        store(TransferMoving, now.bytes + static_cast<std::int64_t>(n));
    }
    // Ends the transfer, keeping the count it reached.
    void finish(bool ok) { store(ok ? TransferDone : TransferFailed, load().bytes); }

private:
    std::atomic<std::uint64_t> word_{static_cast<std::uint64_t>(TransferDone) << phaseShift};
};

bool transferRunning(const TransferStatus& status) { return !status.ended(); }

// Which kind of end a data read met.
enum class DataRead { Data, End, Stalled, Aborted };

struct DataChannel {
    net::Socket listener;  // active mode only
    net::Socket data;
    void close() {
        data.close();
        listener.close();
    }
};

class Session {
public:
    ~Session() { joinWorker(); }

    net::Socket control;
    bool passive = true;
    ReplyFramer framer;

    StatusWord status;
    std::atomic<bool> abortRequested{false};

    std::mutex opMutex;  // one exchange on the control connection at a time

    // The listing, read by the entry operations without the operation lock.
    std::mutex listingMutex;
    std::vector<ListingEntry> listing;
    std::size_t current = 0;
    bool firstPending = false;

    std::mutex workerMutex;
    std::thread worker;

    void joinWorker() {
        std::lock_guard<std::mutex> lock(workerMutex);
        if (worker.joinable()) worker.join();
    }

    TransferStatus abortAndWait() {
        if (transferRunning(status.load())) {
            abortRequested.store(true);
            while (transferRunning(status.load())) clock::sleepMs(AbortCheckMs);
        }
        return status.load();
    }

    void shutdown() {
        abortAndWait();
        joinWorker();
        {
            std::lock_guard<std::mutex> lock(listingMutex);
            listing.clear();
            current = 0;
            firstPending = false;
        }
        std::lock_guard<std::mutex> lock(opMutex);
        loseConnection();
    }

    // ---- control connection (callers hold opMutex) ----

    // After a reply that could not be read whole, or a line that could not be sent whole,
    // the two sides no longer agree on which reply belongs to which command: the
    // connection is given up and every later command (isAlive included) fails.
    void loseConnection() {
        control.close();
        framer.clear();
    }

    bool sendLine(const std::string& line) {
        if (!control.valid()) return false;
        if (net::sendAll(control, line.data(), line.size(), ControlSendLimitSeconds)) return true;
        loseConnection();
        return false;
    }

    // Waits until the socket has bytes (or is closed), at most the silence limit; with
    // watchAbort an abort request ends the wait too.
    bool waitForBytes(net::Socket& s, bool watchAbort) {
        const std::uint64_t start = clock::tickMs();
        const std::uint64_t limit = static_cast<std::uint64_t>(std::max(0, gSilenceLimitMs.load()));
        for (;;) {
            if (watchAbort && abortRequested.load()) return false;
            const std::uint64_t spent = clock::tickMs() - start;
            if (spent >= limit) return false;
            const int step = static_cast<int>(std::min<std::uint64_t>(IoStepMs, limit - spent));
            if (s.waitReadable(step)) return true;
        }
    }

    bool readLine(std::string& line, bool watchAbort) {
        for (;;) {
            if (framer.takeLine(line)) return true;
            const std::size_t room = framer.readRoom();
            if (room == 0 || !control.valid() || !waitForBytes(control, watchAbort)) {
                loseConnection();
                return false;
            }
            char buffer[ReplyFramer::BufferSize];
            std::size_t moved = 0;
            const net::IoResult r =
                control.receiveSome(buffer, std::min(room, ReplyFramer::MaxRead), moved);
            if (r == net::IoResult::Done) {
                framer.feed(buffer, moved);
            } else if (r != net::IoResult::WouldBlock) {
                loseConnection();
                return false;
            }
        }
    }

    bool readReply(ReplyAssembler& reply, bool watchAbort) {
        reply.reset();
        std::string line;
        for (;;) {
            if (!readLine(line, watchAbort)) return false;
            if (reply.addLine(line)) return true;
            if (reply.overLimit()) {
                loseConnection();
                return false;
            }
        }
    }

    bool expect(const char* codes, std::string* kept, bool watchAbort) {
        ReplyAssembler reply;
        if (!readReply(reply, watchAbort)) return false;
        if (!codeMatches(reply.firstLine(), codes)) return false;
        if (kept) *kept = reply.firstLine();
        return true;
    }

    bool exchange(const std::string& line, const char* codes, std::string* kept = nullptr,
                  bool watchAbort = false) {
        return sendLine(line) && expect(codes, kept, watchAbort);
    }

    // The reply after a transfer's data: true for a completion (2xx). Preliminary 1xx
    // replies before it are read past.
    bool readCompletion(bool watchAbort) {
        for (int i = 0; i <= MaxPreliminaryReplies; ++i) {
            ReplyAssembler reply;
            if (!readReply(reply, watchAbort)) return false;
            if (codeClass(reply.firstLine(), '1')) continue;
            return codeClass(reply.firstLine(), '2');
        }
        return false;
    }

    // ---- data connection ----

    bool openData(DataChannel& dc, bool watchAbort) {
        if (passive) {
            std::string line;
            std::string pasvLine;
            commandLine("PASV", pasvLine);
            if (!exchange(pasvLine, "227", &line, watchAbort)) return false;
            std::string host;
            int port = 0;
            if (!parsePasvReply(line, host, port)) return false;
            dc.data = net::Socket::connectTo(host, port);
            return dc.data.valid() && dc.data.setNonBlocking(true);
        }
        const std::string address = control.localAddress();
        dc.listener = net::Socket::listenOn(address, 0, 100);
        if (!dc.listener.valid()) return false;
        const std::string argument = formatPortArgument(address, dc.listener.localPort());
        std::string portLine;
        if (argument.empty() || !commandLine("PORT", argument, portLine)) return false;
        return exchange(portLine, "200", nullptr, watchAbort);
    }

    // Active mode: the server connects after it accepted the transfer command.
    bool acceptData(DataChannel& dc, bool watchAbort) {
        if (passive) return true;
        const std::uint64_t start = clock::tickMs();
        for (;;) {
            if (watchAbort && abortRequested.load()) return false;
            if (dc.listener.waitReadable(AcceptProbeMs)) break;
            if (clock::tickMs() - start >= static_cast<std::uint64_t>(ActiveWaitMs)) return false;
        }
        dc.data = dc.listener.accept();
        if (!dc.data.valid() || !dc.data.setNonBlocking(true)) return false;
        const std::uint64_t probeStart = clock::tickMs();
        while (!dc.data.waitWritable(IoStepMs)) {
            if (clock::tickMs() - probeStart >= static_cast<std::uint64_t>(ActiveWaitMs)) break;
        }
        return true;
    }

    DataRead readData(net::Socket& s, char* buffer, std::size_t size, std::size_t& got,
                      bool watchAbort) {
        got = 0;
        for (;;) {
            if (watchAbort && abortRequested.load()) return DataRead::Aborted;
            const net::IoResult r = s.receiveSome(buffer, size, got);
            if (r == net::IoResult::Done) return DataRead::Data;
            if (r != net::IoResult::WouldBlock) return DataRead::End;
            if (!waitForBytes(s, watchAbort)) {
                return watchAbort && abortRequested.load() ? DataRead::Aborted : DataRead::Stalled;
            }
        }
    }

    // Like the command sends, with the data connection's long limit; an abort request
    // ends it as a failure.
    bool sendData(net::Socket& s, const char* data, std::size_t size) {
        const std::int64_t start = clock::wallSeconds();
        while (size > 0) {
            if (abortRequested.load()) return false;
            std::size_t moved = 0;
            const net::IoResult r = s.sendSome(data, size, moved);
            if (r == net::IoResult::Done) {
                data += moved;
                size -= moved;
                continue;
            }
            if (r != net::IoResult::WouldBlock) return false;
            if (clock::wallSeconds() - start >= DataSendLimitSeconds) return false;
            s.waitWritable(IoStepMs);
        }
        return true;
    }

    // ---- transfers (callers hold opMutex and have set the status to TransferStarted) ----

    // TYPE I, the data connection and the transfer command, up to the moment the data
    // connection is established; false (and nothing left to read) otherwise.
    bool beginBinaryTransfer(DataChannel& dc, const std::string& typeLine,
                             const std::string& transferLine) {
        if (!exchange(typeLine, "200", nullptr, true) || !openData(dc, true) ||
            !exchange(transferLine, "125;150", nullptr, true)) {
            dc.close();
            return false;
        }
        if (!acceptData(dc, true)) {
            // The server has answered (or will answer) the transfer command: read it so
            // the next command gets its own reply.
            dc.close();
            readCompletion(true);
            return false;
        }
        return true;
    }

    bool runSend(const std::string& localPath, const std::string& remoteName) {
        std::string typeLine, storLine;
        commandLine("TYPE", "I", typeLine);
        if (!commandLine("STOR", remoteName, storLine)) return false;
        fs::File file;
        if (!file.open(localPath, fs::File::Mode::Read)) return false;
        DataChannel dc;
        if (!beginBinaryTransfer(dc, typeLine, storLine)) return false;
        status.store(TransferMoving);
        bool sent = false;
        std::vector<char> chunk(TransferChunk);
        while (!abortRequested.load()) {
            const std::size_t n = file.read(chunk.data(), chunk.size());
            if (n == 0) {
                sent = true;
                break;
            }
            if (!sendData(dc.data, chunk.data(), n)) break;
            status.addMoved(n);
        }
        dc.close();
        // The data connection alone cannot tell a stored file from one the server cut
        // short or refused (426, 451, 452, 552): its final reply decides.
        const bool completed = readCompletion(true);
        file.close();
        return sent && completed;
    }

    bool runReceive(const std::string& remoteName, const std::string& localPath) {
        std::string typeLine, retrLine;
        commandLine("TYPE", "I", typeLine);
        if (!commandLine("RETR", remoteName, retrLine)) return false;
        DataChannel dc;
        if (!beginBinaryTransfer(dc, typeLine, retrLine)) return false;
        fs::File file;
        if (!file.open(localPath, fs::File::Mode::CreateReadWrite)) {
            dc.close();
            readCompletion(true);
            return false;
        }
        status.store(TransferMoving);
        bool ended = false;
        bool written = true;
        std::vector<char> chunk(TransferChunk);
        for (;;) {
            std::size_t got = 0;
            const DataRead r = readData(dc.data, chunk.data(), chunk.size(), got, true);
            if (r == DataRead::End) {
                ended = true;
                break;
            }
            if (r != DataRead::Data) break;
            if (!file.write(chunk.data(), got)) {
                written = false;
                break;
            }
            status.addMoved(got);
        }
        file.close();
        dc.close();
        const bool completed = readCompletion(true);
        return ended && written && completed;
    }
};

std::mutex gTableMutex;
std::map<int, std::shared_ptr<Session>> gTable;

std::mutex gNetworkingMutex;
bool gNetworkingStarted = false;

void ensureNetworking() {
    std::lock_guard<std::mutex> lock(gNetworkingMutex);
    if (!gNetworkingStarted) {
        net::startNetworking();
        gNetworkingStarted = true;
    }
}

std::shared_ptr<Session> find(int session) {
    std::lock_guard<std::mutex> lock(gTableMutex);
    auto it = gTable.find(session);
    return it == gTable.end() ? nullptr : it->second;
}

std::shared_ptr<Session> removeFromTable(int session) {
    std::lock_guard<std::mutex> lock(gTableMutex);
    auto it = gTable.find(session);
    if (it == gTable.end()) return nullptr;
    std::shared_ptr<Session> s = std::move(it->second);
    gTable.erase(it);
    return s;
}

// One command with the expected codes, for the operations that only look at the answer.
bool simpleCommand(int session, const std::string& line, const char* codes,
                   std::string* kept = nullptr) {
    std::shared_ptr<Session> s = find(session);
    if (!s || line.empty()) return false;
    std::lock_guard<std::mutex> lock(s->opMutex);
    return s->exchange(line, codes, kept);
}

}  // namespace

void startSessions() { ensureNetworking(); }

void closeAllSessions() {
    std::map<int, std::shared_ptr<Session>> all;
    {
        std::lock_guard<std::mutex> lock(gTableMutex);
        all.swap(gTable);
    }
    for (auto& entry : all) entry.second->shutdown();
    all.clear();
    std::lock_guard<std::mutex> lock(gNetworkingMutex);
    if (gNetworkingStarted) {
        net::stopNetworking();
        gNetworkingStarted = false;
    }
}

bool open(int session, const std::string& server, const std::string& userId,
          const std::string& password, bool passive, int port) {
    ensureNetworking();
    close(session);
    std::string userLine, passLine;
    if (!commandLine("USER", userId, userLine) || !commandLine("PASS", password, passLine))
        return false;
    auto s = std::make_shared<Session>();
    s->control = net::Socket::connectTo(server, port);
    if (!s->control.valid() || !s->control.setNonBlocking(true)) return false;
    s->passive = passive;
    {
        std::lock_guard<std::mutex> lock(s->opMutex);
        ReplyAssembler greeting;
        if (!s->readReply(greeting, false)) return false;
        if (!s->exchange(userLine, "331") || !s->exchange(passLine, "230")) return false;
    }
    std::shared_ptr<Session> replaced;
    {
        std::lock_guard<std::mutex> lock(gTableMutex);
        std::shared_ptr<Session>& slot = gTable[session];
        replaced = std::move(slot);
        slot = s;
    }
    // Another thread opened the same number meanwhile: the later open wins.
    if (replaced) replaced->shutdown();
    return true;
}

bool open(int session, const Account& account) {
    return open(session, account.server, account.userId, account.password, account.passive, account.port);
}

void close(int session) {
    std::shared_ptr<Session> s = removeFromTable(session);
    if (s) s->shutdown();
}

bool isAlive(int session) {
    std::string line;
    commandLine("PWD", line);
    return simpleCommand(session, line, "257");
}

std::string currentDirectory(int session) {
    std::string line, kept;
    commandLine("PWD", line);
    if (!simpleCommand(session, line, "257", &kept)) return std::string();
    return parsePwdReply(kept);
}

bool changeDirectory(int session, const std::string& directory) {
    std::string line;
    if (directory == "..") commandLine("CDUP", line);
    else if (!commandLine("CWD", directory, line)) return false;
    return simpleCommand(session, line, "250");
}

bool makeDirectory(int session, const std::string& directory) {
    std::string line;
    if (!commandLine("MKD", directory, line)) return false;
    return simpleCommand(session, line, "257");
}

bool listDirectory(int session) {
    std::shared_ptr<Session> s = find(session);
    if (!s) return false;
    std::lock_guard<std::mutex> op(s->opMutex);
    {
        std::lock_guard<std::mutex> lock(s->listingMutex);
        s->listing.clear();
        s->current = 0;
        s->firstPending = false;
    }
    std::string typeLine, listLine;
    commandLine("TYPE", "A", typeLine);
    commandLine("LIST", listLine);
    DataChannel dc;
    if (!s->exchange(typeLine, "200") || !s->openData(dc, false) ||
        !s->exchange(listLine, "125;150")) {
        dc.close();
        return false;
    }
    if (!s->acceptData(dc, false)) {
        dc.close();
        s->readCompletion(false);
        return false;
    }
    ListingParser parser;
    char chunk[ListingParser::BufferSize];
    while (parser.room() > 0) {
        std::size_t got = 0;
        if (s->readData(dc.data, chunk, parser.room(), got, false) != DataRead::Data) break;
        parser.feed(chunk, got);
    }
    dc.close();
    // Drained only: the entries that arrived are the listing whatever the server says.
    s->readCompletion(false);
    std::lock_guard<std::mutex> lock(s->listingMutex);
    s->listing = parser.takeEntries();
    s->current = 0;
    s->firstPending = true;
    return true;
}

bool nextEntry(int session) {
    std::shared_ptr<Session> s = find(session);
    if (!s) return false;
    std::lock_guard<std::mutex> lock(s->listingMutex);
    if (s->firstPending) {
        s->firstPending = false;
        s->current = 0;
    } else if (s->current < s->listing.size()) {
        ++s->current;
    }
    return s->current < s->listing.size();
}

std::string entryName(int session) {
    std::shared_ptr<Session> s = find(session);
    if (!s) return std::string();
    std::lock_guard<std::mutex> lock(s->listingMutex);
    if (s->firstPending || s->current >= s->listing.size()) return std::string();
    return s->listing[s->current].name;
}

EntryKind entryKind(int session) {
    std::shared_ptr<Session> s = find(session);
    if (!s) return EntryNone;
    std::lock_guard<std::mutex> lock(s->listingMutex);
    if (s->firstPending || s->current >= s->listing.size()) return EntryNone;
    return s->listing[s->current].kind;
}

std::int64_t entrySize(int session) {
    std::shared_ptr<Session> s = find(session);
    if (!s) return 0;
    std::lock_guard<std::mutex> lock(s->listingMutex);
    if (s->firstPending || s->current >= s->listing.size()) return 0;
    return s->listing[s->current].size;
}

namespace {

// Runs one transfer in the caller's thread, or in the session's worker thread with
// `background`; the status says TransferStarted from here on.
bool startTransfer(const std::shared_ptr<Session>& s, bool background, std::function<bool(Session&)> run) {
    if (!background) {
        std::lock_guard<std::mutex> op(s->opMutex);
        s->abortRequested.store(false);
        s->status.store(TransferStarted);
        const bool ok = run(*s);
        s->status.finish(ok);
        return ok;
    }
    std::lock_guard<std::mutex> lock(s->workerMutex);
    if (s->worker.joinable()) s->worker.join();  // the previous transfer has ended or is ending
    s->abortRequested.store(false);
    s->status.store(TransferStarted);
    Session* raw = s.get();  // close joins the thread before the session can go away
    try {
        s->worker = std::thread([raw, run = std::move(run)] {
            std::lock_guard<std::mutex> op(raw->opMutex);
            raw->status.finish(run(*raw));
        });
    } catch (const std::system_error&) {
        // Nothing will ever move: let pollers see the end instead of waiting for ever.
        s->status.store(TransferFailed);
        return false;
    }
    return true;
}

}  // namespace

bool sendFile(int session, const std::string& localPath, const std::string& remoteName,
              bool background) {
    std::shared_ptr<Session> s = find(session);
    if (!s) return false;
    return startTransfer(s, background,
                         [localPath, remoteName](Session& t) { return t.runSend(localPath, remoteName); });
}

bool receiveFile(int session, const std::string& remoteName, const std::string& localPath,
                 bool background) {
    std::shared_ptr<Session> s = find(session);
    if (!s) return false;
    return startTransfer(s, background,
                         [remoteName, localPath](Session& t) { return t.runReceive(remoteName, localPath); });
}

TransferStatus transferStatus(int session) {
    std::shared_ptr<Session> s = find(session);
    // No session: report an ended transfer so that a poller stops.
    return s ? s->status.load() : TransferStatus{TransferFailed, 0};
}

TransferStatus abortTransfer(int session) {
    std::shared_ptr<Session> s = find(session);
    if (!s) return TransferStatus{TransferFailed, 0};
    const TransferStatus result = s->abortAndWait();
    s->abortRequested.store(false);
    return result;
}

void setSilenceLimitMs(int ms) { gSilenceLimitMs.store(ms < 0 ? 0 : ms); }
int silenceLimitMs() { return gSilenceLimitMs.load(); }

}  // namespace velmo::ftp
