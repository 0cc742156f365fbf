// Velmo_Sauvegarde's start-up and event loop: the main window where the user gives the FTP
// account, the backup window that lists and saves, until the main window is closed or
// "Quitter" is chosen.
#pragma once
#include "ui/ui.h"

namespace velmo::backup {

// Runs the backup tool on the calling thread, with the current directory as its `Tools`
// folder (softwareDatas/config.pcfg, sauvegardes). Returns 1 when the main window could
// not be built, 0 otherwise. Workers still running when it returns keep the program's
// state alive until they end.
int runBackupTool(ui::Ui& ui);

}  // namespace velmo::backup
