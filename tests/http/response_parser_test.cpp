// HTTP responses from raw bytes: every framing, the hostile forms a server can send, and
// the bounds. Each row is parsed whole, byte by byte, and split in two at every place:
// how the bytes arrive must never change the outcome.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "http/download.h"
#include "http/response_parser.h"

using namespace velmo::http;
using Progress = ResponseParser::Progress;

namespace {

struct Row {
    const char* what;
    std::string bytes;
    bool closed;  // the server closed the connection after the bytes
    Progress progress;
    ParseError error;
    int status;
    std::string body;
    BodyFraming framing = BodyFraming::Length;
};

const ResponseLimits smallLimits{64, 256, 100};

// Feeds the pieces in order, as reads would bring them.
ParsedResponse parsePieces(const std::vector<std::string>& pieces, bool closed, const ResponseLimits& limits) {
    ResponseParser parser(limits);
    ParsedResponse out;
    for (const std::string& p : pieces) parser.feed(p, out.body);
    if (closed) parser.endOfStream();
    out.progress = parser.progress();
    out.error = parser.error();
    out.head = parser.head();
    return out;
}

void expectRow(const Row& r, const ParsedResponse& got, const std::string& how) {
    EXPECT_EQ(got.progress, r.progress) << r.what << how;
    EXPECT_EQ(got.error, r.error) << r.what << how << ": " << errorName(got.error);
    if (r.status != 0) {
        EXPECT_EQ(got.head.status, r.status) << r.what << how;
    }
    if (r.progress == Progress::Complete) {
        EXPECT_EQ(got.body, r.body) << r.what << how;
        EXPECT_EQ(got.head.framing, r.framing) << r.what << how;
    }
}

void checkEverySplit(const std::vector<Row>& rows, const ResponseLimits& limits) {
    for (const Row& r : rows) {
        expectRow(r, parseResponse(r.bytes, r.closed, limits), " (whole)");
        std::vector<std::string> bytes;
        for (char c : r.bytes) bytes.emplace_back(1, c);
        expectRow(r, parsePieces(bytes, r.closed, limits), " (byte by byte)");
        for (std::size_t cut = 1; cut < r.bytes.size(); ++cut)
            expectRow(r, parsePieces({r.bytes.substr(0, cut), r.bytes.substr(cut)}, r.closed, limits),
                      " (split at " + std::to_string(cut) + ")");
    }
}

const std::string ok = "HTTP/1.1 200 OK\r\n";

}  // namespace

TEST(ResponseParser, BodiesInEachFraming) {
    const std::vector<Row> rows = {
        {"content-length", ok + "Content-Length: 5\r\n\r\nhello", false, Progress::Complete, ParseError::None, 200, "hello"},
        {"content-length followed by more bytes keeps exactly its length",
         ok + "Content-Length: 12\r\n\r\n" + std::string(20, 'x'), true, Progress::Complete, ParseError::None, 200,
         std::string(12, 'x')},
        {"repeated equal lengths", ok + "Content-Length: 3, 3\r\nContent-Length: 3\r\n\r\nabc", false,
         Progress::Complete, ParseError::None, 200, "abc"},
        {"chunked, with extensions and trailers",
         ok + "Transfer-Encoding: chunked\r\n\r\n4;name=v\r\nWiki\r\n5 \r\npedia\r\nE\r\n in\r\n\r\nchunks.\r\n0\r\nX-Trailer: 1\r\n\r\n",
         false, Progress::Complete, ParseError::None, 200, "Wikipedia in\r\n\r\nchunks.", BodyFraming::Chunked},
        {"chunked wins over content-length", ok + "Content-Length: 99\r\nTransfer-Encoding: Chunked\r\n\r\n2\r\nab\r\n0\r\n\r\n",
         false, Progress::Complete, ParseError::None, 200, "ab", BodyFraming::Chunked},
        {"upper-case hex chunk size", ok + "Transfer-Encoding: identity, chunked\r\n\r\nA\r\n0123456789\r\n0\r\n\r\n",
         false, Progress::Complete, ParseError::None, 200, "0123456789", BodyFraming::Chunked},
        {"close-delimited", "HTTP/1.0 200 OK\r\nServer: x\r\n\r\nuntil the end", true, Progress::Complete,
         ParseError::None, 200, "until the end", BodyFraming::UntilClose},
        {"close-delimited still open", ok + "\r\nsome", false, Progress::NeedMore, ParseError::None, 200, ""},
        {"bare LF line ends", "HTTP/1.1 200 OK\nContent-Length: 2\n\nok", false, Progress::Complete, ParseError::None, 200, "ok"},
        {"interim 100 answer before the real one",
         "HTTP/1.1 100 Continue\r\nX: y\r\n\r\n" + ok + "Content-Length: 1\r\n\r\n!", false, Progress::Complete,
         ParseError::None, 200, "!"},
        {"folded header line joins its header", ok + "Content-Length:\r\n  4\r\n\r\nfold", false, Progress::Complete,
         ParseError::None, 200, "fold"},
        {"204 has no body", "HTTP/1.1 204 No Content\r\n\r\n", false, Progress::Complete, ParseError::None, 204, "", BodyFraming::None},
        {"redirect head is read whole", "HTTP/1.1 302 Found\r\nLocation: /x\r\nContent-Length: 3\r\n\r\nabc", false,
         Progress::Complete, ParseError::None, 302, "abc"},
    };
    checkEverySplit(rows, ResponseLimits{});
}

