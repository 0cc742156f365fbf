// TCP sockets for the FTP session layer, the control channel and the test servers.
// One small wrapper over BSD sockets / Winsock; nothing above this file includes an OS header.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

namespace velmo::net {

// Called once at program start / end (Winsock startup and cleanup; no-op on POSIX,
// where it also makes sure SIGPIPE cannot kill the process).
void startNetworking();
void stopNetworking();

enum class IoResult { Done, WouldBlock, Closed, Error };

class Socket {
public:
    Socket() = default;
    ~Socket();
    Socket(Socket&& other) noexcept;
    Socket& operator=(Socket&& other) noexcept;
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    bool valid() const { return handle_ != invalidHandle; }
    void close();

    // Connects to host (dotted IPv4 used as is, otherwise the first IPv4 address of a
    // name lookup) on port; blocks as long as the system lets the connect wait.
    static Socket connectTo(const std::string& host, int port);

    enum class ConnectOutcome { Connected, NoAddress, Refused, TimedOut, Aborted };
    // Connects like connectTo, but never waits longer than `timeoutMs` in all (name lookup
    // included), and gives up as soon as `abort` (when given) is set: the connect is
    // started without blocking and its end is waited for in short steps, so a host that
    // swallows the connection costs the bound and not the system's own minutes. "localhost"
    // and dotted addresses need no lookup at all; another name is looked up on a helper
    // thread that is waited for within the same bound (a system lookup cannot be
    // stopped: past the bound it finishes on its own, and nobody waits for it). The socket
    // comes back in blocking mode, as connectTo's does.
    static Socket connectTo(const std::string& host, int port, int timeoutMs,
                            const std::atomic<bool>* abort, ConnectOutcome* outcome = nullptr);
    // Listening socket on the given local address ("" = any) and port (0 = system choice).
    static Socket listenOn(const std::string& address, int port, int backlog);
    // Accepts a pending connection; invalid socket if none could be accepted.
    Socket accept();

    // Non-blocking mode: sends and receives then report WouldBlock instead of waiting.
    bool setNonBlocking(bool on);

    // One send / receive call. `moved` gets the byte count when the result is Done.
    IoResult sendSome(const void* data, std::size_t size, std::size_t& moved);
    IoResult receiveSome(void* data, std::size_t size, std::size_t& moved);

    // Readiness with a time limit in milliseconds (0 = just look). True when ready
    // (for reading, a closed peer also counts as ready).
    bool waitReadable(int timeoutMs);
    bool waitWritable(int timeoutMs);

    // Local IPv4 address ("127.0.0.1") and port of a connected or bound socket; the
    // address of the peer of a connected one ("" when there is none).
    std::string localAddress() const;
    int localPort() const;
    std::string peerAddress() const;

    // Half-close of the sending side (tests use it to end a data stream cleanly).
    void shutdownSend();

    using Handle = std::intptr_t;
    static constexpr Handle invalidHandle = -1;

private:
    explicit Socket(Handle h) : handle_(h) {}
    Handle handle_ = invalidHandle;
};

// Sends every byte, retrying every 50 ms while the socket would block, until
// `limitSeconds` (counted on the local clock in whole seconds from the first attempt)
// has passed. False on any other error or when the limit is reached.
bool sendAll(Socket& s, const void* data, std::size_t size, int limitSeconds);

}  // namespace velmo::net
