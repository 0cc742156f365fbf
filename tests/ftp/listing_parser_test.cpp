// UNIX-style listings fed as raw data-connection chunks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "ftp/ftp_session.h"
#include "ftp/listing_parser.h"

using namespace velmo::ftp;

namespace {

// Feeds `data` in chunks of at most `chunk` bytes, never more than the parser has room for.
std::vector<ListingEntry> parseInChunks(const std::string& data, std::size_t chunk, bool* ended = nullptr) {
    ListingParser parser;
    std::size_t pos = 0;
    while (pos < data.size() && parser.room() > 0) {
        const std::size_t n = std::min({chunk, parser.room(), data.size() - pos});
        parser.feed(data.data() + pos, n);
        pos += n;
    }
    if (ended) *ended = parser.ended();
    return parser.takeEntries();
}

std::vector<std::string> names(const std::vector<ListingEntry>& entries) {
    std::vector<std::string> out;
    for (const auto& e : entries) out.push_back(e.name);
    return out;
}

const std::string kListing =
    "total 12\r\n"
    "drwxr-xr-x 2 web web 4096 Jan 1 12:00 my folder\r\n"
    "-rw-r--r--   1 web  web      1234 Feb 28  2019 livre_lire.php\r\n"
    "lrwxrwxrwx 1 web web 11 Mar 3 09:15 latest -> livre-2.1\r\n"
    "drwxr-xr-x\t3\tweb\tweb\t512\tApr\t4\t10:00\tskins\r\n"
    "-rw-r--r-- 1 1000 1000 9876543210123 Dec 31 23:59 big.bin\r\n";

}  // namespace

TEST(ListingLine, NineFieldsGiveNameKindAndSize) {
    struct Row {
        const char* line;
        const char* name;
        int kind;
        std::int64_t size;
    };
    const Row rows[] = {
        {"drwxr-xr-x 2 web web 4096 Jan 1 12:00 my folder", "my folder", EntryDirectory, 4096},
        {"-rw-r--r-- 1 web web 1234 Feb 28 2019 livre_lire.php", "livre_lire.php", EntryFile, 1234},
        {"lrwxrwxrwx 1 web web 11 Mar 3 09:15 latest -> livre-2.1", "latest -> livre-2.1", EntryFile, 11},
        {"crw-rw-rw- 1 root root 0 Jan 1 2020 null", "null", EntryFile, 0},
        {"drwx------ 2 a b 0 Jan 01 00:00  two  blanks ", "two  blanks ", EntryDirectory, 0},
        {"-rw-r--r-- 1 a b 12abc Jan 1 12:00 f", "f", EntryFile, 12},
        {"-rw-r--r-- 1 a b size Jan 1 12:00 f", "f", EntryFile, 0},
        {"-rw-r--r-- 1 a b -5 Jan 1 12:00 f", "f", EntryFile, -5},
    };
    for (const Row& r : rows) {
        ListingEntry e;
        ASSERT_TRUE(parseListingLine(r.line, e)) << r.line;
        EXPECT_EQ(e.name, r.name) << r.line;
        EXPECT_EQ(e.kind, r.kind) << r.line;
        EXPECT_EQ(e.size, r.size) << r.line;
        EXPECT_EQ(e.rawLine, r.line);
    }
    ListingEntry e;
    ASSERT_TRUE(parseListingLine("-rw-r--r-- 1 a b 7 Feb 28 2019 x", e));
    EXPECT_EQ(e.permissions, "-rw-r--r--");
    EXPECT_EQ(e.date, "Feb 28 2019");
}

TEST(ListingLine, FewerThanNineFieldsAreNotEntries) {
    const char* rows[] = {"total 12", "", "drwxr-xr-x 2 web web 4096 Jan 1 12:00", "drwxr-xr-x 2 web web 4096 Jan 1 12:00   "};
    for (const char* line : rows) {
        ListingEntry e;
        EXPECT_FALSE(parseListingLine(line, e)) << line;
    }
}

