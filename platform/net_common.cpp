// Parts of the socket wrapper that are the same on every system.
#include "platform/clock.h"
#include "platform/net.h"

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
