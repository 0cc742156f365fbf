#include "updater/engine/update_description.h"

#include <charconv>

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

bool parseInteger(const std::string& text, std::int64_t& out) {
    if (text.empty()) return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out);
    return error == std::errc() && end == text.data() + text.size() && out >= 0;
}

bool isSha256Hex(const std::string& text) {
    if (text.size() != 64) return false;
    for (char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    return true;
}

// "<sha256> <size> <path>" for each file of `files`; malformed values are left out (the
// file then has no digest and the description is refused).
std::vector<FileDigest> digestsOf(const std::vector<std::string>& values, const std::vector<std::string>& files) {
    std::vector<FileDigest> out(files.size());
    for (const std::string& v : values) {
        const std::size_t first = v.find(' ');
        const std::size_t second = first == std::string::npos ? first : v.find(' ', first + 1);
        if (second == std::string::npos) continue;
        FileDigest d;
        d.sha256 = v.substr(0, first);
        if (!isSha256Hex(d.sha256) || !parseInteger(v.substr(first + 1, second - first - 1), d.size)) continue;
        const std::string path = v.substr(second + 1);
        for (std::size_t i = 0; i < files.size(); ++i)
            if (files[i] == path && out[i].size < 0) out[i] = d;
    }
    return out;
}

}  // namespace

DescriptionFault findDescriptionFault(const UpdateDescription& description, std::int32_t offeredVersion) {
    if (description.digests.size() != description.files.size()) return DescriptionFault::NoDigests;
    for (const FileDigest& d : description.digests)
        if (d.size < 0) return DescriptionFault::NoDigests;
    if (description.version != offeredVersion) return DescriptionFault::OtherVersion;
    return DescriptionFault::None;
}

bool readUpdateDescription(const std::string& path, UpdateDescription& out) {
    PreferenceFile pcfg;
    if (!pcfg.open(path)) return false;
    out.lines = groupValues(pcfg, "Grp_DescriptionMaj", true);
    out.files = groupValues(pcfg, "Grp_ListeFichiersATelecharger", true);
    out.folders = groupValues(pcfg, "Grp_ListeDossiersACreer", false);
    out.chmods = groupValues(pcfg, "Grp_ListeChmodAAppliquer", false);
    out.digests = digestsOf(groupValues(pcfg, "Grp_EmpreintesFichiers", false), out.files);
    const std::vector<std::string> version = groupValues(pcfg, "Grp_VersionMaj", false);
    std::int64_t v = 0;
    out.version = version.size() == 1 && parseInteger(version[0], v) && v <= INT32_MAX ? static_cast<std::int32_t>(v) : 0;
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
