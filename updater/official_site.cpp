#include "updater/official_site.h"

#include "http/url.h"
#include "updater/updater_texts.h"
#include "updater/version_files.h"

namespace velmo::updater {

std::string OfficialSite::fileUrl(const std::string& relativePath) const {
    return baseUrl + http::encodePath(relativePath);
}

std::string packageFolderName(std::int32_t version) { return "maj_" + std::to_string(version); }

bool fetchOfficialFile(const OfficialSite& site, const std::string& name, const std::string& subPath,
                       UpdaterReporter& reporter) {
    const http::DownloadResult r =
        http::downloadFile(site.fileUrl(subPath + name), std::string(workFolder) + subPath + name, site.limits);
    if (r.ok()) return true;
    reporter.fatal("Avertissement.", texts::officialFileMissing(name), BoxIcon::Error);
    return false;
}

}  // namespace velmo::updater
