// The guestbook's data files and folders whose modes the installer changes.
#pragma once
#include <array>
#include <string>

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

// "En cours : [i/n] label" and the bar value i * 100 / n rounded up.
std::string permissionStepText(int i, int n, const std::string& label);
int permissionStepPercent(int i, int n);

}  // namespace velmo::installer
