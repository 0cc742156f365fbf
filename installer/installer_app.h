// What the installer's threads share: the UI, the pictures, the manifest and the texts
// built once at start, and what the main loop and the workers exchange. It lives in a
// shared pointer that every worker (and every task a worker posts) holds a copy of, so it
// outlives the main loop for as long as one of them still runs.
#pragma once
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "installer/guestbook_manifest.h"
#include "installer/main_window.h"
#include "ui/ui.h"

namespace velmo::installer {

struct InstallerApp {
    InstallerApp(ui::Ui& u, bool themed) : ui(u), themedFileBar(themed) {}
    InstallerApp(const InstallerApp&) = delete;
    InstallerApp& operator=(const InstallerApp&) = delete;

    ui::Ui& ui;
    InstallerPictures pictures;
    // Windows Vista and 7 workstations animate progress bars toward a new value; there
    // the file bar uses a finer range and is set in three steps so it jumps at once.
    const bool themedFileBar;

    std::shared_ptr<const std::vector<ManifestFolder>> manifest;  // scanned when the window opens
    std::string permissionHelpText;

    // Main loop -> upload: "Annuler" pressed since the run started.
    std::atomic<bool> stopRequested{false};
    // From "Valider" to the run's end on the main thread (which alone writes it).
    std::atomic<bool> uploadRunning{false};

    // Main thread only.
    std::string linkFolder;  // the folder the link generator builds its link with
    std::string lastLink;    // the last link built, which the link control opens
};

}  // namespace velmo::installer
