// Velmo_Navigateur's start-up and main event loop: the help box, the window filled from
// the settings file, then the dispatch of its buttons, list and menu until it is closed or
// "Quitter" is chosen.
#pragma once
#include "ui/ui.h"

namespace velmo::locator {

// Runs the locator on the calling thread, with the current directory as its `Tools`
// folder (where `softwareDatas` lies). Returns 1 when the window could not be built, 0
// otherwise. A connect-and-list or a folder test still running when it returns keeps what
// it works on alive until it ends.
int runLocator(ui::Ui& ui);

// Ends once every worker started so far (connect-and-list, folder test) has ended (tests).
void waitForListingWorkers();

}  // namespace velmo::locator
