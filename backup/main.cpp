#include "backup/window/backup_tool.h"
#include "platform/worker.h"
#include "ui/entry.h"

int programMain() {
    auto ui = velmo::ui::makeUi();
    // A listing worker may still be logging in after the window closed: the program then
    // ends at once, without tearing down the window system it reports to.
    return velmo::worker::endProgram(velmo::backup::runBackupTool(*ui));
}
