#include "launcher/launcher.h"
#include "ui/entry.h"

int programMain() {
    auto ui = velmo::ui::makeUi();
    return velmo::launcher::runLauncher(*ui);
}
