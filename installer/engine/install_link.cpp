#include "installer/engine/install_link.h"

#include <algorithm>

namespace velmo::installer {

std::string normalizeSiteAddress(const std::string& typed) {
    std::string s = typed;
    s.erase(std::remove(s.begin(), s.end(), ' '), s.end());
    while (s != "http://" && !s.empty() && s.back() == '/') s.pop_back();
    return s;
}

std::string buildInstallLink(const std::string& siteAddress, const std::string& folder) {
    return siteAddress + "/" + folder + "/install/index.php";
}

SiteAddressCheck checkSiteAddress(const std::string& normalized) {
    if (normalized.empty()) return SiteAddressCheck::Empty;
    if (normalized == "http://") return SiteAddressCheck::SchemeOnly;
    if (normalized.compare(0, 7, "http://") != 0) return SiteAddressCheck::MissingScheme;
    return SiteAddressCheck::Accepted;
}

std::string installLinkFor(const std::string& normalized, const std::string& folder) {
    const std::string joined = buildInstallLink(normalized, folder.empty() ? unknownFolderText : folder);
    // Built anew rather than replaced in place: GCC 12 warns wrongly about an in-place
    // replace at -O2 and above.
    std::string link;
    for (std::size_t i = 0; i < joined.size();) {
        if (joined.compare(i, 3, "%20") == 0) {
            link += ' ';
            i += 3;
        } else {
            link += joined[i++];
        }
    }
    return link;
}

}  // namespace velmo::installer
