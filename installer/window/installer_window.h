// Velmo_Transfert's start-up and main event loop: the checks and the window built at
// start, then the dispatch of menu entries, buttons, the folder field and the link
// generator's events until the main window is closed or "Quitter" is chosen.
#pragma once
#include <memory>

#include "ui/ui.h"

namespace velmo::installer {

struct InstallerApp;

// Runs the installer on the calling thread, with the current directory as its `Tools`
// folder (where `livre-dor` and `softwareDatas` lie). Returns 1 when it could not start
// (no `livre-dor` folder, or the window could not be built), 0 otherwise. Workers still
// running when it returns keep the program's state alive until they end; what they would
// hand the main loop then is dropped.
int runInstaller(ui::Ui& ui);

// The same in two steps: the program's state in its shared pointer (pictures decoded, the
// program and its routes built; `themedFileBar` says whether the file bar is the finer one
// of themed bars that glide, which runInstaller(ui) asks the platform), then the checks and
// the program's run, its main loop.
std::shared_ptr<InstallerApp> makeInstaller(ui::Ui& ui, bool themedFileBar);
int runInstaller(const std::shared_ptr<InstallerApp>& app);

// The warning shown when the folder field holds a "/" and the text left after it.
inline constexpr const char* subFolderWarningText =
    "Vous ne pouvez pas mettre le livre d'or dans un sous-dossier.";
inline constexpr const char* noLinkBeforeUploadText =
    "Veuillez d'abord transférer les fichiers vers votre site pour pouvoir ensuite générer "
    "un lien.";
inline constexpr const char* missingGuestbookText =
    "Le programme ne peut pas démarrer.\r\n\r\n"
    "Le dossier \"livre-dor\" doit se trouver à côté de l'executable \"Velmo, Transfert\" pour "
    "pouvoir fonctionner correctement.";

}  // namespace velmo::installer
