// Velmo_Menu: the window that presents the tools of the suite and starts them from the
// "Tools" folder below the launcher's own.
#pragma once
#include "ui/ui.h"

namespace velmo::launcher {

// Builds the launcher window and runs its event loop on the calling thread until the
// window is closed, "Quitter" is chosen or a tool was started. Paths are relative to the
// current directory, which must be the launcher's folder. Returns the exit code: 0, or 1
// when the window could not be built.
int runLauncher(ui::Ui& ui);

}  // namespace velmo::launcher
