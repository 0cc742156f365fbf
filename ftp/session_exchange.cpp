// One session's command/reply exchanges on its control connection, and its end.
#include "ftp/session.h"

#include <algorithm>
#include <chrono>

#include "platform/clock.h"

namespace velmo::ftp {
namespace {

constexpr int controlSendLimitSeconds = 30;
constexpr int abortCheckMs = 10;
// Preliminary (1xx) replies tolerated before a transfer's final reply.
constexpr int maxPreliminaryReplies = 4;
// A reply line whose break has not come after this much quiet is taken as it stands: a
// server that ends its last line without CR LF is not left waiting for the silence limit,
// while a line split across TCP segments still reads whole.
constexpr int unterminatedLineGraceMs = 1000;

}  // namespace

void Session::joinWorker() {
    std::lock_guard<std::mutex> lock(workerMutex);
    if (worker.joinable()) worker.join();
}

TransferStatus Session::abortAndWait() {
    if (!status.load().ended()) {
        abortRequested.store(true);
        while (!status.load().ended()) clock::sleepMs(abortCheckMs);
    }
    return status.load();
}

void Session::finishTransfer(bool ok) {
    {
        std::lock_guard<std::mutex> lock(endMutex);
        status.finish(ok);
    }
    endSignal.notify_all();
}

TransferStatus Session::waitForEnd(int timeoutMs) {
    std::unique_lock<std::mutex> lock(endMutex);
    endSignal.wait_for(lock, std::chrono::milliseconds(std::max(0, timeoutMs)), [this] { return status.load().ended(); });
    return status.load();
}

void Session::shutdown() {
    abortAndWait();
    joinWorker();
    setListing({});
    std::lock_guard<std::mutex> lock(opMutex);
    loseConnection();
}

void Session::setListing(std::vector<ListingEntry> entries, int skippedFileLines, int skippedFolderLines) {
    std::lock_guard<std::mutex> lock(listingMutex);
    listing = std::move(entries);
    skippedFiles = skippedFileLines;
    skippedDirectories = skippedFolderLines;
    current = 0;
    firstPending = !listing.empty();
}

bool Session::sendLine(const std::string& line) {
    if (control.sendLine(line, controlSendLimitSeconds)) return true;
    loseConnection();
    return false;
}

bool Session::readReply(ReplyAssembler& reply, bool watchAbort, int limitMs) {
    // The whole reply, not each piece of it, must come within the silence limit: a server
    // that drips a byte at a time cannot stretch a wait without end.
    ReplyWait wait;
    wait.firstByteMs = wait.wholeReplyMs = limitMs >= 0 ? std::min(limitMs, silenceLimitMs()) : silenceLimitMs();
    wait.quietMs = wait.quietAfterLargePieceMs = unterminatedLineGraceMs;
    wait.abort = watchAbort ? &abortRequested : nullptr;
    if (control.readReply(reply, wait) == ReplyEnd::Complete) return true;
    loseConnection();
    return false;
}

bool Session::expect(const char* codes, std::string* kept, bool watchAbort) {
    ReplyAssembler reply;
    if (!readReply(reply, watchAbort)) return false;
    if (!codeMatches(reply.firstLine(), codes)) return false;
    if (kept) *kept = reply.firstLine();
    return true;
}

bool Session::exchange(const std::string& line, const char* codes, std::string* kept, bool watchAbort) {
    return sendLine(line) && expect(codes, kept, watchAbort);
}

bool Session::readCompletion(bool watchAbort, int limitMs) {
    for (int i = 0; i <= maxPreliminaryReplies; ++i) {
        ReplyAssembler reply;
        if (!readReply(reply, watchAbort, limitMs)) return false;
        if (codeClass(reply.firstLine(), '1')) continue;
        return codeClass(reply.firstLine(), '2');
    }
    return false;
}

}  // namespace velmo::ftp
