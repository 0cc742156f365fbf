#include "locator/window/locator_window.h"
#include "platform/worker.h"
#include "ui/entry.h"

int programMain() {
    auto ui = velmo::ui::makeUi();
    // A connect-and-list may still wait on the server after the window closed: the program
    // then ends at once, without tearing down the window system its tasks use.
    return velmo::worker::endProgram(velmo::locator::runLocator(*ui));
}
