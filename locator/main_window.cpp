// Velmo_Navigateur's main window: its menu and control table, and the list's rows.
#include <string>
#include <vector>

#include "assets/embedded_pictures.h"
#include "locator/locator_app.h"

namespace velmo::locator {

LocatorPictures loadLocatorPictures() {
    LocatorPictures p;
    assets::loadEmbeddedPicture("help_16", p.help);
    assets::loadEmbeddedPicture("folder_32", p.folder);
    assets::loadEmbeddedPicture("file_32", p.file);
    return p;
}

namespace {

std::vector<ui::ControlSpec> mainControls(const LocatorPictures& pic) {
    using ui::ControlKind;
    using ui::FontRole;
    using K = ControlKind;
    const FontRole t8 = FontRole::Text8, t10 = FontRole::Large10;
    return {
        {7, K::Label, 8, 8, 696, 16,
         "Toutes les informations ci-dessous ont dû vous être fournies par votre hébergeur.", t8},
        {8, K::GroupBox, 8, 24, 360, 76, "Adresse FTP", t8},
        {9, K::Label, 16, 40, 348, 16, "Entrez ci-dessous votre adresse FTP.", t8},
        {10, K::Label, 16, 56, 348, 16, "Exemple : ftpperso.free.fr ou ftp.cluster020.hosting.ovh.net", t8},
        {ids::addressField, K::TextField, 16, 72, 336, 22, "", t8},
        {12, K::GroupBox, 8, 104, 360, 60, "ID Utilisateur", t8},
        {13, K::Label, 16, 120, 348, 16, "Entrez ci-dessous votre ID Utilisateur.", t8},
        {ids::userField, K::TextField, 16, 136, 336, 22, "", t8},
        {15, K::GroupBox, 384, 24, 360, 60, "Mot de passe", t8},
        {16, K::Label, 392, 40, 348, 16, "Entrez ci-dessous votre mot de passe.", t8},
        {ids::passwordField, K::PasswordField, 392, 56, 336, 22, "", t8},
        {18, K::GroupBox, 384, 88, 360, 60, "Options", t8},
        ui::ControlSpec{ids::passiveBox, K::CheckBox, 392, 104, 336, 16, "Mode passif.", t8}.checked(),
        ui::ControlSpec{ids::portField, K::TextField, 392, 120, 50, 22, "21", t8}.digits().rightAligned(),
        {21, K::Label, 448, 124, 288, 16, "Port.", t8},
        {22, K::GroupBox, 8, 168, 736, 232, "Recherche du dossier contenant le livre d'or", t8},
        ui::ControlSpec{ids::serverList, K::ReportList, 16, 184, 720, 208, "", t8}
            .withColumns({{"Nom", 200}, {"Poids", 100}})
            .withRowImages({&pic.folder, &pic.file}),
        {24, K::GroupBox, 8, 400, 360, 76, "Répertoire du livre d'or", t8},
        {25, K::Label, 16, 416, 348, 16, "Le nom du dossier de Velmo Livre d'or,", t8},
        {26, K::Label, 16, 432, 348, 16, "doit s'afficher ci-dessous.", t8},
        {ids::folderField, K::TextField, 16, 448, 336, 22, "", t8},
        ui::ControlSpec{ids::helpButton, K::PictureButton, 302, 415, 50, 24, "", FontRole::None}
            .withImage(pic.help)
            .withTooltip("Afficher l'aide."),
        {ids::connectButton, K::Button, 392, 408, 152, 24, "Connexion", t10},
        ui::ControlSpec{ids::cancelButton, K::Button, 576, 408, 152, 24, "Annuler", t10}.disabled(),
        ui::ControlSpec{ids::testButton, K::Button, 392, 448, 336, 24, "Tester", t10}.disabled(),
    };
}

}  // namespace

frame::ProgramDescription locatorDescription(const LocatorPictures& pictures) {
    frame::ProgramDescription d;
    d.window.id = frame::mainWindow;
    d.window.title = "Velmo, Navigateur.";
    d.window.clientWidth = 752;
    d.window.clientHeight = 500;
    d.window.resizable = true;
    d.controls = mainControls(pictures);
    d.menu = {{"Fichier", {frame::quitItem(ids::menuQuit)}},
              {"Aide",
               {{ids::menuHelp, "Explications", &pictures.help}, frame::siteItem(ids::menuSite),
                frame::forumItem(ids::menuForum), frame::aboutItem(ids::menuAbout)}}};
    d.about = frame::AboutInfo{ids::aboutWindow, 40, 41, 42, 43, 44, "Velmo, Navigateur - A propos",
                               "Velmo, Navigateur - Version : 1.0.1"};
    return d;
}

void setConnectionFieldsEnabled(ui::Ui& ui, bool enabled) {
    for (int id : {ids::addressField, ids::userField, ids::passwordField, ids::passiveBox, ids::portField})
        ui.setEnabled(frame::mainWindow, id, enabled);
}

void showListing(ui::Ui& ui, const ServerListing& listing) {
    ui.clearRows(frame::mainWindow, ids::serverList);
    for (const ListingRow& row : listingRows(listing))
        ui.addRow(frame::mainWindow, ids::serverList, {row.name, row.weight}, row.folder ? folderImage : fileImage);
}

}  // namespace velmo::locator
