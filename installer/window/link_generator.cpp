#include "installer/window/link_generator.h"

#include <string>
#include <vector>

#include "frame/tool_frame.h"
#include "installer/engine/install_link.h"
#include "suite/messages.h"

namespace velmo::installer {

namespace {

using ui::ControlKind;
using ui::ControlSpec;
using ui::MessageIcon;

constexpr int window = ids::linkGeneratorWindow;

std::vector<ControlSpec> linkGeneratorControls(const InstallerApp& app) {
    const std::string placeholder = placeholderSite;
    return {
        {57, ControlKind::Label, 5, 6, 520, 18,
         "Vous devez maintenant vous rendre sur la page d'installation du livre d'or."},
        {58, ControlKind::Label, 5, 24, 520, 18, "Entrez ci-dessous l'adresse de votre site."},
        {63, ControlKind::Label, 5, 42, 520, 18,
         "Ex : http://www.mon-site-perso.fr          (Ne mettez pas le slash à la fin)"},
        {ids::linkField, ControlKind::TextField, 20, 64, 490, 22, "http://"},
        {ids::linkGenerateButton, ControlKind::Button, 210, 98, 110, 24, "Générer le lien"},
        ControlSpec{ids::linkControl, ControlKind::Link, 5, 135, 520, 24, ""}.linkColours(
            {0, 118, 234}, {255, 0, 0}),
        {60, ControlKind::Label, 5, 170, 520, 20,
         "Il se peut que le lien généré ne soit pas valide, vous devrez donc taper vous même"},
        {61, ControlKind::Label, 5, 188, 520, 20, "l'adresse dans votre navigateur."},
        {62, ControlKind::Label, 5, 206, 520, 20,
         "Ex : " + placeholder + "/livre-dor/install/index.php"},
        {64, ControlKind::Label, 5, 224, 520, 20,
         "En remplaçant \"" + placeholder + "\" par le nom de votre site."},
        {65, ControlKind::Label, 5, 242, 520, 20,
         "Si vous avez un problème, allez sur le forum poser votre question."},
        ControlSpec{ids::linkStayOnTop, ControlKind::ToggleButton, 495, 4, 30, 30, ""}
            .withImage(app.pictures.stayOnTop)
            .withTooltip(stayOnTopTooltip)
            .pressed(),
    };
}

void refuse(ui::Ui& u, const char* text) {
    u.messageBox(suite::titles::attention, text, MessageIcon::Warning);
}

void generateLink(InstallerApp& app, const std::string& folder) {
    ui::Ui& u = app.ui();
    const std::string address = normalizeSiteAddress(u.getText(window, ids::linkField));
    switch (checkSiteAddress(address)) {
    case SiteAddressCheck::Empty:
        refuse(u, "Le champ est vide remplissez-le.");
        u.setText(window, ids::linkField, "");
        u.setFocus(window, ids::linkField);
        return;
    case SiteAddressCheck::SchemeOnly:
        refuse(u, "Veuillez entrer l'adresse de votre site.");
        u.setText(window, ids::linkField, address);
        u.setFocus(window, ids::linkField);
        return;
    case SiteAddressCheck::MissingScheme:
        refuse(u, "L'adresse doit commencer par \"http://\".");
        u.setFocus(window, ids::linkField);
        return;
    case SiteAddressCheck::Accepted:
        break;
    }
    u.messageBox(suite::titles::linkGenerated,
                 "Le lien vient d'être généré.\r\nSi vous atterrissez sur une page d'erreur, "
                 "c'est que vous avez mal entré l'adresse de votre site.",
                 MessageIcon::Information);
    u.setText(window, ids::linkField, address);
    const std::string link = installLinkFor(address, folder);
    app.lastLink = link;
    u.setFocus(window, ids::linkField);
    u.setText(window, ids::linkControl, link);
}

void stayOnTopToggled(InstallerApp& app) {
    ui::Ui& u = app.ui();
    const bool onTop = u.isPressed(window, ids::linkStayOnTop);
    u.setTopmost(window, onTop);
    u.setTooltip(window, ids::linkStayOnTop, onTop ? stayOnTopTooltip : ordinaryTooltip);
}

void closeLinkGenerator(InstallerApp& app) {
    app.ui().destroyWindow(window);
    app.ui().setWindowEnabled(ids::mainWindow, true);
    if (!app.uploadRunning) setFormEnabled(app.ui(), true);
    frame::bringWindowToFront(app.ui(), ids::mainWindow);
}

}  // namespace

void openLinkGenerator(InstallerApp& app, const std::string& folder) {
    ui::Ui& u = app.ui();
    app.linkFolder = folder;
    u.setWindowEnabled(ids::mainWindow, false);
    if (u.windowExists(window)) {
        u.bringToFront(window);
        return;
    }
    ui::WindowSpec desc{window, "Générateur de lien.", 530, 264};
    desc.minimizeBox = true;
    desc.topmost = true;
    if (!u.createWindow(desc, linkGeneratorControls(app))) {
        // Without the window nothing would ever give the user the main window back.
        closeLinkGenerator(app);
        return;
    }
    u.setTopmost(window, true);
    u.setFocus(window, ids::linkField);
}

std::vector<frame::Route> linkGeneratorRoutes(InstallerApp& app) {
    InstallerApp* a = &app;
    return {
        frame::onClose(window, [a] { closeLinkGenerator(*a); }),
        frame::onCommand(ids::linkGenerateButton, [a] { generateLink(*a, a->linkFolder); }, window),
        frame::onCommand(ids::linkControl, [a] {
            // Before the first link the control is empty: there is nothing to open.
            if (!a->lastLink.empty()) frame::openInBrowser(a->ui(), a->lastLink);
        }, window),
        frame::onCommand(ids::linkStayOnTop, [a] { stayOnTopToggled(*a); }, window),
    };
}

}  // namespace velmo::installer
