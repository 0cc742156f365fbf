// The window side of an engine's notices (suite/notice.h): the message box that shows one.
// Called on the UI thread; a worker posts a task that calls them.
#pragma once
#include "suite/notice.h"
#include "ui/ui.h"

namespace velmo::frame {

ui::MessageIcon iconFor(suite::NoticeKind kind);
// An OK box with the notice's title, text and icon.
void showNotice(ui::Ui& ui, const suite::Notice& notice);
// A Yes / No box; true for Yes.
bool askNotice(ui::Ui& ui, const suite::Notice& question);

}  // namespace velmo::frame
