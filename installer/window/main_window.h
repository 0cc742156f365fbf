// Velmo_Transfert's main window (window 0): its numbers, its description for the program
// skeleton (table of controls, menu, About window), and the pieces of it that come and go
// (the form's enabling, the permission panels, the tree list's first line).
#pragma once
#include <string>

#include "frame/connection_form.h"
#include "frame/program.h"
#include "ui/ui.h"

namespace velmo::installer {

struct InstallerApp;

namespace ids {
// Windows.
constexpr int mainWindow = 0;
constexpr int linkGeneratorWindow = 56;
constexpr int aboutWindow = 70;
// Menu entries.
constexpr int menuLinkGenerator = 2, menuQuit = 3, menuApplyChmod = 4, menuRestoreChmod = 5,
              menuSite = 6, menuForum = 7, menuAbout = 8;
// Main window controls.
constexpr int heading = 9, addressFrame = 10, addressField = 13, userFrame = 14, userField = 16,
              passwordFrame = 17, passwordField = 19, folderFrame = 20, folderField = 25,
              optionsFrame = 26, chmodBox = 27, infoButton = 28, passiveBox = 29, portField = 30,
              portLabel = 31, treeList = 32, transferFrame = 33, currentLabel = 34, fileBar = 35,
              countLabel = 36, overallBar = 37, chmodFrame = 38, chmodTitle = 39,
              chmodStatus = 40, chmodBar = 41, validateButton = 42, cancelButton = 43;
// Link generator controls.
constexpr int linkField = 66, linkGenerateButton = 67, linkControl = 59, linkStayOnTop = 68;
}  // namespace ids

// The installer's own pictures (the frame decodes its four itself).
struct InstallerPictures {
    ui::Image linkGeneratorIcon, chmodApplyIcon, chmodRestoreIcon, stayOnTop;
};
// False when one of them is missing or does not decode (it then shows without it).
bool loadInstallerPictures(InstallerPictures& pictures);
// The pictures, each one that does not decode left empty.
InstallerPictures loadedInstallerPictures();

// Window 0 with its menu and controls (the file bar's range after `themedFileBar`; the
// tree list empty) and the About window. The menu's icons are `pictures`', which must
// outlive the description.
frame::ProgramDescription mainWindowDescription(const InstallerPictures& pictures, bool themedFileBar);
// The same for an app's pictures and bar.
frame::ProgramDescription mainWindowDescription(const InstallerApp& app);
// The connection form (the frame's block in the installer's numbers and places: fields 13,
// 16, 19, 25, boxes 27 and 29, port 30, and their frames and labels).
const frame::ConnectionForm& connectionForm();
// The form's fields and boxes, then the "Infos" button (28), together.
void setFormEnabled(ui::Ui& ui, bool enabled);
void createChmodPanel(ui::Ui& ui);       // group box 38, label 40, bar 41
void createMenuRunPanel(ui::Ui& ui);     // title 39, label 40, bar 41
void removePermissionPanel(ui::Ui& ui);  // 38 / 39, 40, 41, whichever stand
// Line 0 of the tree list: "+-[Dossier] " + folder.
void setTreeRootLine(ui::Ui& ui, const std::string& folder);

std::string buildPermissionHelpText();

}  // namespace velmo::installer
