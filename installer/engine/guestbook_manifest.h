// The fixed table of the guestbook's 24 folders: what is scanned locally, how each folder
// shows in the tree list, and how the upload reaches its remote place.
#pragma once
#include <string>
#include <vector>

namespace velmo::installer {

// How the upload gets into a folder's remote place before sending its files.
struct RemoteStep {
    enum class Kind {
        ChangeToBase,   // changeDirectory(folderBase + argument); argument "" or "/langues"...
        Make,           // makeDirectory(argument), relative to the current directory
        ChangeInto,     // changeDirectory(argument), relative to the current directory
    };
    Kind kind;
    std::string argument;  // for Make / ChangeInto, "" stands for the user's folder name
};

struct ManifestFolder {
    std::string localFolder;     // scanned path, with backslashes; "" = never scanned
    std::string folderLine;      // the folder's own tree-list line
    std::string fileLinePrefix;  // put before each file name of this folder
    std::vector<RemoteStep> remoteSteps;
    std::string uploadPrefix;    // local path with forward slashes, put before a file name
    std::string remoteFolder;    // its place below the user's folder: "", "aide", "aide/img"...
    std::vector<std::string> lines;  // folder line, then one line per file
    std::vector<std::string> files;  // the file names, in the order of their lines
};

constexpr int expectedItemCount = 333;  // what the count label and overall bar use
constexpr int manifestFolderCount = 24;

// The 24 entries in processing order, each holding only its folder line.
std::vector<ManifestFolder> guestbookManifest();

// A file of the entry: its name, and its line (after the folder's prefix) for the tree list.
void addFile(ManifestFolder& entry, const std::string& name);

// Lists the entry's local folder (relative to the working directory) and appends one line
// per file: directories and files named exactly "Thumbs.db" are left out. False when the
// folder cannot be listed (the entry then adds nothing to the tree list).
bool scanFolder(ManifestFolder& entry);

// Builds the manifest and scans every entry; `treeLines` receives the lines the tree list
// shows, in order (the entry that is never scanned contributes its folder line only).
std::vector<ManifestFolder> scanManifest(std::vector<std::string>& treeLines);

// The file name of a file line: the line with every occurrence of the prefix removed
// (for readers of the tree list's lines; the upload takes the names of `files`).
std::string fileNameOfLine(const std::string& line, const std::string& prefix);

// A file's send: bytes * 100 / size rounded up (0 for an empty file), kept within 0..100.
int filePercent(long long bytes, long long size);

}  // namespace velmo::installer
