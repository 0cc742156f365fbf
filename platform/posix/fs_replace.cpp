// replaceFileContents on POSIX: a sibling of our own, renamed over the file.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string>

#include "platform/fs.h"
#include "platform/fs_path.h"

namespace velmo::fs {
namespace {

namespace stdfs = std::filesystem;

// The file whose bytes `path` names: symbolic links are followed (a link to a link too),
// so the new contents replace the target and the link stays. False for a loop of links.
bool followLinks(stdfs::path path, stdfs::path& target) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            target = path;
            return true;
        }
        std::error_code ec;
        const stdfs::path next = stdfs::read_symlink(path, ec);
        if (ec) return false;
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    return false;
}

std::atomic<unsigned> siblingsMade{0};

// A new, empty sibling "<target>.nouveau-<pid>-<n>" opened for writing. O_EXCL gives each
// writer, thread or process, a name of its own, and a leftover of an earlier run (even a
// read-only one) is skipped instead of reused. -1 with errno set when none can be made.
int createSibling(const stdfs::path& target, stdfs::path& sibling) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        sibling = target;
        sibling += ".nouveau-" + std::to_string(::getpid()) + "-" + std::to_string(siblingsMade++);
        // 0666 less the umask: the mode a new file gets when there is no old one to copy.
        const int fd = ::open(sibling.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

bool writeAll(int fd, const std::string& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// The folder will not take a new entry (no write right, read-only mount point, name too
// long) or the file cannot be renamed over (sticky folder, bind mount): the file itself
// may still be writable.
bool folderRefuses(int error) {
    return error == EACCES || error == EPERM || error == EROFS || error == EBUSY || error == ENAMETOOLONG;
}

// Writes over the existing file from its start and cuts it after the new bytes. The lock
// (one per open file, so threads of one process exclude each other too) makes writers in
// place take turns, so two of them never interleave their bytes.
bool rewriteInPlace(const stdfs::path& target, const std::string& data) {
    const int fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = ::flock(fd, LOCK_EX) == 0 && writeAll(fd, data) &&
              ::ftruncate(fd, static_cast<off_t>(data.size())) == 0 && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;  // closing also lets the lock go
    return ok;
}

}  // namespace

bool replaceFileContents(const std::string& path, const std::string& data) {
    stdfs::path target;
    if (!followLinks(detail::systemPath(path), target)) return false;
    struct stat old;
    const bool existed = ::stat(target.c_str(), &old) == 0;
    if (existed && !S_ISREG(old.st_mode)) return false;

    stdfs::path sibling;
    const int fd = createSibling(target, sibling);
    if (fd < 0) return existed && folderRefuses(errno) && rewriteInPlace(target, data);
    bool ok = writeAll(fd, data);
    if (existed) {
        // Owner first: a change of owner clears the set-id bits the mode then restores.
        // Only a privileged writer may give a file away, so a refusal is no failure.
        [[maybe_unused]] const int ownerKept = ::fchown(fd, old.st_uid, old.st_gid);
        ok = ::fchmod(fd, old.st_mode & 07777) == 0 && ok;
    }
    ok = ::fsync(fd) == 0 && ok;  // the bytes are on disk before the name points at them
    ok = ::close(fd) == 0 && ok;
    if (ok && ::rename(sibling.c_str(), target.c_str()) == 0) return true;
    const int renameError = errno;
    ::unlink(sibling.c_str());
    return ok && existed && folderRefuses(renameError) && rewriteInPlace(target, data);
}

}  // namespace velmo::fs
