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
// Replaces the whole contents of `path` (creating it when missing) so that no reader and
// no crash ever finds a mixed or truncated file, and two writers at once leave one
// writer's whole contents. The bytes go to a fresh sibling with a name of its own
// ("<name>.nouveau-<process>-<n>"), which then takes the file's place; the file keeps its
// permissions (and owner where the system allows), and a symbolic link on the way stays a
// link, its target being replaced. When the folder refuses a new file (or the file cannot
// be renamed over) but the existing file is readable and writable, the file is rewritten
// in place, writers taking turns on it, once the room for the new bytes is reserved (a
// full disk leaves the old file as it was). False, with the old file whole, when the new
// contents could not be written, and for a folder or anything else that is not a regular
// file.
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
    // On Windows every mode lets others read, and all but ReadLettingOthersWrite keep
    // others from writing while the file is open (so that one opens a file another
    // program holds open for writing).
    enum class Mode { Read, CreateReadWrite, ReadWriteExisting, ReadLettingOthersWrite };
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
