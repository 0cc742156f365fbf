#include <cstdlib>

#include "installer/installer_window.h"
#include "ui/entry.h"

int programMain() {
    auto ui = velmo::ui::makeUi();
    // exit() rather than a return: an upload thread may still be running, and the window
    // system it uses must not be torn down under it; the process ends it with the rest.
    std::exit(velmo::installer::runInstaller(*ui));
}
