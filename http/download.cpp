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

// One request and its answer on a connection of its own. Reads until the response is
// complete, has failed, or has shown a head this client will not take the body of.
DownloadError exchange(const HttpUrl& url, ResponseParser& parser, std::string& body,
                       const DownloadLimits& limits) {
    net::Socket socket = net::Socket::connectTo(url.host, url.port);
    if (!socket.valid()) return DownloadError::ConnectFailed;
    socket.setNonBlocking(true);
    const std::string request = requestText(url);
    if (!net::sendAll(socket, request.data(), request.size(), limits.sendLimitSeconds))
        return DownloadError::SendFailed;

    const std::uint64_t start = clock::tickMs();
    const auto responseLimit = static_cast<std::uint64_t>(limits.responseLimitMs);
    bool answered = false;
    // Large reads, and a wait only once the socket has nothing more: a big file then costs
    // one receive per buffer instead of a wait and a receive per few kilobytes.
    std::vector<char> buffer(64 * 1024);
    bool drained = true;
    bool reserved = false;
    for (;;) {
        const std::uint64_t elapsed = clock::tickMs() - start;
        if (elapsed >= responseLimit) return DownloadError::TooSlow;
        if (drained) {
            const int wait = static_cast<int>(std::min<std::uint64_t>(
                static_cast<std::uint64_t>(answered ? limits.readWaitMs : limits.firstByteWaitMs),
                responseLimit - elapsed));
            if (!socket.waitReadable(wait)) {
                if (clock::tickMs() - start >= responseLimit) return DownloadError::TooSlow;
                return answered ? DownloadError::Stalled : DownloadError::NoAnswer;
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
        if (!reserved && parser.headComplete() && parser.head().framing == BodyFraming::Length) {
            // The announced length is within the limits (the parser refused it otherwise):
            // one allocation instead of a copy of the whole body at every doubling.
            body.reserve(static_cast<std::size_t>(parser.head().contentLength));
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
    std::string current = url;
    for (;;) {
        body.clear();
        result.finalUrl = current;
        HttpUrl parsed;
        const UrlProblem problem = parseUrl(current, parsed);
        if (problem != UrlProblem::None) {
            result.error = problem == UrlProblem::NotHttp ? DownloadError::NotHttp : DownloadError::BadUrl;
            return result;
        }

        ResponseParser parser(limits.response);
        const DownloadError exchanged = exchange(parsed, parser, body, limits);
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
        if (exchanged != DownloadError::None) body.clear();
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
        case DownloadError::SendFailed: return "send failed";
        case DownloadError::NoAnswer: return "no answer";
        case DownloadError::Stalled: return "stalled";
        case DownloadError::TooSlow: return "too slow";
        case DownloadError::Malformed: return "malformed response";
        case DownloadError::HttpStatus: return "http status";
        case DownloadError::TooManyRedirects: return "too many redirects";
        case DownloadError::RedirectWithoutLocation: return "redirect without location";
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
