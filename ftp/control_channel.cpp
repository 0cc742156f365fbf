#include "ftp/control_channel.h"

#include "ftp/wire_text.h"
#include "platform/clock.h"

namespace velmo::ftp {
namespace {

// Pause before each reply wait.
constexpr int replyPauseMs = 10;
// Once a reply has started, it is over when the server stays quiet this long (longer
// after a large read: a long reply is on its way).
constexpr int quietMs = 50;
constexpr int quietAfterLargePieceMs = 1000;
constexpr std::size_t largePieceBytes = 150;
// Pause after a login reply whose code means nothing here.
constexpr int unknownReplyPauseMs = 10;

// A send on a full socket is retried for about as long as a reply may take.
int sendLimitSeconds(int replyWaitLimitMs) {
    int s = (replyWaitLimitMs + 999) / 1000;
    return s < 1 ? 1 : s;
}

}  // namespace

std::string replyCode(const std::string& reply) { return reply.substr(0, 3); }

ControlChannel::ControlChannel(int replyWaitLimitMs, int loginBoundMs)
    : replyWaitLimit_(replyWaitLimitMs), loginBoundMs_(loginBoundMs) {}

ControlChannel::~ControlChannel() { close(); }

void ControlChannel::close() { connection_.close(); }

bool ControlChannel::connect(const std::string& server, int port, std::shared_ptr<TlsTrust> tls) {
    close();
    tlsOutcome_ = TlsStart::Plain;
    if (!connection_.connect(server, port)) return false;
    const std::string greeting = readReply(replyWaitLimit_);
    bool usable = !greeting.empty() && greeting != ReplyTimeOut && replyCode(greeting) == "220";
    if (usable && tls) {
        // The same rules as the session's login: this conversation's USER and PASS never
        // go in clear to a server that takes them encrypted.
        sendLine("AUTH TLS\r\n");
        const bool accepted = replyCode(readReply(replyWaitLimit_)) == "234";
        const TlsStart start = startTls(connection_, accepted, server, port, *tls, replyWaitLimit_ + ReplyCompletionMarginMs);
        tlsOutcome_ = start;
        usable = start == TlsStart::Plain || start == TlsStart::Encrypted;
    }
    if (!usable) {
        // The caller gets no connection, so nobody else could close this one.
        close();
        return false;
    }
    return true;
}

std::string ControlChannel::readReply(int firstWaitMs) {
    clock::sleepMs(replyPauseMs);
    lastReply_.clear();
    if (!connection_.connected()) return lastReply_;
    ReplyWait wait;
    wait.firstByteMs = firstWaitMs;
    wait.wholeReplyMs = firstWaitMs + ReplyCompletionMarginMs;
    wait.quietMs = quietMs;
    wait.quietAfterLargePieceMs = quietAfterLargePieceMs;
    wait.largePieceBytes = largePieceBytes;
    wait.quietEndsReply = true;
    ReplyAssembler reply;
    const ReplyEnd end = connection_.readReply(reply, wait);
    if (end == ReplyEnd::NoReply || end == ReplyEnd::TooSlow) {
        lastReply_ = ReplyTimeOut;
        return lastReply_;
    }
    lastReply_ = reply.text();
    while (!lastReply_.empty() && (lastReply_.back() == '\n' || lastReply_.back() == '\r' || lastReply_.back() == ' '))
        lastReply_.pop_back();
    return lastReply_;
}

void ControlChannel::sendLine(const std::string& line) {
    if (line.empty()) return;
    connection_.sendLine(line, sendLimitSeconds(replyWaitLimit_));
}

CommandResult ControlChannel::login(const std::string& userId, const std::string& password) {
    if (!connected()) return CommandRejected;
    std::string userLine, passLine, typeLine;
    if (!commandLine("USER", userId, userLine) || !commandLine("PASS", password, passLine))
        return CommandRejected;
    commandLine("TYPE", "A", typeLine);
    sendLine(userLine);
    // Monotonic: a clock change during login must neither cut it short nor stretch it.
    const std::uint64_t start = clock::tickMs();
    for (;;) {
        const std::string reply = readReply(replyWaitLimit_);
        if (reply == ReplyTimeOut) return CommandTimedOut;
        if (reply.empty()) return CommandRejected;
        const std::string code = replyCode(reply);
        if (code == "200") return CommandAccepted;  // the answer to TYPE A
        if (code == "530") return CommandRejected;
        const bool known = code == "230" || code == "331";
        if (!known) clock::sleepMs(unknownReplyPauseMs);
        // Every reply counts against the bound: a server that asks for the password
        // again and again (or keeps answering TYPE A with 230) must not hold the login.
        if (clock::tickMs() - start > static_cast<std::uint64_t>(loginBoundMs_)) return CommandRejected;
        if (code == "230") sendLine(typeLine);
        else if (code == "331") sendLine(passLine);
    }
}

CommandResult ControlChannel::sendSiteCommand(const std::string& word, const std::string& path,
                                              const std::string& mode) {
    if (!connected()) return CommandRejected;
    std::string line;
    if (!commandLine(word, mode + " " + path, line)) return CommandRejected;
    sendLine(line);
    const std::string reply = readReply(replyWaitLimit_);
    if (reply == ReplyTimeOut) return CommandTimedOut;
    if (reply.empty()) return CommandRejected;
    return replyCode(reply) == "200" ? CommandAccepted : CommandRejected;
}

CommandResult ControlChannel::chmod(const std::string& path, const std::string& mode) {
    const CommandResult first = sendSiteCommand("CHMOD", path, mode);
    if (first == CommandAccepted) return first;
    // Most servers know the permission command only in its SITE form.
    return sendSiteCommand("SITE CHMOD", path, mode);
}

}  // namespace velmo::ftp
