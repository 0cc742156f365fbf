// The FTP session layer every tool uses: one control connection per Session object,
// directories, listings, single-file transfers and their progress.
//
// A Session belongs to the engine that uses it and is used by one thread at a time (the
// engine's worker); it can be moved, not copied. Every operation runs on the caller's
// thread: a transfer returns once it has ended, telling its progress to a callback on the
// way. The layer starts no thread, shows no message and keeps no error text: each
// operation says why it failed (Result), and callers word their own messages. Every
// operation fails at once (NotConnected, empty text, 0) on a session that is not open.
// All texts are CP1252 bytes.
//
// Where the bytes go: the control connection through ftp/control_connection.h, each data
// connection through DataConnection (ftp/session.h); those two are the only places that
// touch the sockets.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ftp/account.h"
#include "ftp/listing_parser.h"

namespace velmo::ftp {

// Why an operation failed.
enum class Failure {
    None,
    NotConnected,          // the session is not open, or gave its connection up earlier
    ConnectFailed,         // the server could not be reached
    LoginRefused,          // USER or PASS was not answered as a login needs (see replyCode)
    TimedOut,              // a reply or the data did not come within its limit
    ConnectionLost,        // the server closed, or a line could not be sent whole
    BadReply,              // a reply this client cannot use (over its size, or unreadable)
    Refused,               // the server answered with another code (see replyCode)
    BadArgument,           // a name or text with a line break: nothing was sent
    LocalFile,             // the local file could not be read or written
    DataConnectionFailed,  // the data connection could not be opened or was not made
    Aborted,               // the progress callback asked to stop
    ListingTooLarge,       // a listing past ListingParser's limits
    TooLarge,              // a download past ReceiveBounds::maxBytes
    TlsDowngrade,          // AUTH TLS refused by a server seen with TLS before: nothing more sent
    TlsFailed,             // the TLS handshake failed (no common version, cut, not TLS)
    CertificateRefused,    // the user did not trust the server's certificate
};

struct Result {
    Failure failure = Failure::None;
    // The code of the reply that decided (Refused, LoginRefused), 0 when none did.
    int replyCode = 0;
    bool ok() const { return failure == Failure::None; }
    explicit operator bool() const { return ok(); }
    bool operator==(const Result&) const = default;
};

// Short English names, for journals and test messages.
const char* failureName(Failure failure);
// "Refused (550)", "TimedOut", "None".
std::string describe(const Result& result);

// What a transfer tells while it runs. onProgress gets the bytes moved so far about every
// periodMs from the start of the transfer until it has ended (during its commands, its
// data and the server's final reply), and once more with the final count when the data
// has ended. Its answer false stops the transfer: it fails with Aborted, and the session
// gives its connection up (the server's answer to a transfer cut short cannot be told
// from a later one's).
struct TransferWatch {
    std::function<bool(std::int64_t bytesMoved)> onProgress;
    int periodMs = 100;
};

// What one download may take before it is given up as a failure (0: no bound). maxBytes:
// more data than that (a server sending far more than the file it listed; TooLarge);
// deadlineMs: the whole download, from its first command to its last byte (a server that
// trickles a byte now and then never falls silent long enough for the silence limit;
// TimedOut).
struct ReceiveBounds {
    std::int64_t maxBytes = 0;
    int deadlineMs = 0;
};

namespace detail {
class SessionState;
}

class Session {
public:
    Session();
    ~Session();
    Session(Session&&) noexcept;
    Session& operator=(Session&&) noexcept;
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Connects, drains the greeting, sends USER (expects 331) and PASS (expects 230).
    // An open session is closed first. In passive mode the data connections go to the
    // address this control connection reached, at the port a 227 reply names; the address
    // in the reply is not followed. On failure the session is left closed.
    Result open(const std::string& server, const std::string& userId, const std::string& password,
                bool passive, int port);
    // With account.tls, encryption when the server offers it, under the rules of
    // ftp/tls_trust.h (a certificate question may be asked on the way).
    Result open(const Account& account);
    void close();
    // The control connection (and so every data connection) is encrypted.
    bool encrypted() const;

