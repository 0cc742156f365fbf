// The text of a ".pcfg" file: its lines read into an ordered list of items, and the bytes
// written back for such a list. `PreferenceFile` keeps the list in memory between the two.
//
// A line, after leading blanks and tabs, is empty (ignored), a comment (";" text), a group
// header ("[" name "]") or a key (name "=" value). Written back, every item is one line
// ended by CR LF: "[name]", "; text", "name = value".
#pragma once
#include <list>
#include <string>

namespace velmo::pcfg {

enum class ItemKind { Group, Comment, Key };

struct Item {
    ItemKind kind;
    std::string name;   // group name, comment text or key name (file encoding)
    std::string value;  // key value as stored, trailing blanks included
    bool operator==(const Item&) const = default;
};
using ItemList = std::list<Item>;

struct Text {
    bool utf8 = false;  // the file began with the UTF-8 byte-order mark
    ItemList items;
};

// Any bytes are accepted. A file of more than 2 bytes that starts with the UTF-8 byte-order
// mark is a UTF-8 file, read from after the mark; any other is single-byte.
Text parseText(const std::string& contents);

// The whole file for `text`: in a UTF-8 file the mark and CR LF come first (so its first
// line is empty), then one line per item. A single-byte file whose first line would begin
// with the mark's bytes starts with CR LF instead. Reading the result with `parseText`
// gives the same items and encoding back.
std::string renderText(const Text& text);

}  // namespace velmo::pcfg
