#include "installer/window/main_window.h"

#include "assets/embedded_pictures.h"
#include "installer/window/installer_app.h"
#include "suite/paths.h"

namespace velmo::installer {

using ui::ControlKind;
using ui::ControlSpec;
using ui::FontRole;

bool loadInstallerPictures(InstallerPictures& p) {
    bool ok = assets::loadEmbeddedPicture("link_generator_16", p.linkGeneratorIcon);
    ok = assets::loadEmbeddedPicture("chmod_apply_16", p.chmodApplyIcon) && ok;
    ok = assets::loadEmbeddedPicture("chmod_restore_16", p.chmodRestoreIcon) && ok;
    ok = assets::loadEmbeddedPicture("stay_on_top_24", p.stayOnTop) && ok;
    return ok;
}

InstallerPictures loadedInstallerPictures() {
    InstallerPictures p;
    loadInstallerPictures(p);
    return p;
}

std::string buildPermissionHelpText() {
    return "Chez certains hébergeurs, vous devez appliquer un CHMOD (Droit de lecture/écriture) "
           "sur certains fichiers.\r\n\r\n"
           "Liste des hébergeurs nécessitant un CHMOD :\r\n"
           "Hébergeur A, Hébergeur B, Hébergeur C, Hébergeur D et Hébergeur E.\r\n\r\n"
           "Liste des hébergeurs ne nécessitant pas de CHMOD :\r\n"
           "Hébergeur F, Hébergeur G, Hébergeur H, Hébergeur I, Hébergeur J, Hébergeur K et "
           "Hébergeur L.\r\n\r\n"
           "Si votre hébergeur ne nécessite pas de CHMOD, n'oubliez pas de décocher la case.";
}

frame::ProgramDescription mainWindowDescription(const InstallerApp& app) {
    return mainWindowDescription(app.pictures, app.themedFileBar);
}

frame::ProgramDescription mainWindowDescription(const InstallerPictures& pic, bool themedFileBar) {
    frame::ProgramDescription d;
    d.window = ui::WindowSpec{ids::mainWindow, "Velmo, Transfert.", 784, 470};
    d.failureJournal = suite::installerJournalFile;
    d.menu = {
        {"Fichier",
         {{ids::menuLinkGenerator, "Lancer le générateur de lien", &pic.linkGeneratorIcon},
          frame::quitItem(ids::menuQuit)}},
        {"Outils",
         {{ids::menuApplyChmod, "Effectuer les chmods sur les fichiers adéquates", &pic.chmodApplyIcon},
          {ids::menuRestoreChmod, "Annuler les chmods sur les fichiers adéquates", &pic.chmodRestoreIcon}}},
        {"Aide",
         {frame::siteItem(ids::menuSite), frame::forumItem(ids::menuForum), frame::aboutItem(ids::menuAbout)}},
    };
    d.about = frame::AboutInfo{ids::aboutWindow, 71, 72, 73, 74, 75, "Velmo Transfert - A propos",
                               "Velmo Transfert - Version : 1.2.0"};
    std::vector<ControlSpec> own = {
        {ids::heading, ControlKind::Label, 8, 8, 696, 16,
         "Toutes les informations ci-dessous ont dû vous être fournies par votre hébergeur."},
        {ids::infoButton, ControlKind::Button, 456, 36, 40, 21, "Infos"},
        {ids::treeList, ControlKind::ListBox, 376, 112, 400, 228, "", FontRole::Text9},
        {ids::transferFrame, ControlKind::GroupBox, 376, 345, 400, 96, "Transferts"},
        {ids::currentLabel, ControlKind::Label, 384, 360, 384, 16, "En cours :"},
        ControlSpec{ids::fileBar, ControlKind::ProgressBar, 384, 376, 382, 16}
            .range(themedFileBar ? 1 : 0, themedFileBar ? 10000 : 100)
            .smoothBar(),
        {ids::countLabel, ControlKind::Label, 384, 400, 384, 16,
         "Fichiers envoyés : 1/" + std::to_string(expectedItemCount)},
        ControlSpec{ids::overallBar, ControlKind::ProgressBar, 384, 416, 382, 16}.range(0, 100).smoothBar(),
        {ids::validateButton, ControlKind::Button, 25, 412, 120, 24, "Valider", FontRole::Large10},
        ControlSpec{ids::cancelButton, ControlKind::Button, 185, 412, 120, 24, "Annuler", FontRole::Large10}
            .disabled(),
    };
    d.controls = frame::tableInIdOrder({std::move(own), connectionForm().controls()});
    return d;
}

const frame::ConnectionForm& connectionForm() {
    static const frame::ConnectionForm form([] {
        frame::ConnectionFormLayout l;
        l.addressFrame = {ids::addressFrame, 8, 24, 360, 76};
        l.addressPrompt = {11, 16, 40, 348, 16};
        l.addressExample = {12, 16, 56, 348, 16};
        l.addressField = {ids::addressField, 16, 72, 344, 22, "ftp.hebergeur-exemple.fr"};
        l.userFrame = {ids::userFrame, 8, 104, 360, 60};
        l.userPrompt = {15, 16, 120, 348, 16};
        l.userField = {ids::userField, 16, 136, 344, 22, "mon-identifiant"};
        l.passwordFrame = {ids::passwordFrame, 8, 168, 360, 60};
        l.passwordPrompt = {18, 16, 184, 348, 16};
        l.passwordField = {ids::passwordField, 16, 200, 344, 22};
        l.folder = frame::FolderRows{{ids::folderFrame, 8, 232, 360, 108, "Répertoire de destination"},
                                     {{21, 16, 248, 348, 16, "Entrez le nom du dossier dans lequel les fichiers de"},
                                      {22, 16, 264, 348, 16, "Velmo Livre d'or, seront transférés."},
                                      {23, 16, 280, 348, 16, "Ou bien laissez le nom par défaut."},
                                      {24, 16, 296, 348, 16, "Si le dossier n'existe pas, il sera créé."}},
                                     {ids::folderField, 16, 312, 344, 22, "livre-dor"}};
        l.optionsFrame = {ids::optionsFrame, 376, 24, 400, 76};
        l.chmodBox = frame::FormRow{ids::chmodBox, 384, 40, 68, 16};
        l.passiveBox = {ids::passiveBox, 384, 56, 336, 16};
        l.portField = {ids::portField, 384, 72, 50, 22};
        l.portLabel = {ids::portLabel, 436, 76, 288, 16};
        return l;
    }());
    return form;
}

void setFormEnabled(ui::Ui& ui, bool enabled) {
    connectionForm().setEnabled(ui, enabled);
    ui.setEnabled(ids::mainWindow, ids::infoButton, enabled);
}

namespace {

void addStatusAndBar(ui::Ui& ui) {
    ui.addControl(ids::mainWindow, {ids::chmodStatus, ControlKind::Label, 16, 360, 344, 16, "En cours :"});
    ui.addControl(ids::mainWindow,
                      ControlSpec{ids::chmodBar, ControlKind::ProgressBar, 16, 376, 344, 16}.range(0, 100).smoothBar());
}

}  // namespace

void createChmodPanel(ui::Ui& ui) {
    removePermissionPanel(ui);
    ui.addControl(ids::mainWindow, {ids::chmodFrame, ControlKind::GroupBox, 8, 345, 360, 55, "Chmod"});
    addStatusAndBar(ui);
}

void createMenuRunPanel(ui::Ui& ui) {
    removePermissionPanel(ui);
    ui.addControl(ids::mainWindow,
                      ControlSpec{ids::chmodTitle, ControlKind::Label, 16, 345, 344, 22,
                                  "//! CHMOD !\\\\", FontRole::Text9}
                          .centred());
    addStatusAndBar(ui);
}

void removePermissionPanel(ui::Ui& ui) {
    for (int id : {ids::chmodFrame, ids::chmodTitle, ids::chmodStatus, ids::chmodBar})
        ui.removeControl(ids::mainWindow, id);
}

void setTreeRootLine(ui::Ui& ui, const std::string& folder) {
    ui.setLine(ids::mainWindow, ids::treeList, 0, "+-[Dossier] " + folder);
}

}  // namespace velmo::installer
