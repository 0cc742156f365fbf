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
    return failReplyRead(end);
}

bool SessionState::readRefusal(int limitMs) {
    ReplyAssembler reply;
    ReplyWait wait;
    wait.firstByteMs = wait.wholeReplyMs = std::min(limitMs, silenceLimitMs());
    wait.quietMs = wait.quietAfterLargePieceMs = unterminatedLineGraceMs;
    wait.stop = [this] { return stopRequested(); };
    if (control.readReply(reply, wait) != ReplyEnd::Complete) return false;
    if (!codeClass(reply.firstLine(), '4') && !codeClass(reply.firstLine(), '5')) return false;
    return !fail(Failure::Refused, codeOf(reply.firstLine()));
}

bool SessionState::failReplyRead(ReplyEnd end) {
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

namespace velmo::ftp::detail {
namespace {

// How long the reply to a command sent together with others may keep silent before the
// server is taken for one that dropped it. Far above any round trip a user meets, so a
// slow server is not mistaken for a mishandling one; the fallback costs it once a session.
constexpr int batchedReplyMs = 3000;
// After a batch fell out of step: the quiet spell that says the server has answered
// everything it is going to answer.
constexpr int outOfStepQuietMs = 1000;

std::string wordOf(const std::string& line) { return line.substr(0, std::min(line.find(' '), line.find('\r'))); }

}  // namespace

bool SessionState::sendOneByOne(std::vector<Batched>& commands, std::size_t from, bool watchAbort) {
    for (std::size_t i = from; i < commands.size(); ++i) {
        Batched& c = commands[i];
        const Result before = result;
        if (exchange(c.line, c.codes, c.kept, watchAbort)) continue;
        if (c.mustSucceed || !control.connected()) return false;
        result = before;  // refused, and not looked at: the operation goes on
    }
    return true;
}

bool SessionState::dropUntilQuiet() {
    const int quiet = std::min(outOfStepQuietMs, silenceLimitMs());
    for (;;) {
        ReplyAssembler stray;
        ReplyWait wait;
        wait.firstByteMs = quiet;
        wait.wholeReplyMs = silenceLimitMs();
        wait.quietMs = wait.quietAfterLargePieceMs = unterminatedLineGraceMs;
        const ReplyEnd end = control.readReply(stray, wait);
        if (end == ReplyEnd::Complete || end == ReplyEnd::OverLimit) continue;
        if (end == ReplyEnd::NoReply && control.connected()) return true;
        loseConnection();
        return fail(Failure::ConnectionLost);
    }
}

bool SessionState::sendCommands(std::vector<Batched>& commands, bool watchAbort, const std::string& restartLine) {
    if (oneAtATime || commands.size() < 2) return sendOneByOne(commands, 0, watchAbort);
    std::string together;
    for (const Batched& c : commands) together += c.line;
    // One write: what the server sent unasked is dropped before it, and nothing between
    // its lines can eat a reply that belongs to one of them.
    if (!sendLine(together)) return false;
    for (std::size_t i = 0; i < commands.size(); ++i) {
        ReplyAssembler reply;
        ReplyWait wait;
        wait.firstByteMs = std::min(batchedReplyMs, silenceLimitMs());
        wait.wholeReplyMs = silenceLimitMs();
        wait.quietMs = wait.quietAfterLargePieceMs = unterminatedLineGraceMs;
        if (watchAbort) wait.stop = [this] { return stopRequested(); };
        const ReplyEnd end = control.readReply(reply, wait);
        std::string why;
        if (end == ReplyEnd::Complete) {
            if (codeMatches(reply.firstLine(), commands[i].codes)) {
                if (commands[i].kept) *commands[i].kept = reply.firstLine();
                continue;
            }
            // Only the code: the rest of the line is the server's text, not for a journal.
            const int code = codeOf(reply.firstLine());
            why = wordOf(commands[i].line) + " -> " + (code ? std::to_string(code) : std::string("?"));
        } else if (end == ReplyEnd::NoReply && control.connected()) {
            why = wordOf(commands[i].line) + " -> (silence)";
        } else {
            // The server gone, a reply past its bounds, a stop: as for any command.
            return failReplyRead(end);
        }
        // Another answer than the command's success, or none: this server may not take
        // commands before its answers (or it refused one; sent alone again, its answer
        // will tell). Whatever is still coming is dropped, and the commands not yet
        // answered as expected go again, one at a time, now and for the rest of the session.
        oneAtATime = true;
        oneAtATimeReason = why;
        if (!dropUntilQuiet()) return false;
        const bool repeatable = std::all_of(commands.begin(), commands.end(), [](const Batched& c) { return c.repeatable; });
        if (repeatable) return sendOneByOne(commands, i, watchAbort);
        if (restartLine.empty()) return fail(Failure::BadReply);
        if (!exchange(restartLine, "250", nullptr, watchAbort)) return false;
        // The batch again, less the way to where the session now stands.
        commands.erase(std::remove_if(commands.begin(), commands.end(),
                                      [&](const Batched& c) { return c.line == restartLine; }),
                       commands.end());
        return sendOneByOne(commands, 0, watchAbort);
    }
    return true;
}

}  // namespace velmo::ftp::detail
