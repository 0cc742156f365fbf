// One window built from a table with most kinds of control, for looking at the Windows
// backend (under Wine): a worker thread fills the lists and the bar through the Ui and
// then shows a message box itself; the close box ends the program.
#include <chrono>
#include <cmath>
#include <thread>

#include "ui/entry.h"
#include "ui/ui.h"

using namespace velmo::ui;
using K = ControlKind;

namespace {

// A disc fading out at its edge, so alpha blending shows.
Image disc(int size, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    Image img;
    img.width = img.height = size;
    img.rgba.resize(static_cast<std::size_t>(size) * size * 4);
    const double c = (size - 1) / 2.0;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            double d = std::hypot(x - c, y - c) / c;
            double a = d >= 1.0 ? 0.0 : d < 0.7 ? 1.0 : (1.0 - d) / 0.3;
            std::uint8_t* p = &img.rgba[(static_cast<std::size_t>(y) * size + x) * 4];
            p[0] = r;
            p[1] = static_cast<std::uint8_t>(g * (1.0 - 0.5 * y / size));
            p[2] = b;
            p[3] = static_cast<std::uint8_t>(a * 255);
        }
    }
    return img;
}

}  // namespace

int programMain() {
    auto ui = makeUi();
    const Image icon = disc(16, 200, 40, 40), tool = disc(128, 40, 120, 220), top = disc(26, 40, 180, 60);
    const Image folder = disc(16, 230, 190, 40), file = disc(16, 120, 120, 120);
    const Image about = disc(60, 220, 60, 160);

    MenuSpec menu{{{"Fichier", {{3, "Quitter", &icon}}},
                   {"Aide", {{6, "Site de Velmo, livre d'or", &icon}, {8, "A propos", nullptr}}}}};
    std::vector<ControlSpec> table = {
        {9, K::Label, 8, 8, 696, 16, "Toutes les informations ci-dessous ont dû vous être fournies par votre hébergeur."},
        {10, K::GroupBox, 8, 24, 360, 76, "Adresse FTP"},
        {11, K::Label, 16, 40, 348, 16, "Entrez ci-dessous votre adresse FTP."},
        {13, K::TextField, 16, 72, 344, 22, "ftp.exemple.fr"},
        {17, K::GroupBox, 8, 104, 360, 60, "Mot de passe"},
        {19, K::PasswordField, 16, 128, 344, 22, "secret"},
        ControlSpec{29, K::CheckBox, 16, 170, 120, 16, "Mode passif."}.checked(),
        ControlSpec{30, K::TextField, 140, 168, 50, 22, "21"}.digits().rightAligned(),
        {31, K::Label, 196, 172, 60, 16, "Port."},
        ControlSpec{6, K::Label, 8, 196, 360, 16, "centré"}.centred(),
        ControlSpec{5, K::Label, 8, 212, 360, 16, "à droite"}.rightAligned(),
        ControlSpec{8, K::PictureButton, 16, 236, 132, 132, "", FontRole::None}.withImage(tool),
        ControlSpec{68, K::ToggleButton, 160, 236, 30, 30, "", FontRole::None}
            .withImage(top)
            .pressed()
            .withTooltip("Toujours au second plan."),
        ControlSpec{59, K::Link, 160, 280, 200, 24, ".: Aller sur le site :.", FontRole::Large10}.linkColours(
            {0, 118, 234}, {255, 0, 0}),
        ControlSpec{70, K::Picture, 160, 310, 60, 60, "", FontRole::None}.withImage(about),
        {42, K::Button, 25, 380, 120, 24, "Valider", FontRole::Large10},
        ControlSpec{43, K::Button, 185, 380, 120, 24, "Annuler", FontRole::Large10}.disabled(),
        ControlSpec{37, K::ProgressBar, 16, 414, 344, 16}.range(0, 100).smoothBar(),
        ControlSpec{32, K::ListBox, 376, 8, 376, 120}.withFont(FontRole::Text9),
        ControlSpec{23, K::ReportList, 376, 136, 376, 110}
            .withColumns({{"Nom", 200}, {"Poids", 100}})
            .withRowImages({&folder, &file}),
        ControlSpec{7, K::TabPanel, 376, 254, 376, 180}.withTabs({"Vérifier", "Effectuer"}),
        ControlSpec{80, K::MultiLineText, 4, 4, 360, 140, "Première ligne.\r\nDeuxième ligne : é è à ç €."}.onTab(7, 0),
        ControlSpec{31 + 50, K::ReportList, 4, 4, 360, 140}
            .withColumns({{"Nom de fichiers", 200}, {"Statut", 138}})
            .withRowCheckBoxes()
            .onTab(7, 1),
    };
    if (!ui->createWindow({0, "Velmo, démo de l'interface.", 760, 440}, table, &menu)) return 1;

    std::thread worker([&] {
        const char* lines[] = {"+-[Dossier] livre-dor", "   +- index.php", "   +- livre_lire.php",
                               "+-[Dossier] sessions"};
        for (const char* l : lines) ui->addLine(0, 32, l);
        ui->selectLine(0, 32, 2);
        ui->addRow(0, 23, {"www", "Dossier"}, 0);
        ui->addRow(0, 23, {"index.html", "1234"}, 1);
        ui->selectRow(0, 23, 1);
        ui->addRow(0, 81, {"livre_messages.txt", "Sauvegardé"});
        ui->setRowChecked(0, 81, 0, true);
        ui->setProgress(0, 37, 60);
        ui->setText(0, 13, "ftp.perso.exemple.fr");
        std::this_thread::sleep_for(std::chrono::seconds(3));  // time to look before the box
        ui->messageBox("Statut transfert.", "Tous les fichiers ont été transférés.", MessageIcon::Information);
    });

    for (;;) {
        Event e = ui->waitEvent();
        if (e.kind == EventKind::Close || (e.kind == EventKind::Menu && e.controlId == 3)) break;
        if (e.kind == EventKind::Command && e.controlId == 68)
            ui->setTooltip(0, 68, ui->isPressed(0, 68) ? "Toujours au second plan." : "Toujours au premier plan.");
    }
    worker.detach();  // the program ends without waiting, as the suite's programs do
    ui->destroyWindow(0);
    return 0;
}
