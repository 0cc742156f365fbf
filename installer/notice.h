// What the installer's engines hand their reporter to show: a titled text and its kind.
// The engines word every text; the window adapter chooses the box's icon from the kind.
#pragma once
#include <string>

namespace velmo::installer {

enum class NoticeKind { Information, Warning, Error };

struct Notice {
    std::string title;
    std::string text;
    NoticeKind kind = NoticeKind::Information;
    bool operator==(const Notice&) const = default;
};

// The suite's connection failure text, under "Avertissement." with the warning icon.
const Notice& connectionFailedNotice();

}  // namespace velmo::installer
