// Files and folders. Paths are CP1252 text, relative paths resolve against the current
// directory; both '/' and '\\' separate folders (the Windows build hands them to the
// system as they are, the POSIX build turns '\\' into '/').
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace velmo::fs {

// Size of a regular file, or -1 when the path is missing or not a regular file.
std::int64_t fileSize(const std::string& path);
bool isDirectory(const std::string& path);
bool fileExists(const std::string& path);   // regular file, any size
// True when the path names an existing file of more than 0 bytes (a folder, a missing
// path or an empty file count as absent): how the suite tells a program is really there.
bool fileIsPresent(const std::string& path);

// Names (not paths) of the entries of a folder, in the order the system gives them.
struct FolderEntry {
    std::string name;
    bool isDirectory = false;
};
// False when the folder cannot be listed.
bool listFolder(const std::string& folder, std::vector<FolderEntry>& out);

bool readWholeFile(const std::string& path, std::string& out);
// Writes `data` beside `path` and then replaces `path` with it, so a crash mid-write
// never leaves a truncated file.
bool replaceFileContents(const std::string& path, const std::string& data);
// Appends to a file, creating it when missing.
bool appendToFile(const std::string& path, const std::string& data);
bool removeFile(const std::string& path);
bool makeFolder(const std::string& path);

std::string currentDirectory();
bool changeDirectory(const std::string& path);

// A file handle for streamed reads or writes (the FTP transfers).
class File {
public:
    enum class Mode { Read, CreateReadWrite, ReadWriteExisting };
    File() = default;
    ~File();
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    bool open(const std::string& path, Mode mode);
    bool isOpen() const { return handle_ != nullptr; }
    // Bytes read (0 at the end or on error).
    std::size_t read(void* data, std::size_t size);
    bool write(const void* data, std::size_t size);
    void close();

private:
    void* handle_ = nullptr;
};

}  // namespace velmo::fs
