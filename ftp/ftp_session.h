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

namespace velmo::ftp {

// Transfer status values; 0 and up is the number of bytes moved so far.
constexpr int TransferStarted = -1;
constexpr int TransferFailed = -2;
constexpr int TransferDone = -3;

// Listing entry kinds.
constexpr int EntryFile = 1;
constexpr int EntryDirectory = 2;

// Program start / end: starts the platform's networking once; closes every open session.
void startSessions();
void closeAllSessions();

// Connects, drains the greeting, sends USER (expects 331) and PASS (expects 230).
// Opening a number already in use first closes the session that had it.
bool open(int session, const std::string& server, const std::string& userId,
          const std::string& password, int passive, int port);
void close(int session);

bool isAlive(int session);                   // "PWD" answered with 257
std::string currentDirectory(int session);   // quoted path of the 257 reply, or ""
bool changeDirectory(int session, const std::string& directory);  // ".." sends CDUP
bool makeDirectory(int session, const std::string& directory);

bool listDirectory(int session);
bool nextEntry(int session);
std::string entryName(int session);
int entryKind(int session);
std::int64_t entrySize(int session);

// With `background`, the transfer runs in a thread of its own and the result says whether
// it was started; the caller then polls transferStatus until TransferDone or TransferFailed.
bool sendFile(int session, const std::string& localPath, const std::string& remoteName,
              bool background);
bool receiveFile(int session, const std::string& remoteName, const std::string& localPath);
// Both give TransferFailed when the number names no open session, so that a poller
// waiting for the end of a send stops instead of reading 0 ("data moving") for ever.
int transferStatus(int session);
int abortTransfer(int session);

// How long a reply (or a data connection) may stay silent before the waiting operation
// gives up and the control connection is treated as lost. 120 000 ms unless a test sets
// a shorter limit; applies to every session, from the next wait on.
void setSilenceLimitMs(int ms);
int silenceLimitMs();

}  // namespace velmo::ftp
