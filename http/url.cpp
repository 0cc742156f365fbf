#include "http/url.h"

#include <cstddef>
#include <vector>

namespace velmo::http {
namespace {

bool isControl(unsigned char c) { return c < 0x20 || c == 0x7f; }

bool isAsciiLetterOrDigit(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

bool schemeIs(const std::string& url, std::size_t schemeEnd, const char* name) {
    std::size_t i = 0;
    for (; name[i] != '\0'; ++i) {
        if (i >= schemeEnd) return false;
        char c = url[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != name[i]) return false;
    }
    return i == schemeEnd;
}

// Host names and dotted addresses: letters, digits, "-", "." and "_" (some intranets).
bool isHostText(const std::string& host) {
    if (host.empty()) return false;
    for (unsigned char c : host)
        if (!isAsciiLetterOrDigit(c) && c != '-' && c != '.' && c != '_') return false;
    return true;
}

void appendEncoded(std::string& out, unsigned char c) {
    static const char hex[] = "0123456789ABCDEF";
    out += '%';
    out += hex[c >> 4];
    out += hex[c & 0x0f];
}

// Resolves "." and ".." parts of a path that starts with "/" (what a Location gives).
std::string removeDotParts(const std::string& path) {
    std::vector<std::string> parts;
    std::size_t start = 1;
    while (start <= path.size()) {
        std::size_t slash = path.find('/', start);
        if (slash == std::string::npos) slash = path.size();
        std::string part = path.substr(start, slash - start);
        const bool last = slash == path.size();
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
            if (last) parts.emplace_back();
        } else if (part == ".") {
            if (last) parts.emplace_back();
        } else {
            parts.push_back(part);
        }
        start = slash + 1;
    }
    std::string out;
    for (const std::string& p : parts) out += "/" + p;
    return out.empty() ? "/" : out;
}

}  // namespace

UrlProblem parseUrl(const std::string& url, HttpUrl& out) {
    const std::size_t schemeEnd = url.find("://");
    if (schemeEnd == std::string::npos || schemeEnd == 0) return UrlProblem::Malformed;
    const bool secure = schemeIs(url, schemeEnd, "https");
    if (!secure && !schemeIs(url, schemeEnd, "http")) return UrlProblem::NotHttp;

    std::string rest = url.substr(schemeEnd + 3);
    const std::size_t hash = rest.find('#');
    if (hash != std::string::npos) rest.resize(hash);
    for (unsigned char c : rest)
        if (isControl(c)) return UrlProblem::Malformed;

    const std::size_t slash = rest.find('/');
    const std::string authority = rest.substr(0, slash);
    HttpUrl parsed;
    parsed.secure = secure;
    parsed.port = defaultPort(secure);
    parsed.path = slash == std::string::npos ? std::string() : rest.substr(slash + 1);

    const std::size_t colon = authority.find(':');
    parsed.host = authority.substr(0, colon);
    if (!isHostText(parsed.host)) return UrlProblem::Malformed;
    if (colon != std::string::npos) {
        const std::string portText = authority.substr(colon + 1);
        if (portText.size() > 5) return UrlProblem::Malformed;
        if (!portText.empty()) {
            int port = 0;
            for (char c : portText) {
                if (c < '0' || c > '9') return UrlProblem::Malformed;
                port = port * 10 + (c - '0');
            }
            if (port < 1 || port > 65535) return UrlProblem::Malformed;
            parsed.port = port;
        }
    }
    out = parsed;
    return UrlProblem::None;
}

std::string formatUrl(const HttpUrl& url) {
    std::string text = (url.secure ? "https://" : "http://") + url.host;
    if (url.port != defaultPort(url.secure)) text += ":" + std::to_string(url.port);
    return text + "/" + url.path;
}

std::string requestTarget(const HttpUrl& url) {
    std::string target = "/";
    for (unsigned char c : url.path) {
        static const std::string unsafe = "\"<>\\^`{|}";
        if (isControl(c) || c == ' ' || c >= 0x80 || unsafe.find(static_cast<char>(c)) != std::string::npos)
            appendEncoded(target, c);
        else
            target += static_cast<char>(c);
    }
    return target;
}

std::string requestText(const HttpUrl& url) {
    std::string host = url.host;
    if (url.port != defaultPort(url.secure)) host += ":" + std::to_string(url.port);
    return "GET " + requestTarget(url) + " HTTP/1.1\r\nAccept: */*\r\nHost: " + host +
           "\r\nConnection: close\r\n\r\n";
}

std::string resolveLocation(const HttpUrl& base, const std::string& location) {
    std::string value = location;
    for (unsigned char c : value)
        if (isControl(c)) return std::string();
    const std::size_t hash = value.find('#');
    if (hash != std::string::npos) value.resize(hash);
    if (value.empty()) return std::string();

    if (value.find("://") != std::string::npos) {
        // An absolute address, unless "://" only appears after a path or query began.
        const std::size_t firstSpecial = value.find_first_of("/?");
        if (firstSpecial == std::string::npos || firstSpecial > value.find("://")) return value;
    }
    if (value.compare(0, 2, "//") == 0) return (base.secure ? "https:" : "http:") + value;

    std::string query;
    const std::size_t question = value.find('?');
    if (question != std::string::npos) {
        query = value.substr(question);
        value.resize(question);
    }
    std::string path;
    if (!value.empty() && value[0] == '/') {
        path = value;
    } else {
        std::string basePath = "/" + base.path;
        const std::size_t baseQuery = basePath.find('?');
        if (baseQuery != std::string::npos) basePath.resize(baseQuery);
        path = basePath.substr(0, basePath.rfind('/') + 1) + value;
    }
    HttpUrl target = base;
    target.path = removeDotParts(path).substr(1) + query;
    return formatUrl(target);
}

std::string encodePath(const std::string& relativePath) {
    std::string out;
    for (unsigned char c : relativePath) {
        if (isAsciiLetterOrDigit(c) || c == '-' || c == '.' || c == '_' || c == '~' || c == '/')
            out += static_cast<char>(c);
        else
            appendEncoded(out, c);
    }
    return out;
}

}  // namespace velmo::http
