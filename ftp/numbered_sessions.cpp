#include "ftp/numbered_sessions.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "ftp/keep_alive.h"
#include "platform/clock.h"

namespace velmo::ftp {
namespace {

constexpr int abortCheckMs = 10;

struct Numbered {
    ~Numbered() { join(); }
    Session session;
    std::mutex opMutex;  // one operation on the session at a time
    std::mutex statusMutex;
    std::condition_variable ended;
    TransferStatus status;
    std::atomic<bool> abort{false};
    std::mutex workerMutex;
    std::thread worker;

    TransferStatus load() {
        std::lock_guard<std::mutex> lock(statusMutex);
        return status;
    }
    void store(TransferStatus s) {
        {
            std::lock_guard<std::mutex> lock(statusMutex);
            status = s;
        }
        ended.notify_all();
    }
    void finish(bool ok) { store({ok ? TransferDone : TransferFailed, load().bytes}); }
    TransferWatch watch() {
        return {[this](std::int64_t bytes) {
                    if (bytes > 0) store({TransferMoving, bytes});
                    return !abort.load();
                },
                0};
    }
    void join() {
        std::lock_guard<std::mutex> lock(workerMutex);
        if (worker.joinable()) worker.join();
    }
    TransferStatus abortAndWait() {
        if (!load().ended()) {
            abort.store(true);
            while (!load().ended()) clock::sleepMs(abortCheckMs);
        }
        return load();
    }
    void shutdown() {
        abortAndWait();
        join();
        std::lock_guard<std::mutex> lock(opMutex);
        session.close();
    }
};

std::mutex gTableMutex;
std::map<int, std::shared_ptr<Numbered>> gTable;

std::shared_ptr<Numbered> find(int number) {
    std::lock_guard<std::mutex> lock(gTableMutex);
    auto it = gTable.find(number);
    return it == gTable.end() ? nullptr : it->second;
}

template <typename T, typename F>
T withSession(int number, T fallback, F f) {
    std::shared_ptr<Numbered> n = find(number);
    if (!n) return fallback;
    std::lock_guard<std::mutex> lock(n->opMutex);
    return f(n->session);
}

bool startTransfer(const std::shared_ptr<Numbered>& n, bool background, std::function<bool(Session&, const TransferWatch&)> run) {
    if (!background) {
        std::lock_guard<std::mutex> op(n->opMutex);
        n->abort.store(false);
        n->store({TransferStarted, 0});
        const bool ok = run(n->session, n->watch());
        n->finish(ok);
        return ok;
    }
    std::lock_guard<std::mutex> lock(n->workerMutex);
    if (n->worker.joinable()) n->worker.join();
    n->abort.store(false);
    n->store({TransferStarted, 0});
    Numbered* raw = n.get();
    try {
        raw->worker = std::thread([raw, run = std::move(run)] {
            bool ok = false;
            {
                std::lock_guard<std::mutex> op(raw->opMutex);
                ok = run(raw->session, raw->watch());
            }
            raw->finish(ok);
        });
    } catch (const std::system_error&) {
        n->finish(false);
        return false;
    }
    return true;
}

}  // namespace

void closeAllSessions() {
    std::map<int, std::shared_ptr<Numbered>> all;
    {
        std::lock_guard<std::mutex> lock(gTableMutex);
        all.swap(gTable);
    }
    for (auto& entry : all) entry.second->shutdown();
    all.clear();
    stopSessions();
}

bool open(int number, const std::string& server, const std::string& userId, const std::string& password,
          bool passive, int port) {
    close(number);
    auto n = std::make_shared<Numbered>();
    if (!n->session.open(server, userId, password, passive, port)) return false;
    std::shared_ptr<Numbered> replaced;
    {
        std::lock_guard<std::mutex> lock(gTableMutex);
        std::shared_ptr<Numbered>& slot = gTable[number];
        replaced = std::move(slot);
        slot = n;
    }
    if (replaced) replaced->shutdown();
    return true;
}

bool open(int number, const Account& a) { return open(number, a.server, a.userId, a.password, a.passive, a.port); }

void close(int number) {
    std::shared_ptr<Numbered> n;
    {
        std::lock_guard<std::mutex> lock(gTableMutex);
        auto it = gTable.find(number);
        if (it == gTable.end()) return;
        n = std::move(it->second);
        gTable.erase(it);
    }
    n->shutdown();
}

bool isAlive(int number) { return withSession(number, false, [](Session& s) { return s.isAlive(); }); }
bool hasConnection(int number) { return withSession(number, false, [](Session& s) { return s.hasConnection(); }); }
std::string currentDirectory(int number) {
    return withSession(number, std::string(), [](Session& s) { return s.currentDirectory(); });
}
bool changeDirectory(int number, const std::string& d) {
    return withSession(number, false, [&](Session& s) { return s.changeDirectory(d).ok(); });
}
bool makeDirectory(int number, const std::string& d) {
    return withSession(number, false, [&](Session& s) { return s.makeDirectory(d).ok(); });
}
bool listDirectory(int number) { return withSession(number, false, [](Session& s) { return s.listDirectory().ok(); }); }
int skippedEntries(int number, EntryKind kind) {
    return withSession(number, 0, [&](Session& s) { return s.skippedEntries(kind); });
}
bool nextEntry(int number) { return withSession(number, false, [](Session& s) { return s.nextEntry(); }); }
std::string entryName(int number) {
    return withSession(number, std::string(), [](Session& s) { return s.entryName(); });
}
EntryKind entryKind(int number) { return withSession(number, EntryNone, [](Session& s) { return s.entryKind(); }); }
std::int64_t entrySize(int number) {
    return withSession(number, std::int64_t{0}, [](Session& s) { return s.entrySize(); });
}

bool sendFile(int number, const std::string& localPath, const std::string& remoteName, bool background) {
    std::shared_ptr<Numbered> n = find(number);
    if (!n) return false;
    return startTransfer(n, background, [localPath, remoteName](Session& s, const TransferWatch& w) {
        return s.sendFile(localPath, remoteName, w).ok();
    });
}

bool receiveFile(int number, const std::string& remoteName, const std::string& localPath, bool background) {
    return receiveFile(number, remoteName, localPath, background, ReceiveBounds{});
}

bool receiveFile(int number, const std::string& remoteName, const std::string& localPath, bool background,
                 const ReceiveBounds& bounds) {
    std::shared_ptr<Numbered> n = find(number);
    if (!n) return false;
    return startTransfer(n, background, [remoteName, localPath, bounds](Session& s, const TransferWatch& w) {
        return s.receiveFile(remoteName, localPath, bounds, w).ok();
    });
}

TransferStatus transferStatus(int number) {
    std::shared_ptr<Numbered> n = find(number);
    return n ? n->load() : TransferStatus{TransferFailed, 0};
}

TransferStatus waitForTransferEnd(int number, int timeoutMs) {
    std::shared_ptr<Numbered> n = find(number);
    if (!n) return TransferStatus{TransferFailed, 0};
    std::unique_lock<std::mutex> lock(n->statusMutex);
    n->ended.wait_for(lock, std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs),
                      [&] { return n->status.ended(); });
    return n->status;
}

TransferStatus abortTransfer(int number) {
    std::shared_ptr<Numbered> n = find(number);
    if (!n) return TransferStatus{TransferFailed, 0};
    const TransferStatus result = n->abortAndWait();
    n->abort.store(false);
    return result;
}

void ensureConnected(int number, const Account& account, const std::string& directory) {
    const std::string target = directory;
    if (isAlive(number)) return;
    open(number, account);
    changeDirectory(number, target);
}

}  // namespace velmo::ftp
