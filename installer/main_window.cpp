#include "assets/embedded_pictures.h"
#include "installer/installer_app.h"
#include "suite/messages.h"

namespace velmo::installer {

using ui::ControlKind;
using ui::ControlSpec;
using ui::FontRole;

bool loadInstallerPictures(InstallerPictures& p) {
    bool ok = frame::loadFramePictures(p.frame);
    ok = assets::loadEmbeddedPicture("link_generator_16", p.linkGeneratorIcon) && ok;
    ok = assets::loadEmbeddedPicture("chmod_apply_16", p.chmodApplyIcon) && ok;
    ok = assets::loadEmbeddedPicture("chmod_restore_16", p.chmodRestoreIcon) && ok;
    ok = assets::loadEmbeddedPicture("stay_on_top_24", p.stayOnTop) && ok;
    return ok;
}

InstallerApp::InstallerApp(ui::Ui& u, const InstallerPictures& p)
    : ui(u),
      pictures(p),
      frame{u, p.frame,
            frame::AboutInfo{ids::aboutWindow, 71, 72, 73, 74, 75, "Velmo Transfert - A propos",
                             "Velmo Transfert - Version : 1.2.0"},
            ids::mainWindow} {}

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

std::string buildConnectionErrorText() { return suite::connectionErrorText; }

void buildMainWindow(InstallerApp& app) {
    const InstallerPictures& pic = app.pictures;
    ui::MenuSpec menu;
    menu.titles = {
        {"Fichier",
         {{ids::menuLinkGenerator, "Lancer le générateur de lien", &pic.linkGeneratorIcon},
          frame::quitEntry(app.frame, ids::menuQuit)}},
        {"Outils",
         {{ids::menuApplyChmod, "Effectuer les chmods sur les fichiers adéquates", &pic.chmodApplyIcon},
          {ids::menuRestoreChmod, "Annuler les chmods sur les fichiers adéquates", &pic.chmodRestoreIcon}}},
        {"Aide",
         {frame::siteEntry(app.frame, ids::menuSite), frame::forumEntry(app.frame, ids::menuForum),
          frame::aboutEntry(app.frame, ids::menuAbout)}},
    };
    const std::vector<ControlSpec> controls = {
        {ids::heading, ControlKind::Label, 8, 8, 696, 16,
         "Toutes les informations ci-dessous ont dû vous être fournies par votre hébergeur."},
        {ids::addressFrame, ControlKind::GroupBox, 8, 24, 360, 76, "Adresse FTP"},
        {11, ControlKind::Label, 16, 40, 348, 16, "Entrez ci-dessous votre adresse FTP."},
        {12, ControlKind::Label, 16, 56, 348, 16, "Ex : ftp.hebergeur-exemple.fr ou ftpperso.exemple.net"},
        {ids::addressField, ControlKind::TextField, 16, 72, 344, 22, "ftp.hebergeur-exemple.fr"},
        {ids::userFrame, ControlKind::GroupBox, 8, 104, 360, 60, "ID Utilisateur"},
        {15, ControlKind::Label, 16, 120, 348, 16, "Entrez ci-dessous votre ID Utilisateur."},
        {ids::userField, ControlKind::TextField, 16, 136, 344, 22, "mon-identifiant"},
        {ids::passwordFrame, ControlKind::GroupBox, 8, 168, 360, 60, "Mot de passe"},
        {18, ControlKind::Label, 16, 184, 348, 16, "Entrez ci-dessous votre mot de passe."},
        {ids::passwordField, ControlKind::PasswordField, 16, 200, 344, 22, ""},
        {ids::folderFrame, ControlKind::GroupBox, 8, 232, 360, 108, "Répertoire de destination"},
        {21, ControlKind::Label, 16, 248, 348, 16, "Entrez le nom du dossier dans lequel les fichiers de"},
        {22, ControlKind::Label, 16, 264, 348, 16, "Velmo Livre d'or, seront transférés."},
        {23, ControlKind::Label, 16, 280, 348, 16, "Ou bien laissez le nom par défaut."},
        {24, ControlKind::Label, 16, 296, 348, 16, "Si le dossier n'existe pas, il sera créé."},
        {ids::folderField, ControlKind::TextField, 16, 312, 344, 22, "livre-dor"},
        {ids::optionsFrame, ControlKind::GroupBox, 376, 24, 400, 76, "Options"},
        {ids::chmodBox, ControlKind::CheckBox, 384, 40, 68, 16, "Chmod."},
        {ids::infoButton, ControlKind::Button, 456, 36, 40, 21, "Infos"},
        ControlSpec{ids::passiveBox, ControlKind::CheckBox, 384, 56, 336, 16, "Mode passif."}.checked(),
        ControlSpec{ids::portField, ControlKind::TextField, 384, 72, 50, 22, "21"}.digits().rightAligned(),
        {ids::portLabel, ControlKind::Label, 436, 76, 288, 16, "Port."},
        {ids::treeList, ControlKind::ListBox, 376, 112, 400, 228, "", FontRole::Text9},
        {ids::transferFrame, ControlKind::GroupBox, 376, 345, 400, 96, "Transferts"},
        {ids::currentLabel, ControlKind::Label, 384, 360, 384, 16, "En cours :"},
        ControlSpec{ids::fileBar, ControlKind::ProgressBar, 384, 376, 382, 16}
            .range(app.themedFileBar ? 1 : 0, app.themedFileBar ? 10000 : 100)
            .smoothBar(),
        {ids::countLabel, ControlKind::Label, 384, 400, 384, 16,
         "Fichiers envoyés : 1/" + std::to_string(expectedItemCount)},
        ControlSpec{ids::overallBar, ControlKind::ProgressBar, 384, 416, 382, 16}.range(0, 100).smoothBar(),
        {ids::validateButton, ControlKind::Button, 25, 412, 120, 24, "Valider", FontRole::Large10},
        ControlSpec{ids::cancelButton, ControlKind::Button, 185, 412, 120, 24, "Annuler", FontRole::Large10}
            .disabled(),
    };
    ui::WindowSpec window{ids::mainWindow, "Velmo, Transfert.", 784, 470};
    app.ui.createWindow(window, controls, &menu);
}

void setFormEnabled(InstallerApp& app, bool enabled) {
    for (int id : {ids::addressField, ids::userField, ids::passwordField, ids::folderField,
                   ids::chmodBox, ids::infoButton, ids::passiveBox, ids::portField})
        app.ui.setEnabled(ids::mainWindow, id, enabled);
}

namespace {

void addStatusAndBar(InstallerApp& app) {
    app.ui.addControl(ids::mainWindow, {ids::chmodStatus, ControlKind::Label, 16, 360, 344, 16, "En cours :"});
    app.ui.addControl(ids::mainWindow,
                      ControlSpec{ids::chmodBar, ControlKind::ProgressBar, 16, 376, 344, 16}.range(0, 100).smoothBar());
}

}  // namespace

void createChmodPanel(InstallerApp& app) {
    removePermissionPanel(app);
    app.ui.addControl(ids::mainWindow, {ids::chmodFrame, ControlKind::GroupBox, 8, 345, 360, 55, "Chmod"});
    addStatusAndBar(app);
}

void createMenuRunPanel(InstallerApp& app) {
    removePermissionPanel(app);
    app.ui.addControl(ids::mainWindow,
                      ControlSpec{ids::chmodTitle, ControlKind::Label, 16, 345, 344, 22,
                                  "//! CHMOD !\\\\", FontRole::Text9}
                          .centred());
    addStatusAndBar(app);
}

void removePermissionPanel(InstallerApp& app) {
    for (int id : {ids::chmodFrame, ids::chmodTitle, ids::chmodStatus, ids::chmodBar})
        app.ui.removeControl(ids::mainWindow, id);
}

void setTreeRootLine(InstallerApp& app, const std::string& folder) {
    app.ui.setLine(ids::mainWindow, ids::treeList, 0, "+-[Dossier] " + folder);
}

}  // namespace velmo::installer
