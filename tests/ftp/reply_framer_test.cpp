// Control-connection replies fed as raw reads: line cutting, reply ends, code matching.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ftp/reply_framer.h"

using namespace velmo::ftp;

TEST(ReplyFramer, CutsReadsIntoLines) {
    struct Row {
        const char* what;
        std::vector<std::string> reads;
        std::vector<std::string> lines;
        std::string tail;  // what is held of a line without its break ("" for none)
    };
    const std::vector<Row> rows = {
        {"split across reads", {"22", "0 hel", "lo\r", "\n331 x\r\n"}, {"220 hello", "331 x"}},
        {"break split between reads", {"220 a\r", "\n", "230 b\r\n"}, {"220 a", "230 b"}},
        {"runs of CR and LF are one break", {"\r\n\r\n220 a\r\r\n\n\n230 b\n\r"}, {"220 a", "230 b"}},
        {"CR alone", {"220 a\r230 b\r"}, {"220 a", "230 b"}},
        {"last line without its break", {"220-a\r\n", "220 b"}, {"220-a"}, "220 b"},
        {"only breaks after the last line", {"220 a\r\n\r"}, {"220 a"}},
    };
    for (const Row& r : rows) {
        ReplyFramer framer;
        std::vector<std::string> lines;
        std::string line;
        for (const std::string& read : r.reads) {
            framer.feed(read.data(), read.size());
            while (framer.takeLine(line)) lines.push_back(line);
        }
        EXPECT_EQ(lines, r.lines) << r.what;
        EXPECT_EQ(framer.holdsPartial(), !r.tail.empty()) << r.what;
        std::string tail;
        EXPECT_EQ(framer.takePartial(tail), !r.tail.empty()) << r.what;
        EXPECT_EQ(tail, r.tail) << r.what;
        EXPECT_FALSE(framer.holdsPartial()) << r.what << ": the tail was a line of its own";
    }
}

TEST(ReplyFramer, BuffersAtMost4095BytesAnd128Lines) {
    ReplyFramer framer;
    std::string line;
    const std::string partial = "257 \"/\" is";
    framer.feed(partial.data(), partial.size());
    EXPECT_EQ(framer.readRoom(), 4095u - partial.size());
    framer.feed("\r\n", 2);
    ASSERT_TRUE(framer.takeLine(line));
    EXPECT_EQ(framer.readRoom(), 4095u);

    // A line longer than 4095 bytes keeps its first 4095 and drops the rest up to its
    // break, however the reads cut it: reading goes on, and the next line is its own.
    const std::string junk(5000, 'x');
    framer.feed(junk.data(), junk.size());
    EXPECT_FALSE(framer.takeLine(line)) << "its break has not come";
    EXPECT_EQ(framer.readRoom(), 4095u);
    framer.feed(junk.data(), 3000);
    framer.feed("xx\r\n331 next\r\n", 14);
    ASSERT_TRUE(framer.takeLine(line));
    EXPECT_EQ(line, junk.substr(0, 4095));
    ASSERT_TRUE(framer.takeLine(line));
    EXPECT_EQ(line, "331 next");
    EXPECT_FALSE(framer.takeLine(line));
    EXPECT_EQ(framer.readRoom(), 4095u);

    // Past 128 waiting lines the rest is cut only as lines are taken; none is lost.
    std::string read;
    for (int i = 0; i < 200; ++i) read += "200-" + std::to_string(i) + "\r\n";
    ASSERT_LE(read.size(), ReplyFramer::MaxRead);
    framer.feed(read.data(), read.size());
    EXPECT_EQ(framer.pendingLines(), 128u);
    for (int i = 0; i < 200; ++i) {
        ASSERT_TRUE(framer.takeLine(line)) << i;
        EXPECT_EQ(line, "200-" + std::to_string(i));
    }
    EXPECT_FALSE(framer.takeLine(line));
}

TEST(ReplyAssembler, WhereRepliesEnd) {
    struct Row {
        const char* what;
        std::vector<std::string> lines;
        std::size_t endsAt;  // 1-based line that ends the reply; 0: still open after the last
    };
    const std::vector<Row> rows = {
        {"single line", {"220 ready", "331 next"}, 1},
        {"free text inside a multi-line reply", {"230-Welcome", "  read the rules", "230 done"}, 3},
        {"line shorter than four characters", {"200", "331 x"}, 1},
        {"code alone ends a multi-line reply", {"220-a", "220"}, 2},
        {"another code does not end it", {"500-a", "501 b", "500 c"}, 3},
        {"continuation never ends", {"220-a", "220-b"}, 0},
        {"fourth character other than '-'", {"2201 x", "331 y"}, 1},
    };
    for (const Row& r : rows) {
        ReplyAssembler reply;
        std::size_t endsAt = 0;
        for (std::size_t i = 0; i < r.lines.size() && endsAt == 0; ++i)
            if (reply.addLine(r.lines[i])) endsAt = i + 1;
        EXPECT_EQ(endsAt, r.endsAt) << r.what;
        EXPECT_EQ(reply.firstLine(), r.lines[0]) << r.what;
        EXPECT_FALSE(reply.overLimit()) << r.what;
    }
}

TEST(ReplyAssembler, EndlessRepliesGoOverTheLimit) {
    ReplyAssembler byLines;
    for (std::size_t i = 0; i < ReplyAssembler::MaxLines && !byLines.overLimit(); ++i) byLines.addLine("220-x");
    EXPECT_TRUE(byLines.overLimit());
    EXPECT_FALSE(byLines.complete());

    ReplyAssembler byBytes;
    const std::string wide = "220-" + std::string(4000, 'y');
    int added = 0;
    for (; !byBytes.overLimit() && added < 100; ++added) byBytes.addLine(wide);
    EXPECT_TRUE(byBytes.overLimit());
    EXPECT_LE(added, 17);
    EXPECT_EQ(byBytes.firstLine(), wide.substr(0, 1023)) << "kept copies are cut to 1023 characters";
}

TEST(ReplyCodes, MatchAgainstExpectedTexts) {
    EXPECT_TRUE(codeMatches("150 Opening data connection", "125;150"));
    EXPECT_TRUE(codeMatches("125 Data connection already open", "125;150"));
    EXPECT_FALSE(codeMatches("226 Transfer complete", "125;150"));
    EXPECT_FALSE(codeMatches("5;1 not a code", "125;150"));
    EXPECT_FALSE(codeMatches("25", "250"));
    EXPECT_TRUE(codeClass("226 done", '2'));
    EXPECT_FALSE(codeClass("552 full", '2'));
    EXPECT_FALSE(codeClass("2x6", '2'));
}
