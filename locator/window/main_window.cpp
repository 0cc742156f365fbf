// Velmo_Navigateur's main window: its menu and control table, and the list's rows.
#include <string>
#include <vector>

#include "assets/embedded_pictures.h"
#include "locator/window/locator_app.h"

namespace velmo::locator {

LocatorPictures loadLocatorPictures() {
    LocatorPictures p;
    assets::loadEmbeddedPicture("help_16", p.help);
    assets::loadEmbeddedPicture("folder_32", p.folder);
    assets::loadEmbeddedPicture("file_32", p.file);
    return p;
}

frame::ConnectionFormLayout locatorFormLayout() {
    frame::ConnectionFormLayout l;
    l.addressFrame = {8, 8, 24, 360, 76};
    l.addressPrompt = {9, 16, 40, 348, 16};
    l.addressExample = {10, 16, 56, 348, 16};
    l.addressField = {ids::addressField, 16, 72, 336, 22};
    l.userFrame = {12, 8, 104, 360, 60};
    l.userPrompt = {13, 16, 120, 348, 16};
    l.userField = {ids::userField, 16, 136, 336, 22};
    l.passwordFrame = {15, 384, 24, 360, 60};
    l.passwordPrompt = {16, 392, 40, 348, 16};
    l.passwordField = {ids::passwordField, 392, 56, 336, 22};
    l.optionsFrame = {18, 384, 88, 360, 60};
    l.passiveBox = {ids::passiveBox, 392, 104, 336, 16};
    l.portField = {ids::portField, 392, 120, 50, 22};
    l.portLabel = {21, 448, 124, 288, 16};
    // Filled by a double-click, and not one of the connection fields.
    l.folder = frame::FolderRows{{24, 8, 400, 360, 76, "Répertoire du livre d'or"},
                                {{25, 16, 416, 348, 16, "Le nom du dossier de Velmo Livre d'or,"},
                                 {26, 16, 432, 348, 16, "doit s'afficher ci-dessous."}},
                                {ids::folderField, 16, 448, 336, 22},
                                false};
    return l;
}

namespace {

// The locator's own controls; the connection form's are the block's.
std::vector<ui::ControlSpec> ownControls(const LocatorPictures& pic) {
    using K = ui::ControlKind;
    const ui::FontRole t8 = ui::FontRole::Text8, t10 = ui::FontRole::Large10;
    return {
        {7, K::Label, 8, 8, 696, 16,
         "Toutes les informations ci-dessous ont dû vous être fournies par votre hébergeur.", t8},
        {22, K::GroupBox, 8, 168, 736, 232, "Recherche du dossier contenant le livre d'or", t8},
        ui::ControlSpec{ids::serverList, K::ReportList, 16, 184, 720, 208, "", t8}
            .withColumns({{"Nom", 200}, {"Poids", 100}})
            .withRowImages({&pic.folder, &pic.file}),
        ui::ControlSpec{ids::helpButton, K::PictureButton, 302, 415, 50, 24, "", ui::FontRole::None}
            .withImage(pic.help)
            .withTooltip("Afficher l'aide."),
        {ids::connectButton, K::Button, 392, 408, 152, 24, "Connexion", t10},
        ui::ControlSpec{ids::cancelButton, K::Button, 576, 408, 152, 24, "Annuler", t10}.disabled(),
        ui::ControlSpec{ids::testButton, K::Button, 392, 448, 336, 24, "Tester", t10}.disabled(),
    };
}

}  // namespace

frame::ProgramDescription locatorDescription(const LocatorPictures& pictures, const frame::ConnectionForm& form) {
    frame::ProgramDescription d;
    d.window.id = frame::mainWindow;
    d.window.title = "Velmo, Navigateur.";
    d.window.clientWidth = 752;
    d.window.clientHeight = 500;
    d.failureJournal = frame::locatorFailureJournal;
    d.window.resizable = true;
    d.controls = frame::tableInIdOrder({ownControls(pictures), form.controls()});
    d.menu = {{"Fichier", {frame::quitItem(ids::menuQuit)}},
              {"Aide",
               {{ids::menuHelp, "Explications", &pictures.help}, frame::siteItem(ids::menuSite),
                frame::forumItem(ids::menuForum), frame::aboutItem(ids::menuAbout)}}};
    d.about = frame::AboutInfo{ids::aboutWindow, 40, 41, 42, 43, 44, "Velmo, Navigateur - A propos",
                               "Velmo, Navigateur - Version : 1.0.1"};
    return d;
}

void showListing(ui::Ui& ui, const ServerListing& listing) {
    ui.clearRows(frame::mainWindow, ids::serverList);
    for (const ListingRow& row : listingRows(listing))
        ui.addRow(frame::mainWindow, ids::serverList, {row.name, row.weight}, row.folder ? folderImage : fileImage);
}

}  // namespace velmo::locator
