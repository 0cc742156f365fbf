#include "settings/connection_settings.h"


#include "platform/text_codec.h"
#include "settings/preference_file.h"
#include "settings/settings_lock.h"

namespace velmo {

namespace {

const char transferKey[] = "transfert";
const char addressKey[] = "FTP_adresse";
const char userIdKey[] = "FTP_iDUseur";
const char permissionKey[] = "FTP_infoChmod";
const char passiveKey[] = "FTP_modeConnexion";
const char portKey[] = "FTP_portConnexion";
const char folderKey[] = "RepertoireDuLivreDor";

//                                saves  creates transfert trims  chmod  rdTransf rdChmod folder
const ToolKeySet locatorKeys   {true,  true,   true,     false, false, false,   false,  ""};
const ToolKeySet installerKeys {true,  true,   true,     false, true,  true,    true,   "livre-dor"};
const ToolKeySet backupKeys    {false, false,  false,    false, false, false,   false,  ""};
const ToolKeySet updaterKeys   {true,  false,  false,    true,  true,  false,   true,   ""};

// A port text without a digit (an empty field, or a key with no value) names no port at
// all: port 0 would only fail to connect with a box about identifiers and firewalls, so it
// means the port every FTP server listens on unless told otherwise.
bool namesNoPort(const std::string& text) {
    const std::string t = text::trimBlanks(text);
    std::size_t i = 0;
    while (i < t.size() && (t[i] == ' ' || t[i] == '\t')) ++i;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
    return i == t.size() || t[i] < '0' || t[i] > '9';
}

}  // namespace

const ToolKeySet& keySetFor(Tool tool) {
    switch (tool) {
        case Tool::Locator: return locatorKeys;
        case Tool::Installer: return installerKeys;
        case Tool::Backup: return backupKeys;
        case Tool::Updater: break;
    }
    return updaterKeys;
}

SettingsSave saveConnectionSettings(Tool tool, const ConnectionSettings& settings, const std::string& path) {
    using Outcome = SettingsSave::Outcome;
    const ToolKeySet& keys = keySetFor(tool);
    if (!keys.saves) return {Outcome::NotWritten};
    // Held from before the file is read to after it is written back.
    const SettingsFileLock lock(path);
    if (lock.state() == SettingsFileLock::State::Busy) return {Outcome::Busy};
    PreferenceFile file;
    // The updater only runs when the file exists; should it have gone in the meantime,
    // `close` creates it from the keys written here.
    if (keys.createsFile)
        file.create(path);
    else
        file.open(path);
    auto text = [&](const std::string& s) { return keys.trimsTexts ? text::trimBlanks(s) : s; };
    if (keys.writesTransferFlag) file.writeInteger(transferKey, 1);
    file.writeString(addressKey, text(settings.serverAddress));
    file.writeString(userIdKey, text(settings.userId));
    file.writeInteger(permissionKey, keys.writesPermissionFlag ? settings.permissionFlag : 0);
    file.writeInteger(passiveKey, settings.passiveFlag);
    file.writeInteger(portKey, settings.port);
    file.writeString(folderKey, text(settings.guestbookFolder));
    return {file.close() ? Outcome::Written : Outcome::NotWritten};
}

ConnectionSettingsLoad loadConnectionSettings(Tool tool, const std::string& path) {
    const ToolKeySet& keys = keySetFor(tool);
    ConnectionSettingsLoad result;
    PreferenceFile file;
    result.fileOpened = file.open(path);
    // A file that did not open answers every read with its default.
    ConnectionSettings& s = result.settings;
    if (keys.readsTransferFlag) result.transferFlag = file.readInteger(transferKey, 0);
    s.serverAddress = file.readString(addressKey, "");
    s.userId = file.readString(userIdKey, "");
    s.permissionFlag = keys.readsPermissionFlag ? file.readInteger(permissionKey, 0) : 0;
    s.passiveFlag = file.readInteger(passiveKey, 1);
    s.port = namesNoPort(file.readString(portKey, "")) ? defaultFtpPort : file.readInteger(portKey, defaultFtpPort);
    s.guestbookFolder = file.readString(folderKey, keys.folderDefault);
    file.close();
    return result;
}

std::int32_t readTransferFlag(const std::string& path) {
    PreferenceFile file;
    file.open(path);
    const std::int32_t flag = file.readInteger(transferKey, 0);
    file.close();
    return flag;
}

std::string readInstallerGuestbookFolder(const std::string& path) {
    PreferenceFile file;
    file.open(path);
    std::string folder = file.readString(folderKey, keySetFor(Tool::Installer).folderDefault);
    file.close();
    return folder;
}

std::int32_t portFromFieldText(const std::string& text) {
    if (namesNoPort(text)) return defaultFtpPort;
    return text::parseDecimalInt32(text::trimBlanks(text));
}

}  // namespace velmo
