#include "http/response_parser.h"

#include <algorithm>
#include <cctype>

namespace velmo::http {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

std::string lowered(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

bool isTokenChar(char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || isDigit(c)) return true;
    return std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

// Calls f on every comma-separated element, blanks around it removed (empty ones too).
template <typename F>
void forEachListElement(std::string_view list, F f) {
    for (;;) {
        const std::size_t comma = list.find(',');
        f(trimmed(list.substr(0, comma)));
        if (comma == std::string_view::npos) return;
        list.remove_prefix(comma + 1);
    }
}

// Enough digits for any body this client accepts; more cannot be a real length.
constexpr std::size_t maxLengthDigits = 18;
constexpr std::size_t maxChunkSizeDigits = 15;

using HeaderList = std::vector<std::pair<std::string, std::string>>;

// The transfer codings the headers name, in order, lowered, without "identity".
std::vector<std::string> transferCodings(const HeaderList& headers) {
    std::vector<std::string> codings;
    for (const auto& h : headers)
        if (h.first == "transfer-encoding")
            forEachListElement(h.second, [&](std::string_view c) {
                if (!c.empty()) codings.push_back(lowered(trimmed(c.substr(0, c.find(';')))));
            });
    codings.erase(std::remove(codings.begin(), codings.end(), "identity"), codings.end());
    return codings;
}

// The Content-Length the headers agree on, -1 when none names one; false when one is not
// a plain decimal number within maxLengthDigits, or two differ.
bool agreedContentLength(const HeaderList& headers, std::int64_t& length) {
    length = -1;
    bool bad = false;
    for (const auto& h : headers) {
        if (h.first != "content-length") continue;
        forEachListElement(h.second, [&](std::string_view v) {
            if (v.empty() || v.size() > maxLengthDigits || !std::all_of(v.begin(), v.end(), isDigit)) {
                bad = true;
                return;
            }
            std::int64_t n = 0;
            for (char c : v) n = n * 10 + (c - '0');
            if (length >= 0 && n != length) bad = true;
            length = n;
        });
    }
    return !bad;
}

}  // namespace

const std::string* ResponseHead::find(std::string_view name) const {
    for (const auto& h : headers)
        if (h.first == name) return &h.second;
    return nullptr;
}

ResponseParser::ResponseParser(const ResponseLimits& limits) : limits_(limits) {}

ResponseParser::Progress ResponseParser::fail(ParseError e) {
    error_ = e;
    progress_ = Progress::Failed;
    return progress_;
}

bool ResponseParser::takeLine(std::string_view bytes, std::size_t& pos) {
    const std::size_t lf = bytes.find('\n', pos);
    const std::size_t end = lf == std::string_view::npos ? bytes.size() : lf;
    const std::size_t n = end - pos;
    const bool inHead = stage_ == Stage::StatusLine || stage_ == Stage::Headers || stage_ == Stage::Trailers;

    // The bounds are checked as if the bytes came one by one, so that how they were cut
    // into reads never changes which bound is reported. A line may hold one byte more
    // than its bound while that byte may be the CR of its CR LF.
    const std::size_t lineRoom = limits_.maxLineBytes + 1 - line_.size();
    const std::size_t headRoom = inHead ? limits_.maxHeadBytes - headBytes_ : n + 1;
    if (n > lineRoom || n > headRoom) {
        fail(lineRoom <= headRoom ? ParseError::LineTooLong : ParseError::HeadTooLarge);
        return false;
    }
    line_.append(bytes.data() + pos, n);
    if (inHead) headBytes_ += n;
    pos = end;
    if (lf == std::string_view::npos) return false;

    ++pos;
    if (!line_.empty() && line_.back() == '\r') line_.pop_back();
    if (line_.size() > limits_.maxLineBytes) {
        fail(ParseError::LineTooLong);
        return false;
    }
    if (inHead && ++headBytes_ > limits_.maxHeadBytes) {
        fail(ParseError::HeadTooLarge);
        return false;
    }
    return true;
}

bool ResponseParser::handleLine() {
    bool ok = false;
    switch (stage_) {
        case Stage::StatusLine: ok = handleStatusLine(); break;
        case Stage::Headers: ok = line_.empty() ? finishHead() : handleHeaderLine(); break;
        case Stage::ChunkSize: ok = handleChunkSize(); break;
        case Stage::ChunkDataEnd:
            if (!line_.empty()) fail(ParseError::BadChunk);
            else stage_ = Stage::ChunkSize;
            ok = line_.empty();
            break;
        case Stage::Trailers:
            // Trailer fields carry nothing this client needs; the empty line ends them.
            if (line_.empty()) {
                stage_ = Stage::Done;
                progress_ = Progress::Complete;
            }
            ok = true;
            break;
        default: break;
    }
    line_.clear();
    return ok;
}

bool ResponseParser::handleStatusLine() {
    // "HTTP/1.x NNN[ reason]", the code from 100 to 599
    const std::string& l = line_;
    if (l.size() < 12 || l.compare(0, 7, "HTTP/1.") != 0 || !isDigit(l[7]) || l[8] != ' ' ||
        l[9] < '1' || l[9] > '5' || !isDigit(l[10]) || !isDigit(l[11]) || (l.size() > 12 && l[12] != ' ')) {
        fail(ParseError::BadStatusLine);
        return false;
    }
    head_ = ResponseHead();
    head_.minorVersion = l[7] - '0';
    head_.status = (l[9] - '0') * 100 + (l[10] - '0') * 10 + (l[11] - '0');
    head_.reason = l.size() > 13 ? l.substr(13) : std::string();
    stage_ = Stage::Headers;
    return true;
}

bool ResponseParser::handleHeaderLine() {
    if (isBlank(line_[0])) {
        // An obsolete folded line continues the header above it.
        if (head_.headers.empty()) {
            fail(ParseError::BadHeader);
            return false;
        }
        std::string& value = head_.headers.back().second;
        const std::string_view more = trimmed(line_);
        if (!more.empty()) value += (value.empty() ? "" : " ") + std::string(more);
        return true;
    }
    std::size_t colon = 0;
    while (colon < line_.size() && isTokenChar(line_[colon])) ++colon;
    if (colon == 0 || colon == line_.size() || line_[colon] != ':') {
        fail(ParseError::BadHeader);
        return false;
    }
    head_.headers.emplace_back(lowered(std::string_view(line_).substr(0, colon)),
                               std::string(trimmed(std::string_view(line_).substr(colon + 1))));
    return true;
}

bool ResponseParser::finishHead() {
    if (head_.status >= 100 && head_.status < 200 && head_.status != 101) {
        // An interim answer ("100 Continue"): the real one follows.
        stage_ = Stage::StatusLine;
        return true;
    }
    if (head_.status == 204 || head_.status == 304 || head_.status == 101) {
        headComplete_ = true;
        head_.framing = BodyFraming::None;
        stage_ = Stage::Done;
        progress_ = Progress::Complete;
        return true;
    }

    // Transfer-Encoding wins over Content-Length; only chunked can be decoded here.
    const std::vector<std::string> codings = transferCodings(head_.headers);
    if (!codings.empty()) {
        if (codings.size() != 1 || codings[0] != "chunked") {
            fail(ParseError::UnsupportedCoding);
            return false;
        }
        head_.framing = BodyFraming::Chunked;
        headComplete_ = true;
        stage_ = Stage::ChunkSize;
        return true;
    }

    std::int64_t length = -1;
    if (!agreedContentLength(head_.headers, length)) {
        fail(ParseError::BadContentLength);
        return false;
    }
    // A length past the bound is refused before the head counts as read: nothing that
    // looks at a complete head (to make room for the body, say) ever sees that number.
    if (length > limits_.maxBodyBytes) {
        fail(ParseError::BodyTooLarge);
        return false;
    }
    headComplete_ = true;
    if (length < 0) {
        head_.framing = BodyFraming::UntilClose;
        stage_ = Stage::CloseBody;
        return true;
    }
    head_.framing = BodyFraming::Length;
    head_.contentLength = length;
    remaining_ = length;
    stage_ = length == 0 ? Stage::Done : Stage::LengthBody;
    if (length == 0) progress_ = Progress::Complete;
    return true;
}

bool ResponseParser::handleChunkSize() {
    // chunk-size [ BWS ";" chunk-ext ]
    std::size_t i = 0;
    std::int64_t size = 0;
    while (i < line_.size() && std::isxdigit(static_cast<unsigned char>(line_[i]))) {
        if (i == maxChunkSizeDigits) {
            fail(ParseError::BadChunk);
            return false;
        }
        const char c = line_[i];
        size = size * 16 + (isDigit(c) ? c - '0' : (c | 0x20) - 'a' + 10);
        ++i;
    }
    std::size_t j = i;
    while (j < line_.size() && isBlank(line_[j])) ++j;
    if (i == 0 || (j < line_.size() && line_[j] != ';')) {
        fail(ParseError::BadChunk);
        return false;
    }
    if (size == 0) {
        stage_ = Stage::Trailers;
        return true;
    }
    if (size > limits_.maxBodyBytes - bodyBytes_) {
        fail(ParseError::BodyTooLarge);
        return false;
    }
    remaining_ = size;
    stage_ = Stage::ChunkData;
    return true;
}

bool ResponseParser::appendBody(std::string_view data, std::string& body) {
    if (static_cast<std::int64_t>(data.size()) > limits_.maxBodyBytes - bodyBytes_) {
        fail(ParseError::BodyTooLarge);
        return false;
    }
    body.append(data);
    bodyBytes_ += static_cast<std::int64_t>(data.size());
    return true;
}

ResponseParser::Progress ResponseParser::feed(std::string_view bytes, std::string& body) {
    std::size_t pos = 0;
    while (pos < bytes.size() && progress_ == Progress::NeedMore) {
        switch (stage_) {
            case Stage::LengthBody:
            case Stage::ChunkData: {
                const std::size_t n = static_cast<std::size_t>(
                    std::min<std::int64_t>(remaining_, static_cast<std::int64_t>(bytes.size() - pos)));
                if (!appendBody(bytes.substr(pos, n), body)) break;
                pos += n;
                remaining_ -= static_cast<std::int64_t>(n);
                if (remaining_ == 0 && stage_ == Stage::ChunkData) stage_ = Stage::ChunkDataEnd;
                else if (remaining_ == 0) {
                    stage_ = Stage::Done;
                    progress_ = Progress::Complete;
                }
                break;
            }
            case Stage::CloseBody:
                if (appendBody(bytes.substr(pos), body)) pos = bytes.size();
                break;
            case Stage::Done:
                pos = bytes.size();
                break;
            default:
                if (takeLine(bytes, pos)) handleLine();
                break;
        }
    }
    return progress_;
}

ResponseParser::Progress ResponseParser::endOfStream() {
    if (progress_ != Progress::NeedMore) return progress_;
    if (stage_ == Stage::CloseBody) {
        stage_ = Stage::Done;
        progress_ = Progress::Complete;
        return progress_;
    }
    return fail(ParseError::Truncated);
}

ParsedResponse parseResponse(std::string_view bytes, bool closed, const ResponseLimits& limits) {
    ResponseParser parser(limits);
    ParsedResponse out;
    parser.feed(bytes, out.body);
    if (closed) parser.endOfStream();
    out.progress = parser.progress();
    out.error = parser.error();
    out.head = parser.head();
    return out;
}

}  // namespace velmo::http
