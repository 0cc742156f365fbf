#include "settings/preference_file.h"

#include <iterator>
#include <utility>

#include "platform/fs.h"
#include "platform/text_codec.h"

namespace velmo {

namespace {

bool isBlankOrTab(char c) { return c == ' ' || c == '\t'; }

// Letter case is folded for A-Z, for the accented capitals of the Latin-1 range (\xC0-\xDE
// but the multiplication sign; UTF-8 C3 80 to C3 9E) and for the four capitals CP1252 adds
// in \x80-\x9F: \x8A \x8C \x8E \x9F (U+0160 U+0152 U+017D U+0178) fold to \x9A \x9C \x9E
// \xFF (U+0161 U+0153 U+017E U+00FF).
std::string foldCase(const std::string& s, bool utf8) {
    std::string out = s;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(out[i]);
        if (c >= 'A' && c <= 'Z') {
            out[i] = static_cast<char>(c + 0x20);
        } else if (!utf8) {
            if ((c >= 0xC0 && c <= 0xDE && c != 0xD7) || c == 0x8A || c == 0x8C || c == 0x8E)
                out[i] = static_cast<char>(c + (c >= 0xC0 ? 0x20 : 0x10));
            else if (c == 0x9F)
                out[i] = '\xFF';
        } else if ((c == 0xC3 || c == 0xC5) && i + 1 < out.size()) {
            const unsigned char d = static_cast<unsigned char>(out[++i]);
            if (c == 0xC3 && d >= 0x80 && d <= 0x9E && d != 0x97) {
                out[i] = static_cast<char>(d + 0x20);
            } else if (c == 0xC5 && (d == 0xA0 || d == 0x92 || d == 0xBD)) {
                out[i] = static_cast<char>(d + 1);
            } else if (c == 0xC5 && d == 0xB8) {  // U+0178 to U+00FF
                out[i - 1] = '\xC3';
                out[i] = '\xBF';
            }
        }
    }
    return out;
}

std::string trimBlanksAndTabs(const std::string& s) {
    std::size_t b = 0, e = s.size();
    while (b < e && isBlankOrTab(s[b])) ++b;
    while (e > b && isBlankOrTab(s[e - 1])) --e;
    return s.substr(b, e - b);
}

}  // namespace

void PreferenceFile::reset() {
    state_ = State::None;
    path_.clear();
    text_.utf8 = false;
    modified_ = false;
    items_.clear();
    currentGroup_ = items_.end();
    cursor_ = items_.end();
    groupPending_ = false;
    pendingGroup_.clear();
}

bool PreferenceFile::open(const std::string& path) {
    close();
    path_ = path;
    // The file is read whole and the handle let go at once: `close` replaces the file by
    // renaming a fresh copy over it, which an open handle of ours would block on Windows.
    // On Windows the last way in is for a file another program holds open for writing.
    fs::File file;
    if (fs::fileExists(path) && file.open(path, fs::File::Mode::ReadWriteExisting)) {
        state_ = State::Writable;
    } else if (fs::fileExists(path) && (file.open(path, fs::File::Mode::Read) ||
                                        file.open(path, fs::File::Mode::ReadLettingOthersWrite))) {
        state_ = State::ReadOnly;
    } else {
        state_ = State::OpenFailed;
        return false;
    }
    std::string contents;
    char buffer[4096];
    std::size_t got;
    while ((got = file.read(buffer, sizeof buffer)) > 0) contents.append(buffer, got);
    file.close();

    pcfg::Text parsed = pcfg::parseText(contents);
    text_.utf8 = parsed.utf8;
    items_.splice(items_.end(), parsed.items);  // keeps end(), where the cursors stand
    return true;
}

bool PreferenceFile::create(const std::string& path) {
    close();
    path_ = path;
    // An existing file is not emptied here: `close` replaces it in one step, so until
    // then the old settings stay whole on disk. It must still be writable now, so that
    // create reports what the later write will meet.
    fs::File file;
    const bool usable = fs::fileExists(path)
                            ? file.open(path, fs::File::Mode::ReadWriteExisting)
                            : file.open(path, fs::File::Mode::CreateReadWrite);
    file.close();
    if (!usable) {
        state_ = State::CreateFailed;
        return false;
    }
    state_ = State::Writable;
    modified_ = true;  // the (empty) new contents must reach the disk even without writes
    return true;
}

bool PreferenceFile::close() {
    bool ok = !modified_;
    if (modified_ && (state_ == State::Writable || state_ == State::OpenFailed))
        ok = fs::replaceFileContents(path_, pcfg::renderText(text_));
    reset();
    return ok;
}

