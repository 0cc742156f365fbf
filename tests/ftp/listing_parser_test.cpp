// UNIX-style listings fed as raw data-connection chunks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "ftp/ftp_session.h"
#include "ftp/listing_parser.h"

using namespace velmo::ftp;

namespace {

// Feeds `data` in chunks of at most `chunk` bytes, never more than the parser has room
// for, and gives the names of the entries.
std::vector<std::string> namesInChunks(const std::string& data, std::size_t chunk, bool* ended = nullptr) {
    ListingParser parser;
    for (std::size_t pos = 0; pos < data.size() && parser.room() > 0;) {
        const std::size_t n = std::min({chunk, parser.room(), data.size() - pos});
        parser.feed(data.data() + pos, n);
        pos += n;
    }
    if (ended) *ended = parser.ended();
    std::vector<std::string> out;
    for (const auto& e : parser.entries()) out.push_back(e.name);
    return out;
}

}  // namespace

TEST(ListingLine, NineFieldsGiveNameKindAndSize) {
    struct Row {
        const char* line;
        const char* name;  // nullptr: not an entry
        EntryKind kind;
        std::int64_t size;
    };
    const Row rows[] = {
        {"drwxr-xr-x 2 web web 4096 Jan 1 12:00 my folder", "my folder", EntryDirectory, 4096},
        {"-rw-r--r--   1 web  web   1234 Feb 28  2019 livre_lire.php", "livre_lire.php", EntryFile, 1234},
        {"lrwxrwxrwx 1 web web 11 Mar 3 09:15 latest -> livre-2.1", "latest -> livre-2.1", EntryFile, 11},
        {"drwxr-xr-x\t3\tweb\tweb\t512\tApr\t4\t10:00\tskins", "skins", EntryDirectory, 512},
        {"drwx------ 2 a b 0 Jan 01 00:00  two  blanks ", "two  blanks ", EntryDirectory, 0},
        {"-rw-r--r-- 1 1000 1000 9876543210123 Dec 31 23:59 big.bin", "big.bin", EntryFile,
         INT64_C(9876543210123)},
        {"total 12", nullptr, EntryNone, 0},
        {"drwxr-xr-x 2 web web 4096 Jan 1 12:00", nullptr, EntryNone, 0},
        {"drwxr-xr-x 2 web web 4096 Jan 1 12:00   ", nullptr, EntryNone, 0},
    };
    for (const Row& r : rows) {
        ListingEntry e;
        ASSERT_EQ(parseListingLine(r.line, e), r.name != nullptr) << r.line;
        if (!r.name) continue;
        EXPECT_EQ(e.name, r.name) << r.line;
        EXPECT_EQ(e.kind, r.kind) << r.line;
        EXPECT_EQ(e.size, r.size) << r.line;
    }
}

TEST(ListingParser, SameEntriesWhateverTheChunksAndLineEnds) {
    const std::string listing =
        "total 12\r\n"
        "drwxr-xr-x 2 web web 4096 Jan 1 12:00 my folder\r\n"
        "-rw-r--r-- 1 web web 1234 Feb 28 2019 livre_lire.php\r\n"
        "\r\n"
        "lrwxrwxrwx 1 web web 11 Mar 3 09:15 latest -> livre-2.1\r\n";
    std::string lfOnly = listing;
    lfOnly.erase(std::remove(lfOnly.begin(), lfOnly.end(), '\r'), lfOnly.end());
    const std::vector<std::string> expected = {"my folder", "livre_lire.php", "latest -> livre-2.1"};
    for (const std::string& data : {listing, lfOnly})
        for (std::size_t chunk = 1; chunk <= 64; ++chunk)
            EXPECT_EQ(namesInChunks(data, chunk), expected) << "chunk " << chunk << ", " << data.size() << " bytes";
}

