// Addresses and redirect targets as the official site (or a server in the way) may give
// them. Whatever the bytes: a request built from an address that parses holds no byte a
// request line cannot carry (no second request can ride on it), an address survives being
// written and parsed again (its scheme included), a resolved Location holds no control
// character, and one without a scheme of its own never turns https into http.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "http/url.h"

namespace {

void fail(const char* what) {
    std::fprintf(stderr, "http_url: %s\n", what);
    std::abort();
}

bool isControl(unsigned char c) { return c < 0x20 || c == 0x7f; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace velmo::http;
    const std::string input(reinterpret_cast<const char*>(data), size);

    HttpUrl url;
    if (parseUrl(input, url) == UrlProblem::None) {
        for (unsigned char c : requestTarget(url))
            if (c <= 0x20 || c >= 0x7f) fail("a request target holds a byte a request line cannot carry");
        const std::string request = requestText(url);
        std::size_t lineEnds = 0;
        for (std::size_t at = request.find("\r\n"); at != std::string::npos; at = request.find("\r\n", at + 2))
            ++lineEnds;
        if (lineEnds != 5 || request.find('\n') != request.find("\r\n") + 1) fail("the request has extra lines");
        HttpUrl again;
        if (parseUrl(formatUrl(url), again) != UrlProblem::None || again.host != url.host || again.port != url.port ||
            again.path != url.path || again.secure != url.secure)
            fail("an address changed when written and parsed again");
    }

    const HttpUrl base{"127.0.0.1", 8080, "velmo-maj/maj_2010000/fond.velmo"};
    const std::string resolved = resolveLocation(base, input);
    for (unsigned char c : resolved)
        if (isControl(c)) fail("a resolved Location holds a control character");
    HttpUrl target;
    if (!resolved.empty() && parseUrl(resolved, target) == UrlProblem::None)
        for (unsigned char c : requestTarget(target))
            if (c <= 0x20 || c >= 0x7f) fail("a redirect's request target holds a byte a request line cannot carry");
    // From an https address a relative Location never leads back to plain http.
    const HttpUrl secureBase{"127.0.0.1", 8443, "velmo-maj/maj_2010000/fond.velmo", true};
    const std::string fromSecure = resolveLocation(secureBase, input);
    HttpUrl secureTarget;
    if (!fromSecure.empty() && fromSecure.find("://") == std::string::npos) fail("a resolved Location is not absolute");
    if (!fromSecure.empty() && input.find("://") == std::string::npos &&
        parseUrl(fromSecure, secureTarget) == UrlProblem::None && !secureTarget.secure)
        fail("a relative Location from https resolved to plain http");
    return 0;
}
