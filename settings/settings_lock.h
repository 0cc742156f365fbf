// Saves of one settings file take turns across programs. The updater's save reads the file,
// changes six keys and writes it all back; a locator or installer save that lands in between
// would be undone by that write-back. So every save first holds a lock file beside the
// settings ("config.pcfg.verrou"), which exists only while a save holds it.
//
//     SettingsFileLock lock(path);
//     if (lock.state() == SettingsFileLock::State::Busy) ... another program is saving ...
//
// Readers take no lock: each save replaces the file in one step, so a reader always finds
// one whole file.
#pragma once
#include <cstdint>
#include <string>

namespace velmo {

// How long a save waits for another program's save: those take milliseconds, so a lock
// held longer than this belongs to a program that hangs.
inline constexpr int settingsLockWaitMs = 2000;

class SettingsFileLock {
public:
    enum class State {
        Held,        // this save has the file to itself until the lock is destroyed
        Busy,        // another save held it for the whole wait
        NoLockFile,  // the folder takes no new file (or is missing): the save goes on
                     // without a lock, and rewrites in place or fails on its own
    };

    explicit SettingsFileLock(const std::string& settingsPath, int waitMs = settingsLockWaitMs);
    ~SettingsFileLock();
    SettingsFileLock(const SettingsFileLock&) = delete;
    SettingsFileLock& operator=(const SettingsFileLock&) = delete;

    State state() const { return state_; }

private:
    std::string lockPath_;
    State state_ = State::NoLockFile;
    std::intptr_t handle_ = -1;  // the lock file's descriptor (POSIX) or handle (Windows)
};

}  // namespace velmo
