// What the installer's threads share: the UI, the pictures, the manifest and the texts
// built once at start, and what the main loop and the workers exchange. It lives in a
// shared pointer that every worker holds a copy of, so it outlives the main loop for as
// long as one of them still runs.
#pragma once
#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "frame/tool_frame.h"
#include "installer/guestbook_manifest.h"
#include "installer/main_window.h"
#include "ui/ui.h"

namespace velmo::installer {

struct InstallerApp {
    InstallerApp(ui::Ui& u, bool themedFileBar);
    InstallerApp(const InstallerApp&) = delete;
    InstallerApp& operator=(const InstallerApp&) = delete;

    ui::Ui& ui;
    InstallerPictures pictures;
    frame::Frame frame;
    // Windows Vista and 7 workstations animate progress bars toward a new value; there
    // the file bar uses a finer range and is set in three steps so it jumps at once.
    const bool themedFileBar;

    std::shared_ptr<const std::vector<ManifestFolder>> manifest;
    std::string permissionHelpText;

    // Main loop -> upload: "Annuler" pressed since the run started.
    std::atomic<bool> stopRequested{false};

    // From "Valider" to the run's end on the main thread (which alone writes it).
    std::atomic<bool> uploadRunning{false};
    // Main thread only.
    std::string linkFolder;         // the folder the link generator builds its link with
    std::string lastLink;           // the last link built, which the link control opens

    // Hands `task` to the main loop, which runs it after the event it is handling (or at
    // once when it waits). Once the main loop has ended nothing runs it.
    using MainTask = std::function<void(const std::shared_ptr<InstallerApp>&)>;
    void post(MainTask task);
    // Main loop: runs what was handed over, in order.
    void runPosted(const std::shared_ptr<InstallerApp>& self);

private:
    std::mutex postedLock_;
    std::deque<MainTask> posted_;
};

}  // namespace velmo::installer
