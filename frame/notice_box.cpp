#include "frame/notice_box.h"

namespace velmo::frame {

ui::MessageIcon iconFor(suite::NoticeKind kind) {
    switch (kind) {
        case suite::NoticeKind::Warning: return ui::MessageIcon::Warning;
        case suite::NoticeKind::Error: return ui::MessageIcon::Error;
        case suite::NoticeKind::Plain: return ui::MessageIcon::None;
        case suite::NoticeKind::Information: break;
    }
    return ui::MessageIcon::Information;
}

void showNotice(ui::Ui& ui, const suite::Notice& notice) {
    ui.messageBox(notice.title, notice.text, iconFor(notice.kind));
}

bool askNotice(ui::Ui& ui, const suite::Notice& question) {
    return ui.messageBox(question.title, question.text, iconFor(question.kind), ui::MessageButtons::YesNo) ==
           ui::MessageBoxResult::Yes;
}

}  // namespace velmo::frame
