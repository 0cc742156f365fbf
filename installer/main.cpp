#include "installer/window/installer_window.h"
#include "platform/worker.h"
#include "ui/entry.h"

int programMain() {
    auto ui = velmo::ui::makeUi();
    // An upload or a permission run may still be working after the window closed: the
    // program then ends at once, without tearing down what they use.
    return velmo::worker::endProgram(velmo::installer::runInstaller(*ui));
}