std::string PreferenceFile::toFile(const std::string& s) const {
    return text_.utf8 ? text::cp1252ToUtf8(s) : s;
}

std::string PreferenceFile::fromFile(const std::string& s) const {
    return text_.utf8 ? text::utf8ToCp1252(s) : s;
}

PreferenceFile::ConstItemPos PreferenceFile::sectionBegin() const {
    if (currentGroup_ == items_.end()) return items_.begin();
    return std::next(ConstItemPos(currentGroup_));
}

PreferenceFile::ConstItemPos PreferenceFile::findKey(const std::string& fileKey) const {
    if (groupPending_) return items_.end();
    const std::string wanted = foldCase(fileKey, text_.utf8);
    for (auto it = sectionBegin(); it != items_.end() && it->kind != ItemKind::Group; ++it)
        if (it->kind == ItemKind::Key && foldCase(it->name, text_.utf8) == wanted) return it;
    return items_.end();
}

void PreferenceFile::materializePendingGroup() {
    if (!groupPending_) return;
    items_.push_back({ItemKind::Group, pendingGroup_, {}});
    currentGroup_ = std::prev(items_.end());
    cursor_ = currentGroup_;
    groupPending_ = false;
    pendingGroup_.clear();
}

bool PreferenceFile::selectGroup(const std::string& group) {
    if (group.empty()) {
        // The cursor stays: a comment written next still follows the last written item.
        currentGroup_ = items_.end();
        groupPending_ = false;
        pendingGroup_.clear();
        return true;
    }
    const std::string fileName = toFile(group);
    const std::string wanted = foldCase(fileName, text_.utf8);
    for (auto it = items_.begin(); it != items_.end(); ++it) {
        if (it->kind == ItemKind::Group && foldCase(it->name, text_.utf8) == wanted) {
            currentGroup_ = it;
            cursor_ = it;
            groupPending_ = false;
            pendingGroup_.clear();
            return true;
        }
    }
    groupPending_ = true;
    pendingGroup_ = fileName;
    return false;
}

std::string PreferenceFile::readString(const std::string& key,
                                       const std::string& defaultValue) const {
    auto it = findKey(toFile(key));
    if (it == items_.end()) return defaultValue;
    return fromFile(trimBlanksAndTabs(it->value));
}

std::int32_t PreferenceFile::readInteger(const std::string& key, std::int32_t defaultValue) const {
    auto it = findKey(toFile(key));
    if (it == items_.end()) return defaultValue;
    return text::parseDecimalInt32(it->value);
}

void PreferenceFile::writeString(const std::string& key, const std::string& value) {
    if (state_ == State::None) return;
    materializePendingGroup();
    const std::string fileKey = toFile(key);
    const std::string fileValue = toFile(value);
    auto found = findKey(fileKey);
    if (found != items_.end()) {
        ItemPos it = writable(found);
        it->name = fileKey;
        it->value = fileValue;
        cursor_ = it;
    } else {
        // After the last item of the section: before the next group header or at the end.
        // For the top section of a file that starts with a header this is the very start.
        auto at = sectionBegin();
        while (at != items_.end() && at->kind != ItemKind::Group) ++at;
        cursor_ = items_.insert(at, {ItemKind::Key, fileKey, fileValue});
    }
    modified_ = true;
}

void PreferenceFile::writeInteger(const std::string& key, std::int32_t value) {
    writeString(key, std::to_string(value));
}

void PreferenceFile::writeComment(const std::string& text) {
    if (state_ == State::None) return;
    const std::string fileText = toFile(text);
    materializePendingGroup();
    auto at = cursor_ == items_.end() ? items_.begin() : std::next(cursor_);
    cursor_ = items_.insert(at, {ItemKind::Comment, fileText, {}});
    modified_ = true;
}

bool PreferenceFile::beginKeys() {
    if (state_ != State::Writable && state_ != State::ReadOnly) return false;
    if (groupPending_) return false;
    cursor_ = currentGroup_;
    return true;
}

bool PreferenceFile::nextKey() {
    auto it = cursor_ == items_.end() ? items_.begin() : std::next(cursor_);
    while (it != items_.end() && it->kind == ItemKind::Comment) ++it;
    if (it == items_.end() || it->kind != ItemKind::Key) return false;
    cursor_ = it;
    return true;
}

std::string PreferenceFile::currentValue() const {
    if (cursor_ == items_.end() || cursor_->kind != ItemKind::Key) return std::string();
    return fromFile(trimBlanksAndTabs(cursor_->value));
}

std::string PreferenceFile::currentKeyName() const {
    if (cursor_ == items_.end() || cursor_->kind != ItemKind::Key) return std::string();
    return fromFile(cursor_->name);
}

}  // namespace velmo
