// The window's table of controls and its filling at start.
#include "settings/connection_settings.h"
#include "suite/messages.h"
#include "updater/engine/update_check.h"
#include "updater/engine/updater_texts.h"
#include "updater/window/updater_window.h"
#include "updater/window/window_reporter.h"

namespace velmo::updater {

using ui::ControlKind;
using ui::ControlSpec;

frame::ConnectionFormLayout updaterFormLayout() {
    frame::ConnectionFormLayout l;
    l.panelId = ids::tabs;
    l.tabIndex = applyTab;
    l.addressFrame = {ids::addressFrame, 8, 28, 360, 76};
    l.addressPrompt = {ids::addressHelp, 18, 44, 340, 16};
    l.addressExample = {ids::addressExample, 18, 60, 340, 16};
    l.addressField = {ids::addressField, 18, 76, 340, 22};
    l.userFrame = {ids::userFrame, 8, 108, 360, 60};
    l.userPrompt = {ids::userHelp, 18, 124, 340, 16};
    l.userField = {ids::userField, 18, 140, 340, 22};
    l.passwordFrame = {ids::passwordFrame, 378, 28, 338, 60};
    l.passwordPrompt = {ids::passwordHelp, 388, 44, 318, 16};
    l.passwordField = {ids::passwordField, 388, 60, 318, 22};
    l.optionsFrame = {ids::optionsFrame, 378, 92, 340, 76};
    l.chmodBox = frame::FormRow{ids::chmodBox, 388, 108, 68, 16};
    l.passiveBox = {ids::passiveBox, 388, 124, 318, 16};
    l.portField = {ids::portField, 388, 140, 60, 22};
    l.portLabel = {ids::portLabel, 454, 143, 254, 16};
    l.folder = frame::FolderRows{{ids::folderFrame, 378, 174, 340, 60, "Répertoire de destination"},
                                 {{ids::folderHelp, 388, 190, 318, 16, "Dossier cible des mises à jours."}},
                                 {ids::folderField, 388, 206, 318, 22}};
    return l;
}

std::vector<ControlSpec> updaterControls(const frame::ConnectionForm& form) {
    const int panel = ids::tabs;
    auto onCheck = [panel](ControlSpec c) { return c.onTab(panel, checkTab); };
    auto onApply = [panel](ControlSpec c) { return c.onTab(panel, applyTab); };
    const std::vector<ControlSpec> own = {
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
        onApply({ids::actionsFrame, ControlKind::GroupBox, 378, 250, 340, 40, "Actions en cours"}),
        onApply({ids::actionStatus, ControlKind::Label, 388, 266, 318, 16, ""}),
        onApply(ControlSpec{ids::fileList, ControlKind::ReportList, 8, 174, 364, 220}.withColumns(
            {{"Nom de fichiers", 200}, {"Statut", 138}})),
        onApply({ids::applyButton, ControlKind::Button, 468, 368, 186, 24, "Appliquer les mises à jour",
                 ui::FontRole::Large10}),
    };
    return frame::tableInIdOrder({own, form.controls()});
}

frame::ProgramDescription updaterDescription(const frame::ConnectionForm& form) {
    frame::ProgramDescription description;
    description.window = {ids::mainWindow, "Velmo, Maj - Vérification/Update des mises à jour.", 752, 500};
    description.failureJournal = suite::updaterJournalFile;
    description.controls = updaterControls(form);
    return description;
}

bool fillUpdaterWindow(UpdaterApp& app) {
    ui::Ui& u = app.ui();
    u.setText(ids::mainWindow, ids::actionStatus, texts::noAction);

    // On the window's own thread: shown at once.
    WindowView view(app);
    if (!initialiseLocalVersions(view)) return false;

    const ConnectionSettingsLoad load = loadConnectionSettings(Tool::Updater);
    if (!load.fileOpened) {
        u.messageBox(suite::titles::attentionPlain,
                     "Le fichier contenant vos paramètres de connexion n'existe pas.\r\n\r\n"
                     "Vous devez d'abord utiliser le logiciel \"Velmo_Navigateur\" pour générer celui-ci.",
                     ui::MessageIcon::Error);
        return false;
    }
    app.form.fill(u, load.settings);
    return true;
}

}  // namespace velmo::updater
