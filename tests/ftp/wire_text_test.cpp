// Command lines, PWD and PASV reply texts, PORT arguments.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "ftp/wire_text.h"

using namespace velmo::ftp;

TEST(CommandLine, EndsInCrLfAndRefusesLineBreaksNulAndOverlongLines) {
    std::string line;
    ASSERT_TRUE(commandLine("PWD", line));
    EXPECT_EQ(line, "PWD\r\n");
    // An empty argument still gets its blank: "USER " + user ID.
    ASSERT_TRUE(commandLine("USER", "", line));
    EXPECT_EQ(line, "USER \r\n");
    // "STOR " + 1016 bytes + CR LF = 1023 bytes: the largest line the 1024-byte buffer holds.
    ASSERT_TRUE(commandLine("STOR", std::string(1016, 'x'), line));
    EXPECT_EQ(line, "STOR " + std::string(1016, 'x') + "\r\n");

    const std::string refused[] = {"a\r\nDELE index.php", "a\nb", "a\rb", std::string("a\0b", 3),
                                   std::string(1017, 'x')};
    for (const std::string& argument : refused) {
        line = "left over";
        EXPECT_FALSE(commandLine("STOR", argument, line)) << argument.size();
        EXPECT_TRUE(line.empty());
    }
    EXPECT_FALSE(commandLine("PWD\r\nDELE x", line));
    EXPECT_TRUE(line.empty());
}

TEST(PwdReply, QuotedPathForms) {
    const std::pair<const char*, const char*> rows[] = {
        {"257 \"/www/livre\" is the current directory", "/www/livre"},
        // A quote followed by anything but a blank or the end belongs to the name.
        {"257 \"/a\"b\" here", "/a\"b"},
        // Fifth character not a double quote, fourth not a blank, no closing quote.
        {"257 /www/livre is current", ""},
        {"257-\"/www\" is current", ""},
        {"257 \"/www", ""},
        {"257 \"/www\"x", ""},
        {"257", ""},
    };
    for (const auto& [line, directory] : rows) EXPECT_EQ(parsePwdReply(line), directory) << line;
}

TEST(PasvReply, SixNumbersGiveAddressAndPortOthersFail) {
    struct Row {
        const char* line;
        const char* host;  // nullptr: refused
        int port;
    };
    const Row rows[] = {
        {"227 Entering Passive Mode (192,168,1,2,19,137)", "192.168.1.2", 5001},
        {"227 Entering Passive Mode (127,0,0,1,4,1).", "127.0.0.1", 1025},
        // No parentheses, other separators, extra numbers after the sixth.
        {"227 =10,0,0,7,0,21 then 9", "10.0.0.7", 21},
        // Digits are read from the fourth character on: the code is not h1.
        {"227 1 2 3 4 5 6", "1.2.3.4", 5 * 256 + 6},
        {"227 Entering Passive Mode (192,168,1,2,19)", nullptr, 0},
        {"227 (192,168,1,256,19,137)", nullptr, 0},
        {"227 (192,168,1,2,19,99999999999999999999)", nullptr, 0},
    };
    for (const Row& r : rows) {
        std::string host;
        int port = -7;
        ASSERT_EQ(parsePasvReply(r.line, host, port), r.host != nullptr) << r.line;
        if (!r.host) continue;
        EXPECT_EQ(host, r.host) << r.line;
        EXPECT_EQ(port, r.port) << r.line;
    }
}

TEST(PortArgument, AddressAndPortBytes) {
    EXPECT_EQ(formatPortArgument("127.0.0.1", 5001), "127,0,0,1,19,137");
    EXPECT_EQ(formatPortArgument("10.0.0.1", 65535), "10,0,0,1,255,255");
    for (const char* address : {"127.0.0", "127.0.0.1.5", "127.0.0.256", "a.b.c.d", "127..0.1"})
        EXPECT_EQ(formatPortArgument(address, 21), "") << address;
    EXPECT_EQ(formatPortArgument("127.0.0.1", 65536), "");
    EXPECT_EQ(formatPortArgument("127.0.0.1", -1), "");
}
