// LIST output as the data connection may deliver it: wherever the chunks are cut, the
// parser must find the same entries and the same end as when it gets the largest chunks
// it takes, and every entry must be one a whole line of nine fields gives. The first
// input byte chooses the cuts, the rest is the listing.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "ftp/listing_parser.h"

namespace {

using velmo::ftp::ListingEntry;
using velmo::ftp::ListingParser;

void fail(const char* what) {
    std::fprintf(stderr, "listing_parser: %s\n", what);
    std::abort();
}

struct Outcome {
    std::vector<ListingEntry> entries;
    bool ended = false;
};

// Feeds `bytes` in chunks of `chunkOf(step)` bytes (never more than the parser has room for).
template <typename ChunkSize>
Outcome parseInChunks(const std::string& bytes, ChunkSize chunkOf) {
    ListingParser parser;
    std::size_t pos = 0;
    for (unsigned step = 0; pos < bytes.size() && parser.room() > 0; ++step) {
        const std::size_t n = std::min({chunkOf(step), parser.room(), bytes.size() - pos});
        parser.feed(bytes.data() + pos, n);
        pos += n;
    }
    return {parser.takeEntries(), parser.ended()};
}

bool sameEntry(const ListingEntry& a, const ListingEntry& b) {
    return a.name == b.name && a.kind == b.kind && a.size == b.size && a.rawLine == b.rawLine &&
           a.permissions == b.permissions && a.date == b.date;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const unsigned seed = data[0];
    const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);

    const Outcome whole = parseInChunks(bytes, [](unsigned) { return ListingParser::MaxChunk; });
    const Outcome cut = parseInChunks(bytes, [seed](unsigned step) { return std::size_t(1 + (seed * 7 + step * 13) % 97); });

    if (whole.ended != cut.ended) fail("the end of the parse depends on the cuts");
    if (whole.entries.size() != cut.entries.size()) fail("the entry count depends on the cuts");
    for (std::size_t i = 0; i < whole.entries.size(); ++i) {
        const ListingEntry& e = whole.entries[i];
        if (!sameEntry(e, cut.entries[i])) fail("an entry depends on the cuts");
        ListingEntry again;
        if (!velmo::ftp::parseListingLine(e.rawLine, again) || !sameEntry(e, again))
            fail("an entry is not what its line gives");
        if (e.name.empty() || e.rawLine.find_first_of("\r\n") != std::string::npos) fail("an entry holds a line break");
        if (e.kind != (e.rawLine[0] == 'd' ? velmo::ftp::EntryDirectory : velmo::ftp::EntryFile))
            fail("the kind does not follow the line's first character");
    }
    return 0;
}
