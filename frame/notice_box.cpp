#include "frame/notice_box.h"

#include <future>
#include <memory>

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

bool askFromWorker(Program& program, const suite::Notice& question, std::function<bool()> stillAsked) {
    // The promise belongs to the posted task alone: a task dropped with its window breaks it.
    auto answer = std::make_shared<std::promise<bool>>();
    std::future<bool> answered = answer->get_future();
    program.post([&program, answer, question, stillAsked = std::move(stillAsked)] {
        answer->set_value((!stillAsked || stillAsked()) && askNotice(program.ui(), question));
    });
    try {
        return answered.get();
    } catch (const std::future_error&) {
        return false;
    }
}

}  // namespace velmo::frame
