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

bool writeAllAt(int fd, const std::string& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::pwrite(fd, data.data() + done, data.size() - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool readAllAt(int fd, std::string& out) {
    struct stat st;
    if (::fstat(fd, &st) != 0) return false;
    out.assign(static_cast<std::size_t>(st.st_size), '\0');
    std::size_t done = 0;
    while (done < out.size()) {
        const ssize_t n = ::pread(fd, out.data() + done, out.size() - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    out.resize(done);
    return true;
}

// Writes over the existing file from its start and cuts it after the new bytes. Nothing
// stands beside the file to fall back on, so the old bytes are never given up before the
// new ones surely fit: the room for longer contents is reserved first (a full disk, or a
// size limit, refuses here with the file untouched), and should a write fail all the same
// (a device error) the old bytes are written back. The lock (one per open file, so threads
// of one process exclude each other too) makes writers in place take turns, so two of them
// never interleave their bytes.
bool rewriteInPlace(const stdfs::path& target, const std::string& data) {
    // Read as well as written: without its old bytes at hand the file could not be kept.
    const int fd = ::open(target.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = false;
    std::string old;
    if (::flock(fd, LOCK_EX) == 0 && readAllAt(fd, old)) {
        const bool room = data.size() <= old.size() || ::posix_fallocate(fd, 0, static_cast<off_t>(data.size())) == 0;
        if (room) {
            ok = writeAllAt(fd, data) && ::ftruncate(fd, static_cast<off_t>(data.size())) == 0 && ::fsync(fd) == 0;
            if (!ok) {
                writeAllAt(fd, old);
                [[maybe_unused]] const int cut = ::ftruncate(fd, static_cast<off_t>(old.size()));
                ::fsync(fd);
            }
        } else {
            // A reservation done by writing (where the system has no fallocate) may have
            // lengthened the file before it ran out of room.
            [[maybe_unused]] const int cut = ::ftruncate(fd, static_cast<off_t>(old.size()));
        }
    }
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
