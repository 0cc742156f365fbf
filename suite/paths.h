// The suite's files and folders, as the programs name them. Header only, includes
// nothing: every layer may use it.
//
// The launcher's paths are relative to its own folder; a tool's to `Tools`, the folder
// below the launcher that holds the four tools and their data.
#pragma once

namespace velmo::suite {

// From the launcher's folder.
inline constexpr const char* toolsFolder = "Tools";
inline constexpr const char* installerProgram = "Tools/Velmo_Transfert.exe";
inline constexpr const char* locatorProgram = "Tools/Velmo_Navigateur.exe";
inline constexpr const char* backupProgram = "Tools/Velmo_Sauvegarde.exe";
inline constexpr const char* updaterProgram = "Tools/Velmo_Maj.exe";

// From `Tools`.
inline constexpr const char* launcherProgram = "../Velmo_Menu.exe";
inline constexpr const char* launcherFolder = "../";
inline constexpr const char* settingsFolder = "softwareDatas";
inline constexpr const char* connectionSettingsFile = "softwareDatas/config.pcfg";
inline constexpr const char* installerJournalFile = "softwareDatas/log-erreur.txt";
inline constexpr const char* updaterJournalFile = "softwareDatas/log-erreur-Update.txt";
inline constexpr const char* backupsFolder = "sauvegardes";
inline constexpr const char* updatesFolder = "misesAJour";
// The guestbook the installer sends, beside it.
inline constexpr const char* localGuestbookFolder = "livre-dor";

}  // namespace velmo::suite
