#include "settings/settings_lock.h"

#include <chrono>

#include "platform/clock.h"
#include "platform/fs_path.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace velmo {

namespace {

// Between two tries for a lock another save holds: its whole save is a few milliseconds.
constexpr int retryPauseMs = 5;

using Clock = std::chrono::steady_clock;

}  // namespace

#ifdef _WIN32

// The lock is the lock file opened by no one else (no sharing), and deleted when it is
// closed; a file another save holds, or one whose deletion is under way, refuses to open.
SettingsFileLock::SettingsFileLock(const std::string& settingsPath, int waitMs)
    : lockPath_(settingsPath + ".verrou") {
    const std::wstring path = fs::detail::systemPath(lockPath_).wstring();
    const Clock::time_point end = Clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
        HANDLE h = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                               FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            handle_ = reinterpret_cast<std::intptr_t>(h);
            state_ = State::Held;
            return;
        }
        const DWORD error = GetLastError();
        // "Access denied" with no lock file there: the folder refuses new files.
        const bool held = error == ERROR_SHARING_VIOLATION ||
                          (error == ERROR_ACCESS_DENIED && GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES);
        if (!held) {
            state_ = State::NoLockFile;
            return;
        }
        if (Clock::now() >= end) {
            state_ = State::Busy;
            return;
        }
        clock::sleepMs(retryPauseMs);
    }
}

SettingsFileLock::~SettingsFileLock() {
    if (state_ == State::Held) CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

#else

// The lock is an exclusive flock on the lock file. Its holder removes the file before it
// lets go, so a save that opened the file just before that holds a lock on a name that is
// gone: it sees the name lead elsewhere (or nowhere) and tries again on the new file.
SettingsFileLock::SettingsFileLock(const std::string& settingsPath, int waitMs)
    : lockPath_(settingsPath + ".verrou") {
    const std::string path = fs::detail::systemPath(lockPath_).string();
    const Clock::time_point end = Clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        if (fd < 0) {
            state_ = State::NoLockFile;
            return;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            struct stat held, named;
            if (::fstat(fd, &held) == 0 && ::stat(path.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
                held.st_ino == named.st_ino) {
                handle_ = fd;
                state_ = State::Held;
                return;
            }
        }
        // Held by another save, or removed by its holder meanwhile.
        ::close(fd);
        if (Clock::now() >= end) {
            state_ = State::Busy;
            return;
        }
        clock::sleepMs(retryPauseMs);
    }
}

SettingsFileLock::~SettingsFileLock() {
    if (state_ != State::Held) return;
    ::unlink(fs::detail::systemPath(lockPath_).c_str());
    ::close(static_cast<int>(handle_));
}

#endif

}  // namespace velmo
