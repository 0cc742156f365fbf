// The update client's HTTP/1.1 GET: fetches one http:// or https:// address and stores
// the body as a file. The only network peer of the updater besides FTP.
//
// What makes a download succeed: a "200" answer whose whole body arrived in the framing
// its head announced (all Content-Length bytes, every chunk up to the last one, or, with
// neither, a body ended by the server closing the connection). Everything else fails and
// leaves the destination file as it was: an error status, a body cut short, a malformed
// head or chunk size, a body over the size bound, a server that stays silent or keeps
// sending past the time bound.
//
// HTTPS: the TLS handshake (platform/tls.h) follows the TCP connect, with the address's
// host as SNI and as the name the certificate must carry. The certificate is judged by the
// system's store alone (OpenSSL's default paths natively, the Windows store with Schannel):
// there is no question and no exception, since a file of the official site is only worth
// having from the official site (CertificateRejected, the reason kept). A TLS connection
// that ends without TLS's own close in the middle of a body is a failure, not an end.
//
// Redirects: a 301, 302, 303, 307 or 308 answer is followed to its Location (relative
// values resolved against the address asked) for at most maxRedirects hops; its own body
// is never stored. A Location must stay on the host asked (RedirectElsewhere otherwise): a
// file of the official site comes from the official site, whatever another host would
// hand out in its place. On the same scheme it must keep the port too; from http:// it may
// go up to https:// on the same host, at the port the Location names (443 when it names
// none), the certificate then vouching for the host; from https:// it may never come back
// to http:// (RedirectDowngrade). Another scheme ("ftp://...") fails cleanly (NotHttp).
//
// Time: one address costs at most responseLimitMs from the first connect to the last
// byte, its redirects and TLS handshakes included (a monotonic clock: changing the system
// time changes nothing), and never goes past the caller's own deadline; the connect, name
// lookup included, waits at most connectWaitMs of it, and a handshake at most
// firstByteWaitMs of silence. A caller's abort flag stops it within a tenth of a second.
#pragma once
#include <atomic>
#include <cstdint>
#include <string>

#include "http/response_parser.h"
#include "platform/tls.h"

namespace velmo::http {

struct DownloadLimits {
    int connectWaitMs = 10000;     // to reach the server, the name lookup included
    int firstByteWaitMs = 10000;   // after the request, until the server starts answering
    int readWaitMs = 10000;        // the longest silence between two later reads
    int sendLimitSeconds = 10;     // to hand the whole request to the connection
    int responseLimitMs = 120000;  // one whole address, however steadily it trickles in,
                                   // across all its redirects
    int maxRedirects = 5;
    ResponseLimits response;
    // A text file read line by line afterwards: more lines than this fail (TooManyLines),
    // so a small file of empty lines cannot cost a row each. -1: no bound.
    std::int64_t maxBodyLines = -1;

    // From the caller, for a run of several downloads: a clock::tickMs() value past which
    // none of them goes on (0: none), and a flag that stops the download as soon as it is
    // set (nullptr: none). The flag must outlive the download.
    std::uint64_t deadlineTickMs = 0;
    const std::atomic<bool>* abort = nullptr;
};

enum class DownloadError {
    None,
    BadUrl,            // not an http:// or https:// address this client can use
    NotHttp,           // the address (or a redirect's Location) has another scheme (ftp://...)
    ConnectFailed,     // no such host, or the connection was refused
    ConnectTimedOut,   // the host did not take the connection within connectWaitMs
    SendFailed,
    NoAnswer,          // nothing came within firstByteWaitMs
    Stalled,           // silence past readWaitMs in the middle of an answer
    TooSlow,           // the address was still not complete after responseLimitMs,
                       // or the caller's deadline came
    Malformed,         // the response parser refused the bytes (see parseError)
    HttpStatus,        // an answer other than 200 and the redirects (see status)
    TooManyRedirects,
    RedirectWithoutLocation,
    RedirectElsewhere,  // a Location on another host or port: not followed
    RedirectDowngrade,  // a Location from https:// back to plain http://: not followed
    CertificateRejected,  // https: the server's certificate could not be verified (see
                          // certificateReason and tlsDetail); nothing was asked of it
    TlsFailed,          // https: the TLS handshake failed (no common version or cipher, not
                        // TLS at all, closed during it), or the TLS connection broke (tlsDetail)
    TooManyLines,       // a complete body with more lines than maxBodyLines
    Aborted,            // the caller's abort flag was set
    CannotWrite,        // the destination file could not be written
};

struct DownloadResult {
    DownloadError error = DownloadError::None;
    ParseError parseError = ParseError::None;  // with Malformed
    int status = 0;                            // of the last answer, 0 when none came
    int redirects = 0;
    std::string finalUrl;                      // the address the body came from
    std::int64_t bodyBytes = 0;
    // With CertificateRejected and TlsFailed: why, for the journal. The reason in the
    // certificate's terms, and the library's words with the certificate's subject, issuer
    // and dates when one was presented.
    tls::Reason certificateReason = tls::Reason::None;
    std::string tlsDetail;
    bool ok() const { return error == DownloadError::None; }
};

// Fetches `url` (following redirects) into `body`.
DownloadResult fetchUrl(const std::string& url, std::string& body, const DownloadLimits& limits = {});

// Fetches `url` and, only when the whole body arrived, replaces `destinationPath` with it
// (written beside it first, so a failure never leaves a part of a file in its place).
DownloadResult downloadFile(const std::string& url, const std::string& destinationPath,
                            const DownloadLimits& limits = {});

// Short English names of the errors, for logs and test messages.
const char* errorName(DownloadError error);
const char* errorName(ParseError error);

}  // namespace velmo::http
