// UNIX-style LIST output ("drwxr-xr-x 2 web web 4096 Jan 1 12:00 name") turned into
// entries as the data connection delivers it. No sockets here; the session feeds chunks.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace velmo::ftp {

// Listing entry kinds; EntryNone when there is no current entry.
enum class EntryKind { EntryNone = 0, EntryFile = 1, EntryDirectory = 2 };
using enum EntryKind;

struct ListingEntry {
    std::string name;
    EntryKind kind = EntryNone;  // EntryFile or EntryDirectory once parsed
    std::int64_t size = 0;
    std::string rawLine;        // kept for diagnosis; no tool reads these three
    std::string permissions;
    std::string date;           // month, day and time-or-year as listed
};

// Chunks of at most 1023 bytes are appended to what is left of the previous one. A line is
// taken once its CR or LF has arrived: with nine fields it becomes an entry, with fewer (a
// "total 12" line) it is skipped. A line longer than MaxLineBytes (a name no folder of a
// guestbook holds, or a symbolic link's very long target) is left out on its own and
// counted by the kind its first letter announces, so that one odd name neither refuses
// the whole folder nor holds a line without bound in memory. An entry past MaxEntries or
// data past MaxBytes ends the parse (so the memory a listing takes stays bounded); the
// listing is then incomplete and the session reports it as failed. Bytes after the last
// line break when the data ends are not a line and are dropped. Where the chunks are cut
// changes nothing.
class ListingParser {
public:
    static constexpr std::size_t MaxChunk = 1023;
    static constexpr std::size_t MaxLineBytes = 8192;
    static constexpr std::size_t MaxEntries = 100000;
    static constexpr std::size_t MaxBytes = 16 * 1024 * 1024;

    // How many bytes the next chunk may hold; 0 once the parse has ended.
    std::size_t room() const;
    void feed(const char* data, std::size_t size);
    // True once a limit stopped the parse: the entries are not the whole listing.
    bool ended() const { return ended_; }
    // Lines left out for their length, whose first letter said `kind` ("d": a folder).
    int skipped(EntryKind kind) const { return kind == EntryDirectory ? skippedFolders_ : kind == EntryFile ? skippedFiles_ : 0; }
    const std::vector<ListingEntry>& entries() const { return entries_; }
    std::vector<ListingEntry> takeEntries();

private:
    void stop();
    void countSkipped(char first);
    std::string buffer_;
    std::vector<ListingEntry> entries_;
    std::size_t fed_ = 0;
    bool ended_ = false;
    bool skipping_ = false;  // inside a line that is being left out, up to its break
    int skippedFiles_ = 0, skippedFolders_ = 0;
};

// One line without its break. False when it has fewer than nine fields.
bool parseListingLine(const std::string& line, ListingEntry& entry);

// Leading blanks and tabs skipped, optional sign, digits up to the first non-digit; no
// digits give 0; a value past the 64-bit range stays at the largest value.
std::int64_t parseDecimal64(const std::string& text);

}  // namespace velmo::ftp
