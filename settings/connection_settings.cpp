#include "settings/connection_settings.h"

#include <limits>

#include "platform/text_codec.h"
#include "settings/preference_file.h"

namespace velmo {

namespace {

const char kTransfer[] = "transfert";
const char kAddress[] = "FTP_adresse";
const char kUserId[] = "FTP_iDUseur";
const char kPermission[] = "FTP_infoChmod";
const char kPassive[] = "FTP_modeConnexion";
const char kPort[] = "FTP_portConnexion";
const char kFolder[] = "RepertoireDuLivreDor";

//                                saves  creates transfert trims  chmod  rdTransf rdChmod folder
const ToolKeySet kLocatorKeys   {true,  true,   true,     false, false, false,   false,  ""};
const ToolKeySet kInstallerKeys {true,  true,   true,     false, true,  true,    true,   "livre-dor"};
const ToolKeySet kBackupKeys    {false, false,  false,    false, false, false,   false,  ""};
const ToolKeySet kUpdaterKeys   {true,  false,  false,    true,  true,  false,   true,   ""};

}  // namespace

const ToolKeySet& keySetFor(Tool tool) {
    switch (tool) {
        case Tool::Locator: return kLocatorKeys;
        case Tool::Installer: return kInstallerKeys;
        case Tool::Backup: return kBackupKeys;
        case Tool::Updater: break;
    }
    return kUpdaterKeys;
}

bool saveConnectionSettings(Tool tool, const ConnectionSettings& settings,
                            const std::string& path) {
    const ToolKeySet& keys = keySetFor(tool);
    if (!keys.saves) return false;
    PreferenceFile file;
    // The updater only runs when the file exists; should it have gone in the meantime,
    // `close` creates it from the keys written here.
    if (keys.createsFile)
        file.create(path);
    else
        file.open(path);
    auto text = [&](const std::string& s) { return keys.trimsTexts ? text::trimBlanks(s) : s; };
    if (keys.writesTransferFlag) file.writeInteger(kTransfer, 1);
    file.writeString(kAddress, text(settings.serverAddress));
    file.writeString(kUserId, text(settings.userId));
    file.writeInteger(kPermission, keys.writesPermissionFlag ? settings.permissionFlag : 0);
    file.writeInteger(kPassive, settings.passiveFlag);
    file.writeInteger(kPort, settings.port);
    file.writeString(kFolder, text(settings.guestbookFolder));
    return file.close();
}

ConnectionSettingsLoad loadConnectionSettings(Tool tool, const std::string& path) {
    const ToolKeySet& keys = keySetFor(tool);
    ConnectionSettingsLoad result;
    PreferenceFile file;
    result.fileOpened = file.open(path);
    // A file that did not open answers every read with its default.
    ConnectionSettings& s = result.settings;
    if (keys.readsTransferFlag) result.transferFlag = file.readInteger(kTransfer, 0);
    s.serverAddress = file.readString(kAddress, "");
    s.userId = file.readString(kUserId, "");
    s.permissionFlag = keys.readsPermissionFlag ? file.readInteger(kPermission, 0) : 0;
    s.passiveFlag = file.readInteger(kPassive, 1);
    s.port = file.readInteger(kPort, 21);
    s.guestbookFolder = file.readString(kFolder, keys.folderDefault);
    file.close();
    return result;
}

std::int32_t readTransferFlag(const std::string& path) {
    PreferenceFile file;
    file.open(path);
    const std::int32_t flag = file.readInteger(kTransfer, 0);
    file.close();
    return flag;
}

std::string readInstallerGuestbookFolder(const std::string& path) {
    PreferenceFile file;
    file.open(path);
    std::string folder = file.readString(kFolder, keySetFor(Tool::Installer).folderDefault);
    file.close();
    return folder;
}

std::int32_t portFromFieldText(const std::string& text) {
    const long long v = text::parseDecimal(text::trimBlanks(text));
    if (v > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
    if (v < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(v);
}

}  // namespace velmo
