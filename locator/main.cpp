#include <cstdlib>

#include "locator/locator_window.h"
#include "ui/entry.h"

int programMain() {
    auto ui = velmo::ui::makeUi();
    // exit() rather than a return: a connect-and-list may still wait on the server, and the
    // window system its tasks use must not be torn down under it.
    std::exit(velmo::locator::runLocator(*ui));
}
