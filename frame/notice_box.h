// The window side of an engine's notices (suite/notice.h): the message box that shows one.
// Called on the UI thread; a worker posts a task that calls them.
#pragma once
#include <functional>

#include "frame/program.h"
#include "suite/notice.h"
#include "ui/ui.h"

namespace velmo::frame {

ui::MessageIcon iconFor(suite::NoticeKind kind);
// An OK box with the notice's title, text and icon.
void showNotice(ui::Ui& ui, const suite::Notice& notice);
// A Yes / No box; true for Yes.
bool askNotice(ui::Ui& ui, const suite::Notice& question);

// From a worker: the Yes / No box is a task posted to the UI thread and the worker waits for
// the answer. No when the window went before the box could be shown (the task was dropped),
// or when `stillAsked`, checked there first, says the question no longer belongs to the
// window on screen: a worker never waits for an answer that cannot come.
bool askFromWorker(Program& program, const suite::Notice& question, std::function<bool()> stillAsked = {});

}  // namespace velmo::frame
