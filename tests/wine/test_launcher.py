#!/usr/bin/python3
"""Velmo_Menu.exe under Wine, driven by velmo_driver.

What only the real window shows: the title, labels and menu as Win32 draws them (read back
through WM_GETTEXT and, for the menu, inside the program, so the accents must survive
CP1252 -> UTF-16 -> UTF-8), the missing-tool boxes, and a present tool (our stand-in
velmo_record_start.exe, which writes its folder into "started.txt") started in Tools while
the launcher ends. The launcher's screenshot goes to the results as launcher.png.
"""

import os
import shutil

import winelib

TITLE = "Menu général - [Velmo, Softwares 1.0.1]"
ACCENTED_LABELS = {
    9: "Velmo, Transfert est un clientFTP spécialement conçu pour transférer",
    24: "> Les messages des visiteurs et vos réponses,",
    25: "> Vos paramètres personnels.",
}
MENU = [
    ("Fichier", [(5, "Quitter")]),
    ("Aide", [(2, "Site de Velmo, livre d'or"), (3, "Forum de Velmo, livre d'or"), (4, "A propos")]),
    ("Vérifier les mises à jour", [(6, "Vérifier les mises à jour")]),
]


def run(t):
    d = t.driver
    tools = os.path.join(t.workdir, "Tools")
    os.makedirs(tools)
    shutil.copy(t.exe("Velmo_Menu.exe"), t.workdir)
    open(os.path.join(tools, "Velmo_Sauvegarde.exe"), "wb").close()
    shutil.copy(t.exe("velmo_record_start.exe"), os.path.join(tools, "Velmo_Navigateur.exe"))

    app = t.start(os.path.join(t.workdir, "Velmo_Menu.exe"))
    hwnd, pid = d.find(TITLE)
    for cid, text in ACCENTED_LABELS.items():
        t.check_eq(d.gettext(hwnd, cid), text, "text of control %d" % cid)
    t.check_eq(d.menu_bar(hwnd), [title for title, _ in MENU], "menu titles")
    for pos, (title, entries) in enumerate(MENU):
        t.check_eq(d.menu_items(hwnd, pos), entries, "entries of " + title)
    shot = t.screenshot("launcher")
    shutil.copy(shot, os.path.join(os.path.dirname(t.results), "launcher.png"))

    # An empty tool file (a click) and a missing one (a menu entry): each its box.
    for act, tool in ((lambda: d.click(hwnd, 21), "Velmo_Sauvegarde"),
                      (lambda: d.menu_command(hwnd, 6), "Velmo_Maj")):
        act()
        box, title, text = d.wait_box(pid)
        t.check_eq((title, text), ("ATTENTION.", "Impossible de trouver l'outil \"%s\"." % tool),
                   "box for " + tool)
        t.screenshot("missing-" + tool)
        d.answer(box)
    t.check(app.poll() is None, "launcher still running after the missing-tool boxes")

    # A present tool: started in Tools, and the launcher ends with exit code 0.
    d.click(hwnd, 14)
    t.check_eq(t.wait_process(app), 0, "launcher exit code after starting a tool")
    started = os.path.join(tools, "started.txt")
    if t.wait_until(lambda: os.path.exists(started), "the tool wrote started.txt in Tools"):
        with open(started, encoding="utf-8") as f:
            folder, command = (f.read().split("\n") + [""])[:2]
        t.check_eq(folder.lower(), ("Z:" + tools.replace("/", "\\")).lower(),
                   "working directory of the tool")
        t.check("velmo_navigateur.exe" in command.lower(), "tool command line: %r" % command)


if __name__ == "__main__":
    winelib.main(run)
