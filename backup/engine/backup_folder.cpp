#include "backup/engine/backup_folder.h"

#include "platform/fs.h"

namespace velmo::backup {

namespace {

// Far more than backups that can start within one second; bounds the search when the
// folder cannot be made for another reason that still leaves a folder of the name.
constexpr int maxSameSecondBackups = 1000;

}  // namespace

std::string backupFolderName(const clock::LocalDateTime& startedAt) {
    return "sauvegarde_" + clock::formatDateMask(backupStampMask, startedAt);
}

std::string createBackupFolder(const std::string& root, const clock::LocalDateTime& startedAt) {
    if (!fs::isDirectory(root) && !fs::makeFolder(root) && !fs::isDirectory(root)) return "";
    const std::string stamped = backupFolderName(startedAt);
    for (int n = 1; n <= maxSameSecondBackups; ++n) {
        const std::string name = n == 1 ? stamped : stamped + "_" + std::to_string(n);
        // Making the folder is the test: it fails when the name is taken, even by another
        // process that made it a moment ago.
        if (fs::makeFolder(root + "/" + name)) return name;
        if (!fs::isDirectory(root + "/" + name) && !fs::fileExists(root + "/" + name)) return "";
    }
    return "";
}

}  // namespace velmo::backup
