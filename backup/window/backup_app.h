// Velmo_Sauvegarde's state: the program (window table, routes, loop), the window and
// control numbers, the connection record, and where the backup window has got to. Only the
// event loop's thread reads or changes it; the engine's workers hold it alive, take turns
// through engineLock and post their reports to that thread (Program::post).
#pragma once
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "backup/engine/backup_engine.h"
#include "frame/connection_form.h"
#include "frame/program.h"
#include "settings/connection_settings.h"
#include "ui/ui.h"

namespace velmo::backup {

namespace ids {
// Windows.
constexpr int mainWindow = frame::mainWindow;
constexpr int backupWindow = 1;
constexpr int aboutWindow = 37;
// Menu entries.
constexpr int menuSite = 3, menuForum = 4, menuAbout = 5, menuQuit = 6;
// Main window controls.
constexpr int addressField = 14, userField = 17, passwordField = 20, folderField = 22, passiveBox = 24,
              portField = 25, connectButton = 27;
// Backup window controls.
constexpr int skinsList = 29, filesList = 31, backupButton = 32;
}  // namespace ids

inline constexpr const char* backupButtonText = "Sauvegarder";
inline constexpr const char* closeButtonText = "Fermer";
inline constexpr const char* stopQuestionText =
    "Une sauvegarde est en cours.\r\n\r\n"
    "Voulez-vous l'arrêter ?\r\n"
    "Les fichiers qui ne sont pas encore sauvegardés ne le seront pas.";
inline constexpr const char* missingSettingsText =
    "Le fichier contenant vos paramètres de connexion n'existe pas.\r\n\r\n"
    "Vous devez d'abord utiliser le logiciel \"Velmo_Navigateur\" pour générer celui-ci.";

// The connection fields of the main window, and the whole window with its menu and About
// window.
frame::ConnectionFormLayout backupFormLayout();
frame::ProgramDescription describeBackupTool(const frame::ConnectionForm& form);

// The backup window's life, from "Connexion" to its closing.
enum class WindowStage {
    None,       // no backup window
    Opened,     // its listing not started yet
    LoggingIn,  // the listing logs in: the window may still be closed, the login then goes on
    Listing,    // logged in and listing: the close box is ignored (it is short and bounded)
    Ready,      // listed: "Sauvegarder" starts the backup
    BackingUp,  // the close box offers to stop the backup
    Done,       // the button says "Fermer"
};

struct BackupApp : std::enable_shared_from_this<BackupApp> {
    explicit BackupApp(ui::Ui& ui) : form(backupFormLayout()), program(ui, describeBackupTool(form)) {}

    const frame::ConnectionForm form;
    frame::Program program;
    ui::Ui& ui() const { return program.ui(); }

    // Filled from the settings file at start; "Connexion" replaces the login values. The
    // guestbook folder stays the one of the file.
    ConnectionSettings settings;

    // Where the open backup window has got to. The event loop's own state: the workers'
    // reports reach it as tasks run in the event loop, and a task meant for a window that
    // is no longer open (see openWindowNumber) does nothing.
    WindowStage stage = WindowStage::None;
    // Each backup window opened gets the next number; 0 while none is open.
    int openWindowNumber = 0;
    int windowsOpened = 0;
    // The open window's job; its workers hold it too.
    std::shared_ptr<BackupJob> windowJob;

    // One engine worker at a time: a listing still logging in for a window the user closed
    // finishes before the next window's listing starts.
    std::mutex engineLock;
};

// The settings file into the fields and the record; false when the file is missing.
bool loadSettingsIntoForm(BackupApp& app);
// "Connexion": the record from the fields, then the backup window.
void openBackupWindow(BackupApp& app);
// "Fermer" or the close box: the backup window goes, the main window comes back.
void closeBackupWindow(BackupApp& app);
// The backup window's routes: its first showing starts the listing, its button starts the
// backup or (as "Fermer") closes it, its close box closes it unless the engine is busy:
// during a listing it is ignored, during a backup it asks whether to stop the backup,
// which then ends at once, shows its closing message and closes the window.
std::vector<frame::Route> backupWindowRoutes(BackupApp& app);

}  // namespace velmo::backup