// One name too long to be a guestbook's (or a link's very long target) is left out on its
// own, counted by its kind, and the folder's other entries stand: a listing is refused only
// for what makes it not the folder's (a cut line, the caps below), never for one odd line.
TEST(ListingParser, WhereTheListingStops) {
    const std::string prefix = "-rw-r--r-- 1 a b 2 Jan 1 12:00 ";
    const std::string line = prefix + "before\r\n", after = prefix + "after\r\n";
    const std::string longest(ListingParser::MaxLineBytes - prefix.size(), 'n');
    const std::string tooLong(ListingParser::MaxLineBytes + 1 - prefix.size(), 'n');
    struct Row {
        const char* what;
        std::string data;
        std::vector<std::string> names;
        bool ended;
        int skippedFiles = 0, skippedFolders = 0;
    };
    const Row rows[] = {
        {"unterminated last line is dropped", line + prefix + "cut", {"before"}, false},
        {"a line past 1023 bytes is taken", line + prefix + std::string(1100, 'n') + "\r\n" + after,
         {"before", std::string(1100, 'n'), "after"}, false},
        {"longest line that fits", line + prefix + longest + "\r\n" + after, {"before", longest, "after"}, false},
        {"over-long file line is left out, the rest stands", line + prefix + tooLong + "\r\n" + after,
         {"before", "after"}, false, 1, 0},
        {"over-long folder line, far longer, with LF alone", line + "d" + prefix.substr(1) + std::string(70000, 'd') + "\n" + after,
         {"before", "after"}, false, 0, 1},
        {"over-long lines one after the other, then a cut one",
         prefix + tooLong + "\r\n" + prefix + tooLong + "\r\n" + line + prefix + tooLong, {"before"}, false, 3, 0},
    };
    for (const Row& r : rows) {
        for (std::size_t chunk : {std::size_t(1023), std::size_t(97), std::size_t(1)}) {
            ListingParser parser;
            for (std::size_t pos = 0; pos < r.data.size() && parser.room() > 0;) {
                const std::size_t n = std::min({chunk, parser.room(), r.data.size() - pos});
                parser.feed(r.data.data() + pos, n);
                pos += n;
            }
            std::vector<std::string> names;
            for (const auto& e : parser.entries()) names.push_back(e.name);
            EXPECT_EQ(names, r.names) << r.what << ", chunk " << chunk;
            EXPECT_EQ(parser.ended(), r.ended) << r.what << ", chunk " << chunk;
            EXPECT_EQ(parser.skipped(EntryFile), r.skippedFiles) << r.what << ", chunk " << chunk;
            EXPECT_EQ(parser.skipped(EntryDirectory), r.skippedFolders) << r.what << ", chunk " << chunk;
        }
    }
}

TEST(ListingParser, EntryCountAndBytesAreCapped) {
    ListingParser parser;
    const std::string line = "-rw-r--r-- 1 a b 1 Jan 1 12:00 f\n";
    std::string block;
    while (block.size() + line.size() <= ListingParser::MaxChunk) block += line;
    for (std::size_t fed = 0; parser.room() > 0 && fed < 4 * ListingParser::MaxEntries; fed += block.size() / line.size())
        parser.feed(block.data(), std::min(parser.room(), block.size()));
    EXPECT_TRUE(parser.ended());
    EXPECT_EQ(parser.entries().size(), ListingParser::MaxEntries);

    // Exactly at the cap, with nothing after it, the listing is whole.
    ListingParser full;
    for (std::size_t i = 0; i < ListingParser::MaxEntries; ++i) full.feed(line.data(), line.size());
    EXPECT_FALSE(full.ended());

    // Long lines that are no entries ("total"-like text): the bytes are capped too.
    ListingParser wide;
    const std::string junk = std::string(1000, 'j') + "\n";
    std::size_t fed = 0;
    while (wide.room() > 0 && fed <= ListingParser::MaxBytes + junk.size()) {
        wide.feed(junk.data(), junk.size());
        fed += junk.size();
    }
    EXPECT_TRUE(wide.ended());
    EXPECT_TRUE(wide.entries().empty());
}

TEST(Decimal64, SignDigitsAndLimits) {
    const std::pair<const char*, std::int64_t> rows[] = {
        {" \t12", 12}, {"-5x", -5}, {"abc", 0}, {"8589934592", INT64_C(8589934592)},
        {"99999999999999999999999", std::numeric_limits<std::int64_t>::max()},
    };
    for (const auto& [text, value] : rows) EXPECT_EQ(parseDecimal64(text), value) << text;
}