TEST(ResponseParser, CutShortAndMalformedResponsesFail) {
    const std::vector<Row> rows = {
        {"body shorter than its length", ok + "Content-Length: 20\r\n\r\nonly twelve!", true, Progress::Failed, ParseError::Truncated, 200, ""},
        {"chunked cut before the last chunk", ok + "Transfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n", true,
         Progress::Failed, ParseError::Truncated, 200, ""},
        {"chunked cut in the trailers", ok + "Transfer-Encoding: chunked\r\n\r\n0\r\n", true, Progress::Failed, ParseError::Truncated, 200, ""},
        {"head cut short", ok + "Content-Le", true, Progress::Failed, ParseError::Truncated, 0, ""},
        {"nothing at all", "", true, Progress::Failed, ParseError::Truncated, 0, ""},
        {"chunk size not hex", ok + "Transfer-Encoding: chunked\r\n\r\nzz\r\n", false, Progress::Failed, ParseError::BadChunk, 200, ""},
        {"empty chunk size", ok + "Transfer-Encoding: chunked\r\n\r\n\r\n", false, Progress::Failed, ParseError::BadChunk, 200, ""},
        {"chunk size with junk after it", ok + "Transfer-Encoding: chunked\r\n\r\n1 2\r\n", false, Progress::Failed, ParseError::BadChunk, 200, ""},
        {"chunk size of 16 hex digits", ok + "Transfer-Encoding: chunked\r\n\r\n1000000000000000\r\n", false,
         Progress::Failed, ParseError::BadChunk, 200, ""},
        {"chunk data longer than its size", ok + "Transfer-Encoding: chunked\r\n\r\n2\r\nabc\r\n0\r\n\r\n", false,
         Progress::Failed, ParseError::BadChunk, 200, ""},
        {"gzip coding", ok + "Transfer-Encoding: gzip, chunked\r\n\r\n", false, Progress::Failed, ParseError::UnsupportedCoding, 200, ""},
        {"chunked not last", ok + "Transfer-Encoding: chunked, gzip\r\n\r\n", false, Progress::Failed, ParseError::UnsupportedCoding, 200, ""},
        {"signed length", ok + "Content-Length: +5\r\n\r\nhello", false, Progress::Failed, ParseError::BadContentLength, 200, ""},
        {"length with letters", ok + "Content-Length: 12abc\r\n\r\n", false, Progress::Failed, ParseError::BadContentLength, 200, ""},
        {"two different lengths", ok + "Content-Length: 3\r\nContent-Length: 4\r\n\r\nabcd", false, Progress::Failed,
         ParseError::BadContentLength, 200, ""},
        {"a 19-digit length", ok + "Content-Length: 1000000000000000000\r\n\r\n", false, Progress::Failed,
         ParseError::BadContentLength, 200, ""},
        {"blank before the colon", ok + "Content-Length : 3\r\n\r\nabc", false, Progress::Failed, ParseError::BadHeader, 0, ""},
        {"fold before any header", ok + " folded\r\n\r\n", false, Progress::Failed, ParseError::BadHeader, 0, ""},
        {"HTTP/2 status line", "HTTP/2 200 OK\r\n\r\n", false, Progress::Failed, ParseError::BadStatusLine, 0, ""},
        {"code below 100 (found by fuzzing: it passed for a final answer)", "HTTP/1.1 011 OK\r\n\r\n", false,
         Progress::Failed, ParseError::BadStatusLine, 0, ""},
        {"code glued to the reason", "HTTP/1.1 200OK\r\n\r\n", false, Progress::Failed, ParseError::BadStatusLine, 0, ""},
        {"not http at all", "SSH-2.0-OpenSSH\r\n", false, Progress::Failed, ParseError::BadStatusLine, 0, ""},
    };
    checkEverySplit(rows, ResponseLimits{});
}

