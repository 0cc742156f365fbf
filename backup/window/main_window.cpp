// Velmo_Sauvegarde's main window: the account fields, "Connexion" and the menu.
#include "backup/window/backup_app.h"

namespace velmo::backup {

using ui::ControlKind;
using ui::ControlSpec;
using ui::FontRole;

frame::ConnectionFormLayout backupFormLayout() {
    frame::ConnectionFormLayout l;
    l.addressFrame = {11, 8, 88, 360, 76};
    l.addressPrompt = {12, 16, 104, 348, 16};
    l.addressExample = {13, 16, 120, 348, 16};
    l.addressField = {ids::addressField, 16, 136, 336, 22};
    l.userFrame = {15, 8, 168, 360, 60};
    l.userPrompt = {16, 16, 184, 348, 16, "Entrez ci-dessous votre ID Utilisateur ou login."};
    l.userField = {ids::userField, 16, 200, 336, 22};
    l.passwordFrame = {18, 8, 232, 360, 60};
    l.passwordPrompt = {19, 16, 248, 348, 16};
    l.passwordField = {ids::passwordField, 16, 264, 336, 22};
    // Shown, never read back: the backup uses the folder of the settings file.
    l.folder = frame::FolderRows{{21, 8, 298, 360, 44, "Répertoire du livre d'or"}, {}, {ids::folderField, 16, 314, 336, 22}};
    l.optionsFrame = {23, 8, 348, 360, 60};
    l.passiveBox = {ids::passiveBox, 16, 364, 336, 16};
    l.portField = {ids::portField, 16, 380, 50, 22, ""};  // empty until the settings fill it
    l.portLabel = {26, 68, 384, 288, 16};
    l.passiveChecked = false;
    return l;
}

frame::ProgramDescription describeBackupTool(const frame::ConnectionForm& form) {
    frame::ProgramDescription d;
    d.window = {ids::mainWindow, "Velmo Sauvegarde.", 376, 470};
    d.failureJournal = frame::backupFailureJournal;
    d.menu = {{"Fichier", {frame::quitItem(ids::menuQuit)}},
              {"Aide", {frame::siteItem(ids::menuSite), frame::forumItem(ids::menuForum), frame::aboutItem(ids::menuAbout)}}};
    d.about = frame::AboutInfo{ids::aboutWindow, 38, 39, 40, 41, 42, "Velmo, Sauvegarde - A propos",
                               "Velmo, Sauvegarde - Version : 1.0.1"};
    const std::vector<ControlSpec> own = {
        {7, ControlKind::Label, 8, 8, 360, 16, "Pour pouvoir vous connecter sur votre serveur,"},
        {8, ControlKind::Label, 8, 24, 360, 16, "vous devez entrer vos informations de connexion."},
        {9, ControlKind::Label, 8, 56, 360, 16, "Toutes les informations ci-dessous ont dû vous être fournies"},
        {10, ControlKind::Label, 8, 72, 360, 16, "par votre hébergeur."},
        {ids::connectButton, ControlKind::Button, 130, 420, 120, 24, "Connexion", FontRole::Large10},
    };
    d.controls = frame::tableInIdOrder({own, form.controls()});
    return d;
}

bool loadSettingsIntoForm(BackupApp& app) {
    const ConnectionSettingsLoad load = loadConnectionSettings(Tool::Backup);
    if (!load.fileOpened) return false;
    app.settings = load.settings;
    app.form.fill(app.ui(), app.settings);
    return true;
}

}  // namespace velmo::backup
