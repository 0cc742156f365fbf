#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <cstring>

#include "platform/clock.h"
#include "platform/net.h"
#include "platform/net_lookup.h"

namespace velmo::net {
namespace {

SOCKET raw(Socket::Handle h) { return static_cast<SOCKET>(h); }

bool resolveIpv4(const std::string& host, in_addr& out) {
    unsigned long a = inet_addr(host.c_str());
    if (a != INADDR_NONE || host == "255.255.255.255") {
        out.s_addr = a;
        return true;
    }
    hostent* he = gethostbyname(host.c_str());
    if (!he || he->h_addrtype != AF_INET || !he->h_addr_list[0]) return false;
    memcpy(&out, he->h_addr_list[0], sizeof out);
    return true;
}

bool numericIpv4(const std::string& host, std::uint32_t& out) {
    const unsigned long a = inet_addr(host.c_str());
    if (a == INADDR_NONE && host != "255.255.255.255") return false;
    out = a;
    return true;
}

bool systemLookup(const std::string& host, std::uint32_t& out) {
    in_addr a{};
    if (!resolveIpv4(host, a)) return false;
    out = a.s_addr;
    return true;
}

bool waitFor(SOCKET s, bool forWrite, int timeoutMs) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval tv{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    int r = select(0, forWrite ? nullptr : &set, forWrite ? &set : nullptr, nullptr, &tv);
    return r > 0;
}

}  // namespace

void startNetworking() {
    WSADATA data;
    WSAStartup(MAKEWORD(1, 1), &data);
}

void stopNetworking() { WSACleanup(); }

void Socket::close() {
    if (handle_ != invalidHandle) closesocket(raw(handle_));
    handle_ = invalidHandle;
}

Socket Socket::connectTo(const std::string& host, int port) {
    in_addr addr{};
    if (port < 0 || port > 65535 || !resolveIpv4(host, addr)) return Socket();
    SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    if (s == INVALID_SOCKET) return Socket();
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<u_short>(port));
    sa.sin_addr = addr;
    if (connect(s, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == SOCKET_ERROR) {
        closesocket(s);
        return Socket();
    }
    BOOL one = TRUE;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
    return Socket(static_cast<Handle>(s));
}

Socket Socket::connectTo(const std::string& host, int port, int timeoutMs, const std::atomic<bool>* abort,
                         ConnectOutcome* outcome) {
    ConnectOutcome ignored;
    ConnectOutcome& result = outcome ? *outcome : ignored;
    const std::uint64_t end = clock::tickMs() + static_cast<std::uint64_t>(timeoutMs > 0 ? timeoutMs : 0);
    std::uint32_t address = 0;
    if (!detail::addressForConnect(host, port, timeoutMs, abort, numericIpv4, systemLookup, address, result))
        return Socket();
    const SOCKET raw = socket(AF_INET, SOCK_STREAM, 0);
    if (raw == INVALID_SOCKET) return Socket();
    Socket s(static_cast<Handle>(raw));
    if (!s.setNonBlocking(true)) return Socket();
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<u_short>(port));
    sa.sin_addr.s_addr = address;
    if (connect(raw, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == SOCKET_ERROR) {
        if (WSAGetLastError() != WSAEWOULDBLOCK) return Socket();
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
            // Winsock reports a connect that failed in the exception set, one that
            // succeeded in the write set. Short steps only so that an abort is seen soon.
            const int step = static_cast<int>(std::min<std::uint64_t>(end - now, 50));
            fd_set writable, failed;
            FD_ZERO(&writable);
            FD_ZERO(&failed);
            FD_SET(raw, &writable);
            FD_SET(raw, &failed);
            timeval tv{step / 1000, (step % 1000) * 1000};
            const int r = select(0, nullptr, &writable, &failed, &tv);
            if (r == SOCKET_ERROR) return Socket();
            if (r > 0) {
                if (FD_ISSET(raw, &failed)) return Socket();
                break;
            }
        }
        int error = 0;
        int len = sizeof error;
        if (getsockopt(raw, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &len) != 0 || error != 0)
            return Socket();
    }
    if (!s.setNonBlocking(false)) return Socket();
    BOOL one = TRUE;
    setsockopt(raw, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
    result = ConnectOutcome::Connected;
    return s;
}

Socket Socket::listenOn(const std::string& address, int port, int backlog) {
    SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    if (s == INVALID_SOCKET) return Socket();
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<u_short>(port));
    sa.sin_addr.s_addr = address.empty() ? htonl(INADDR_ANY) : inet_addr(address.c_str());
    if (bind(s, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == SOCKET_ERROR ||
        listen(s, backlog) == SOCKET_ERROR) {
        closesocket(s);
        return Socket();
    }
    return Socket(static_cast<Handle>(s));
}

Socket Socket::accept() {
    if (!valid()) return Socket();
    SOCKET s = ::accept(raw(handle_), nullptr, nullptr);
    if (s == INVALID_SOCKET) return Socket();
    BOOL one = TRUE;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
    return Socket(static_cast<Handle>(s));
}

bool Socket::setNonBlocking(bool on) {
    if (!valid()) return false;
    u_long mode = on ? 1 : 0;
    return ioctlsocket(raw(handle_), FIONBIO, &mode) == 0;
}

IoResult Socket::sendSome(const void* data, std::size_t size, std::size_t& moved) {
    moved = 0;
    if (!valid()) return IoResult::Error;
    int n = send(raw(handle_), static_cast<const char*>(data), static_cast<int>(size), 0);
    if (n != SOCKET_ERROR) {
        moved = static_cast<std::size_t>(n);
        return IoResult::Done;
    }
    int e = WSAGetLastError();
    if (e == WSAEWOULDBLOCK) return IoResult::WouldBlock;
    if (e == WSAECONNRESET || e == WSAECONNABORTED || e == WSAESHUTDOWN) return IoResult::Closed;
    return IoResult::Error;
}

IoResult Socket::receiveSome(void* data, std::size_t size, std::size_t& moved) {
    moved = 0;
    if (!valid()) return IoResult::Error;
    int n = recv(raw(handle_), static_cast<char*>(data), static_cast<int>(size), 0);
    if (n > 0) {
        moved = static_cast<std::size_t>(n);
        return IoResult::Done;
    }
    if (n == 0) return IoResult::Closed;
    int e = WSAGetLastError();
    if (e == WSAEWOULDBLOCK) return IoResult::WouldBlock;
    if (e == WSAECONNRESET || e == WSAECONNABORTED) return IoResult::Closed;
    return IoResult::Error;
}

bool Socket::waitReadable(int timeoutMs) { return valid() && waitFor(raw(handle_), false, timeoutMs); }

bool Socket::waitWritable(int timeoutMs) { return valid() && waitFor(raw(handle_), true, timeoutMs); }

std::string Socket::localAddress() const {
    sockaddr_in sa{};
    int len = sizeof sa;
    if (!valid() || getsockname(raw(handle_), reinterpret_cast<sockaddr*>(&sa), &len) != 0)
        return std::string();
    return inet_ntoa(sa.sin_addr);
}

std::string Socket::peerAddress() const {
    sockaddr_in sa{};
    int len = sizeof sa;
    if (!valid() || getpeername(raw(handle_), reinterpret_cast<sockaddr*>(&sa), &len) != 0 || sa.sin_family != AF_INET)
        return std::string();
    return inet_ntoa(sa.sin_addr);
}

int Socket::localPort() const {
    sockaddr_in sa{};
    int len = sizeof sa;
    if (!valid() || getsockname(raw(handle_), reinterpret_cast<sockaddr*>(&sa), &len) != 0) return -1;
    return ntohs(sa.sin_port);
}

void Socket::shutdownSend() {
    if (valid()) shutdown(raw(handle_), SD_SEND);
}

}  // namespace velmo::net