TEST(ListingParser, WholeListingInOrderTotalLineSkipped) {
    const auto entries = parseInChunks(kListing, 1023);
    ASSERT_EQ(names(entries), (std::vector<std::string>{"my folder", "livre_lire.php", "latest -> livre-2.1",
                                                        "skins", "big.bin"}));
    EXPECT_EQ(entries[0].kind, EntryDirectory);
    EXPECT_EQ(entries[0].size, 4096);
    EXPECT_EQ(entries[1].kind, EntryFile);
    EXPECT_EQ(entries[2].kind, EntryFile);
    EXPECT_EQ(entries[3].kind, EntryDirectory);
    EXPECT_EQ(entries[4].size, INT64_C(9876543210123));
}

TEST(ListingParser, SameEntriesWhateverTheChunkBoundaries) {
    const auto whole = names(parseInChunks(kListing, 1023));
    for (std::size_t chunk = 1; chunk <= 64; ++chunk) {
        EXPECT_EQ(names(parseInChunks(kListing, chunk)), whole) << "chunk " << chunk;
    }
}

TEST(ListingParser, LineFeedsAloneParseLikeCrLf) {
    std::string lfOnly;
    for (char c : kListing)
        if (c != '\r') lfOnly += c;
    EXPECT_EQ(names(parseInChunks(lfOnly, 1023)), names(parseInChunks(kListing, 1023)));
    EXPECT_EQ(names(parseInChunks(lfOnly, 7)), names(parseInChunks(kListing, 1023)));
}

TEST(ListingParser, UnterminatedLastLineIsNotAnEntry) {
    const auto entries = parseInChunks(
        "-rw-r--r-- 1 a b 1 Jan 1 12:00 kept\r\n-rw-r--r-- 1 a b 2 Jan 1 12:00 cut", 1023);
    EXPECT_EQ(names(entries), std::vector<std::string>{"kept"});
}

TEST(ListingParser, EmptyListingHasNoEntries) {
    bool ended = true;
    EXPECT_TRUE(parseInChunks("", 1023, &ended).empty());
    EXPECT_FALSE(ended);
}

TEST(ListingParser, OverlongLineEndsTheListing) {
    const std::string before = "-rw-r--r-- 1 a b 1 Jan 1 12:00 before\r\n";
    const std::string longLine = "-rw-r--r-- 1 a b 2 Jan 1 12:00 " + std::string(1100, 'n') + "\r\n";
    const std::string after = "-rw-r--r-- 1 a b 3 Jan 1 12:00 after\r\n";
    bool ended = false;
    const auto entries = parseInChunks(before + longLine + after, 1023, &ended);
    EXPECT_TRUE(ended);
    EXPECT_EQ(names(entries), std::vector<std::string>{"before"});
}

TEST(ListingParser, LongestLineThatFitsIsKept) {
    // 1022 bytes of line and its CR fill the 1023 usable bytes; the LF comes in the next chunk.
    const std::string prefix = "-rw-r--r-- 1 a b 2 Jan 1 12:00 ";
    const std::string name(1022 - prefix.size(), 'n');
    bool ended = true;
    const auto entries = parseInChunks(prefix + name + "\r\n", 1023, &ended);
    EXPECT_FALSE(ended);
    EXPECT_EQ(names(entries), std::vector<std::string>{name});
}

TEST(ListingParser, EntryCountIsCapped) {
    ListingParser parser;
    const std::string line = "-rw-r--r-- 1 a b 1 Jan 1 12:00 f\n";
    std::string block;
    while (block.size() + line.size() <= ListingParser::MaxChunk) block += line;
    std::size_t fed = 0;
    while (parser.room() > 0 && fed < 4 * ListingParser::MaxEntries) {
        const std::size_t n = std::min(parser.room(), block.size());
        parser.feed(block.data(), n);
        fed += n / line.size();
    }
    EXPECT_TRUE(parser.ended());
    EXPECT_EQ(parser.entries().size(), ListingParser::MaxEntries);
}

TEST(Decimal64, SignDigitsAndLimits) {
    EXPECT_EQ(parseDecimal64("4096"), 4096);
    EXPECT_EQ(parseDecimal64(" \t12"), 12);
    EXPECT_EQ(parseDecimal64("+7"), 7);
    EXPECT_EQ(parseDecimal64("-5x"), -5);
    EXPECT_EQ(parseDecimal64("abc"), 0);
    EXPECT_EQ(parseDecimal64(""), 0);
    EXPECT_EQ(parseDecimal64("8589934592"), INT64_C(8589934592));
    EXPECT_EQ(parseDecimal64("99999999999999999999999"), std::numeric_limits<std::int64_t>::max());
}
