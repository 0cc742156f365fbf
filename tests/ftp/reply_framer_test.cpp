// Control-connection replies fed as raw reads: line cutting, reply ends, code matching.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ftp/reply_framer.h"

using namespace velmo::ftp;

namespace {

// Feeds each read in turn and collects every line that becomes available.
std::vector<std::string> framedLines(const std::vector<std::string>& reads) {
    ReplyFramer framer;
    std::vector<std::string> lines;
    std::string line;
    for (const std::string& read : reads) {
        framer.feed(read.data(), read.size());
        while (framer.takeLine(line)) lines.push_back(line);
    }
    return lines;
}

// Index (1-based) of the line that completes the reply, 0 when none does.
std::size_t completingLine(const std::vector<std::string>& lines, ReplyAssembler& reply) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (reply.addLine(lines[i])) return i + 1;
    }
    return 0;
}

}  // namespace

TEST(ReplyFramer, CutsReadsIntoLines) {
    struct Row {
        const char* what;
        std::vector<std::string> reads;
        std::vector<std::string> lines;
    };
    const std::vector<Row> rows = {
        {"one line", {"220 ready\r\n"}, {"220 ready"}},
        {"split across reads", {"22", "0 hel", "lo\r", "\n331 x\r\n"}, {"220 hello", "331 x"}},
        {"break split between reads", {"220 a\r", "\n", "230 b\r\n"}, {"220 a", "230 b"}},
        {"runs of CR and LF are one break", {"\r\n\r\n220 a\r\r\n\n\n230 b\n\r"}, {"220 a", "230 b"}},
        {"LF alone", {"220-a\n220 b\n"}, {"220-a", "220 b"}},
        {"CR alone", {"220 a\r230 b\r"}, {"220 a", "230 b"}},
        {"no break yet", {"257 \"/\" is"}, {}},
        {"completed later", {"257 \"/\" is", " current\r\n"}, {"257 \"/\" is current"}},
        {"many in one read", {"220-a\r\n220-b\r\n220-c\r\n220 d\r\n"}, {"220-a", "220-b", "220-c", "220 d"}},
    };
    for (const Row& r : rows) EXPECT_EQ(framedLines(r.reads), r.lines) << r.what;
}

TEST(ReplyFramer, ReadRoomKeepsTheBufferAt4095Bytes) {
    ReplyFramer framer;
    EXPECT_EQ(framer.readRoom(), 4095u);
    const std::string partial = "257 \"/\" is";
    framer.feed(partial.data(), partial.size());
    EXPECT_EQ(framer.readRoom(), 4095u - partial.size());
    const std::string rest = " current\r\n";
    framer.feed(rest.data(), rest.size());
    std::string line;
    ASSERT_TRUE(framer.takeLine(line));
    EXPECT_EQ(framer.readRoom(), 4095u);
}

TEST(ReplyFramer, FullBufferWithoutBreakIsHandedOutAsOneLine) {
    ReplyFramer framer;
    const std::string junk(5000, 'x');
    framer.feed(junk.data(), junk.size());  // only 4095 fit
    std::string line;
    ASSERT_TRUE(framer.takeLine(line));
    EXPECT_EQ(line.size(), 4095u);
    EXPECT_FALSE(framer.takeLine(line));
    EXPECT_EQ(framer.readRoom(), 4095u);
}

TEST(ReplyFramer, AtMost128PendingLinesTheRestCutLater) {
    ReplyFramer framer;
    std::string read;
    for (int i = 0; i < 200; ++i) read += "200-" + std::to_string(i) + "\r\n";
    ASSERT_LE(read.size(), ReplyFramer::MaxRead);
    framer.feed(read.data(), read.size());
    EXPECT_EQ(framer.pendingLines(), 128u);
    std::string line;
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
        std::size_t endsAt;  // 0: still open after the last line
    };
    const std::vector<Row> rows = {
        {"single line", {"220 ready", "331 next"}, 1},
        {"greeting of several lines", {"220-Welcome", "220-second", "220 ready", "331 x"}, 3},
        {"login 230- ... 230", {"230-Welcome", "230-Rules", "230 Logged in"}, 3},
        {"free text inside a multi-line reply", {"230-Welcome", "  read the rules", "230 done"}, 3},
        {"line shorter than four characters", {"200", "331 x"}, 1},
        {"code alone ends a multi-line reply", {"220-a", "220"}, 2},
        {"another code does not end it", {"500-a", "501 b", "500 c"}, 3},
        {"continuation never ends", {"220-a", "220-b"}, 0},
        {"fourth character other than '-'", {"2201 x", "331 y"}, 1},
    };
    for (const Row& r : rows) {
        ReplyAssembler reply;
        EXPECT_EQ(completingLine(r.lines, reply), r.endsAt) << r.what;
        EXPECT_EQ(reply.firstLine(), r.lines[0]) << r.what;
        EXPECT_FALSE(reply.overLimit()) << r.what;
    }
}

TEST(ReplyAssembler, LoginReplyMatchesOnItsFirstLineAndIsReadToItsEnd) {
    // Framer and assembler together, as the session reads a PASS reply and then PWD.
    ReplyFramer framer;
    const std::string bytes = "230-Welcome\r\n230-No uploads of films\r\n230 Logged in\r\n257 \"/\"\r\n";
    framer.feed(bytes.data(), bytes.size());
    ReplyAssembler reply;
    std::string line;
    while (framer.takeLine(line) && !reply.addLine(line)) {}
    ASSERT_TRUE(reply.complete());
    EXPECT_TRUE(codeMatches(reply.firstLine(), "230"));
    EXPECT_EQ(reply.lineCount(), 3u);
    ASSERT_TRUE(framer.takeLine(line));
    EXPECT_EQ(line, "257 \"/\"");
}

TEST(ReplyAssembler, EndlessRepliesGoOverTheLimit) {
    ReplyAssembler byLines;
    for (std::size_t i = 0; i < ReplyAssembler::MaxLines && !byLines.overLimit(); ++i) byLines.addLine("220-x");
    EXPECT_TRUE(byLines.overLimit());
    EXPECT_FALSE(byLines.complete());

    ReplyAssembler byBytes;
    const std::string wide = "220-" + std::string(4000, 'y');
    int added = 0;
    while (!byBytes.overLimit() && added < 100) {
        byBytes.addLine(wide);
        ++added;
    }
    EXPECT_TRUE(byBytes.overLimit());
    EXPECT_LE(added, 17);
    // The kept copy of a line is cut to 1023 characters.
    EXPECT_EQ(byBytes.firstLine().size(), 1023u);
}

TEST(ReplyCodes, MatchAgainstExpectedTexts) {
    struct Row {
        const char* line;
        const char* expected;
        bool matches;
    };
    const Row rows[] = {
        {"150 Opening data connection", "125;150", true},
        {"125 Data connection already open", "125;150", true},
        {"226 Transfer complete", "125;150", false},
        {"250 ok", "250", true},
        {"200 ok", "250", false},
        {"331 Password required", "331", true},
        {"230 ok", "331", false},
        {"257 \"/\"", "257", true},
        {"5;1 not a code", "125;150", false},
        {"25", "250", false},
        {"", "250", false},
        {"2500 wide", "250", true},
    };
    for (const Row& r : rows) EXPECT_EQ(codeMatches(r.line, r.expected), r.matches) << r.line << " / " << r.expected;
    EXPECT_TRUE(codeClass("226 done", '2'));
    EXPECT_TRUE(codeClass("150 go", '1'));
    EXPECT_FALSE(codeClass("552 full", '2'));
    EXPECT_FALSE(codeClass("2x6", '2'));
}