TEST(ResponseParser, EverythingAServerSendsIsBounded) {
    // Bounds of 64-byte lines, a 256-byte head and a 100-byte body.
    const std::string hundred(100, 'b');
    const std::vector<Row> rows = {
        {"body at the bound", ok + "Content-Length: 100\r\n\r\n" + hundred, false, Progress::Complete, ParseError::None, 200, hundred},
        {"declared length past the bound", ok + "Content-Length: 101\r\n\r\n", false, Progress::Failed, ParseError::BodyTooLarge, 200, ""},
        {"chunks past the bound", ok + "Transfer-Encoding: chunked\r\n\r\n60\r\n" + std::string(96, 'c') + "\r\n5\r\n", false,
         Progress::Failed, ParseError::BodyTooLarge, 200, ""},
        {"close-delimited past the bound", ok + "\r\n" + hundred + "!", false, Progress::Failed, ParseError::BodyTooLarge, 200, ""},
        {"header line past the bound", ok + "X: " + std::string(62, 'h') + "\r\n\r\n", false, Progress::Failed, ParseError::LineTooLong, 0, ""},
        {"header line at the bound", ok + "X: " + std::string(61, 'h') + "\r\n\r\n", true, Progress::Complete, ParseError::None, 200, "", BodyFraming::UntilClose},
        {"a long line that crosses the head bound first (found by fuzzing: whole, it said line too long)",
         ok + [] { std::string h; for (char c : {'a', 'b', 'c'}) h += std::string("X-") + c + ": " + std::string(55, 'v') + "\r\n"; return h; }() +
             "Y: " + std::string(100, 'w') + "\r\n\r\n",
         false, Progress::Failed, ParseError::HeadTooLarge, 0, ""},
        {"status line that never ends", "HTTP/1.1 200 " + std::string(100, 's'), false, Progress::Failed, ParseError::LineTooLong, 0, ""},
        {"chunk extension that never ends", ok + "Transfer-Encoding: chunked\r\n\r\n1;" + std::string(100, 'e'), false,
         Progress::Failed, ParseError::LineTooLong, 200, ""},
        {"too many headers", ok + [] { std::string h; for (int i = 0; i < 30; ++i) h += "X-" + std::to_string(i) + ": v\r\n"; return h; }(),
         false, Progress::Failed, ParseError::HeadTooLarge, 0, ""},
        {"endless interim answers", [] { std::string h; for (int i = 0; i < 20; ++i) h += "HTTP/1.1 100 Continue\r\n\r\n"; return h; }(),
         false, Progress::Failed, ParseError::HeadTooLarge, 0, ""},
        {"endless trailers", ok + "Transfer-Encoding: chunked\r\n\r\n0\r\n" + [] { std::string h; for (int i = 0; i < 40; ++i) h += "T: v\r\n"; return h; }(),
         false, Progress::Failed, ParseError::HeadTooLarge, 200, ""},
    };
    checkEverySplit(rows, smallLimits);
}

// A length past the bound is refused before the head counts as read, on every kind of
// answer: a client that makes room for the body once the head is read (as the download
// does) must never see the number, which could be anything a server likes to write.
TEST(ResponseParser, ARefusedLengthNeverShowsAsACompleteHead) {
    for (const char* status : {"200 OK", "404 Not Found", "302 Found"}) {
        for (const std::string& length : {std::string("99999999999"), std::string("101")}) {
            ResponseParser parser(smallLimits);
            std::string body;
            parser.feed(std::string("HTTP/1.1 ") + status + "\r\nLocation: /x\r\nContent-Length: " + length + "\r\n\r\n", body);
            EXPECT_EQ(parser.error(), ParseError::BodyTooLarge) << status << " " << length;
            EXPECT_FALSE(parser.headComplete()) << status << " " << length;
            EXPECT_EQ(parser.head().contentLength, -1) << status << " " << length;
            EXPECT_NE(parser.head().framing, BodyFraming::Length) << status << " " << length;
        }
    }
}
