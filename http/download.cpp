#include "http/download.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "http/url.h"
#include "platform/clock.h"
#include "platform/fs.h"
#include "platform/net.h"

namespace velmo::http {
namespace {

bool isRedirect(int status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

bool sameHostAndPort(const HttpUrl& a, const HttpUrl& b) {
    if (a.port != b.port || a.host.size() != b.host.size()) return false;
    for (std::size_t i = 0; i < a.host.size(); ++i) {
        char x = a.host[i], y = b.host[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

std::int64_t lineCount(const std::string& body) {
    std::int64_t lines = std::count(body.begin(), body.end(), '\n');
    if (!body.empty() && body.back() != '\n') ++lines;
    return lines;
}

// The clock and the caller's flag that bound one address, redirects included.
struct Budget {
    std::uint64_t deadline = 0;  // clock::tickMs()
    const std::atomic<bool>* abort = nullptr;

    bool aborted() const { return abort && abort->load(); }
    // Milliseconds left (0 once the deadline has passed).
    std::uint64_t left() const {
        const std::uint64_t now = clock::tickMs();
        return now >= deadline ? 0 : deadline - now;
    }
};

enum class Wait { Ready, TimedOut, OutOfTime, Aborted };

// Waits up to `limitMs` (never past the budget) for the socket to be readable or
// writable, in steps short enough to see an abort soon.
Wait waitOn(net::Socket& socket, bool forWrite, std::uint64_t limitMs, const Budget& budget) {
    const std::uint64_t end = clock::tickMs() + limitMs;
    for (;;) {
        if (budget.aborted()) return Wait::Aborted;
        const std::uint64_t left = budget.left();
        if (left == 0) return Wait::OutOfTime;
        const std::uint64_t now = clock::tickMs();
        if (now >= end) return Wait::TimedOut;
        std::uint64_t step = std::min(end - now, left);
        if (budget.abort) step = std::min<std::uint64_t>(step, 100);
        const int ms = static_cast<int>(step);
        if (forWrite ? socket.waitWritable(ms) : socket.waitReadable(ms)) return Wait::Ready;
    }
}

DownloadError sendRequest(net::Socket& socket, const std::string& request, const DownloadLimits& limits,
                          const Budget& budget) {
    const std::uint64_t end = clock::tickMs() + static_cast<std::uint64_t>(limits.sendLimitSeconds) * 1000;
    const char* p = request.data();
    std::size_t size = request.size();
    while (size > 0) {
        std::size_t moved = 0;
        const net::IoResult r = socket.sendSome(p, size, moved);
        if (r == net::IoResult::Done) {
            p += moved;
            size -= moved;
            continue;
        }
        if (r != net::IoResult::WouldBlock) return DownloadError::SendFailed;
        const std::uint64_t now = clock::tickMs();
        if (now >= end) return DownloadError::SendFailed;
        // The socket is full: wait until it drains (at most the usual 50 ms retry step).
        switch (waitOn(socket, true, std::min<std::uint64_t>(end - now, 50), budget)) {
            case Wait::Aborted: return DownloadError::Aborted;
            case Wait::OutOfTime: return DownloadError::TooSlow;
            default: break;
        }
    }
    return DownloadError::None;
}

// One request and its answer on a connection of its own. Reads until the response is
// complete, has failed, or has shown a head this client will not take the body of.
DownloadError exchange(const HttpUrl& url, ResponseParser& parser, std::string& body,
                       const DownloadLimits& limits, const Budget& budget) {
    if (budget.aborted()) return DownloadError::Aborted;
    const std::uint64_t left = budget.left();
    if (left == 0) return DownloadError::TooSlow;
    const bool budgetBounds = left <= static_cast<std::uint64_t>(std::max(limits.connectWaitMs, 0));
    net::Socket::ConnectOutcome connected = net::Socket::ConnectOutcome::NoAddress;
    net::Socket socket = net::Socket::connectTo(
        url.host, url.port, static_cast<int>(budgetBounds ? left : static_cast<std::uint64_t>(limits.connectWaitMs)),
        budget.abort, &connected);
    switch (connected) {
        case net::Socket::ConnectOutcome::Connected: break;
        case net::Socket::ConnectOutcome::TimedOut:
            return budgetBounds ? DownloadError::TooSlow : DownloadError::ConnectTimedOut;
        case net::Socket::ConnectOutcome::Aborted: return DownloadError::Aborted;
        default: return DownloadError::ConnectFailed;
    }
    socket.setNonBlocking(true);
    if (const DownloadError sent = sendRequest(socket, requestText(url), limits, budget); sent != DownloadError::None)
        return sent;

    bool answered = false;
    // Large reads, and a wait only once the socket has nothing more: a big file then costs
    // one receive per buffer instead of a wait and a receive per few kilobytes.
    std::vector<char> buffer(64 * 1024);
    bool drained = true;
    bool reserved = false;
    for (;;) {
        if (budget.aborted()) return DownloadError::Aborted;
        if (budget.left() == 0) return DownloadError::TooSlow;
        if (drained) {
            const int wait = answered ? limits.readWaitMs : limits.firstByteWaitMs;
            switch (waitOn(socket, false, static_cast<std::uint64_t>(std::max(wait, 0)), budget)) {
                case Wait::Ready: break;
                case Wait::Aborted: return DownloadError::Aborted;
                case Wait::OutOfTime: return DownloadError::TooSlow;
                case Wait::TimedOut: return answered ? DownloadError::Stalled : DownloadError::NoAnswer;
            }
        }
        std::size_t moved = 0;
        const net::IoResult r = socket.receiveSome(buffer.data(), buffer.size(), moved);
        drained = r == net::IoResult::WouldBlock;
        if (drained) continue;
        if (r != net::IoResult::Done) {
            if (!answered) return DownloadError::NoAnswer;
            parser.endOfStream();
            break;
        }
        answered = true;
        parser.feed(std::string_view(buffer.data(), moved), body);
        if (parser.progress() == ResponseParser::Progress::Failed) break;
        if (!reserved && parser.headComplete() && parser.head().framing == BodyFraming::Length) {
            // One allocation instead of a copy of the whole body at every doubling, and
            // never more than the limits let a body be, whatever the head said.
            body.reserve(static_cast<std::size_t>(
                std::min(parser.head().contentLength, limits.response.maxBodyBytes)));
            reserved = true;
        }
        if (parser.progress() != ResponseParser::Progress::NeedMore) break;
        if (parser.headComplete() && parser.head().status != 200) break;
    }
    return parser.progress() == ResponseParser::Progress::Failed ? DownloadError::Malformed
                                                                 : DownloadError::None;
}

}  // namespace

DownloadResult fetchUrl(const std::string& url, std::string& body, const DownloadLimits& limits) {
    DownloadResult result;
    Budget budget;
    budget.deadline = clock::tickMs() + static_cast<std::uint64_t>(std::max(limits.responseLimitMs, 0));
    if (limits.deadlineTickMs != 0) budget.deadline = std::min(budget.deadline, limits.deadlineTickMs);
    budget.abort = limits.abort;
    std::string current = url;
    HttpUrl asked;
    for (;;) {
        body.clear();
        result.finalUrl = current;
        HttpUrl parsed;
        const UrlProblem problem = parseUrl(current, parsed);
        if (problem != UrlProblem::None) {
            result.error = problem == UrlProblem::NotHttp ? DownloadError::NotHttp : DownloadError::BadUrl;
            return result;
        }
        if (result.redirects == 0) asked = parsed;
        else if (!sameHostAndPort(asked, parsed)) {
            result.error = DownloadError::RedirectElsewhere;
            return result;
        }

        ResponseParser parser(limits.response);
        const DownloadError exchanged = exchange(parsed, parser, body, limits, budget);
        result.status = parser.headComplete() ? parser.head().status : 0;
        if (parser.headComplete() && isRedirect(result.status)) {
            // The answer's own body (a short page) is never the file.
            body.clear();
            if (result.redirects >= limits.maxRedirects) {
                result.error = DownloadError::TooManyRedirects;
                return result;
            }
            const std::string* location = parser.head().find("location");
            const std::string next = location ? resolveLocation(parsed, *location) : std::string();
            if (next.empty()) {
                result.error = DownloadError::RedirectWithoutLocation;
                return result;
            }
            ++result.redirects;
            current = next;
            continue;
        }
        if (parser.headComplete() && result.status != 200) {
            body.clear();
            result.error = DownloadError::HttpStatus;
            return result;
        }
        result.error = exchanged;
        if (exchanged == DownloadError::Malformed) result.parseError = parser.error();
        if (exchanged == DownloadError::None && limits.maxBodyLines >= 0 && lineCount(body) > limits.maxBodyLines)
            result.error = DownloadError::TooManyLines;
        if (result.error != DownloadError::None) body.clear();
        result.bodyBytes = static_cast<std::int64_t>(body.size());
        return result;
    }
}

DownloadResult downloadFile(const std::string& url, const std::string& destinationPath,
                            const DownloadLimits& limits) {
    std::string body;
    DownloadResult result = fetchUrl(url, body, limits);
    if (result.ok() && !fs::replaceFileContents(destinationPath, body))
        result.error = DownloadError::CannotWrite;
    return result;
}

const char* errorName(DownloadError error) {
    switch (error) {
        case DownloadError::None: return "none";
        case DownloadError::BadUrl: return "bad address";
        case DownloadError::NotHttp: return "not http";
        case DownloadError::ConnectFailed: return "connect failed";
        case DownloadError::ConnectTimedOut: return "connect timed out";
        case DownloadError::SendFailed: return "send failed";
        case DownloadError::NoAnswer: return "no answer";
        case DownloadError::Stalled: return "stalled";
        case DownloadError::TooSlow: return "too slow";
        case DownloadError::Malformed: return "malformed response";
        case DownloadError::HttpStatus: return "http status";
        case DownloadError::TooManyRedirects: return "too many redirects";
        case DownloadError::RedirectWithoutLocation: return "redirect without location";
        case DownloadError::RedirectElsewhere: return "redirect elsewhere";
        case DownloadError::TooManyLines: return "too many lines";
        case DownloadError::Aborted: return "aborted";
        case DownloadError::CannotWrite: return "cannot write";
    }
    return "?";
}

const char* errorName(ParseError error) {
    switch (error) {
        case ParseError::None: return "none";
        case ParseError::BadStatusLine: return "bad status line";
        case ParseError::BadHeader: return "bad header";
        case ParseError::LineTooLong: return "line too long";
        case ParseError::HeadTooLarge: return "head too large";
        case ParseError::BadContentLength: return "bad content-length";
        case ParseError::UnsupportedCoding: return "unsupported coding";
        case ParseError::BadChunk: return "bad chunk";
        case ParseError::BodyTooLarge: return "body too large";
        case ParseError::Truncated: return "truncated";
    }
    return "?";
}

}  // namespace velmo::http
