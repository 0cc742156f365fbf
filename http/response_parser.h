// An HTTP/1.x response read as bytes arrive: the status line, the header lines, and the
// body in whichever framing the head announces (Content-Length, chunked, or up to the
// end of the connection). No sockets here: the client feeds what it read and says when
// the server closed, so every hostile form can be tested from a table of raw bytes.
//
// Everything a server sends is bounded: one line (status, header, chunk size, trailer)
// may hold at most ResponseLimits::maxLineBytes, the whole head (interim 1xx answers and
// trailers included) at most maxHeadBytes, and the decoded body at most maxBodyBytes.
// Going past a bound is an error, never a cut: what was received is then not the file.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace velmo::http {

struct ResponseLimits {
    std::size_t maxLineBytes = 8 * 1024;
    std::size_t maxHeadBytes = 64 * 1024;
    std::int64_t maxBodyBytes = 32 * 1024 * 1024;
};

enum class BodyFraming {
    None,        // 204 and 304 answers: no body at all
    Length,      // Content-Length bytes
    Chunked,     // chunked transfer coding, up to the chunk of size 0 and the trailers
    UntilClose,  // everything up to the end of the connection
};

enum class ParseError {
    None,
    BadStatusLine,      // not "HTTP/1.x NNN ..."
    BadHeader,          // a header line without a name and ":", or a fold before any header
    LineTooLong,        // a line past maxLineBytes
    HeadTooLarge,       // head bytes past maxHeadBytes
    BadContentLength,   // not decimal digits, or several different values
    UnsupportedCoding,  // a transfer coding other than chunked (gzip, ...)
    BadChunk,           // a chunk size that is not hex, too many digits, no CR LF after data
    BodyTooLarge,       // declared or decoded body past maxBodyBytes
    Truncated,          // the connection ended before the head or the body was complete
};

struct ResponseHead {
    int minorVersion = 0;  // 0 or 1 of "HTTP/1.x"
    int status = 0;
    std::string reason;
    // Names in small letters, values without blanks or tabs at either end, in the order
    // received; folded continuation lines are joined to their header with one blank.
    std::vector<std::pair<std::string, std::string>> headers;
    BodyFraming framing = BodyFraming::UntilClose;
    std::int64_t contentLength = -1;  // with BodyFraming::Length

    // Value of the first header of that (small-letter) name, or nullptr.
    const std::string* find(std::string_view name) const;
};

class ResponseParser {
public:
    enum class Progress { NeedMore, Complete, Failed };

    explicit ResponseParser(const ResponseLimits& limits = {});

    // Takes the next bytes of the connection; decoded body bytes are appended to `body`.
    // Bytes after a complete response are ignored (a Content-Length body that is followed
    // by more bytes keeps exactly its length).
    Progress feed(std::string_view bytes, std::string& body);
    // The server closed the connection: completes a body read up to the end, anything
    // else still open is Truncated.
    Progress endOfStream();

    Progress progress() const { return progress_; }
    ParseError error() const { return error_; }
    // True once the final (non-1xx) head has been read; head() is then filled.
    bool headComplete() const { return headComplete_; }
    const ResponseHead& head() const { return head_; }
    std::int64_t bodyBytes() const { return bodyBytes_; }

private:
    enum class Stage { StatusLine, Headers, LengthBody, ChunkSize, ChunkData, ChunkDataEnd,
                       Trailers, CloseBody, Done };

    Progress fail(ParseError e);
    // Collects one line of the head or of the chunk framing; true once it is whole
    // (false when more bytes are needed or a bound was passed: see progress_).
    bool takeLine(std::string_view bytes, std::size_t& pos);
    bool handleLine();  // false on error (fail() already called)
    bool handleStatusLine();
    bool handleHeaderLine();
    bool finishHead();
    bool handleChunkSize();
    bool appendBody(std::string_view data, std::string& body);

    ResponseLimits limits_;
    Stage stage_ = Stage::StatusLine;
    Progress progress_ = Progress::NeedMore;
    ParseError error_ = ParseError::None;
    ResponseHead head_;
    std::string line_;  // the line being collected, up to its LF
    bool headComplete_ = false;
    std::size_t headBytes_ = 0;
    std::int64_t remaining_ = 0;  // of the Content-Length body or of the current chunk
    std::int64_t bodyBytes_ = 0;
};

// Parses a whole response as received up to the end of the connection (`closed`) or up
// to now; for tests and the fuzz harness.
struct ParsedResponse {
    ResponseParser::Progress progress = ResponseParser::Progress::NeedMore;
    ParseError error = ParseError::None;
    ResponseHead head;
    std::string body;
};
ParsedResponse parseResponse(std::string_view bytes, bool closed,
                             const ResponseLimits& limits = {});

}  // namespace velmo::http
