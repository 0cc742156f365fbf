#include "platform/text_codec.h"

#include <cstdint>
#include <limits>

namespace velmo::text {
namespace {

// Windows-1252 differs from Latin-1 only in 0x80-0x9F; 0 marks the five unassigned bytes.
constexpr char16_t highTable[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char16_t toUnicode(unsigned char c) {
    if (c >= 0x80 && c <= 0x9F) {
        char16_t u = highTable[c - 0x80];
        return u ? u : char16_t(c);  // unassigned bytes map to the C1 control of that value
    }
    return char16_t(c);
}

bool fromUnicode(char32_t u, char& out) {
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
        out = char(u);
        return true;
    }
    for (int i = 0; i < 32; ++i) {
        char16_t t = highTable[i] ? highTable[i] : char16_t(0x80 + i);
        if (t == u) {
            out = char(0x80 + i);
            return true;
        }
    }
    return false;
}

void appendUtf8(std::string& out, char32_t u) {
    if (u < 0x80) {
        out += char(u);
    } else if (u < 0x800) {
        out += char(0xC0 | (u >> 6));
        out += char(0x80 | (u & 0x3F));
    } else if (u < 0x10000) {
        out += char(0xE0 | (u >> 12));
        out += char(0x80 | ((u >> 6) & 0x3F));
        out += char(0x80 | (u & 0x3F));
    } else {
        out += char(0xF0 | (u >> 18));
        out += char(0x80 | ((u >> 12) & 0x3F));
        out += char(0x80 | ((u >> 6) & 0x3F));
        out += char(0x80 | (u & 0x3F));
    }
}

}  // namespace

std::string cp1252ToUtf8(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    for (unsigned char c : s) appendUtf8(out, toUnicode(c));
    return out;
}

std::string utf8ToCp1252(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    std::size_t i = 0;
    while (i < s.size()) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        char32_t u = 0;
        std::size_t len = 1;
        if (c < 0x80) {
            u = c;
        } else if ((c & 0xE0) == 0xC0) {
            u = c & 0x1F;
            len = 2;
        } else if ((c & 0xF0) == 0xE0) {
            u = c & 0x0F;
            len = 3;
        } else if ((c & 0xF8) == 0xF0) {
            u = c & 0x07;
            len = 4;
        } else {
            out += '?';  // stray continuation or invalid lead byte
            ++i;
            continue;
        }
        bool ok = i + len <= s.size();
        for (std::size_t k = 1; ok && k < len; ++k) {
            unsigned char cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xC0) != 0x80) ok = false;
            else u = (u << 6) | (cc & 0x3F);
        }
        if (!ok) {
            out += '?';
            ++i;
            continue;
        }
        char b;
        out += fromUnicode(u, b) ? b : '?';
        i += len;
    }
    return out;
}

std::u16string cp1252ToUtf16(const std::string& s) {
    std::u16string out;
    out.reserve(s.size());
    for (unsigned char c : s) out += toUnicode(c);
    return out;
}

std::string utf16ToCp1252(const std::u16string& s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        char32_t u = s[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < s.size()) ++i;  // no astral char is in CP1252
        char b;
        out += fromUnicode(u, b) ? b : '?';
    }
    return out;
}

std::wstring cp1252ToWide(const std::string& s) {
    std::u16string u = cp1252ToUtf16(s);
    return std::wstring(u.begin(), u.end());
}

std::string wideToCp1252(const std::wstring& s) {
    return utf16ToCp1252(std::u16string(s.begin(), s.end()));
}

std::string trimBlanks(const std::string& s) {
    std::size_t b = s.find_first_not_of(' ');
    if (b == std::string::npos) return std::string();
    std::size_t e = s.find_last_not_of(' ');
    return s.substr(b, e - b + 1);
}

long long parseDecimal(const std::string& s) {
    std::size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    long long v = 0;
    const long long cap = 1000000000000000000LL;  // saturate instead of overflowing
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
        const int digit = s[i] - '0';
        v = v > (cap - digit) / 10 ? cap : v * 10 + digit;
    }
    return negative ? -v : v;
}

std::int32_t parseDecimalInt32(const std::string& s) {
    const long long v = parseDecimal(s);
    if (v > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
    if (v < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(v);
}

}  // namespace velmo::text
