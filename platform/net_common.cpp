// Parts of the socket wrapper that are the same on every system.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "platform/clock.h"
#include "platform/net.h"
#include "platform/net_lookup.h"

namespace velmo::net {

Socket::~Socket() { close(); }

Socket::Socket(Socket&& other) noexcept : handle_(other.handle_) { other.handle_ = invalidHandle; }

Socket& Socket::operator=(Socket&& other) noexcept {
    if (this != &other) {
        close();
        handle_ = other.handle_;
        other.handle_ = invalidHandle;
    }
    return *this;
}

bool sendAll(Socket& s, const void* data, std::size_t size, int limitSeconds) {
    const char* p = static_cast<const char*>(data);
    const std::int64_t start = clock::wallSeconds();
    while (size > 0) {
        std::size_t moved = 0;
        IoResult r = s.sendSome(p, size, moved);
        if (r == IoResult::Done) {
            p += moved;
            size -= moved;
            continue;
        }
        if (r != IoResult::WouldBlock) return false;
        if (clock::wallSeconds() - start >= limitSeconds) return false;
        // The socket is full: wait until it drains (at most the usual 50 ms retry step).
        s.waitWritable(50);
    }
    return true;
}

}  // namespace velmo::net

namespace velmo::net::detail {

LookupResult lookupIpv4(const std::string& host, std::uint32_t& address, int timeoutMs,
                        const std::atomic<bool>* abort,
                        bool (*numeric)(const std::string&, std::uint32_t&),
                        bool (*blocking)(const std::string&, std::uint32_t&)) {
    if (numeric(host, address)) return LookupResult::Found;
    std::string lowered = host;
    for (char& c : lowered)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (lowered == "localhost" || lowered == "localhost.") {
        // The loopback name is the one name every system answers the same way; asking the
        // resolver for it can still wait on a broken hosts or DNS setup.
        return numeric("127.0.0.1", address) ? LookupResult::Found : LookupResult::NotFound;
    }

    struct Pending {
        std::mutex lock;
        std::condition_variable doneSignal;
        bool done = false;
        bool found = false;
        std::uint32_t address = 0;
    };
    auto pending = std::make_shared<Pending>();
    try {
        std::thread([pending, host, blocking] {
            std::uint32_t a = 0;
            const bool found = blocking(host, a);
            std::lock_guard<std::mutex> guard(pending->lock);
            pending->done = true;
            pending->found = found;
            pending->address = a;
            pending->doneSignal.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        // No thread to be had: the lookup can only be made here, unbounded.
        return blocking(host, address) ? LookupResult::Found : LookupResult::NotFound;
    }
    const std::uint64_t end = clock::tickMs() + static_cast<std::uint64_t>(timeoutMs > 0 ? timeoutMs : 0);
    std::unique_lock<std::mutex> guard(pending->lock);
    for (;;) {
        if (pending->done) break;
        if (abort && abort->load()) return LookupResult::Aborted;
        const std::uint64_t now = clock::tickMs();
        if (now >= end) return LookupResult::TimedOut;
        // Short steps only so that an abort is seen soon.
        const std::uint64_t step = std::min<std::uint64_t>(end - now, 50);
        pending->doneSignal.wait_for(guard, std::chrono::milliseconds(step));
    }
    if (!pending->found) return LookupResult::NotFound;
    address = pending->address;
    return LookupResult::Found;
}

bool addressForConnect(const std::string& host, int port, int timeoutMs, const std::atomic<bool>* abort,
                       bool (*numeric)(const std::string&, std::uint32_t&),
                       bool (*blocking)(const std::string&, std::uint32_t&), std::uint32_t& address,
                       Socket::ConnectOutcome& result) {
    result = Socket::ConnectOutcome::NoAddress;
    if (port < 0 || port > 65535) return false;
    switch (lookupIpv4(host, address, timeoutMs, abort, numeric, blocking)) {
        case LookupResult::Found: result = Socket::ConnectOutcome::Refused; return true;
        case LookupResult::NotFound: return false;
        case LookupResult::TimedOut: result = Socket::ConnectOutcome::TimedOut; return false;
        case LookupResult::Aborted: result = Socket::ConnectOutcome::Aborted; return false;
    }
    return false;
}

}  // namespace velmo::net::detail
