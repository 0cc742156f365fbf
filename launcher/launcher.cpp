#include "launcher/launcher.h"

#include <string>
#include <vector>

#include "assets/embedded_pictures.h"
#include "frame/program.h"
#include "platform/fs.h"
#include "platform/process.h"
#include "suite/messages.h"
#include "suite/paths.h"

namespace velmo::launcher {
namespace {

// Menu entries.
constexpr int menuSite = 2, menuForum = 3, menuAbout = 4, menuQuit = 5, menuUpdate = 6;
// Picture buttons.
constexpr int transfertPicture = 8, navigateurPicture = 14, sauvegardePicture = 21;

struct Tool {
    ui::EventKind startedBy;  // a click on a picture button, or the updater's menu entry
    int number;
    const char* path;
    const char* missingText;
};

const Tool toolTable[] = {
    {ui::EventKind::Command, transfertPicture, suite::installerProgram,
     "Impossible de trouver l'outil \"Velmo_Transfert\"."},
    {ui::EventKind::Command, navigateurPicture, suite::locatorProgram,
     "Impossible de trouver l'outil \"Velmo_Navigateur\"."},
    {ui::EventKind::Command, sauvegardePicture, suite::backupProgram,
     "Impossible de trouver l'outil \"Velmo_Sauvegarde\"."},
    {ui::EventKind::Menu, menuUpdate, suite::updaterProgram, "Impossible de trouver l'outil \"Velmo_Maj\"."},
};

// A present tool is started (a present file that does not start still ends the launcher);
// a missing one is reported and the launcher goes on.
void startTool(frame::Program& program, const Tool& tool) {
    if (fs::fileIsPresent(tool.path)) {
        process::startProgram(tool.path, "", suite::toolsFolder);
        program.quit();
        return;
    }
    program.ui().messageBox(suite::titles::attentionCaps, tool.missingText, ui::MessageIcon::Warning);
}

struct ToolPictures {
    ui::Image transfert, navigateur, sauvegarde;
};

std::vector<ui::ControlSpec> launcherControls(const ToolPictures& p) {
    using ui::ControlKind;
    using ui::FontRole;
    auto frameBox = [](int id, int y, const char* text) {
        return ui::ControlSpec{id, ControlKind::GroupBox, 5, y, 591, 157, text, FontRole::Text8};
    };
    auto picture = [](int id, int y, const ui::Image& image) {
        return ui::ControlSpec{id, ControlKind::PictureButton, 16, y, 132, 132, "", FontRole::None}
            .withImage(image);
    };
    auto text = [](int id, int y, const char* content) {
        return ui::ControlSpec{id, ControlKind::Label, 160, y, 430, 16, content, FontRole::Text8};
    };
    const char* howTo = "Pour utiliser cet outil, cliquer sur son image.";
    return {
        frameBox(7, 5, "Velmo, Transfert."),
        picture(transfertPicture, 24, p.transfert),
        text(9, 26, "Velmo, Transfert est un clientFTP spécialement conçu pour transférer"),
        text(10, 42, " le plus simplement possible le livre d'or sur votre site."),
        text(11, 64, "Pas la peine d'utiliser cet outil, si vous avez déjà un livre d'or sur votre site."),
        text(12, 128, howTo),
        frameBox(13, 172, "Velmo, Navigateur."),
        picture(navigateurPicture, 190, p.navigateur),
        text(15, 194, "Velmo, Navigateur est un explorateur FTP, pour ceux ayant déjà une version"),
        text(16, 210, " du livre d'or sur leur site."),
        text(17, 226, "Ceci permettra de trouver le nom du dossier dans lequel se trouve le livre d'or,"),
        text(18, 242, "pour ensuite pouvoir utiliser Velmo, Sauvegarde."),
        text(19, 296, howTo),
        frameBox(20, 334, "Velmo, Sauvegarde."),
        picture(sauvegardePicture, 352, p.sauvegarde),
        text(22, 356, "Velmo, Sauvegarde permet de sauvegarder facilement les fichiers importants"),
        text(23, 372, "de votre livre d'or comme :"),
        text(24, 388, "> Les messages des visiteurs et vos réponses,"),
        text(25, 404, "> Vos paramètres personnels."),
        text(26, 420, "> Les skins."),
        text(27, 458, howTo),
    };
}

frame::ProgramDescription launcherDescription(const ToolPictures& pictures) {
    frame::ProgramDescription d;
    d.window = {frame::mainWindow, "Menu général - [Velmo, Softwares 1.0.1]", 600, 520};
    d.controls = launcherControls(pictures);
    d.menu = {
        {"Fichier", {frame::quitItem(menuQuit)}},
        {"Aide", {frame::siteItem(menuSite), frame::forumItem(menuForum), frame::aboutItem(menuAbout)}},
        {"Vérifier les mises à jour",
         {{menuUpdate, "Vérifier les mises à jour", nullptr, frame::FrameIcon::About}}},
    };
    d.about = frame::AboutInfo{34, 35, 36, 37, 38, 39, "Velmo Menu - A propos", "Velmo Menu - Version : 1.0.1"};
    d.ending = frame::Ending::Quit;
    return d;
}

}  // namespace

int runLauncher(ui::Ui& ui) {
    // A picture that does not decode leaves its button without an image; the launcher
    // still works.
    ToolPictures pictures;
    assets::loadEmbeddedPicture("tool_transfert_128", pictures.transfert);
    assets::loadEmbeddedPicture("tool_navigateur_128", pictures.navigateur);
    assets::loadEmbeddedPicture("tool_sauvegarde_128", pictures.sauvegarde);

    frame::Program program(ui, launcherDescription(pictures));
    for (const Tool& tool : toolTable)
        program.addRoutes({{tool.startedBy, frame::mainWindow, tool.number, [&program, &tool] { startTool(program, tool); }}});
    return program.run();
}

}  // namespace velmo::launcher
