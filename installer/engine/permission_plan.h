// The guestbook's data files and folders whose modes the installer changes.
#pragma once
#include <array>

namespace velmo::installer {

struct PermissionTarget {
    const char* suffix;  // put after the remote guestbook folder name
    bool isFolder;
    const char* label;   // what the status line shows
};

inline constexpr int permissionTargetCount = 14;
extern const std::array<PermissionTarget, permissionTargetCount> permissionPlan;

inline constexpr const char* writableMode = "777";
inline constexpr const char* restrictedFolderMode = "705";
inline constexpr const char* restrictedFileMode = "604";

}  // namespace velmo::installer
