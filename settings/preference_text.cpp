#include "settings/preference_text.h"

namespace velmo::pcfg {

namespace {

const char byteOrderMark[] = "\xEF\xBB\xBF";

bool isBlankOrTab(char c) { return c == ' ' || c == '\t'; }
bool isLineEnd(char c) { return c == '\r' || c == '\n'; }

bool startsWithMark(const std::string& s) { return s.size() > 2 && s.compare(0, 3, byteOrderMark) == 0; }

}  // namespace

Text parseText(const std::string& s) {
    Text text;
    std::size_t i = 0;
    if (startsWithMark(s)) {
        text.utf8 = true;
        i = 3;
    }
    ItemList& items = text.items;
    const std::size_t n = s.size();
    while (i < n) {
        while (i < n && isBlankOrTab(s[i])) ++i;
        if (i >= n) break;
        const char c = s[i];
        if (isLineEnd(c)) {
            while (i < n && isLineEnd(s[i])) ++i;
            continue;
        }
        if (c == ';') {
            ++i;
            if (i < n && s[i] == ' ') ++i;
            const std::size_t b = i;
            while (i < n && !isLineEnd(s[i])) ++i;
            items.push_back({ItemKind::Comment, s.substr(b, i - b), {}});
        } else if (c == '[') {
            const std::size_t b = ++i;
            while (i < n && s[i] != ']' && !isLineEnd(s[i])) ++i;
            items.push_back({ItemKind::Group, s.substr(b, i - b), {}});
            while (i < n && !isLineEnd(s[i])) ++i;  // whatever follows "]"
        } else {
            const std::size_t b = i;
            while (i < n && s[i] != '=' && !isLineEnd(s[i])) ++i;
            std::size_t e = i;
            while (e > b && isBlankOrTab(s[e - 1])) --e;
            Item key{ItemKind::Key, s.substr(b, e - b), {}};
            if (i < n && s[i] == '=') {
                ++i;
                while (i < n && isBlankOrTab(s[i])) ++i;
                const std::size_t vb = i;
                while (i < n && !isLineEnd(s[i])) ++i;
                key.value = s.substr(vb, i - vb);
            }
            items.push_back(std::move(key));
        }
        while (i < n && isLineEnd(s[i])) ++i;
    }
    return text;
}

std::string renderText(const Text& text) {
    std::string out;
    if (text.utf8) out = std::string(byteOrderMark) + "\r\n";
    for (const Item& item : text.items) {
        switch (item.kind) {
            case ItemKind::Group: out += "[" + item.name + "]"; break;
            case ItemKind::Comment: out += "; " + item.name; break;
            case ItemKind::Key: out += item.name + " = " + item.value; break;
        }
        out += "\r\n";
    }
    // A single-byte file whose first key begins with the mark's three bytes would read
    // back as UTF-8 with that key renamed: an empty first line keeps it single-byte.
    if (!text.utf8 && startsWithMark(out)) out.insert(0, "\r\n");
    return out;
}

}  // namespace velmo::pcfg
