// HTTP responses as a server may send them. The first byte chooses how the rest arrives
// (in pieces of which sizes) and whether the connection then ends. Whatever the bytes:
// the outcome does not depend on how they were cut, no body grows past its bound, no head
// read whole announces a length past it, and a Content-Length body that completed holds
// exactly that many bytes.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "http/response_parser.h"

namespace {

void fail(const char* what) {
    std::fprintf(stderr, "http_response: %s\n", what);
    std::abort();
}

// Small bounds, so that inputs of a few kilobytes reach every one of them.
const velmo::http::ResponseLimits limits{200, 600, 1000};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace velmo::http;
    if (size == 0) return 0;
    const unsigned choice = data[0];
    const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    const bool closed = (choice & 1) != 0;

    const ParsedResponse whole = parseResponse(bytes, closed, limits);

    ResponseParser parser(limits);
    std::string body;
    const std::size_t step = 1 + (choice >> 1) % 17;
    for (std::size_t at = 0; at < bytes.size(); at += step) parser.feed(bytes.substr(at, step), body);
    if (closed) parser.endOfStream();

    if (parser.progress() != whole.progress || parser.error() != whole.error)
        fail("the outcome depends on how the bytes were cut");
    if (whole.progress == ResponseParser::Progress::Complete && body != whole.body)
        fail("the body depends on how the bytes were cut");
    if (static_cast<std::int64_t>(body.size()) > limits.maxBodyBytes) fail("a body grew past its bound");
    // Interim answers (1xx but 101) are skipped: the head handed out is a final one.
    const int status = parser.head().status;
    if (parser.headComplete() && status < 200 && status != 101) fail("an interim answer was taken as the head");
    // A client makes room for the body once the head is read: the length it then sees is
    // one the bounds allow, whatever the server wrote.
    if (parser.headComplete() && parser.head().framing == BodyFraming::Length &&
        parser.head().contentLength > limits.maxBodyBytes)
        fail("a complete head announces a length past the bound");
    if (whole.progress == ResponseParser::Progress::Complete && whole.head.framing == BodyFraming::Length &&
        static_cast<std::int64_t>(whole.body.size()) != whole.head.contentLength)
        fail("a complete Content-Length body holds another number of bytes");
    return 0;
}
