// The ".pcfg" key/value files: the shared connection settings and the updater's version
// files. A whole file is loaded into memory, looked up and changed there, and written back
// in one piece by `close`.
//
// A program keeps one instance and uses it for one file at a time: `open` and `create`
// first close (and so write back) the file the instance holds.
#pragma once
#include <cstdint>
#include <string>

#include "settings/preference_text.h"

namespace velmo {

class PreferenceFile {
public:
    PreferenceFile() = default;
    // Dropping the instance without `close` leaves the file as it was on disk.
    ~PreferenceFile() = default;
    PreferenceFile(const PreferenceFile&) = delete;
    PreferenceFile& operator=(const PreferenceFile&) = delete;

    // True when the file exists and could be read. A file that cannot be written is
    // still read, but `close` leaves it alone. A file that could not be opened at all
    // behaves as an empty one and is created by `close` if something was written.
    bool open(const std::string& path);
    // Starts an empty single-byte file; `close` writes it out (replacing any file of
    // that name). False when the file could not be created or replaced.
    bool create(const std::string& path);
    // Writes the file back when it was changed (or made by `create`) and forgets it.
    // True when nothing had to be written or the write succeeded; false when changes did
    // not reach the disk (read-only or uncreatable file, failed write).
    bool close();

    // Empty name: the keys before the first group. False when the group does not exist
    // yet: lookups then find nothing and the first write appends the group.
    bool selectGroup(const std::string& group);

    std::string readString(const std::string& key, const std::string& defaultValue) const;
    std::int32_t readInteger(const std::string& key, std::int32_t defaultValue) const;
    void writeString(const std::string& key, const std::string& value);
    void writeInteger(const std::string& key, std::int32_t value);
    void writeComment(const std::string& text);

    bool beginKeys();
    bool nextKey();
    std::string currentValue() const;
    std::string currentKeyName() const;

    bool isReadOnly() const { return state_ == State::ReadOnly; }
    bool isUtf8() const { return text_.utf8; }

private:
    using ItemKind = pcfg::ItemKind;
    using ItemList = pcfg::ItemList;
    using ItemPos = ItemList::iterator;
    using ConstItemPos = ItemList::const_iterator;

    enum class State {
        None,          // nothing opened
        Writable,      // opened (or created) for reading and writing
        ReadOnly,      // opened, but only for reading: never written back
        OpenFailed,    // could not be opened: created by close when changed
        CreateFailed,  // could not be created: nothing reaches the disk
    };

    void reset();
    std::string toFile(const std::string& s) const;    // caller's text to file encoding
    std::string fromFile(const std::string& s) const;  // file encoding to caller's text
    // First item of the current section (after its header, or the first item of all).
    ConstItemPos sectionBegin() const;
    // The key of the current section, compared without regard to letter case; end()
    // when it is missing or a group is pending.
    ConstItemPos findKey(const std::string& fileKey) const;
    ItemPos writable(ConstItemPos pos) { return items_.erase(pos, pos); }
    void materializePendingGroup();

    State state_ = State::None;
    std::string path_;
    bool modified_ = false;
    pcfg::Text text_;                // encoding and items, in file order
    ItemList& items_ = text_.items;  // the items, under a shorter name
    ItemPos currentGroup_ = items_.end();  // end(): the top section
    ItemPos cursor_ = items_.end();        // end(): before the first item / nowhere
    bool groupPending_ = false;
    std::string pendingGroup_;            // file encoding
};

}  // namespace velmo
