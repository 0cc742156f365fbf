#include "installer/window/progress_display.h"

#include <algorithm>

#include "installer/engine/guestbook_manifest.h"

namespace velmo::installer {

std::string countLabelText(int itemIndex) {
    return "Fichiers envoyés : " + std::to_string(itemIndex + 1) + "/" + std::to_string(expectedItemCount);
}

int overallPercent(int itemIndex) {
    if (itemIndex <= 0) return 0;
    long long p = (static_cast<long long>(itemIndex) * 100 + expectedItemCount - 1) / expectedItemCount;
    return static_cast<int>(std::min(p, 100LL));
}

std::string permissionStepText(int i, int n, const std::string& label) {
    return "En cours : [" + std::to_string(i) + "/" + std::to_string(n) + "] " + label;
}

int permissionStepPercent(int i, int n) {
    if (n <= 0 || i <= 0) return 0;
    return (i * 100 + n - 1) / n;
}

}  // namespace velmo::installer
