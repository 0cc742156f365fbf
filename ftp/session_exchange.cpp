// One session's command/reply exchanges on its control connection, the failures they
// record, and the watch of a running transfer.
#include "ftp/session.h"

#include <algorithm>

#include "ftp/wire_text.h"
#include "platform/clock.h"

namespace velmo::ftp::detail {
namespace {

constexpr int controlSendLimitSeconds = 30;
// Preliminary (1xx) replies tolerated before a transfer's final reply.
constexpr int maxPreliminaryReplies = 4;
// A reply line whose break has not come after this much quiet is taken as it stands: a
// server that ends its last line without CR LF is not left waiting for the silence limit,
// while a line split across TCP segments still reads whole.
constexpr int unterminatedLineGraceMs = 1000;

// The three digits that start a reply line, 0 when it does not start with three digits.
int codeOf(const std::string& line) {
    if (line.size() < 3) return 0;
    int code = 0;
    for (int i = 0; i < 3; ++i) {
        if (line[i] < '0' || line[i] > '9') return 0;
        code = code * 10 + (line[i] - '0');
    }
    return code;
}

}  // namespace

bool SessionState::fail(Failure failure, int replyCode) {
    if (result.ok()) result = Result{failure, replyCode};
    return false;
}

bool SessionState::stopRequested(bool force) {
    if (stopAsked) return true;
    if (!watch || !watch->onProgress) return false;
    const std::uint64_t now = clock::tickMs();
    if (!force && now - lastReport < static_cast<std::uint64_t>(std::max(0, watch->periodMs))) return false;
    lastReport = now;
    if (!watch->onProgress(moved)) stopAsked = true;
    return stopAsked;
}

void SessionState::setListing(std::vector<ListingEntry> entries, int skippedFileLines, int skippedFolderLines) {
    listing = std::move(entries);
    skippedFiles = skippedFileLines;
    skippedDirectories = skippedFolderLines;
    current = 0;
    firstPending = !listing.empty();
}

bool SessionState::sendLine(const std::string& line) {
    if (!control.connected()) return fail(Failure::NotConnected);
    if (control.sendLine(line, controlSendLimitSeconds)) return true;
    loseConnection();
    return fail(Failure::ConnectionLost);
}

bool SessionState::readReply(ReplyAssembler& reply, bool watchAbort, int limitMs) {
    // The whole reply, not each piece of it, must come within the silence limit: a server
    // that drips a byte at a time cannot stretch a wait without end.
    ReplyWait wait;
    wait.firstByteMs = wait.wholeReplyMs = limitMs >= 0 ? std::min(limitMs, silenceLimitMs()) : silenceLimitMs();
    wait.quietMs = wait.quietAfterLargePieceMs = unterminatedLineGraceMs;
    if (watchAbort) wait.stop = [this] { return stopRequested(); };
    const ReplyEnd end = control.readReply(reply, wait);
    if (end == ReplyEnd::Complete) return true;
    // The connection closes itself when the server has gone.
    const bool serverGone = !control.connected();
    loseConnection();
    switch (end) {
    case ReplyEnd::NoReply: return fail(serverGone ? Failure::ConnectionLost : Failure::TimedOut);
    case ReplyEnd::TooSlow: return fail(Failure::TimedOut);
    case ReplyEnd::OverLimit: return fail(Failure::BadReply);
    case ReplyEnd::Aborted: return fail(Failure::Aborted);
    default: return fail(Failure::ConnectionLost);
    }
}

bool SessionState::expect(const char* codes, std::string* kept, bool watchAbort, Failure refusal) {
    ReplyAssembler reply;
    if (!readReply(reply, watchAbort)) return false;
    if (!codeMatches(reply.firstLine(), codes)) return fail(refusal, codeOf(reply.firstLine()));
    if (kept) *kept = reply.firstLine();
    return true;
}

bool SessionState::exchange(const std::string& line, const char* codes, std::string* kept, bool watchAbort,
                            Failure refusal) {
    return sendLine(line) && expect(codes, kept, watchAbort, refusal);
}

bool SessionState::readCompletion(bool watchAbort, int limitMs) {
    for (int i = 0; i <= maxPreliminaryReplies; ++i) {
        ReplyAssembler reply;
        if (!readReply(reply, watchAbort, limitMs)) return false;
        if (codeClass(reply.firstLine(), '1')) continue;
        if (codeClass(reply.firstLine(), '2')) return true;
        return fail(Failure::Refused, codeOf(reply.firstLine()));
    }
    return fail(Failure::BadReply);
}

}  // namespace velmo::ftp::detail
