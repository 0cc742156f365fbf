// One FTP control connection: the TCP socket, the reply framer and assembler, "send a line"
// and "read one reply" within a bound. The session layer and the control-channel client
// both talk through it; each puts its own wait rules on top (ReplyWait).
//
// Keeping the two sides in step: a reply is read to its last line (or given up); bytes
// that arrive when no reply is awaited (an unsolicited line, the tail of a reply that was
// given up) are dropped before the next line is sent, so one stray line cannot make every
// later command read the reply of the one before. A connection that can no longer be kept
// in step (a line not sent whole, a reply that did not end within its bound, the peer
// gone) is closed; every later send or read then fails at once.
//
// One thread at a time uses a connection. Texts are CP1252 bytes.
//
// Every byte of the connection goes through the private receiveSome / sendAll / waitReadable
// below: the one place where a protected stream (TLS, once negotiated) takes the socket's place.
#pragma once
#include <functional>
#include <memory>
#include <string>

#include "ftp/reply_framer.h"
#include "ftp/tls_trust.h"
#include "platform/net.h"
#include "platform/tls.h"

namespace velmo::ftp {

// How long one reply may take, all in milliseconds from the start of the wait.
struct ReplyWait {
    int firstByteMs = 0;    // nothing at all by then: no reply
    int wholeReplyMs = 0;   // the reply has not ended by then: the connection is given up
    // Once bytes have come, a quiet spell this long (after a read of at most
    // largePieceBytes, or of more) makes the held tail of an unfinished line a line.
    int quietMs = 0;
    int quietAfterLargePieceMs = 0;
    std::size_t largePieceBytes = 0;
    // When set, that quiet spell also ends the reply as it stands (the control channel's
    // rule); otherwise the reply goes on until its last line or wholeReplyMs.
    bool quietEndsReply = false;
    // When set, asked between the slices of the wait; true ends it (a transfer whose
    // caller asked to stop).
    std::function<bool()> stop;
};

enum class ReplyEnd {
    Complete,    // the reply's last line came
    EndedEarly,  // some of it came, then quiet (quietEndsReply) or the peer closed
    NoReply,     // not a byte within firstByteMs, or the peer closed first
    TooSlow,     // started but not ended within wholeReplyMs (connection closed)
    OverLimit,   // longer than the assembler takes (ReplyAssembler::MaxLines / MaxBytes)
    Aborted,     // `stop` said so
};

class ControlConnection {
public:
    ControlConnection() = default;
    ~ControlConnection() { close(); }
    ControlConnection(const ControlConnection&) = delete;
    ControlConnection& operator=(const ControlConnection&) = delete;

    // Starts the platform's networking (once per process), connects and switches the
    // socket to non-blocking; false when the server cannot be reached.
    bool connect(const std::string& server, int port);
    bool connected() const { return socket_.valid() || tls_ != nullptr; }
    void close();

    // After the server accepted AUTH TLS: the TLS handshake on this connection, whose bytes
    // all go through the stream from then on. Done and Untrusted leave the connection
    // open (Untrusted: until trustPresented(), nothing can be sent); any other outcome
    // closes it.
    tls::Outcome secure(const tls::Options& options);
    void trustPresented();
    bool secured() const { return tls_ != nullptr; }
    // The handshake's judgement of the server's certificate, and the TLS session a data
    // connection resumes (empty before secure).
    const tls::Verification& verification() const;
    tls::Session tlsSession() const;

    // Drops whatever the server sent unasked, then sends every byte of `line`, retrying
    // while the socket is full for at most limitSeconds (whole seconds on the local
    // clock). False (connection closed) when the line could not be sent whole.
    bool sendLine(const std::string& line, int limitSeconds);

    // Reads one reply into `reply` (reset first) under the rules of `wait`.
    ReplyEnd readReply(ReplyAssembler& reply, const ReplyWait& wait);

    // Without waiting: true when the server has sent (part of) a reply that is not read
    // yet, or has closed. What is there is taken in and kept for the next readReply; bytes
    // that carry no reply (a TLS ticket) do not count.
    bool replyArrived();

    // IPv4 addresses of this end and of the server on this connection.
    // (Kept from the connect: a secured connection's socket belongs to its stream.)
    const std::string& localAddress() const { return localAddress_; }
    const std::string& peerAddress() const { return peerAddress_; }

private:
    void dropUnsolicited();
    net::IoResult receiveSome(char* buffer, std::size_t size, std::size_t& moved);
    bool sendAll(const char* data, std::size_t size, int limitSeconds);
    bool waitReadable(int ms);
    net::Socket socket_;
    std::unique_ptr<tls::Stream> tls_;
    std::string localAddress_, peerAddress_;
    ReplyFramer framer_;
};

// A TLS stream's outcome as the socket's result it stands for (a silence: WouldBlock), for
// the reads and sends of the control and data connections alike.
net::IoResult ioResultOf(tls::IoOutcome outcome);

// What came of AUTH TLS on a control connection (ftp/tls_trust.h has the rules).
enum class TlsStart {
    Plain,               // refused by a server never seen with TLS: the login goes on in clear
    Encrypted,           // the connection is encrypted and its certificate accepted
    Downgrade,           // refused by a server seen with TLS before: nothing more may be sent
    CertificateRefused,  // the user did not trust the certificate
    TimedOut,            // the handshake met silence past its bound
    Failed,              // the handshake failed
};
// After the server answered AUTH TLS (`accepted`: with 234, go ahead): the handshake, the
// certificate's judgement and the question, and the memory of the server, for the session
// layer and the control channel alike. Anything but Plain and Encrypted leaves the
// connection to be closed by the caller.
TlsStart startTls(ControlConnection& connection, bool accepted, const std::string& server, int port,
                  TlsTrust& trust, int timeoutMs);

// Control connections of this process open now, sessions and control channels alike:
// what the programs hold on their servers (a tool that closed its session holds none).
int openControlConnections();

// The platform's networking, started once for every connection of the process (the
// session layer's start and end call these too); stopping undoes a start, if any.
void startNetworkingOnce();
void stopStartedNetworking();

}  // namespace velmo::ftp
