#include "ftp/wire_text.h"

#include <cstdio>

namespace velmo::ftp {
namespace {

bool holdsLineBreakOrNul(const std::string& text) {
    return text.find_first_of(std::string("\r\n\0", 3)) != std::string::npos;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

bool commandLine(const std::string& word, std::string& line) {
    line.clear();
    if (holdsLineBreakOrNul(word) || word.size() + 2 >= CommandBufferSize) return false;
    line = word + "\r\n";
    return true;
}

bool commandLine(const std::string& word, const std::string& argument, std::string& line) {
    line.clear();
    if (holdsLineBreakOrNul(word) || holdsLineBreakOrNul(argument)) return false;
    // word + blank + argument + CR LF must leave room for the terminator.
    if (word.size() + 1 + argument.size() + 2 >= CommandBufferSize) return false;
    line = word + " " + argument + "\r\n";
    return true;
}

std::string parsePwdReply(const std::string& line) {
    if (line.size() < 5 || line[3] != ' ' || line[4] != '"') return std::string();
    for (std::size_t i = 5; i < line.size(); ++i) {
        if (line[i] != '"') continue;
        if (i + 1 == line.size() || line[i + 1] == ' ') return line.substr(5, i - 5);
        // A quote followed by anything else is part of the name.
    }
    return std::string();
}

bool parsePasvReply(const std::string& line, std::string& host, int& port) {
    if (line.size() < 4) return false;
    int numbers[6] = {};
    int found = 0;
    std::size_t i = 3;
    while (found < 6 && i < line.size()) {
        if (!isDigit(line[i])) {
            ++i;
            continue;
        }
        long value = 0;
        while (i < line.size() && isDigit(line[i])) {
            if (value <= 255) value = value * 10 + (line[i] - '0');
            ++i;
        }
        if (value > 255) return false;
        numbers[found++] = static_cast<int>(value);
    }
    if (found < 6) return false;
    char text[32];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", numbers[0], numbers[1], numbers[2], numbers[3]);
    host = text;
    port = numbers[4] * 256 + numbers[5];
    return true;
}

std::string formatPortArgument(const std::string& ipv4, int port) {
    if (port < 0 || port > 65535) return std::string();
    int parts[4] = {};
    int count = 0;
    std::size_t i = 0;
    while (count < 4) {
        if (i >= ipv4.size() || !isDigit(ipv4[i])) return std::string();
        int value = 0;
        std::size_t digits = 0;
        while (i < ipv4.size() && isDigit(ipv4[i])) {
            value = value * 10 + (ipv4[i] - '0');
            if (++digits > 3) return std::string();
            ++i;
        }
        if (value > 255) return std::string();
        parts[count++] = value;
        if (count < 4) {
            if (i >= ipv4.size() || ipv4[i] != '.') return std::string();
            ++i;
        }
    }
    if (i != ipv4.size()) return std::string();
    char text[40];
    std::snprintf(text, sizeof text, "%d,%d,%d,%d,%d,%d", parts[0], parts[1], parts[2], parts[3],
                  port / 256, port % 256);
    return text;
}

}  // namespace velmo::ftp
