// Inside the session layer (not for the tools: they use ftp/ftp_session.h): one session's
// state and the steps its operations are made of. ftp_session.cpp keeps the public
// operations; session_exchange.cpp the command/reply exchanges; data_connection.cpp the
// data connections; transfers.cpp listings and file transfers.
//
// One thread runs a session, so nothing here is locked. Failures are recorded as they
// happen (fail): the first reason recorded in an operation is the one it reports, so
// the clean-up after a failure (draining the final reply of a transfer given up) cannot
// hide why it failed.
#pragma once
// Internal: only the library's own sources define VELMO_FTP_INTERNAL (see its CMakeLists).
#ifndef VELMO_FTP_INTERNAL
#error "ftp/session.h is internal to its library: include ftp/ftp_session.h"
#endif
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ftp/control_connection.h"
#include "ftp/ftp_session.h"
#include "ftp/listing_parser.h"
#include "platform/net.h"
#include "platform/tls.h"

namespace velmo::ftp::detail {

// What a data read met: data, the server's close (the end of the data), silence past the
// limit, a failed connection, or a stop asked by the transfer's watch.
enum class DataRead { Data, End, Stalled, Broken, Aborted };

// What one data connection hands on to the next of its session: the TLS session to resume,
// and whether this server gives tickets on data connections at all (learnt from the first).
struct SessionHandOn {
    enum class Tickets { Unknown, Given, None };
    tls::Session next;
    Tickets dataTickets = Tickets::Unknown;
};

// The data connection of one transfer. Every byte of it goes through receiveSome and
// sendSome (and its waits through waitReadable / waitWritable): the one place where a
// protected stream (TLS, once negotiated) takes the socket's place.
class DataConnection {
public:
    net::Socket listener;  // active mode only, until the server has connected

    bool established() const { return socket_.valid() || tls_ != nullptr; }
    // The server's connection (active) or ours to it (passive), switched to non-blocking.
    bool attach(net::Socket socket);
    // The TLS handshake on the established connection (PROT P); every byte goes through
    // the stream from then on. True once it is done and its certificate accepted.
    // `handOn` (the session's, outliving this connection) receives, at close, the TLS
    // session the next data connection resumes: a server may let each session be resumed
    // only once (TLS 1.3 tickets), so every data connection hands on its own.
    bool secure(const tls::Options& options, SessionHandOn* handOn);
    net::IoResult receiveSome(char* buffer, std::size_t size, std::size_t& moved);
    net::IoResult sendSome(const char* data, std::size_t size, std::size_t& moved);
    bool waitReadable(int ms);
    bool waitWritable(int ms);
    // With TLS, close_notify first: the server can tell the end of an upload from a cut.
    void close();

private:
    net::Socket socket_;
    std::unique_ptr<tls::Stream> tls_;
    SessionHandOn* handOn_ = nullptr;
    bool readFrom_ = false;  // a listing or download: the server ends the data
    // At close: the session the next data connection resumes; `before` is the one this
    // connection had before its close.
    void handOnSession(const tls::Session& before);
};

class SessionState {
public:
    ControlConnection control;
    bool passive = true;

    // ---- encryption (session_tls.cpp) ----
    // The host as typed (the name every TLS handshake of the session checks), and whether
    // the data connections are protected (PROT P accepted).
    std::string tlsHost;
    bool protectData = false;
    SessionHandOn dataHandOn;  // what the next data connection resumes
    // After the greeting: AUTH TLS under the tool's rules (ftp/tls_trust.h). True when the
    // login may go on (encrypted, or in clear for a server that never had TLS).
    bool negotiateTls(const std::string& server, int port, TlsTrust& trust);
    // After the login of an encrypted session: PBSZ 0 and PROT P.
    bool protectDataConnections();
    // A transfer's established data connection, when protectData: its handshake, resuming
    // the control connection's session, with the control connection's certificate.
    bool secureData(DataConnection& dc);

    // The listing of the last listDirectory.
    std::vector<ListingEntry> listing;
    std::size_t current = 0;
    bool firstPending = false;
    int skippedFiles = 0, skippedDirectories = 0;
    void setListing(std::vector<ListingEntry> entries, int skippedFileLines = 0, int skippedFolderLines = 0);

    // ---- results ----
    Result result;  // of the operation under way (then the last one)
    void begin() { result = Result{}; }
    // Records why the operation failed, unless a reason is recorded already; false.
    bool fail(Failure failure, int replyCode = 0);

    // ---- the watch of the running transfer ----
    const TransferWatch* watch = nullptr;
    std::int64_t moved = 0;
    bool stopAsked = false;
    std::uint64_t lastReport = 0;
    // Calls the watch when its period has passed since the last call (`force`: now);
    // true once it asked to stop. Without a transfer under way, never true.
    bool stopRequested(bool force = false);

