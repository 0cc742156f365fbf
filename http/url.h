// Web addresses of the update client: splitting an http:// or https:// address, the request it sends,
// where a redirect leads, and how a relative file path joins a base address.
// Pure functions over bytes (CP1252 text); no sockets here.
#pragma once
#include <string>

namespace velmo::http {

struct HttpUrl {
    std::string host;   // name or dotted IPv4 address, as written
    int port = 80;
    // Everything after the first "/" that follows the host, without any "#fragment";
    // may be empty. Kept as written: requestTarget() encodes what needs it.
    std::string path;
    // "https://": the connection is TLS, its certificate checked for `host` (port 443
    // unless the address names another).
    bool secure = false;
};

// The port an address of this kind uses when it names none: 80, or 443 over TLS.
inline int defaultPort(bool secure) { return secure ? 443 : 80; }

enum class UrlProblem {
    None,
    NotHttp,    // another scheme ("ftp://", "file://"): this client speaks HTTP and HTTPS only
    Malformed,  // no "://", no host, a bad port, a host with characters no host has
};

// "http://host[:port][/path]" or "https://host[:port][/path]", the scheme in any letter
// case. The host may not hold user information ("@"), blanks or control characters; an
// IPv6 literal ("[...]") is refused since the socket layer speaks IPv4 only. An empty port
// (a bare ":") means the scheme's own (80 or 443).
UrlProblem parseUrl(const std::string& url, HttpUrl& out);

// "http[s]://host[:port]/path" (":port" only when it is not the scheme's own).
std::string formatUrl(const HttpUrl& url);

// "/" + path with every byte that may not stand in a request line percent-encoded
// (controls, blank, bytes from 0x80, and " < > \ ^ ` { | }); "%" is kept, so an address
// that is already encoded is sent as it is.
std::string requestTarget(const HttpUrl& url);

// The whole GET request:
// "GET <target> HTTP/1.1\r\nAccept: */*\r\nHost: <host>[:<port>]\r\nConnection: close\r\n\r\n"
// (":<port>" only when it is not the scheme's own).
std::string requestText(const HttpUrl& url);

// The address a Location value names, seen from the address it answered: an absolute
// address is taken as it is, "//host/..." keeps the scheme of `base`, "/..." keeps host and port,
// anything else replaces the last part of the path; "." and ".." parts of a path-only
// value are resolved, and a "#fragment" is dropped. Empty text when the value is empty or
// holds control characters.
std::string resolveLocation(const HttpUrl& base, const std::string& location);

// A relative file path ("skins/defaut/fond.velmo") made fit to follow a base address:
// "/" kept, every other byte outside letters, digits and "-._~" percent-encoded (so a
// blank, "#", "?" or "%" in a file name reach the server as part of the name).
std::string encodePath(const std::string& relativePath);

}  // namespace velmo::http
