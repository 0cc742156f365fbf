#include "ftp/control_channel.h"

#include <memory>
#include <mutex>
#include <new>

#include "platform/clock.h"

namespace velmo::ftp {
namespace {

std::mutex lastReplyMutex;
std::string lastReplyShared;

void rememberReply(const std::string& text) {
    std::lock_guard<std::mutex> lock(lastReplyMutex);
    lastReplyShared = text;
}

// A CR or LF inside an argument would end the command early and make the rest a second
// command of the caller's choosing; a NUL cuts the name short on many servers.
bool safeArgument(const std::string& text) { return text.find_first_of(std::string("\r\n\0", 3)) == std::string::npos; }

// A send on a full socket is retried for about as long as a reply may take.
int sendLimitSeconds(int replyWaitLimitMs) {
    int s = (replyWaitLimitMs + 999) / 1000;
    return s < 1 ? 1 : s;
}

}  // namespace

std::string lastReplyText() {
    std::lock_guard<std::mutex> lock(lastReplyMutex);
    return lastReplyShared;
}

std::string replyCode(const std::string& reply) { return reply.substr(0, 3); }

ControlChannel::ControlChannel(int replyWaitLimitMs, int loginBoundMs)
    : replyWaitLimit_(replyWaitLimitMs), loginBoundMs_(loginBoundMs) {}

ControlChannel::~ControlChannel() { close(); }

void ControlChannel::close() { socket_.close(); }

bool ControlChannel::connect(const std::string& server, int port) {
    close();
    // The installer and the updater may reach this before their session layer started
    // networking; once per process is enough.
    static std::once_flag networking;
    std::call_once(networking, [] { net::startNetworking(); });
    socket_ = net::Socket::connectTo(server, port);
    if (!socket_.valid()) return false;
    // Waits are done with polls; sends must not block past their limit either.
    socket_.setNonBlocking(true);
    const std::string greeting = readReply(replyWaitLimit_);
    if (greeting.empty() || greeting == ReplyTimeOut || replyCode(greeting) != "220") {
        // The caller gets no connection, so nobody else could close this one.
        close();
        return false;
    }
    return true;
}

std::string ControlChannel::readReply(int firstWaitMs) {
    clock::sleepMs(10);
    if (!socket_.valid()) {
        lastReply_.clear();
        rememberReply(lastReply_);
        return lastReply_;
    }
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[ReceiveBufferSize]);
    if (!buffer) {
        lastReply_.clear();
        rememberReply(lastReply_);
        return lastReply_;
    }

    std::string text;
    int limit = firstWaitMs;
    for (;;) {
        const std::uint64_t start = clock::tickMs();
        long count = -1;
        bool ready = false;
        for (;;) {
            if (socket_.waitReadable(5)) {
                ready = true;
                break;
            }
            // Strictly more than the limit: a limit of 0 still gets one look after the pause.
            if (clock::tickMs() - start > static_cast<std::uint64_t>(limit < 0 ? 0 : limit)) break;
        }
        if (ready) {
            std::size_t moved = 0;
            net::IoResult r = socket_.receiveSome(buffer.get(), ReceiveBufferSize, moved);
            count = (r == net::IoResult::Done) ? static_cast<long>(moved) : 0;
            if (count > 0) {
                const std::size_t room = MaxReplyBytes - text.size();
                text.append(buffer.get(), static_cast<std::size_t>(count) < room ? static_cast<std::size_t>(count) : room);
            }
        }
        // A large piece announces a long reply (a listing-sized greeting): give its next
        // piece more time than the short gap that separates ordinary reply segments.
        limit = count > 150 ? 1000 : 50;
        if (count < 1 || text.size() >= MaxReplyBytes) break;
    }
    buffer.reset();

    if (text.empty()) {
        lastReply_ = ReplyTimeOut;
    } else {
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
        lastReply_ = text;
    }
    rememberReply(lastReply_);
    return lastReply_;
}

void ControlChannel::sendLine(const std::string& line) {
    if (!socket_.valid() || line.empty()) return;
    net::sendAll(socket_, line.data(), line.size(), sendLimitSeconds(replyWaitLimit_));
}

CommandResult ControlChannel::login(const std::string& userId, const std::string& password) {
    if (!socket_.valid()) return CommandRejected;
    if (!safeArgument(userId) || !safeArgument(password)) return CommandRejected;
    sendLine("USER " + userId + "\r\n");
    // Monotonic: a clock change during login must neither cut it short nor stretch it.
    const std::uint64_t start = clock::tickMs();
    for (;;) {
        const std::string reply = readReply(replyWaitLimit_);
        if (reply == ReplyTimeOut) return CommandTimedOut;
        if (reply.empty()) return CommandRejected;
        const std::string code = replyCode(reply);
        if (code == "200") return CommandAccepted;  // the answer to TYPE A
        if (code == "230") {
            sendLine("TYPE A\r\n");
        } else if (code == "331") {
            sendLine("PASS " + password + "\r\n");
        } else if (code == "530") {
            return CommandRejected;
        } else {
            clock::sleepMs(10);
            if (clock::tickMs() - start > static_cast<std::uint64_t>(loginBoundMs_)) return CommandRejected;
        }
    }
}

CommandResult ControlChannel::sendSiteCommand(const std::string& word, const std::string& path, const std::string& mode) {
    if (!socket_.valid()) return CommandRejected;
    if (!safeArgument(word) || !safeArgument(path) || !safeArgument(mode)) return CommandRejected;
    sendLine(word + " " + mode + " " + path + "\r\n");
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
