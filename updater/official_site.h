// The official site's update directory: the published version list, and per version a
// package folder with its description file and its files.
#pragma once
#include <string>

#include "http/download.h"
#include "updater/updater_reporter.h"

namespace velmo::updater {

inline constexpr const char* versionListName = "_NumeroDeVersion_Exe_Script_SiteOfficiel.pcfg";

struct OfficialSite {
    // An http:// address ending in "velmo-maj/": the build's VELMO_UPDATE_BASE_URL in the
    // program, a local server in the tests and the demo.
    std::string baseUrl;
    http::DownloadLimits limits;

    // baseUrl + the relative path, each part encoded for the address.
    std::string fileUrl(const std::string& relativePath) const;
};

// "maj_" + the version in decimal.
std::string packageFolderName(std::int32_t version);

// Downloads baseUrl + subPath + name to "misesAJour/" + subPath + name (subPath is "" or
// the package folder and "/"). On failure the "absent from the official site" message is
// given as fatal and false returned: the program then ends.
bool fetchOfficialFile(const OfficialSite& site, const std::string& name, const std::string& subPath,
                       UpdaterReporter& reporter);

}  // namespace velmo::updater
