// What the updater's engines tell the window, and the state the check hands over to the
// installation. The engines (version check, update application) include nothing from the
// user interface: the program's window implements UpdaterReporter, the tests record it.
#pragma once
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

namespace velmo::updater {

enum class BoxIcon { None, Information, Warning, Error };

class UpdaterReporter {
public:
    virtual ~UpdaterReporter() = default;

    // Version labels ("Version Actuelle : ", "Dernière Version : ") and the status under them.
    virtual void showInstalledVersion(const std::string& text) = 0;
    virtual void showLatestVersion(const std::string& text) = 0;
    // Both labels and the status line turn green ("Votre version est à jour.") or red.
    virtual void showVersionStatus(bool upToDate, const std::string& text) = 0;

    // The description area of the first tab.
    virtual void clearDescription() = 0;
    virtual void addDescriptionLine(const std::string& line) = 0;

    // The file list of the second tab: one row per package file, in the description's order.
    virtual void clearFileRows() = 0;
    virtual void addFileRow(const std::string& name, const std::string& status) = 0;
    virtual void setRowStatus(int row, const std::string& status) = 0;

    // The "Actions en cours" line.
    virtual void setActionStatus(const std::string& text) = 0;

    // A message box the user answers before the engine goes on.
    virtual void message(const std::string& title, const std::string& text, BoxIcon icon) = 0;
    // A message after which the program ends without going back to the launcher (the
    // engine returns at once after calling it).
    virtual void fatal(const std::string& title, const std::string& text, BoxIcon icon) = 0;
};

// Handed from the check to the installation and read by the window's tab logic. The
// check and the installation never run at once (the window starts one worker at a time).
struct UpdaterState {
    std::atomic<std::int32_t> targetVersion{0};
    std::atomic<std::int32_t> latestVersion{0};
    // Set: the installation tab may not be opened.
    std::atomic<bool> applyLocked{true};
    // Set: no check has found the installation up to date since start or since the last
    // installation.
    std::atomic<bool> checkPending{true};

    // Set by the window when the program is closing: the running check or installation
    // stops before its next step (a file being sent is let finish) and records nothing
    // more: no version, no journal block, no message.
    std::atomic<bool> stopRequested{false};
    // The longest a whole check and a whole installation may take, in ms (set before the
    // run starts). Each download waits at most what is left of it; past it an installation
    // sends no further file and counts the rest as failed.
    int checkLimitMs = 5 * 60 * 1000;
    int applyLimitMs = 60 * 60 * 1000;

    // "maj_" + the target version.
    void setPackageFolder(const std::string& folder) {
        std::lock_guard<std::mutex> lock(mutex_);
        packageFolder_ = folder;
    }
    std::string packageFolder() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return packageFolder_;
    }

private:
    mutable std::mutex mutex_;
    std::string packageFolder_;
};

}  // namespace velmo::updater
