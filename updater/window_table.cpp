// The window's table of controls and its filling at start.
#include "settings/connection_settings.h"
#include "updater/update_check.h"
#include "updater/updater_texts.h"
#include "updater/updater_window.h"
#include "updater/window_reporter.h"

namespace velmo::updater {
namespace {

using ui::ControlKind;
using ui::ControlSpec;

std::vector<ControlSpec> controlTable() {
    const int panel = ids::tabs;
    auto onCheck = [panel](ControlSpec c) { return c.onTab(panel, checkTab); };
    auto onApply = [panel](ControlSpec c) { return c.onTab(panel, applyTab); };
    return {
        {ids::versionFrame, ControlKind::GroupBox, 198, 5, 366, 55, "Information de version"},
        {ids::installedCaption, ControlKind::Label, 212, 22, 98, 16, "Version Actuelle : "},
        {ids::installedValue, ControlKind::Label, 312, 22, 54, 16, "inconnu"},
        {ids::latestCaption, ControlKind::Label, 408, 22, 98, 16, "Dernière Version : "},
        {ids::latestValue, ControlKind::Label, 508, 22, 54, 16, "inconnu"},
        ControlSpec{ids::versionStatus, ControlKind::Label, 300, 40, 170, 16, ""}.centred(),
        ControlSpec{ids::tabs, ControlKind::TabPanel, 10, 64, 732, 430}.withTabs(
            {"Vérifier les mises à jour", "Effectuer les mises à jour"}),
        onCheck({ids::description, ControlKind::MultiLineText, 8, 8, 710, 350, ""}),
        onCheck({ids::checkButton, ControlKind::Button, 268, 368, 180, 24, "Vérifier les mises à jour",
                 ui::FontRole::Large10}),
        onApply({ids::hostNotice, ControlKind::Label, 8, 8, 700, 16,
                 "Toutes les informations ci-dessous ont dû vous être fournies par votre hébergeur."}),
        onApply({ids::addressFrame, ControlKind::GroupBox, 8, 28, 360, 76, "Adresse FTP"}),
        onApply({ids::addressHelp, ControlKind::Label, 18, 44, 340, 16, "Entrez ci-dessous votre adresse FTP."}),
        onApply({ids::addressExample, ControlKind::Label, 18, 60, 340, 16,
                 "Exemples : ftpperso.free.fr ou ftp.cluster0.hosting.ovh.net"}),
        onApply({ids::addressField, ControlKind::TextField, 18, 76, 340, 22, ""}),
        onApply({ids::userFrame, ControlKind::GroupBox, 8, 108, 360, 60, "ID Utilisateur"}),
        onApply({ids::userHelp, ControlKind::Label, 18, 124, 340, 16, "Entrez ci-dessous votre ID Utilisateur."}),
        onApply({ids::userField, ControlKind::TextField, 18, 140, 340, 22, ""}),
        onApply({ids::passwordFrame, ControlKind::GroupBox, 378, 28, 338, 60, "Mot de passe"}),
        onApply({ids::passwordHelp, ControlKind::Label, 388, 44, 318, 16, "Entrez ci-dessous votre mot de passe."}),
        onApply({ids::passwordField, ControlKind::PasswordField, 388, 60, 318, 22, ""}),
        onApply({ids::optionsFrame, ControlKind::GroupBox, 378, 92, 340, 76, "Options"}),
        onApply({ids::chmodBox, ControlKind::CheckBox, 388, 108, 68, 16, "Chmod."}),
        onApply({ids::passiveBox, ControlKind::CheckBox, 388, 124, 318, 16, "Mode passif."}),
        onApply(ControlSpec{ids::portField, ControlKind::TextField, 388, 140, 60, 22, "21"}.digits().rightAligned()),
        onApply({ids::portLabel, ControlKind::Label, 454, 143, 254, 16, "Port."}),
        onApply({ids::folderFrame, ControlKind::GroupBox, 378, 174, 340, 60, "Répertoire de destination"}),
        onApply({ids::folderHelp, ControlKind::Label, 388, 190, 318, 16, "Dossier cible des mises à jours."}),
        onApply({ids::folderField, ControlKind::TextField, 388, 206, 318, 22, ""}),
        onApply({ids::actionsFrame, ControlKind::GroupBox, 378, 250, 340, 40, "Actions en cours"}),
        onApply({ids::actionStatus, ControlKind::Label, 388, 266, 318, 16, ""}),
        onApply(ControlSpec{ids::fileList, ControlKind::ReportList, 8, 174, 364, 220}.withColumns(
            {{"Nom de fichiers", 200}, {"Statut", 138}})),
        onApply({ids::applyButton, ControlKind::Button, 468, 368, 186, 24, "Appliquer les mises à jour",
                 ui::FontRole::Large10}),
    };
}

}  // namespace

bool buildUpdaterWindow(UpdaterApp& app) {
    ui::Ui& u = app.ui;
    const ui::WindowSpec window{ids::mainWindow, "Velmo, Maj - Vérification/Update des mises à jour.", 752, 500};
    if (!u.createWindow(window, controlTable())) return false;
    u.setText(ids::mainWindow, ids::actionStatus, texts::noAction);

    WindowReporter reporter(app);
    if (!initialiseLocalVersions(reporter)) return false;

    const ConnectionSettingsLoad load = loadConnectionSettings(Tool::Updater);
    if (!load.fileOpened) {
        u.messageBox("Attention",
                     "Le fichier contenant vos paramètres de connexion n'existe pas.\r\n\r\n"
                     "Vous devez d'abord utiliser le logiciel \"Velmo_Navigateur\" pour générer celui-ci.",
                     ui::MessageIcon::Error);
        return false;
    }
    const ConnectionSettings& s = load.settings;
    u.setText(ids::mainWindow, ids::addressField, s.serverAddress);
    u.setText(ids::mainWindow, ids::userField, s.userId);
    u.setChecked(ids::mainWindow, ids::chmodBox, s.permissionFlag == 1);
    u.setChecked(ids::mainWindow, ids::passiveBox, s.passiveFlag == 1);
    u.setText(ids::mainWindow, ids::portField, std::to_string(s.port));
    u.setText(ids::mainWindow, ids::folderField, s.guestbookFolder);
    return true;
}

}  // namespace velmo::updater
