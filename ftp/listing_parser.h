// UNIX-style LIST output ("drwxr-xr-x 2 web web 4096 Jan 1 12:00 name") turned into
// entries as the data connection delivers it. No sockets here; the session feeds chunks.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "ftp/ftp_session.h"

namespace velmo::ftp {

struct ListingEntry {
    std::string name;
    EntryKind kind = EntryNone;  // EntryFile or EntryDirectory once parsed
    std::int64_t size = 0;
    std::string rawLine;        // kept for diagnosis; no tool reads these three
    std::string permissions;
    std::string date;           // month, day and time-or-year as listed
};

// Chunks of at most 1023 bytes go behind what is left of the previous one in a 1024-byte
// buffer. A line is taken once its CR or LF has arrived: with nine fields it becomes an
// entry, with fewer (a "total 12" line) it is skipped. A line that does not fit the
// buffer ends the parse, and so does an entry past MaxEntries or data past MaxBytes (so
// the memory a listing takes stays bounded); the listing is then incomplete and the
// session reports it as failed. Bytes after the last line break when the data ends are
// not a line and are dropped. Where the chunks are cut changes nothing.
class ListingParser {
public:
    static constexpr std::size_t BufferSize = 1024;
    static constexpr std::size_t MaxChunk = BufferSize - 1;
    static constexpr std::size_t MaxEntries = 100000;
    static constexpr std::size_t MaxBytes = 16 * 1024 * 1024;

    // How many bytes the next chunk may hold; 0 once the parse has ended.
    std::size_t room() const;
    void feed(const char* data, std::size_t size);
    // True once an over-long line or a limit stopped the parse: the entries are not the
    // whole listing.
    bool ended() const { return ended_; }
    const std::vector<ListingEntry>& entries() const { return entries_; }
    std::vector<ListingEntry> takeEntries();

private:
    void stop();
    std::string buffer_;
    std::vector<ListingEntry> entries_;
    std::size_t fed_ = 0;
    bool ended_ = false;
};

// One line without its break. False when it has fewer than nine fields.
bool parseListingLine(const std::string& line, ListingEntry& entry);

// Leading blanks and tabs skipped, optional sign, digits up to the first non-digit; no
// digits give 0; a value past the 64-bit range stays at the largest value.
std::int64_t parseDecimal64(const std::string& text);

}  // namespace velmo::ftp
