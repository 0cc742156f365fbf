#include "ftp/listing_parser.h"

#include <algorithm>
#include <limits>

#include "ftp/ftp_session.h"

namespace velmo::ftp {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isBreak(char c) { return c == '\r' || c == '\n'; }

}  // namespace

std::int64_t parseDecimal64(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && isBlank(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    constexpr std::int64_t limit = std::numeric_limits<std::int64_t>::max();
    std::int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        const int digit = text[i] - '0';
        if (value > (limit - digit) / 10) {
            value = limit;
            while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
            break;
        }
        value = value * 10 + digit;
    }
    return negative ? -value : value;
}

bool parseListingLine(const std::string& line, ListingEntry& entry) {
    std::string fields[8];
    std::size_t i = 0;
    for (int f = 0; f < 8; ++f) {
        while (i < line.size() && isBlank(line[i])) ++i;
        const std::size_t start = i;
        while (i < line.size() && !isBlank(line[i])) ++i;
        if (i == start) return false;
        fields[f] = line.substr(start, i - start);
    }
    while (i < line.size() && isBlank(line[i])) ++i;
    if (i == line.size()) return false;
    entry.name = line.substr(i);
    entry.kind = !line.empty() && line[0] == 'd' ? EntryDirectory : EntryFile;
    entry.size = parseDecimal64(fields[4]);
    entry.rawLine = line;
    entry.permissions = fields[0];
    entry.date = fields[5] + " " + fields[6] + " " + fields[7];
    return true;
}

std::size_t ListingParser::room() const { return ended_ ? 0 : MaxChunk; }

void ListingParser::stop() {
    ended_ = true;
    buffer_.clear();
}

void ListingParser::countSkipped(char first) {
    // The kind as parseListingLine would give it: a folder when the line begins with "d".
    if (first == 'd') ++skippedFolders_;
    else ++skippedFiles_;
}

void ListingParser::feed(const char* data, std::size_t size) {
    if (ended_) return;
    const std::size_t taken = std::min(size, room());
    fed_ += taken;
    if (fed_ > MaxBytes) return stop();
    std::size_t from = 0;
    if (skipping_) {
        while (from < taken && !isBreak(data[from])) ++from;
        if (from == taken) return;  // still inside the line left out
        skipping_ = false;
    }
    // What was held back holds no break: the search for the first one starts after it, so
    // a long line fed in small chunks is not scanned again and again.
    const std::size_t clean = buffer_.size();
    buffer_.append(data + from, taken - from);
    std::size_t pos = 0;
    for (bool first = true;; first = false) {
        while (pos < buffer_.size() && isBreak(buffer_[pos])) ++pos;
        std::size_t end = first ? std::max(pos, clean) : pos;
        while (end < buffer_.size() && !isBreak(buffer_[end])) ++end;
        if (end == buffer_.size()) break;  // no break yet: held back for the next chunk
        ListingEntry entry;
        if (end - pos > MaxLineBytes) countSkipped(buffer_[pos]);
        else if (parseListingLine(buffer_.substr(pos, end - pos), entry)) {
            if (entries_.size() >= MaxEntries) return stop();
            entries_.push_back(std::move(entry));
        }
        pos = end;
    }
    buffer_.erase(0, pos);
    // Already too long before its break: left out now, the rest of it dropped as it comes.
    if (buffer_.size() > MaxLineBytes) {
        countSkipped(buffer_[0]);
        buffer_.clear();
        skipping_ = true;
    }
}

std::vector<ListingEntry> ListingParser::takeEntries() {
    std::vector<ListingEntry> out;
    out.swap(entries_);
    return out;
}

}  // namespace velmo::ftp
