// Velmo_Sauvegarde's main window: the account fields, "Connexion" and the menu.
#include "backup/backup_app.h"

namespace velmo::backup {

using ui::ControlKind;
using ui::ControlSpec;
using ui::FontRole;

frame::ProgramDescription describeBackupTool() {
    frame::ProgramDescription d;
    d.window = {ids::mainWindow, "Velmo Sauvegarde.", 376, 470};
    d.menu = {{"Fichier", {frame::quitItem(ids::menuQuit)}},
              {"Aide", {frame::siteItem(ids::menuSite), frame::forumItem(ids::menuForum), frame::aboutItem(ids::menuAbout)}}};
    d.about = frame::AboutInfo{ids::aboutWindow, 38, 39, 40, 41, 42, "Velmo, Sauvegarde - A propos",
                               "Velmo, Sauvegarde - Version : 1.0.1"};
    d.controls = {
        {7, ControlKind::Label, 8, 8, 360, 16, "Pour pouvoir vous connecter sur votre serveur,"},
        {8, ControlKind::Label, 8, 24, 360, 16, "vous devez entrer vos informations de connexion."},
        {9, ControlKind::Label, 8, 56, 360, 16, "Toutes les informations ci-dessous ont dû vous être fournies"},
        {10, ControlKind::Label, 8, 72, 360, 16, "par votre hébergeur."},
        {11, ControlKind::GroupBox, 8, 88, 360, 76, "Adresse FTP"},
        {12, ControlKind::Label, 16, 104, 348, 16, "Entrez ci-dessous votre adresse FTP."},
        {13, ControlKind::Label, 16, 120, 348, 16, "Ex : ftp.hebergeur-exemple.fr ou ftpperso.exemple.net"},
        {ids::addressField, ControlKind::TextField, 16, 136, 336, 22, ""},
        {15, ControlKind::GroupBox, 8, 168, 360, 60, "ID Utilisateur"},
        {16, ControlKind::Label, 16, 184, 348, 16, "Entrez ci-dessous votre ID Utilisateur ou login."},
        {ids::userField, ControlKind::TextField, 16, 200, 336, 22, ""},
        {18, ControlKind::GroupBox, 8, 232, 360, 60, "Mot de passe"},
        {19, ControlKind::Label, 16, 248, 348, 16, "Entrez ci-dessous votre mot de passe."},
        {ids::passwordField, ControlKind::PasswordField, 16, 264, 336, 22, ""},
        {21, ControlKind::GroupBox, 8, 298, 360, 44, "Répertoire du livre d'or"},
        {ids::folderField, ControlKind::TextField, 16, 314, 336, 22, ""},
        {23, ControlKind::GroupBox, 8, 348, 360, 60, "Options"},
        {ids::passiveBox, ControlKind::CheckBox, 16, 364, 336, 16, "Mode passif."},
        ControlSpec{ids::portField, ControlKind::TextField, 16, 380, 50, 22, ""}.digits().rightAligned(),
        {26, ControlKind::Label, 68, 384, 288, 16, "Port."},
        {ids::connectButton, ControlKind::Button, 130, 420, 120, 24, "Connexion", FontRole::Large10},
    };
    return d;
}

bool loadSettingsIntoForm(BackupApp& app) {
    const ConnectionSettingsLoad load = loadConnectionSettings(Tool::Backup);
    if (!load.fileOpened) return false;
    app.settings = load.settings;
    ui::Ui& u = app.ui();
    u.setText(ids::mainWindow, ids::addressField, app.settings.serverAddress);
    u.setText(ids::mainWindow, ids::userField, app.settings.userId);
    u.setChecked(ids::mainWindow, ids::passiveBox, app.settings.passiveFlag == 1);
    u.setText(ids::mainWindow, ids::portField, std::to_string(app.settings.port));
    u.setText(ids::mainWindow, ids::folderField, app.settings.guestbookFolder);
    return true;
}

}  // namespace velmo::backup
