// The connection settings shared by the four FTP tools through "softwareDatas/config.pcfg".
// The FTP password lives only in memory; it is never written to the file.
#pragma once
#include <cstdint>
#include <string>

#include "suite/paths.h"

namespace velmo {

// The port of a field or a settings file that names none (empty, blanks only).
inline constexpr std::int32_t defaultFtpPort = 21;

struct ConnectionSettings {
    std::string serverAddress;
    std::string userId;
    std::string password;
    std::string guestbookFolder;  // one folder name below the FTP login directory
    std::int32_t permissionFlag = 0;  // 1 when the writable modes (777) are applied
    std::int32_t passiveFlag = 1;     // 1 = passive data connections
    std::int32_t port = defaultFtpPort;
};

// Relative to the tool's working directory (the `Tools` folder under the launcher).
inline constexpr const char* connectionSettingsPath = suite::connectionSettingsFile;

// Each tool reads and writes its own set of keys with its own defaults.
enum class Tool { Locator, Installer, Backup, Updater };

struct ToolKeySet {
    bool saves;               // the backup tool only reads the file
    bool createsFile;         // save starts a new file (else it rewrites the existing one)
    bool writesTransferFlag;  // save writes `transfert` = 1
    bool trimsTexts;          // save trims address, user ID and folder
    bool writesPermissionFlag;  // save writes the record's flag (else always 0)
    bool readsTransferFlag;
    bool readsPermissionFlag;
    const char* folderDefault;  // when `RepertoireDuLivreDor` is absent
};
const ToolKeySet& keySetFor(Tool tool);

// How a save ended; true only when the file was written.
struct SettingsSave {
    enum class Outcome {
        Written,
        NotWritten,  // the file could not be written (or the tool is the backup tool)
        Busy,        // another program kept saving the file for the whole wait: nothing
                     // was written, the caller says so (settingsBusyText)
    };
    Outcome outcome = Outcome::NotWritten;
    explicit operator bool() const { return outcome == Outcome::Written; }
};

// Under "Attention." with the warning icon, when a save found the file Busy.
inline constexpr const char* settingsBusyText =
    "Un autre logiciel Velmo est en train d'enregistrer les paramètres de connexion.\r\n\r\n"
    "Les vôtres n'ont donc pas été enregistrés : fermez l'autre logiciel puis recommencez.";

// Writes the tool's keys. The locator and the installer replace the file; the updater
// rewrites the existing one so that `transfert` and any other line keep their place. Saves
// of programs running at once take turns (SettingsFileLock): the updater's read and
// write-back are one step for the others. Nothing is shown to the user.
SettingsSave saveConnectionSettings(Tool tool, const ConnectionSettings& settings,
                                    const std::string& path = connectionSettingsPath);

struct ConnectionSettingsLoad {
    bool fileOpened = false;
    // The stored values, or the tool's defaults for keys (or a file) that are missing.
    // Tools other than the installer keep their fields as built when the file did not open.
    ConnectionSettings settings;
    std::int32_t transferFlag = 0;  // `transfert`, for the tools that read it
};
ConnectionSettingsLoad loadConnectionSettings(Tool tool,
                                              const std::string& path = connectionSettingsPath);

// The installer's checks before generating a link or changing permissions.
std::int32_t readTransferFlag(const std::string& path = connectionSettingsPath);
// The folder the installer's link generator uses ("livre-dor" when absent).
std::string readInstallerGuestbookFolder(const std::string& path = connectionSettingsPath);

// The port field's text: blanks around it removed, read as a decimal number; a text
// without digits (an empty field) is the default port 21, never port 0.
std::int32_t portFromFieldText(const std::string& text);

}  // namespace velmo