    // ---- command/reply exchanges ----
    // With watchAbort the transfer's watch is asked during the wait, and a stop ends it
    // as a failure.

    // After a reply that could not be read whole, or a line that could not be sent whole,
    // the two sides no longer agree on which reply belongs to which command: the
    // connection is given up and every later command (isAlive included) fails.
    void loseConnection() { control.close(); }
    bool sendLine(const std::string& line);
    // One whole reply within the silence limit; false (connection given up) otherwise.
    // `limitMs` >= 0 replaces the silence limit for this reply (a shorter wait).
    bool readReply(ReplyAssembler& reply, bool watchAbort, int limitMs = -1);
    // A reply read that did not complete: the connection is given up and the failure
    // recorded (the server gone, silence, a reply past its bounds, a stop). Always false.
    bool failReplyRead(ReplyEnd end);
    // After a command whose data connection could not be made: its reply, read within
    // `limitMs` without giving the connection up. True (the failure recorded as Refused
    // with its code) when the server refused the command.
    bool readRefusal(int limitMs);
    // One reply whose code is in `codes` ("125;150"); its first line into `kept`.
    // Another code fails with `refusal` (Refused, or LoginRefused during a login).
    bool expect(const char* codes, std::string* kept, bool watchAbort, Failure refusal = Failure::Refused);
    bool exchange(const std::string& line, const char* codes, std::string* kept = nullptr, bool watchAbort = false,
                  Failure refusal = Failure::Refused);
    // The reply after a transfer's data: true for a completion (2xx). Preliminary 1xx
    // replies before it are read past.
    bool readCompletion(bool watchAbort, int limitMs = -1);

    // ---- data connection ----

    // PASV (connecting to the control connection's server) or PORT.
    bool openData(DataConnection& dc, bool watchAbort);
    // Active mode: the server connects after it accepted the transfer command.
    bool acceptData(DataConnection& dc, bool watchAbort);
    DataRead readData(DataConnection& dc, char* buffer, std::size_t size, std::size_t& got, bool watchAbort);
    // Like the command sends, with the data connection's long limit; a stop asked by the
    // watch ends it as a failure.
    bool sendData(DataConnection& dc, const char* data, std::size_t size);

    // ---- listings and transfers ----

    // TYPE A, the data connection, LIST, the whole listing and a completion reply.
    bool runList(ListingParser& parser);
    // `pwdFirst`: the PWD every installer send starts with goes out first (its answer is
    // not looked at, as the installer never used it).
    // `folders`: entered in turn first (CWD each), with the same batch; one that cannot be
    // entered fails the send before STOR.
    // `from`: the absolute directory the session stands in, where a batch with folders that
    // fell out of step starts again.
    bool runSend(const std::string& localPath, const std::string& remoteName, bool pwdFirst = false,
                 const std::vector<std::string>& folders = {}, const std::string& from = "");
    bool runReceive(const std::string& remoteName, const std::string& localPath, const ReceiveBounds& bounds);

    // The monotonic tick by which the running download must have ended; 0 for none. Set
    // by runReceive, read by readData.
    std::uint64_t readDeadline = 0;

    // ---- commands sent together (transfers.cpp) ----
    // The commands before a transfer whose answers the next one does not need (PWD, TYPE,
    // PASV or PORT) go out in one write and their replies are read in order. A server that
    // mishandles a command arriving before its answer to the previous one shows it by a
    // reply that does not fit (another code than the command's success) or by one that
    // does not come: the session then sends one command at a time for as long as this
    // state lives (the Session object, reopenings included), and says why here.
    bool oneAtATime = false;
    std::string oneAtATimeReason;

private:
    struct Batched {
        std::string line;
        const char* codes;     // the success code(s)
        std::string* kept;     // the reply's first line, when wanted
        bool mustSucceed;      // false: its refusal is not the operation's failure (PWD)
        bool repeatable = true;  // sent twice, it leaves the server as sent once (not a relative CWD)
    };
    // Sends the commands (together unless oneAtATime), checks each reply in order. False
    // when the operation fails (reason recorded). After a batch fell out of step, the
    // commands not answered as expected go again one at a time; when the batch holds one
    // that is not repeatable, nobody knows which of them the server carried out, so
    // `restartLine` (a CWD to an absolute directory) goes first and the whole batch again.
    bool sendCommands(std::vector<Batched>& commands, bool watchAbort, const std::string& restartLine = "");
    bool sendOneByOne(std::vector<Batched>& commands, std::size_t from, bool watchAbort);
    // After a batch fell out of step: reads and drops whatever comes until a quiet spell.
    bool dropUntilQuiet();

    // TYPE, the data connection and the transfer command (LIST, STOR, RETR), up to the
    // moment the data connection is established; false (and nothing left to read) otherwise.
    bool beginTransfer(DataConnection& dc, const std::string& typeLine, const std::string& transferLine,
                       bool watchAbort);
};

}  // namespace velmo::ftp::detail
