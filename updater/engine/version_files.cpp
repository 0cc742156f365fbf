#include "updater/engine/version_files.h"


#include "platform/fs.h"
#include "platform/text_codec.h"
#include "settings/preference_file.h"

namespace velmo::updater {

const LocalVersionFile updaterVersionFile{
    "__NumeroDeVersion_Exe_Local.pcfg", "Grp_NumeroDeVersion_Exe_Local", "versionExecutableMaj_Local",
    "Version de l'executable Velmo, Maj de l'utilisateur [Local].", 1000000};
const LocalVersionFile scriptVersionFile{
    "__NumeroDeVersion_Script_Local.pcfg", "Grp_NumeroDeVersion_Script_Local", "versionDuScript_Local",
    "Version du script Velmo, Livre d'or de l'utilisateur [Local].", 2000000};

std::string localVersionPath(const LocalVersionFile& file) { return workFolder + file.name; }

std::string formatVersion(std::int32_t version) {
    const std::string s = std::to_string(version);
    auto part = [&s](std::size_t from, std::size_t count) {
        return from < s.size() ? std::to_string(text::parseDecimal(s.substr(from, count))) : std::string("0");
    };
    return part(0, 1) + "." + part(1, 3) + "." + part(4, 3);
}

bool ensureLocalVersionFile(const LocalVersionFile& file) {
    const std::string path = localVersionPath(file);
    if (fs::fileExists(path)) return true;
    PreferenceFile pcfg;
    if (!pcfg.create(path)) return false;
    pcfg.selectGroup(file.group);
    pcfg.writeComment(file.comment);
    pcfg.writeInteger(file.key, file.initialValue);
    return pcfg.close();
}

bool readLocalVersion(const LocalVersionFile& file, std::int32_t& version) {
    PreferenceFile pcfg;
    if (!pcfg.open(localVersionPath(file))) return false;
    pcfg.selectGroup(file.group);
    version = pcfg.readInteger(file.key, 0);
    pcfg.close();
    return true;
}

bool writeLocalVersion(const LocalVersionFile& file, std::int32_t version) {
    PreferenceFile pcfg;
    if (!pcfg.open(localVersionPath(file))) return false;
    pcfg.selectGroup(file.group);
    pcfg.writeInteger(file.key, version);
    return pcfg.close();
}

std::int32_t versionNumber(const std::string& text) {
    return text::parseDecimalInt32(text);
}

}  // namespace velmo::updater
