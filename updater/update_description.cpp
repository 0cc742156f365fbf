#include "updater/update_description.h"

#include "settings/preference_file.h"
#include "suite/file_names.h"

namespace velmo::updater {
namespace {

std::vector<std::string> groupValues(PreferenceFile& pcfg, const char* group, bool keepEmpty) {
    std::vector<std::string> values;
    if (!pcfg.selectGroup(group) || !pcfg.beginKeys()) return values;
    while (pcfg.nextKey()) {
        std::string v = pcfg.currentValue();
        if (keepEmpty || !v.empty()) values.push_back(std::move(v));
    }
    return values;
}

std::vector<std::string> splitParts(const std::string& path) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t slash = path.find('/', start);
        parts.push_back(path.substr(start, slash - start));
        if (slash == std::string::npos) return parts;
        start = slash + 1;
    }
}

// Every part must be one plain name on the server (where it is used raw for folders and
// renamed for files) and in the local mirror (renamed): "~" alone or first, for one, is
// the login home for vsftpd and pure-ftpd, far outside the guestbook folder.
bool isSafeRelativePath(std::string path, bool folderEntry) {
    if (folderEntry && !path.empty() && path.back() == '/') path.pop_back();
    if (path.empty()) return false;
    for (const std::string& part : splitParts(path))
        if (!suite::isPortableNamePart(part) || !suite::isPortableNamePart(toServerName(part))) return false;
    return true;
}

}  // namespace

bool readUpdateDescription(const std::string& path, UpdateDescription& out) {
    PreferenceFile pcfg;
    if (!pcfg.open(path)) return false;
    out.lines = groupValues(pcfg, "Grp_DescriptionMaj", true);
    out.files = groupValues(pcfg, "Grp_ListeFichiersATelecharger", true);
    out.folders = groupValues(pcfg, "Grp_ListeDossiersACreer", false);
    out.chmods = groupValues(pcfg, "Grp_ListeChmodAAppliquer", false);
    pcfg.close();
    return true;
}

bool findUnsafePath(const UpdateDescription& description, std::string& value) {
    const struct {
        const std::vector<std::string>& values;
        bool folderEntries;
    } lists[] = {{description.files, false}, {description.folders, true}, {description.chmods, true}};
    for (const auto& list : lists)
        for (const std::string& v : list.values)
            if (!isSafeRelativePath(v, list.folderEntries)) {
                value = v;
                return true;
            }
    return false;
}

std::string toServerName(const std::string& packagePath) {
    static const std::string from = ".velmo";
    std::string out;
    std::size_t start = 0;
    for (;;) {
        const std::size_t at = packagePath.find(from, start);
        if (at == std::string::npos) break;
        out += packagePath.substr(start, at - start) + ".php";
        start = at + from.size();
    }
    return out + packagePath.substr(start);
}

std::string lastPart(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::vector<std::string> folderParts(const std::string& path) {
    std::vector<std::string> parts = splitParts(path);
    parts.pop_back();
    return parts;
}

}  // namespace velmo::updater
