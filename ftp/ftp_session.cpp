// The FTP session layer: see ftp_session.h for the contract, ftp/session.h for how a
// session is built. This file keeps the table of sessions and the public operations.
#include "ftp/ftp_session.h"

#include <functional>
#include <map>
#include <memory>
#include <system_error>

#include "ftp/session.h"
#include "ftp/wire_text.h"

namespace velmo::ftp {
namespace {

std::atomic<int> gSilenceLimitMs{120000};

std::mutex gTableMutex;
std::map<int, std::shared_ptr<Session>> gTable;

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
bool simpleCommand(int session, const std::string& line, const char* codes, std::string* kept = nullptr) {
    std::shared_ptr<Session> s = find(session);
    if (!s || line.empty()) return false;
    std::lock_guard<std::mutex> lock(s->opMutex);
    return s->exchange(line, codes, kept);
}

// Reads the current listing entry under the listing lock; `fallback` when there is none.
template <typename T>
T currentEntry(int session, T fallback, T (*field)(const ListingEntry&)) {
    std::shared_ptr<Session> s = find(session);
    if (!s) return fallback;
    std::lock_guard<std::mutex> lock(s->listingMutex);
    if (s->firstPending || s->current >= s->listing.size()) return fallback;
    return field(s->listing[s->current]);
}

// Runs one transfer in the caller's thread, or in the session's worker thread with
// `background`; the status says TransferStarted from here on.
bool startTransfer(const std::shared_ptr<Session>& s, bool background, std::function<bool(Session&)> run) {
    if (!background) {
        std::lock_guard<std::mutex> op(s->opMutex);
        s->abortRequested.store(false);
        s->status.store(TransferStarted);
        const bool ok = run(*s);
        s->finishTransfer(ok);
        return ok;
    }
    std::lock_guard<std::mutex> lock(s->workerMutex);
    if (s->worker.joinable()) s->worker.join();  // the previous transfer has ended or is ending
    s->abortRequested.store(false);
    s->status.store(TransferStarted);
    Session* raw = s.get();  // close joins the thread before the session can go away
    try {
        s->worker = std::thread([raw, run = std::move(run)] {
            bool ok = false;
            {
                std::lock_guard<std::mutex> op(raw->opMutex);
                ok = run(*raw);
            }
            // Ended with the control connection free: the starter, woken, goes straight on
            // with its next command.
            raw->finishTransfer(ok);
        });
    } catch (const std::system_error&) {
        // Nothing will ever move: let pollers see the end instead of waiting for ever.
        s->finishTransfer(false);
        return false;
    }
    return true;
}

}  // namespace

void startSessions() { startNetworkingOnce(); }

void closeAllSessions() {
    std::map<int, std::shared_ptr<Session>> all;
    {
        std::lock_guard<std::mutex> lock(gTableMutex);
        all.swap(gTable);
    }
    for (auto& entry : all) entry.second->shutdown();
    all.clear();
    stopStartedNetworking();
}

bool open(int session, const std::string& server, const std::string& userId, const std::string& password,
          bool passive, int port) {
    close(session);
    std::string userLine, passLine;
    if (!commandLine("USER", userId, userLine) || !commandLine("PASS", password, passLine)) return false;
    auto s = std::make_shared<Session>();
    if (!s->control.connect(server, port)) return false;
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

bool hasConnection(int session) {
    std::shared_ptr<Session> s = find(session);
    if (!s) return false;
    std::lock_guard<std::mutex> lock(s->opMutex);
    return s->control.connected();
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
    s->setListing({});
    ListingParser parser;
    if (!s->runList(parser)) return false;
    s->setListing(parser.takeEntries(), parser.skipped(EntryFile), parser.skipped(EntryDirectory));
    return true;
}

int skippedEntries(int session, EntryKind kind) {
    std::shared_ptr<Session> s = find(session);
    if (!s) return 0;
    std::lock_guard<std::mutex> lock(s->listingMutex);
    return kind == EntryDirectory ? s->skippedDirectories : kind == EntryFile ? s->skippedFiles : 0;
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
    return currentEntry<std::string>(session, std::string(), [](const ListingEntry& e) { return e.name; });
}

EntryKind entryKind(int session) {
    return currentEntry<EntryKind>(session, EntryNone, [](const ListingEntry& e) { return e.kind; });
}

std::int64_t entrySize(int session) {
    return currentEntry<std::int64_t>(session, 0, [](const ListingEntry& e) { return e.size; });
}

bool sendFile(int session, const std::string& localPath, const std::string& remoteName, bool background) {
    std::shared_ptr<Session> s = find(session);
    if (!s) return false;
    return startTransfer(s, background,
                         [localPath, remoteName](Session& t) { return t.runSend(localPath, remoteName); });
}

bool receiveFile(int session, const std::string& remoteName, const std::string& localPath, bool background) {
    return receiveFile(session, remoteName, localPath, background, ReceiveBounds{});
}

bool receiveFile(int session, const std::string& remoteName, const std::string& localPath, bool background,
                 const ReceiveBounds& bounds) {
    std::shared_ptr<Session> s = find(session);
    if (!s) return false;
    return startTransfer(s, background, [remoteName, localPath, bounds](Session& t) {
        return t.runReceive(remoteName, localPath, bounds);
    });
}

TransferStatus transferStatus(int session) {
    std::shared_ptr<Session> s = find(session);
    // No session: report an ended transfer so that a poller stops.
    return s ? s->status.load() : TransferStatus{TransferFailed, 0};
}

TransferStatus waitForTransferEnd(int session, int timeoutMs) {
    std::shared_ptr<Session> s = find(session);
    return s ? s->waitForEnd(timeoutMs) : TransferStatus{TransferFailed, 0};
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
