// replaceFileContents on Windows: a sibling of our own, given the file's attributes and
// access rules, then renamed over it with MoveFileExW (one step on NTFS). ReplaceFileW is
// not used: Wine's moves the file away before putting the new one in its place, so for a
// moment there is no file at all, and it leaves a temporary file behind when it fails.
#include <windows.h>
#include <aclapi.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <string>

#include "platform/clock.h"
#include "platform/fs.h"
#include "platform/fs_path.h"

namespace velmo::fs {
namespace {

// A file another program (or one of our readers) holds open refuses to be opened for
// writing, or replaced, for as long as it does; readers hold it for a moment. Each step
// is tried again for about two seconds.
constexpr int busyAttempts = 200;
constexpr int busyPauseMs = 10;

bool heldByOthers(DWORD error) { return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION; }

// Renaming over the file also meets "access denied" while another writer's rename of the
// same file is under way.
bool replacementBlocked(DWORD error) { return heldByOthers(error) || error == ERROR_ACCESS_DENIED; }

// Runs `step` until it succeeds, or fails for another reason than `blocked` names, or the
// attempts run out. GetLastError() then tells the step's last failure.
template <typename Step>
bool retryWhile(bool (*blocked)(DWORD), Step step) {
    for (int attempt = 0;; ++attempt) {
        if (step()) return true;
        const DWORD error = GetLastError();
        if (attempt + 1 >= busyAttempts || !blocked(error)) return false;
        clock::sleepMs(busyPauseMs);
        SetLastError(error);
    }
}

// The file the path finally names: a symbolic link or junction on the way is followed, so
// its target is replaced and the link stays. The path as given when it names nothing yet.
std::wstring finalPath(const std::wstring& path) {
    HANDLE h = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return path;
    std::wstring out(32768, L'\0');
    const DWORD n = GetFinalPathNameByHandleW(h, out.data(), static_cast<DWORD>(out.size()),
                                              FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    CloseHandle(h);
    if (n == 0 || n >= out.size()) return path;
    out.resize(n);
    return out;
}

// The sibling takes the file's attributes (hidden, system...; not read-only, which would
// stop the rename) and its access rules. A writer without the right to read or set those
// rules still saves: the sibling then has the folder's rules, as a new file would.
void copyAttributesAndAccess(const std::wstring& from, DWORD attributes, const std::wstring& to) {
    const DWORD kept = attributes & (FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                     FILE_ATTRIBUTE_NOT_CONTENT_INDEXED | FILE_ATTRIBUTE_TEMPORARY);
    SetFileAttributesW(to.c_str(), kept ? kept : FILE_ATTRIBUTE_NORMAL);
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoW(from.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                              nullptr, &descriptor) != ERROR_SUCCESS)
        return;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    GetSecurityDescriptorControl(descriptor, &control, &revision);
    const SECURITY_INFORMATION what = DACL_SECURITY_INFORMATION | ((control & SE_DACL_PROTECTED)
                                                                       ? PROTECTED_DACL_SECURITY_INFORMATION
                                                                       : UNPROTECTED_DACL_SECURITY_INFORMATION);
    SetNamedSecurityInfoW(const_cast<wchar_t*>(to.c_str()), SE_FILE_OBJECT, what, nullptr, nullptr, dacl, nullptr);
    LocalFree(descriptor);
}

std::atomic<unsigned> siblingsMade{0};

// A new sibling "<target>.nouveau-<pid>-<n>": CREATE_NEW gives each writer a name of its
// own and skips leftovers of earlier runs, read-only ones included.
HANDLE createSibling(const std::wstring& target, std::wstring& sibling) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        sibling = target + L".nouveau-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                  std::to_wstring(siblingsMade++);
        HANDLE h = CreateFileW(sibling.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) return h;
    }
    SetLastError(ERROR_FILE_EXISTS);
    return INVALID_HANDLE_VALUE;
}

bool writeAll(HANDLE h, const std::string& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        DWORD wrote = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(data.size() - done, 1u << 30));
        if (!WriteFile(h, data.data() + done, chunk, &wrote, nullptr) || wrote == 0) return false;
        done += wrote;
    }
    return true;
}

bool moveTo(HANDLE h, std::uint64_t offset) {
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    return SetFilePointerEx(h, at, nullptr, FILE_BEGIN) != 0;
}

bool readAll(HANDLE h, std::string& out) {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(h, &size) || !moveTo(h, 0)) return false;
    out.assign(static_cast<std::size_t>(size.QuadPart), '\0');
    std::size_t done = 0;
    while (done < out.size()) {
        DWORD got = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(out.size() - done, 1u << 30));
        if (!ReadFile(h, out.data() + done, chunk, &got, nullptr)) return false;
        if (got == 0) break;
        done += got;
    }
    out.resize(done);
    return true;
}

// The file becomes `data`: written from its start and cut after it.
bool writeWhole(HANDLE h, const std::string& data) {
    return moveTo(h, 0) && writeAll(h, data) && SetEndOfFile(h) && FlushFileBuffers(h);
}

// Writes over the existing file and cuts it after the new bytes. Nothing stands beside the
// file to fall back on, so the old bytes are never given up before the new ones surely fit:
// longer contents first lengthen the file to their size (which takes the room on the disk,
// or fails on a full one with the old bytes untouched), and should a write fail all the
// same the old bytes are written back. The handle lets others read but not write, so
// writers in place take turns (each waits while another holds it).
bool rewriteInPlace(const std::wstring& target, const std::string& data) {
    HANDLE h = INVALID_HANDLE_VALUE;
    const bool opened = retryWhile(heldByOthers, [&] {
        h = CreateFileW(target.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                        nullptr);
        return h != INVALID_HANDLE_VALUE;
    });
    if (!opened) return false;
    bool ok = false;
    std::string old;
    if (readAll(h, old)) {
        const bool room = data.size() <= old.size() || (moveTo(h, data.size()) && SetEndOfFile(h));
        if (room) {
            ok = writeWhole(h, data);
            if (!ok) writeWhole(h, old);
        } else if (moveTo(h, old.size())) {
            SetEndOfFile(h);
        }
    }
    ok = CloseHandle(h) && ok;
    return ok;
}

}  // namespace

bool replaceFileContents(const std::string& path, const std::string& data) {
    const std::wstring target = finalPath(detail::systemPath(path).wstring());
    const DWORD attributes = GetFileAttributesW(target.c_str());
    const bool existed = attributes != INVALID_FILE_ATTRIBUTES;
    if (existed && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;

    std::wstring sibling;
    HANDLE h = createSibling(target, sibling);
    if (h == INVALID_HANDLE_VALUE) {
        // The folder refuses a new file; the file itself may still take the new bytes.
        return existed && GetLastError() == ERROR_ACCESS_DENIED && rewriteInPlace(target, data);
    }
    bool written = writeAll(h, data) && FlushFileBuffers(h);
    written = CloseHandle(h) && written;
    if (written && existed) copyAttributesAndAccess(target, attributes, sibling);
    const bool replaced = written && retryWhile(replacementBlocked, [&] {
        return MoveFileExW(sibling.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    });
    if (replaced) return true;
    const DWORD error = GetLastError();
    DeleteFileW(sibling.c_str());
    // Still refused with "access denied": the file may be writable though it cannot be
    // renamed over (no right to delete it).
    return written && existed && error == ERROR_ACCESS_DENIED && rewriteInPlace(target, data);
}

}  // namespace velmo::fs
