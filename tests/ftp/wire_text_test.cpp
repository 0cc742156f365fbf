// Command lines, PWD and PASV reply texts, PORT arguments.
#include <gtest/gtest.h>

#include <string>

#include "ftp/wire_text.h"

using namespace velmo::ftp;

TEST(CommandLine, WordAndArgumentEndInCrLf) {
    std::string line;
    ASSERT_TRUE(commandLine("PWD", line));
    EXPECT_EQ(line, "PWD\r\n");
    ASSERT_TRUE(commandLine("CWD", "my folder/www", line));
    EXPECT_EQ(line, "CWD my folder/www\r\n");
    ASSERT_TRUE(commandLine("TYPE", "I", line));
    EXPECT_EQ(line, "TYPE I\r\n");
    // An empty argument still gets its blank: "USER " + user ID.
    ASSERT_TRUE(commandLine("USER", "", line));
    EXPECT_EQ(line, "USER \r\n");
}

TEST(CommandLine, LineBreaksAndNulInArgumentAreRefused) {
    const std::string refused[] = {
        "a\r\nDELE index.php", "a\nb", "a\rb", "\r\n", std::string("a\0b", 3), "name\n",
    };
    for (const std::string& argument : refused) {
        std::string line = "left over";
        EXPECT_FALSE(commandLine("CWD", argument, line)) << argument;
        EXPECT_TRUE(line.empty());
    }
    std::string line;
    EXPECT_FALSE(commandLine("PWD\r\nDELE x", line));
    EXPECT_TRUE(line.empty());
}

TEST(CommandLine, MustFitTheCommandBuffer) {
    std::string line;
    // "STOR " + 1016 bytes + CR LF = 1023 bytes: the largest line the 1024-byte buffer holds.
    ASSERT_TRUE(commandLine("STOR", std::string(1016, 'x'), line));
    EXPECT_EQ(line.size(), 1023u);
    EXPECT_EQ(line.substr(1021), "\r\n");
    EXPECT_FALSE(commandLine("STOR", std::string(1017, 'x'), line));
    EXPECT_TRUE(line.empty());
}

TEST(PwdReply, QuotedPathForms) {
    struct Row {
        const char* line;
        const char* directory;
    };
    const Row rows[] = {
        {"257 \"/www/livre\" is the current directory", "/www/livre"},
        {"257 \"/\"", "/"},
        {"257 \"/\" is current", "/"},
        {"257 \"/my folder\" ok", "/my folder"},
        // A quote followed by anything but a blank or the end belongs to the name.
        {"257 \"/a\"b\" here", "/a\"b"},
        {"257 \"/a\"\"b\"", "/a\"\"b"},
        {"257 \"\"", ""},
        // Fifth character not a double quote, fourth not a blank, no closing quote.
        {"257 /www/livre is current", ""},
        {"257-\"/www\" is current", ""},
        {"257 \"/www", ""},
        {"257 \"/www\"x", ""},
        {"257", ""},
        {"", ""},
    };
    for (const Row& r : rows) EXPECT_EQ(parsePwdReply(r.line), r.directory) << r.line;
}

TEST(PasvReply, SixNumbersGiveAddressAndPort) {
    std::string host;
    int port = 0;
    ASSERT_TRUE(parsePasvReply("227 Entering Passive Mode (192,168,1,2,19,137)", host, port));
    EXPECT_EQ(host, "192.168.1.2");
    EXPECT_EQ(port, 5001);
    ASSERT_TRUE(parsePasvReply("227 Entering Passive Mode (127,0,0,1,4,1).", host, port));
    EXPECT_EQ(host, "127.0.0.1");
    EXPECT_EQ(port, 1025);
    // No parentheses, other separators, extra numbers after the sixth.
    ASSERT_TRUE(parsePasvReply("227 =10,0,0,7,0,21 then 9", host, port));
    EXPECT_EQ(host, "10.0.0.7");
    EXPECT_EQ(port, 21);
    // Digits are read from the fourth character on: the code is not h1.
    ASSERT_TRUE(parsePasvReply("227 1 2 3 4 5 6", host, port));
    EXPECT_EQ(host, "1.2.3.4");
    EXPECT_EQ(port, 5 * 256 + 6);
}

TEST(PasvReply, MalformedRepliesFail) {
    const char* rows[] = {
        "227 Entering Passive Mode (192,168,1,2,19)",
        "227 Entering Passive Mode",
        "227",
        "22",
        "227 (192,168,1,256,19,137)",
        "227 (192,168,1,2,19,99999999999999999999)",
    };
    for (const char* line : rows) {
        std::string host = "unchanged";
        int port = -7;
        EXPECT_FALSE(parsePasvReply(line, host, port)) << line;
    }
}

TEST(PortArgument, AddressAndPortBytes) {
    EXPECT_EQ(formatPortArgument("127.0.0.1", 5001), "127,0,0,1,19,137");
    EXPECT_EQ(formatPortArgument("192.168.1.2", 21), "192,168,1,2,0,21");
    EXPECT_EQ(formatPortArgument("10.0.0.1", 65535), "10,0,0,1,255,255");
    EXPECT_EQ(formatPortArgument("10.0.0.1", 0), "10,0,0,1,0,0");
    const char* bad[] = {"", "127.0.0", "127.0.0.1.5", "127.0.0.256", "a.b.c.d", "127..0.1", "1270.0.0.1"};
    for (const char* address : bad) EXPECT_EQ(formatPortArgument(address, 21), "") << address;
    EXPECT_EQ(formatPortArgument("127.0.0.1", 65536), "");
    EXPECT_EQ(formatPortArgument("127.0.0.1", -1), "");
}
