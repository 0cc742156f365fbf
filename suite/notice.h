// What an engine hands its window to show in a message box: a titled text, the kind of
// box, and whether the user answers Yes or No. The engines word every text; the window side
// (frame/notice_box.h) turns the kind into the box's icon. One vocabulary for every program,
// so that an engine never names a widget or an icon of the toolkit.
#pragma once
#include <string>

#include "suite/messages.h"

namespace velmo::suite {

// Plain: a box with no icon (a few of the updater's boxes have none).
enum class NoticeKind { Information, Warning, Error, Plain };

struct Notice {
    std::string title;
    std::string text;
    NoticeKind kind = NoticeKind::Information;
    bool operator==(const Notice&) const = default;
};

// The suite's connection failure text, under "Avertissement." with the warning icon.
inline Notice connectionFailedNotice() { return {titles::warning, connectionErrorText, NoticeKind::Warning}; }

}  // namespace velmo::suite
