// The local side of a backup: the folder "sauvegardes" below the tool's working directory
// holds one folder per backup, named after the local date and time it started.
#pragma once
#include <string>

#include "platform/clock.h"
#include "suite/paths.h"

namespace velmo::backup {

using suite::backupsFolder;  // below the tool's working directory (`Tools`)
inline constexpr const char* backupStampMask = "%yyyy_%mm_%dd__%hh_%ii_%ss";

// "sauvegarde_" + the time stamp: "sauvegarde_2009_03_05__14_07_09".
std::string backupFolderName(const clock::LocalDateTime& startedAt);

// Makes a new, empty folder for a backup started at `startedAt` inside `root`, creating
// `root` first when it is missing. The folder is never one that already existed: when
// backupFolderName is taken (another backup in the same second, by this program or an
// other one), the first free name of that name followed by "_2", "_3", ... is made.
// Returns the name made (without `root`), or "" when `root` or the folder cannot be made.
std::string createBackupFolder(const std::string& root, const clock::LocalDateTime& startedAt);

}  // namespace velmo::backup
