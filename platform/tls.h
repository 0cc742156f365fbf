// Client TLS over an already connected TCP socket (explicit FTP over TLS, HTTPS).
// The cryptography is the system's: Schannel through SSPI on Windows (certificates checked
// against the Windows certificate store, which Windows keeps up to date), OpenSSL natively
// (the system's default certificate paths). Nothing above this file includes either.
//
//     tls::Options o;
//     o.hostName = typed;                          // SNI and the name check
//     tls::Stream s;
//     tls::Outcome r = s.handshake(std::move(socket), o);
//     if (r == tls::Outcome::Untrusted) {           // connection established, not trusted
//         ... show s.verification() (reason, subject, issuer, dates, fingerprint) ...
//         if (user trusts it) s.trustPresentedCertificate();   // the same connection goes on
//     }
//     s.sendAll(bytes, n, 30000, &abort);  s.receiveSome(buf, sizeof buf, got, 30000, &abort);
//     tls::Session again = s.session();            // offered to the data connection
//     s.close(2000);                               // close_notify, then the socket closes
//
// The handshake always completes before the certificate is judged: a certificate the
// user has not trusted yet leaves the stream established but refusing to carry data until
// trustPresentedCertificate(), so "trust it and go on" needs no second connection. A
// later connection can pin the same certificate with Options::trustedCertificate.
//
// TLS 1.2 is the lowest version offered or accepted; 1.3 when both ends have it.
#pragma once
#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>

#include "platform/net.h"

namespace velmo::tls {

// Why a presented certificate was not trusted, in the terms the user is told.
enum class Reason {
    None,           // trusted
    Untrusted,      // self-signed, or its issuer chain does not reach a trusted root
    OutOfDate,      // expired, or not valid yet
    NameMismatch,   // valid, but not for the host name that was typed
    Other,          // revoked, wrong usage, malformed, ...
};

struct CertificateInfo {
    std::string subject;    // one line, "CN=..., O=..." (the system's own rendering)
    std::string issuer;
    std::string notBefore;  // UTC, "YYYY-MM-DD HH:MM:SS"
    std::string notAfter;
    std::string sha256;     // fingerprint of the DER bytes: "AB:01:...", 32 upper-case pairs
    std::string der;        // the certificate itself (for Options::trustedCertificate)
};

struct Verification {
    Reason reason = Reason::None;
    std::string detail;          // the library's own words (logs, not the UI)
    CertificateInfo certificate; // the server's leaf certificate (empty before a handshake)
};

enum class Outcome {
    Done,        // handshake done and the certificate trusted (or pinned)
    Untrusted,   // handshake done, certificate not trusted: see verification()
    TimedOut,    // the peer was silent for the whole bound
    Aborted,     // the abort flag was set
    Closed,      // the peer closed or reset the connection
    Failed,      // no common protocol version or cipher, not TLS at all, or another failure
};

// A TLS session kept from one connection to be resumed by the next (an FTP server may
// insist that its data connections resume the control connection's session). Cheap to
// copy; empty when there is nothing to resume.
class Session {
public:
    bool empty() const { return !handle_; }
    struct Handle;
    std::shared_ptr<Handle> handle_;
};

struct Options {
    // The name as the user typed it: sent as SNI (unless it is a dotted IPv4 address) and
    // checked against the certificate's names (an address against its IP entries).
    std::string hostName;
    // DER bytes of a certificate the user chose to trust: a leaf with exactly these bytes is
    // accepted whatever its chain, dates or names say.
    std::string trustedCertificate;
    // PEM file of additional trusted CA certificates (the tests' own CA); "" = none.
    std::string extraCaFile;
    // A session from an earlier stream to the same server, to resume; empty = full handshake.
    Session resume;
    // Bound on silence during the handshake (milliseconds) and the abort flag, both as in
    // the I/O calls below.
    int timeoutMs = 30000;
    const std::atomic<bool>* abort = nullptr;
    // Bound on the whole handshake (milliseconds; 0: none beyond the silences): a peer that
    // trickles its handshake a byte at a time ends as TimedOut within it.
    int totalMs = 0;
    // Asked with the abort flag during the handshake's waits; true ends the handshake as
    // Aborted (an FTP data connection's handshake gives way to a reply on the control
    // connection: a server that refuses the transfer then never answers it).
    std::function<bool()> stop;
};

enum class IoOutcome { Done, Closed, TimedOut, Aborted, Error };

class Stream {
public:
    Stream();
    ~Stream();
    Stream(Stream&&) noexcept;
    Stream& operator=(Stream&&) noexcept;
    Stream(const Stream&) = delete;
    Stream& operator=(const Stream&) = delete;

    // Takes the connected socket (it is put in non-blocking mode and stays so) and runs the
    // client handshake. On anything but Done / Untrusted the stream is closed.
    Outcome handshake(net::Socket socket, const Options& options);
    const Verification& verification() const;
    // After Untrusted: the user trusts the certificate shown, the connection may carry data.
    void trustPresentedCertificate();
    // True once the handshake is done and the certificate trusted.
    bool ready() const;
    // The handshake resumed Options::resume instead of a full exchange.
    bool resumed() const;
    // The negotiated version, "TLSv1.2" / "TLSv1.3" ("" before a handshake).
    std::string protocol() const;
    // The latest resumable session of this connection (with TLS 1.3 the server sends it
    // after the handshake; it is taken in as data is received).
    Session session() const;

    // Receives what is there, up to size bytes (at least one byte on Done). Waits while the
    // peer is silent, for at most `silenceMs` milliseconds without a byte arriving, looking
    // at `abort` every 50 ms. Closed = close_notify or the connection ended.
    IoOutcome receiveSome(void* data, std::size_t size, std::size_t& moved, int silenceMs,
                          const std::atomic<bool>* abort);
    // Sends every byte; fails when the peer accepts nothing for `silenceMs` milliseconds.
    // After TimedOut, a call again with the same bytes carries on where the last stopped
    // (nothing is sent twice), so a caller may wait in short slices.
    IoOutcome sendAll(const void* data, std::size_t size, int silenceMs,
                      const std::atomic<bool>* abort);
    // After receiveSome gave Closed: true when the peer ended the session with TLS's own
    // close (close_notify), false when only the connection ended (which a third party can
    // do, so a body framed by the end of the connection is then not known to be whole).
    bool closeNotified() const;
    // True when decrypted bytes are waiting or the socket became readable within timeoutMs.
    bool waitReadable(int timeoutMs);
    // Sends close_notify (waiting at most timeoutMs to get it out), then closes the socket.
    // True when close_notify went out. With lingerMs > 0 it then ends its sending side and
    // reads what the peer still sends until the peer ends the connection, for at most
    // lingerMs: a socket closed with bytes unread (a TLS 1.3 ticket that came after the
    // last read) is reset, and a reset can make the server drop the end of an upload it
    // has not read yet. Tickets that come meanwhile are kept (session()). Otherwise the
    // peer's answer is not waited for.
    bool close(int timeoutMs, int lingerMs = 0);

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

// Upper-case colon-separated hex of bytes ("AB:01:FF"), as fingerprints are shown.
std::string hexPairs(const unsigned char* bytes, std::size_t size);

}  // namespace velmo::tls
