#include "http/download.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <vector>

#include "http/test_ca.h"
#include "http/url.h"
#include "platform/clock.h"
#include "platform/fs.h"
#include "platform/net.h"

namespace velmo::http {
namespace {

bool isRedirect(int status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

bool sameHost(const HttpUrl& a, const HttpUrl& b) {
    if (a.host.size() != b.host.size()) return false;
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

std::mutex testCaMutex;
std::string testCaFile;

std::string extraCaFile() {
    std::lock_guard<std::mutex> lock(testCaMutex);
    return testCaFile;
}

std::string certificateText(const tls::Verification& v) {
    const tls::CertificateInfo& c = v.certificate;
    if (c.der.empty()) return v.detail;
    return v.detail + " (subject: " + c.subject + "; issuer: " + c.issuer + "; valid " + c.notBefore + " to " +
           c.notAfter + " UTC; SHA-256 " + c.sha256 + ")";
}

enum class Read { Data, Closed, TimedOut, OutOfTime, Aborted, Broken };

// One connection to the server, plain or TLS, with the waits of this client.
class Connection {
public:
    // Connects (and over https shakes hands); None or the failure, its details in `result`.
    DownloadError open(const HttpUrl& url, const DownloadLimits& limits, const Budget& budget, DownloadResult& result) {
        const std::uint64_t left = budget.left();
        const bool budgetBounds = left <= static_cast<std::uint64_t>(std::max(limits.connectWaitMs, 0));
        net::Socket::ConnectOutcome connected = net::Socket::ConnectOutcome::NoAddress;
        socket_ = net::Socket::connectTo(
            url.host, url.port,
            static_cast<int>(budgetBounds ? left : static_cast<std::uint64_t>(limits.connectWaitMs)), budget.abort,
            &connected);
        switch (connected) {
            case net::Socket::ConnectOutcome::Connected: break;
            case net::Socket::ConnectOutcome::TimedOut:
                return budgetBounds ? DownloadError::TooSlow : DownloadError::ConnectTimedOut;
            case net::Socket::ConnectOutcome::Aborted: return DownloadError::Aborted;
            default: return DownloadError::ConnectFailed;
        }
        socket_.setNonBlocking(true);
        if (!url.secure) return DownloadError::None;

        tls::Options options;
        options.hostName = url.host;
        options.extraCaFile = extraCaFile();
        options.timeoutMs = std::max(limits.firstByteWaitMs, 1);
        // Silences alone do not bound it: a server that trickles its handshake a byte at a
        // time must still end within the address's time.
        options.totalMs = static_cast<int>(std::max<std::uint64_t>(budget.left(), 1));
        options.abort = budget.abort;
        const tls::Outcome shaken = tls_.handshake(std::move(socket_), options);
        secure_ = true;
        const tls::Verification& v = tls_.verification();
        switch (shaken) {
            case tls::Outcome::Done: return DownloadError::None;
            case tls::Outcome::Untrusted:
                // Never trusted here: no question, no exception, and not a byte of the
                // request goes out on it.
                result.certificateReason = v.reason;
                result.tlsDetail = certificateText(v);
                tls_.close(0);
                return DownloadError::CertificateRejected;
            default: break;
        }
        if (budget.aborted()) return DownloadError::Aborted;
        if (budget.left() == 0) return DownloadError::TooSlow;
        if (shaken == tls::Outcome::TimedOut) return DownloadError::NoAnswer;
        result.tlsDetail = "TLS handshake: " + v.detail;
        return DownloadError::TlsFailed;
    }

    DownloadError send(const std::string& request, const DownloadLimits& limits, const Budget& budget) {
        const std::uint64_t end =
            clock::tickMs() + static_cast<std::uint64_t>(std::max(limits.sendLimitSeconds, 0)) * 1000;
        if (secure_) {
            // Short slices: the stream carries on with the same bytes after each one.
            for (;;) {
                if (budget.aborted()) return DownloadError::Aborted;
                const std::uint64_t now = clock::tickMs();
                if (budget.left() == 0) return DownloadError::TooSlow;
                if (now >= end) return DownloadError::SendFailed;
                const int slice = static_cast<int>(std::min<std::uint64_t>({end - now, budget.left(), 100}));
                switch (tls_.sendAll(request.data(), request.size(), slice, budget.abort)) {
                    case tls::IoOutcome::Done: return DownloadError::None;
                    case tls::IoOutcome::TimedOut: continue;
                    case tls::IoOutcome::Aborted: return DownloadError::Aborted;
                    default: return DownloadError::SendFailed;
                }
            }
        }
        const char* p = request.data();
        std::size_t size = request.size();
        while (size > 0) {
            std::size_t moved = 0;
            const net::IoResult r = socket_.sendSome(p, size, moved);
            if (r == net::IoResult::Done) {
                p += moved;
                size -= moved;
                continue;
            }
            if (r != net::IoResult::WouldBlock) return DownloadError::SendFailed;
            const std::uint64_t now = clock::tickMs();
            if (now >= end) return DownloadError::SendFailed;
            // The socket is full: wait until it drains (at most the usual 50 ms retry step).
            switch (waitOn(socket_, true, std::min<std::uint64_t>(end - now, 50), budget)) {
                case Wait::Aborted: return DownloadError::Aborted;
                case Wait::OutOfTime: return DownloadError::TooSlow;
                default: break;
            }
        }
        return DownloadError::None;
    }

    // What the server sends next, after at most `waitMs` of silence (never past the budget).
    Read read(char* buffer, std::size_t size, std::size_t& moved, std::uint64_t waitMs, const Budget& budget) {
        moved = 0;
        if (secure_) {
            if (budget.aborted()) return Read::Aborted;
            const std::uint64_t left = budget.left();
            if (left == 0) return Read::OutOfTime;
            const int silence = static_cast<int>(std::max<std::uint64_t>(std::min(waitMs, left), 1));
            switch (tls_.receiveSome(buffer, size, moved, silence, budget.abort)) {
                case tls::IoOutcome::Done: return Read::Data;
                case tls::IoOutcome::Closed:
                    if (tls_.closeNotified()) return Read::Closed;
                    brokenDetail_ = "TLS connection: ended without close_notify";
                    return Read::Broken;
                case tls::IoOutcome::TimedOut: return budget.left() == 0 ? Read::OutOfTime : Read::TimedOut;
                case tls::IoOutcome::Aborted: return Read::Aborted;
                case tls::IoOutcome::Error: break;
            }
            brokenDetail_ = "TLS connection: " + tls_.verification().detail;
            return Read::Broken;
        }
        // Large reads, and a wait only once the socket has nothing more: a big file then
        // costs one receive per buffer instead of a wait and a receive per few kilobytes.
        for (;;) {
            if (budget.aborted()) return Read::Aborted;
            if (budget.left() == 0) return Read::OutOfTime;
            if (drained_) {
                switch (waitOn(socket_, false, waitMs, budget)) {
                    case Wait::Ready: break;
                    case Wait::Aborted: return Read::Aborted;
                    case Wait::OutOfTime: return Read::OutOfTime;
                    case Wait::TimedOut: return Read::TimedOut;
                }
            }
            const net::IoResult r = socket_.receiveSome(buffer, size, moved);
            drained_ = r == net::IoResult::WouldBlock;
            if (drained_) continue;
            return r == net::IoResult::Done ? Read::Data : Read::Closed;
        }
    }

    const std::string& brokenDetail() const { return brokenDetail_; }

    ~Connection() {
        // The request was answered (or given up): a short close_notify, never a wait for it.
        if (secure_ && tls_.ready()) tls_.close(100);
    }

private:
    net::Socket socket_;
    tls::Stream tls_;
    bool secure_ = false;
    bool drained_ = true;
    std::string brokenDetail_;
};

// One request and its answer on a connection of its own. Reads until the response is
// complete, has failed, or has shown a head this client will not take the body of.
DownloadError exchange(const HttpUrl& url, ResponseParser& parser, std::string& body, const DownloadLimits& limits,
                       const Budget& budget, DownloadResult& result) {
    if (budget.aborted()) return DownloadError::Aborted;
    if (budget.left() == 0) return DownloadError::TooSlow;
    Connection connection;
    if (const DownloadError opened = connection.open(url, limits, budget, result); opened != DownloadError::None)
        return opened;
    if (const DownloadError sent = connection.send(requestText(url), limits, budget); sent != DownloadError::None)
        return sent;

    bool answered = false;
    std::vector<char> buffer(64 * 1024);
    bool reserved = false;
    for (;;) {
        const int wait = answered ? limits.readWaitMs : limits.firstByteWaitMs;
        std::size_t moved = 0;
        const Read r =
            connection.read(buffer.data(), buffer.size(), moved, static_cast<std::uint64_t>(std::max(wait, 0)), budget);
        if (r == Read::Aborted) return DownloadError::Aborted;
        if (r == Read::OutOfTime) return DownloadError::TooSlow;
        if (r == Read::TimedOut) return answered ? DownloadError::Stalled : DownloadError::NoAnswer;
        if (r == Read::Broken) {
            // Over TLS only: the connection broke or ended without TLS's close (perhaps
            // cut by a third party), so even a body without length did not end here.
            result.tlsDetail = connection.brokenDetail();
            return DownloadError::TlsFailed;
        }
        if (r == Read::Closed) {
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

// Whether a redirect from `from` may lead to `to` (see download.h): None, or why not.
DownloadError redirectRefusal(const HttpUrl& from, const HttpUrl& to) {
    if (!sameHost(from, to)) return DownloadError::RedirectElsewhere;
    if (from.secure && !to.secure) return DownloadError::RedirectDowngrade;
    if (from.secure == to.secure && from.port != to.port) return DownloadError::RedirectElsewhere;
    return DownloadError::None;
}

}  // namespace

DownloadResult fetchUrl(const std::string& url, std::string& body, const DownloadLimits& limits) {
    DownloadResult result;
    Budget budget;
    budget.deadline = clock::tickMs() + static_cast<std::uint64_t>(std::max(limits.responseLimitMs, 0));
    if (limits.deadlineTickMs != 0) budget.deadline = std::min(budget.deadline, limits.deadlineTickMs);
    budget.abort = limits.abort;
    std::string current = url;
    HttpUrl previous;  // the address of the last hop
    for (;;) {
        body.clear();
        result.finalUrl = current;
        HttpUrl parsed;
        const UrlProblem problem = parseUrl(current, parsed);
        if (problem != UrlProblem::None) {
            result.error = problem == UrlProblem::NotHttp ? DownloadError::NotHttp : DownloadError::BadUrl;
            return result;
        }
        if (result.redirects > 0) {
            result.error = redirectRefusal(previous, parsed);
            if (result.error != DownloadError::None) return result;
        }
        previous = parsed;

        ResponseParser parser(limits.response);
        const DownloadError exchanged = exchange(parsed, parser, body, limits, budget, result);
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
            result.tlsDetail.clear();  // of a redirect page cut short, not of the file
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

void setExtraCaFileForTests(const std::string& pemFile) {
    std::lock_guard<std::mutex> lock(testCaMutex);
    testCaFile = pemFile;
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
        case DownloadError::RedirectDowngrade: return "redirect from https to http";
        case DownloadError::CertificateRejected: return "certificate rejected";
        case DownloadError::TlsFailed: return "tls failed";
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
