// The FTP session layer every tool uses: one control connection per session number,
// directories, listings, single-file transfers and their progress.
//
// Sessions are named by a small number chosen by the caller (installer 44, locator 38,
// backup and updater 33). Every operation returns failure at once (false, empty text, 0)
// when the number names no open session. The layer shows no message and keeps no error
// text; callers word their own messages. All texts are CP1252 bytes.
#pragma once
#include <cstdint>
#include <string>

#include "ftp/account.h"

namespace velmo::ftp {

// Where a transfer stands. Started: requested, no data moved yet; Moving: data is moving;
// Failed and Done: it has ended.
enum class TransferPhase { TransferStarted, TransferMoving, TransferFailed, TransferDone };
using enum TransferPhase;

// A transfer's phase and the bytes it has moved so far (kept when it ends, so a finished
// transfer still tells its size). The layer hands both out as one value read at once: a
// poller never pairs one transfer's phase with another moment's count.
struct TransferStatus {
    TransferPhase phase = TransferDone;
    std::int64_t bytes = 0;
    bool ended() const { return phase == TransferFailed || phase == TransferDone; }
    bool operator==(const TransferStatus&) const = default;
};

// Listing entry kinds; EntryNone when there is no current entry.
enum class EntryKind { EntryNone = 0, EntryFile = 1, EntryDirectory = 2 };
using enum EntryKind;

// Program start / end: starts the platform's networking once; closes every open session.
void startSessions();
void closeAllSessions();

// Connects, drains the greeting, sends USER (expects 331) and PASS (expects 230).
// Opening a number already in use first closes the session that had it. In passive mode
// the data connections go to the address this control connection reached, at the port a
// 227 reply names; the address in the reply is not followed.
bool open(int session, const std::string& server, const std::string& userId,
          const std::string& password, bool passive, int port);
bool open(int session, const Account& account);
void close(int session);

bool isAlive(int session);                   // "PWD" answered with 257
// Without a word on the wire: false once the session has given its control connection up
// (a reply that never came, a transfer given up without the server's answer), when every
// later command fails at once and only a new open helps.
bool hasConnection(int session);
std::string currentDirectory(int session);   // quoted path of the 257 reply, or ""
bool changeDirectory(int session, const std::string& directory);  // ".." sends CDUP
bool makeDirectory(int session, const std::string& directory);

// True only for a whole listing: the server closed the data connection after it, it
// stayed within ListingParser's limits, and the final reply was a completion (2xx).
// Otherwise false with no entries: a stalled, cut or refused listing is never shown as
// the folder's content. The entries are stepped through with nextEntry.
bool listDirectory(int session);
// Entries of the last listing that were left out because their line was longer than
// ListingParser::MaxLineBytes, by the kind their line announced: the listing still
// counts, and the caller says that something could not be shown or saved.
int skippedEntries(int session, EntryKind kind);
bool nextEntry(int session);
std::string entryName(int session);
EntryKind entryKind(int session);
std::int64_t entrySize(int session);

// With `background`, the transfer runs in a thread of its own and the result says whether
// it was started; the caller then polls transferStatus (or waitForTransferEnd) until it
// has ended, and issues no other command on the session meanwhile (each would wait for
// the transfer). Without it, the result says whether the whole file moved. One transfer
// per session at a time.
bool sendFile(int session, const std::string& localPath, const std::string& remoteName,
              bool background);
bool receiveFile(int session, const std::string& remoteName, const std::string& localPath,
                 bool background);
// What one download may take before it is given up as a failure (0: no bound). maxBytes:
// more data than that (a server sending far more than the file it listed); deadlineMs:
// the whole download, from its first command to its last byte (a server that trickles a
// byte now and then never falls silent long enough for the silence limit).
struct ReceiveBounds {
    std::int64_t maxBytes = 0;
    int deadlineMs = 0;
};
bool receiveFile(int session, const std::string& remoteName, const std::string& localPath,
                 bool background, const ReceiveBounds& bounds);
// These give TransferFailed when the number names no open session, so that a poller
// waiting for the end of a transfer stops instead of waiting for ever.
TransferStatus transferStatus(int session);
// The status once the running transfer has ended, or once `timeoutMs` has passed, for a
// poller that refreshes its display at a fixed period: a transfer that ends early does
// not wait for the rest of the period. Gives at once when no transfer is running.
TransferStatus waitForTransferEnd(int session, int timeoutMs);
// Asks a running transfer to stop and waits until it has ended; gives its final status.
TransferStatus abortTransfer(int session);

// How long a whole reply may take (however it is cut into pieces), how long a data
// connection may stay silent, and how long an upload may wait for a server that takes
// none of its bytes, before the waiting operation gives up (a reply not read in time
// also costs the control connection). 120 000 ms unless a test sets a shorter limit;
// applies to every session, from the next wait on. (How replies are read and kept in step
// with their commands: ftp/control_connection.h.)
void setSilenceLimitMs(int ms);
int silenceLimitMs();

}  // namespace velmo::ftp
