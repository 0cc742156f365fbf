#include "launcher/launcher.h"

#include <string>
#include <vector>

#include "assets/embedded_pictures.h"
#include "frame/tool_frame.h"
#include "platform/fs.h"
#include "platform/process.h"

namespace velmo::launcher {
namespace {

constexpr int mainWindow = 0;

// Menu entries.
constexpr int menuSite = 2, menuForum = 3, menuAbout = 4, menuQuit = 5, menuUpdate = 6;
// Picture buttons.
constexpr int transfertPicture = 8, navigateurPicture = 14, sauvegardePicture = 21;

struct Tool {
    int startedBy;  // picture button, or menu entry for the updater
    const char* path;
    const char* missingText;
};

const Tool toolTable[] = {
    {transfertPicture, "Tools/Velmo_Transfert.exe",
     "Impossible de trouver l'outil \"Velmo_Transfert\"."},
    {navigateurPicture, "Tools/Velmo_Navigateur.exe",
     "Impossible de trouver l'outil \"Velmo_Navigateur\"."},
    {sauvegardePicture, "Tools/Velmo_Sauvegarde.exe",
     "Impossible de trouver l'outil \"Velmo_Sauvegarde\"."},
    {menuUpdate, "Tools/Velmo_Maj.exe", "Impossible de trouver l'outil \"Velmo_Maj\"."},
};

const Tool* toolStartedBy(int number) {
    for (const Tool& t : toolTable)
        if (t.startedBy == number) return &t;
    return nullptr;
}

// True when the tool was started (or at least tried: a present file that does not start
// still ends the launcher), so the loop ends.
bool startTool(ui::Ui& ui, const Tool& tool) {
    if (fs::fileIsPresent(tool.path)) {
        process::startProgram(tool.path, "", "Tools");
        return true;
    }
    ui.messageBox("ATTENTION.", tool.missingText, ui::MessageIcon::Warning);
    return false;
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

ui::MenuSpec launcherMenu(const frame::Frame& f) {
    ui::MenuSpec menu;
    menu.titles = {
        {"Fichier", {frame::quitEntry(f, menuQuit)}},
        {"Aide",
         {frame::siteEntry(f, menuSite), frame::forumEntry(f, menuForum),
          frame::aboutEntry(f, menuAbout)}},
        {"Vérifier les mises à jour",
         {{menuUpdate, "Vérifier les mises à jour", &f.pictures.aboutIcon}}},
    };
    return menu;
}

}  // namespace

int runLauncher(ui::Ui& ui) {
    // A picture that does not decode leaves its button or entry without an image; the
    // launcher still works.
    frame::FramePictures framePictures;
    frame::loadFramePictures(framePictures);
    ToolPictures tools;
    assets::loadEmbeddedPicture("tool_transfert_128", tools.transfert);
    assets::loadEmbeddedPicture("tool_navigateur_128", tools.navigateur);
    assets::loadEmbeddedPicture("tool_sauvegarde_128", tools.sauvegarde);

    frame::Frame f{ui, framePictures,
                   frame::AboutInfo{34, 35, 36, 37, 38, 39, "Velmo Menu - A propos",
                                    "Velmo Menu - Version : 1.0.1"},
                   mainWindow};

    ui::WindowSpec window;
    window.id = mainWindow;
    window.title = "Menu général - [Velmo, Softwares 1.0.1]";
    window.clientWidth = 600;
    window.clientHeight = 520;
    ui::MenuSpec menu = launcherMenu(f);
    if (!ui.createWindow(window, launcherControls(tools), &menu)) return 1;

    bool quit = false;
    while (!quit) {
        ui::Event e = ui.waitEvent();
        if (frame::handleAboutEvent(f, e)) continue;
        switch (e.kind) {
            case ui::EventKind::Close:
                quit = e.windowId == mainWindow;
                break;
            case ui::EventKind::Quit:
                quit = true;
                break;
            case ui::EventKind::Menu:
                switch (e.controlId) {
                    case menuSite: frame::openInBrowser(ui, frame::officialSiteAddress()); break;
                    case menuForum: frame::openInBrowser(ui, frame::forumAddress()); break;
                    case menuAbout: frame::showAboutWindow(f); break;
                    case menuQuit: quit = true; break;
                    case menuUpdate: quit = startTool(ui, *toolStartedBy(menuUpdate)); break;
                    default: break;
                }
                break;
            case ui::EventKind::Command:
                if (e.windowId == mainWindow) {
                    const Tool* tool = toolStartedBy(e.controlId);
                    if (tool && tool->startedBy != menuUpdate) quit = startTool(ui, *tool);
                }
                break;
            default:
                break;
        }
    }
    ui.destroyWindow(f.about.windowId);
    ui.destroyWindow(mainWindow);
    return 0;
}

}  // namespace velmo::launcher
