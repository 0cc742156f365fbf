// The installer's program state: the program on the frame's skeleton (its window, menu and
// routes), the pictures and texts built once at start, the manifest, and what the window's
// thread and the workers exchange.
//
// It lives in a shared pointer made by the program's entry (runInstaller). The routes it
// owns reach it by plain reference (it outlives its own loop); every worker and every task
// a worker posts holds a shared pointer copy (shared_from_this), so it outlives the loop
// for as long as one of them still runs.
#pragma once
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "frame/program.h"
#include "installer/engine/guestbook_manifest.h"
#include "installer/window/main_window.h"
#include "ui/ui.h"

namespace velmo::installer {

struct InstallerApp : std::enable_shared_from_this<InstallerApp> {
    // `themed`: Windows Vista and 7 workstations animate progress bars toward a new value;
    // there the file bar uses a finer range and is set in three steps so it jumps at once.
    InstallerApp(ui::Ui& ui, bool themed);
    InstallerApp(const InstallerApp&) = delete;
    InstallerApp& operator=(const InstallerApp&) = delete;

    ui::Ui& ui() const { return program.ui(); }

    const InstallerPictures pictures;  // before `program`, whose menu points at them
    const bool themedFileBar;
    frame::Program program;
    const std::string permissionHelpText;

    std::shared_ptr<const std::vector<ManifestFolder>> manifest;  // scanned when the window opens

    // Main loop -> upload: "Annuler" pressed since the run started.
    std::atomic<bool> stopRequested{false};
    // From "Valider" to the run's end on the main thread (which alone writes it).
    std::atomic<bool> uploadRunning{false};

    // Main thread only.
    std::string linkFolder;  // the folder the link generator builds its link with
    std::string lastLink;    // the last link built, which the link control opens
};

}  // namespace velmo::installer