    bool isAlive();  // "PWD" answered with 257
    // Without a word on the wire: false once the session has given its control connection
    // up (a reply that never came, a transfer given up without the server's answer), when
    // every later command fails at once and only a new open helps.
    bool hasConnection() const;
    std::string currentDirectory();  // quoted path of the 257 reply, or "" (see lastResult)
    Result changeDirectory(const std::string& directory);  // ".." sends CDUP
    Result makeDirectory(const std::string& directory);

    // Ok only for a whole listing: the server closed the data connection after it, it
    // stayed within ListingParser's limits, and the final reply was a completion (2xx).
    // Otherwise a failure with no entries: a stalled, cut or refused listing is never shown
    // as the folder's content. The entries are stepped through with nextEntry (or taken
    // at once with entries()).
    Result listDirectory();
    const std::vector<ListingEntry>& entries() const;
    // Entries of the last listing that were left out because their line was longer than
    // ListingParser::MaxLineBytes, by the kind their line announced: the listing still
    // counts, and the caller says that something could not be shown or saved.
    int skippedEntries(EntryKind kind) const;
    bool nextEntry();
    std::string entryName() const;
    EntryKind entryKind() const;
    std::int64_t entrySize() const;

    // Ok when the whole file moved and the server's final reply was a completion. Runs on
    // the caller's thread until the transfer has ended; `watch` follows it and may stop it.
    Result sendFile(const std::string& localPath, const std::string& remoteName, const TransferWatch& watch = {});
    // sendFile preceded by a PWD whose answer is not looked at (the installer's sends have
    // always started with one): the PWD goes out with the transfer's first commands.
    Result sendFileAfterPwd(const std::string& localPath, const std::string& remoteName,
                            const TransferWatch& watch = {});
    // sendFile after changing directory: each of `folders` entered in turn (CWD, ".." as
    // CDUP; 250 expected; an absolute one too), those commands going out with the
    // transfer's first ones. A folder that cannot be entered fails it (Refused) before STOR;
    // the session is then wherever the last folder it entered left it. `from` is an absolute
    // directory the folders are reached from: after a batch that fell out of step (which of
    // its CWDs the server carried out is unknown) the session goes there first and enters
    // them again one at a time.
    Result sendFileInto(const std::string& from, const std::vector<std::string>& folders,
                        const std::string& localPath, const std::string& remoteName,
                        const TransferWatch& watch = {});
    // The commands before a transfer go out together and their replies are read in order;
    // a server that showed it mishandles that (a reply that did not fit its command, or
    // none) gets them one at a time for as long as this Session lives. Empty while they go
    // together; otherwise the command and what came instead ("TYPE -> 227", "PASV ->
    // (silence)"), for a journal.
    std::string oneAtATimeReason() const;
    Result receiveFile(const std::string& remoteName, const std::string& localPath, const ReceiveBounds& bounds = {},
                       const TransferWatch& watch = {});

    // The result of the last operation on this session (the reason behind an empty
    // currentDirectory or a false isAlive included).
    Result lastResult() const;

private:
    std::unique_ptr<detail::SessionState> state_;
};

// Program start / end: starts the platform's networking once; stops it again.
void startSessions();
void stopSessions();

// How long a whole reply may take (however it is cut into pieces), how long a data
// connection may stay silent, and how long an upload may wait for a server that takes
// none of its bytes, before the waiting operation gives up (a reply not read in time
// also costs the control connection). 120 000 ms unless a test sets a shorter limit;
// applies to every session, from the next wait on. (How replies are read and kept in step
// with their commands: ftp/control_connection.h.)
void setSilenceLimitMs(int ms);
int silenceLimitMs();

}  // namespace velmo::ftp
