// Inside the session layer (not for the tools: they use ftp/ftp_session.h): one session's
// state and the steps its operations are made of. ftp_session.cpp keeps the table of
// sessions and the public operations; session_exchange.cpp the command/reply exchanges;
// data_connection.cpp the data connections; transfers.cpp listings and file transfers.
//
// Threads: every operation on a session holds its operation lock (opMutex) while it talks
// on the control connection, so a background transfer (which holds it for the whole
// transfer) and a careless caller cannot interleave commands. The transfer status and the
// abort request are atomics: the starter of a background transfer polls the status
// without any lock (or waits for its end, woken by it), and close/abortTransfer raise the
// abort request while it runs.
#pragma once
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ftp/control_connection.h"
#include "ftp/ftp_session.h"
#include "ftp/listing_parser.h"
#include "platform/net.h"

namespace velmo::ftp {

// The transfer status as one 64-bit word, so that a poller reads phase and byte count
// together: the phase in the top two bits, the count below (capped far beyond any file).
class StatusWord {
public:
    static constexpr int phaseShift = 62;
    static constexpr std::uint64_t countMask = (std::uint64_t(1) << phaseShift) - 1;

    TransferStatus load() const {
        const std::uint64_t w = word_.load();
        return {static_cast<TransferPhase>(w >> phaseShift), static_cast<std::int64_t>(w & countMask)};
    }
    void store(TransferPhase phase, std::int64_t bytes = 0) {
        const std::uint64_t count = std::min<std::uint64_t>(static_cast<std::uint64_t>(bytes), countMask);
        word_.store(static_cast<std::uint64_t>(phase) << phaseShift | count);
    }
    // Only the thread that runs the transfer moves the count, so load-then-store is enough.
    void addMoved(std::size_t n) { store(TransferMoving, load().bytes + static_cast<std::int64_t>(n)); }
    // Ends the transfer, keeping the count it reached.
    void finish(bool ok) { store(ok ? TransferDone : TransferFailed, load().bytes); }

private:
    std::atomic<std::uint64_t> word_{static_cast<std::uint64_t>(TransferDone) << phaseShift};
};

// What a data read met: data, the server's close (the end of the data), silence past the
// limit, a failed connection, or an abort request.
enum class DataRead { Data, End, Stalled, Broken, Aborted };

struct DataChannel {
    net::Socket listener;  // active mode only
    net::Socket data;
    void close() {
        data.close();
        listener.close();
    }
};

class Session {
public:
    ~Session() { joinWorker(); }

    ControlConnection control;
    bool passive = true;

    StatusWord status;
    std::atomic<bool> abortRequested{false};

    // Ends the transfer (keeping the count it reached) and wakes whoever waits for its end.
    void finishTransfer(bool ok);
    // The status once the transfer has ended, or once `timeoutMs` has passed.
    TransferStatus waitForEnd(int timeoutMs);
    std::mutex endMutex;  // orders an end against a waiter's look at the status
    std::condition_variable endSignal;

    std::mutex opMutex;  // one exchange on the control connection at a time

    // The listing, read by the entry operations without the operation lock.
    std::mutex listingMutex;
    std::vector<ListingEntry> listing;
    std::size_t current = 0;
    bool firstPending = false;
    int skippedFiles = 0, skippedDirectories = 0;

    std::mutex workerMutex;
    std::thread worker;

    void joinWorker();
    TransferStatus abortAndWait();
    // Ends a running transfer, drops the listing and the control connection.
    void shutdown();
    void setListing(std::vector<ListingEntry> entries, int skippedFileLines = 0, int skippedFolderLines = 0);

    // ---- command/reply exchanges (callers hold opMutex) ----
    // With watchAbort an abort request ends a wait as a failure.

    // After a reply that could not be read whole, or a line that could not be sent whole,
    // the two sides no longer agree on which reply belongs to which command: the
    // connection is given up and every later command (isAlive included) fails.
    void loseConnection() { control.close(); }
    bool sendLine(const std::string& line);
    // One whole reply within the silence limit; false (connection given up) otherwise.
    // `limitMs` >= 0 replaces the silence limit for this reply (a shorter wait).
    bool readReply(ReplyAssembler& reply, bool watchAbort, int limitMs = -1);
    // One reply whose code is in `codes` ("125;150"); its first line into `kept`.
    bool expect(const char* codes, std::string* kept, bool watchAbort);
    bool exchange(const std::string& line, const char* codes, std::string* kept = nullptr, bool watchAbort = false);
    // The reply after a transfer's data: true for a completion (2xx). Preliminary 1xx
    // replies before it are read past.
    bool readCompletion(bool watchAbort, int limitMs = -1);

    // ---- data connection ----

    // PASV (connecting to the control connection's server) or PORT.
    bool openData(DataChannel& dc, bool watchAbort);
    // Active mode: the server connects after it accepted the transfer command.
    bool acceptData(DataChannel& dc, bool watchAbort);
    DataRead readData(net::Socket& s, char* buffer, std::size_t size, std::size_t& got, bool watchAbort);
    // Like the command sends, with the data connection's long limit; an abort request
    // ends it as a failure.
    bool sendData(net::Socket& s, const char* data, std::size_t size);

    // ---- listings and transfers (callers hold opMutex) ----

    // TYPE A, the data connection, LIST, the whole listing and a completion reply.
    bool runList(ListingParser& parser);
    // The callers have set the status to TransferStarted.
    bool runSend(const std::string& localPath, const std::string& remoteName);
    bool runReceive(const std::string& remoteName, const std::string& localPath, const ReceiveBounds& bounds);

    // The monotonic tick by which the running download must have ended; 0 for none. Set
    // by runReceive (which holds opMutex), read by readData.
    std::uint64_t readDeadline = 0;

private:
    // TYPE, the data connection and the transfer command (LIST, STOR, RETR), up to the
    // moment the data connection is established; false (and nothing left to read) otherwise.
    bool beginTransfer(DataChannel& dc, const std::string& typeLine, const std::string& transferLine, bool watchAbort);
};

}  // namespace velmo::ftp
