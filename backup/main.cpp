#include <cstdlib>

#include "backup/backup_tool.h"
#include "ui/entry.h"

int programMain() {
    auto ui = velmo::ui::makeUi();
    // exit() rather than a return: a listing worker may still be logging in, and the window
    // system it reports to must not be torn down under it.
    std::exit(velmo::backup::runBackupTool(*ui));
}
