#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/clock.h"
#include "platform/net.h"
#include "platform/net_lookup.h"

namespace velmo::net {
namespace {

bool resolveIpv4(const std::string& host, in_addr& out) {
    if (inet_pton(AF_INET, host.c_str(), &out) == 1) return true;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* res = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &res) != 0 || !res) return false;
    out = reinterpret_cast<sockaddr_in*>(res->ai_addr)->sin_addr;
    freeaddrinfo(res);
    return true;
}

bool numericIpv4(const std::string& host, std::uint32_t& out) {
    in_addr a{};
    if (inet_pton(AF_INET, host.c_str(), &a) != 1) return false;
    out = a.s_addr;
    return true;
}

bool systemLookup(const std::string& host, std::uint32_t& out) {
    in_addr a{};
    if (!resolveIpv4(host, a)) return false;
    out = a.s_addr;
    return true;
}

bool waitFor(int fd, short events, int timeoutMs) {
    pollfd p{fd, events, 0};
    for (;;) {
        int r = ::poll(&p, 1, timeoutMs);
        if (r < 0 && errno == EINTR) continue;
        return r > 0;
    }
}

}  // namespace

void startNetworking() {
    // A send on a connection the server has closed must fail, not kill the program.
    ::signal(SIGPIPE, SIG_IGN);
}

void stopNetworking() {}

void Socket::close() {
    if (handle_ != invalidHandle) ::close(static_cast<int>(handle_));
    handle_ = invalidHandle;
}

Socket Socket::connectTo(const std::string& host, int port) {
    in_addr addr{};
    if (port < 0 || port > 65535 || !resolveIpv4(host, addr)) return Socket();
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return Socket();
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<uint16_t>(port));
    sa.sin_addr = addr;
    int r;
    do {
        r = ::connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    } while (r < 0 && errno == EINTR);
    if (r < 0) {
        ::close(fd);
        return Socket();
    }
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return Socket(fd);
}

Socket Socket::connectTo(const std::string& host, int port, int timeoutMs, const std::atomic<bool>* abort,
                         ConnectOutcome* outcome) {
    ConnectOutcome ignored;
    ConnectOutcome& result = outcome ? *outcome : ignored;
    const std::uint64_t end = clock::tickMs() + static_cast<std::uint64_t>(timeoutMs > 0 ? timeoutMs : 0);
    std::uint32_t address = 0;
    if (!detail::addressForConnect(host, port, timeoutMs, abort, numericIpv4, systemLookup, address, result))
        return Socket();
    Socket s(::socket(AF_INET, SOCK_STREAM, 0));
    if (!s.valid() || !s.setNonBlocking(true)) return Socket();
    const int fd = static_cast<int>(s.handle_);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<uint16_t>(port));
    sa.sin_addr.s_addr = address;
    int r;
    do {
        r = ::connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    } while (r < 0 && errno == EINTR);
    if (r < 0) {
        if (errno != EINPROGRESS) return Socket();
        for (;;) {
            if (abort && abort->load()) {
                result = ConnectOutcome::Aborted;
                return Socket();
            }
            const std::uint64_t now = clock::tickMs();
            if (now >= end) {
                result = ConnectOutcome::TimedOut;
                return Socket();
            }
            // Short steps only so that an abort is seen soon.
            if (waitFor(fd, POLLOUT, static_cast<int>(std::min<std::uint64_t>(end - now, 50)))) break;
        }
        int error = 0;
        socklen_t len = sizeof error;
        if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len) != 0 || error != 0) return Socket();
    }
    if (!s.setNonBlocking(false)) return Socket();
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    result = ConnectOutcome::Connected;
    return s;
}

Socket Socket::listenOn(const std::string& address, int port, int backlog) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return Socket();
    int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<uint16_t>(port));
    if (address.empty()) sa.sin_addr.s_addr = htonl(INADDR_ANY);
    else if (inet_pton(AF_INET, address.c_str(), &sa.sin_addr) != 1) {
        ::close(fd);
        return Socket();
    }
    if (::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) < 0 || ::listen(fd, backlog) < 0) {
        ::close(fd);
        return Socket();
    }
    return Socket(fd);
}

Socket Socket::accept() {
    if (!valid()) return Socket();
    int fd;
    do {
        fd = ::accept(static_cast<int>(handle_), nullptr, nullptr);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return Socket();
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return Socket(fd);
}

bool Socket::setNonBlocking(bool on) {
    if (!valid()) return false;
    int fd = static_cast<int>(handle_);
    int flags = ::fcntl(fd, F_GETFL, 0);
    if (flags < 0) return false;
    flags = on ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
    return ::fcntl(fd, F_SETFL, flags) == 0;
}

IoResult Socket::sendSome(const void* data, std::size_t size, std::size_t& moved) {
    moved = 0;
    if (!valid()) return IoResult::Error;
    for (;;) {
        ssize_t n = ::send(static_cast<int>(handle_), data, size, MSG_NOSIGNAL);
        if (n >= 0) {
            moved = static_cast<std::size_t>(n);
            return IoResult::Done;
        }
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return IoResult::WouldBlock;
        if (errno == EPIPE || errno == ECONNRESET) return IoResult::Closed;
        return IoResult::Error;
    }
}

IoResult Socket::receiveSome(void* data, std::size_t size, std::size_t& moved) {
    moved = 0;
    if (!valid()) return IoResult::Error;
    for (;;) {
        ssize_t n = ::recv(static_cast<int>(handle_), data, size, 0);
        if (n > 0) {
            moved = static_cast<std::size_t>(n);
            return IoResult::Done;
        }
        if (n == 0) return IoResult::Closed;
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return IoResult::WouldBlock;
        if (errno == ECONNRESET) return IoResult::Closed;
        return IoResult::Error;
    }
}

bool Socket::waitReadable(int timeoutMs) {
    return valid() && waitFor(static_cast<int>(handle_), POLLIN, timeoutMs);
}

bool Socket::waitWritable(int timeoutMs) {
    return valid() && waitFor(static_cast<int>(handle_), POLLOUT, timeoutMs);
}

std::string Socket::localAddress() const {
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    if (!valid() || ::getsockname(static_cast<int>(handle_), reinterpret_cast<sockaddr*>(&sa), &len) != 0)
        return std::string();
    char buf[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &sa.sin_addr, buf, sizeof buf);
    return buf;
}

std::string Socket::peerAddress() const {
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    if (!valid() || ::getpeername(static_cast<int>(handle_), reinterpret_cast<sockaddr*>(&sa), &len) != 0 ||
        sa.sin_family != AF_INET)
        return std::string();
    char buf[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &sa.sin_addr, buf, sizeof buf);
    return buf;
}

int Socket::localPort() const {
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    if (!valid() || ::getsockname(static_cast<int>(handle_), reinterpret_cast<sockaddr*>(&sa), &len) != 0)
        return -1;
    return ntohs(sa.sin_port);
}

void Socket::shutdownSend() {
    if (valid()) ::shutdown(static_cast<int>(handle_), SHUT_WR);
}

}  // namespace velmo::net
