// Sessions named by a number in a process-wide table, with transfers that may run in a
// thread of their own: the interface of the tools that do not hold their own Session yet.
// It goes once each tool owns its Session (ftp/ftp_session.h) and runs its transfers on
// its worker's thread. Same behaviour as the Session operations it forwards to.
#pragma once
#include <cstdint>
#include <string>

#include "ftp/account.h"
#include "ftp/ftp_session.h"

namespace velmo::ftp {

enum class TransferPhase { TransferStarted, TransferMoving, TransferFailed, TransferDone };
using enum TransferPhase;

struct TransferStatus {
    TransferPhase phase = TransferDone;
    std::int64_t bytes = 0;
    bool ended() const { return phase == TransferFailed || phase == TransferDone; }
    bool operator==(const TransferStatus&) const = default;
};

// Closes every numbered session, then stops the networking.
void closeAllSessions();

bool open(int session, const std::string& server, const std::string& userId, const std::string& password,
          bool passive, int port);
bool open(int session, const Account& account);
void close(int session);
bool isAlive(int session);
bool hasConnection(int session);
std::string currentDirectory(int session);
bool changeDirectory(int session, const std::string& directory);
bool makeDirectory(int session, const std::string& directory);
bool listDirectory(int session);
int skippedEntries(int session, EntryKind kind);
bool nextEntry(int session);
std::string entryName(int session);
EntryKind entryKind(int session);
std::int64_t entrySize(int session);
bool sendFile(int session, const std::string& localPath, const std::string& remoteName, bool background);
bool receiveFile(int session, const std::string& remoteName, const std::string& localPath, bool background);
bool receiveFile(int session, const std::string& remoteName, const std::string& localPath, bool background,
                 const ReceiveBounds& bounds);
TransferStatus transferStatus(int session);
TransferStatus waitForTransferEnd(int session, int timeoutMs);
TransferStatus abortTransfer(int session);
void ensureConnected(int session, const Account& account, const std::string& directory);

}  // namespace velmo::ftp
