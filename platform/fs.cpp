#include "platform/fs.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "platform/fs_path.h"
#include "platform/text_codec.h"

#ifdef _WIN32
#include <share.h>
#include <windows.h>

#include "platform/clock.h"
#endif

namespace velmo::fs {
namespace stdfs = std::filesystem;

stdfs::path detail::systemPath(const std::string& p) {
#ifdef _WIN32
    return stdfs::path(text::cp1252ToWide(p));
#else
    std::string s = p;
    for (char& c : s)
        if (c == '\\') c = '/';
    return stdfs::path(text::cp1252ToUtf8(s));
#endif
}

namespace {

using detail::systemPath;

std::string cp1252Name(const stdfs::path& p) {
#ifdef _WIN32
    return text::wideToCp1252(p.wstring());
#else
    return text::utf8ToCp1252(p.string());
#endif
}

// On Windows others may read while we hold the file and, unless `othersMayWrite`, nobody
// else may write to it; POSIX has no such sharing rules.
std::FILE* openFile(const std::string& path, const char* mode, bool othersMayWrite = false) {
#ifdef _WIN32
    std::wstring wmode(mode, mode + std::char_traits<char>::length(mode));
    // Another saver or reader holds a file for a moment: opening it for writing then waits
    // up to about 0.2 s for it instead of failing at once.
    const bool writes = wmode != L"rb";
    for (int attempt = 0;; ++attempt) {
        std::FILE* f = _wfsopen(systemPath(path).c_str(), wmode.c_str(), othersMayWrite ? _SH_DENYNO : _SH_DENYWR);
        if (f || !writes || attempt >= 20 || _doserrno != ERROR_SHARING_VIOLATION) return f;
        clock::sleepMs(10);
    }
#else
    (void)othersMayWrite;
    return std::fopen(systemPath(path).c_str(), mode);
#endif
}

}  // namespace

std::int64_t fileSize(const std::string& path) {
    std::error_code ec;
    stdfs::path sp = systemPath(path);
    if (!stdfs::is_regular_file(sp, ec)) return -1;
    auto size = stdfs::file_size(sp, ec);
    if (ec) return -1;
    return static_cast<std::int64_t>(size);
}

bool fileIsPresent(const std::string& path) { return fileSize(path) > 0; }

bool isDirectory(const std::string& path) {
    std::error_code ec;
    return stdfs::is_directory(systemPath(path), ec);
}

bool fileExists(const std::string& path) {
    std::error_code ec;
    return stdfs::is_regular_file(systemPath(path), ec);
}

bool listFolder(const std::string& folder, std::vector<FolderEntry>& out) {
    out.clear();
    std::error_code ec;
    stdfs::directory_iterator it(systemPath(folder.empty() ? std::string(".") : folder), ec);
    if (ec) return false;
    for (; it != stdfs::directory_iterator(); it.increment(ec)) {
        if (ec) return false;
        std::error_code kindError;
        out.push_back({cp1252Name(it->path().filename()), it->is_directory(kindError)});
    }
    return true;
}

bool readWholeFile(const std::string& path, std::string& out) {
    out.clear();
    std::FILE* f = openFile(path, "rb");
    if (!f) return false;
    char buf[8192];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

bool appendToFile(const std::string& path, const std::string& data) {
    std::FILE* f = openFile(path, "ab");
    if (!f) return false;
    bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
    ok = (std::fclose(f) == 0) && ok;
    return ok;
}

bool removeFile(const std::string& path) {
    std::error_code ec;
    return stdfs::remove(systemPath(path), ec);
}

bool makeFolder(const std::string& path) {
    std::error_code ec;
    return stdfs::create_directory(systemPath(path), ec);
}

std::string currentDirectory() {
    std::error_code ec;
    return cp1252Name(stdfs::current_path(ec));
}

bool changeDirectory(const std::string& path) {
    std::error_code ec;
    stdfs::current_path(systemPath(path), ec);
    return !ec;
}

File::~File() { close(); }

bool File::open(const std::string& path, Mode mode) {
    close();
    const char* m = mode == Mode::CreateReadWrite ? "w+b" : mode == Mode::ReadWriteExisting ? "r+b" : "rb";
    handle_ = openFile(path, m, mode == Mode::ReadLettingOthersWrite);
    return handle_ != nullptr;
}

std::size_t File::read(void* data, std::size_t size) {
    if (!handle_) return 0;
    return std::fread(data, 1, size, static_cast<std::FILE*>(handle_));
}

bool File::write(const void* data, std::size_t size) {
    if (!handle_) return false;
    return std::fwrite(data, 1, size, static_cast<std::FILE*>(handle_)) == size;
}

void File::close() {
    if (handle_) std::fclose(static_cast<std::FILE*>(handle_));
    handle_ = nullptr;
}

}  // namespace velmo::fs
