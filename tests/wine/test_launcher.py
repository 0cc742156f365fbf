#!/usr/bin/python3
"""Velmo_Menu.exe under Wine, driven by velmo_driver.

The launcher runs in a folder laid out like the suite: Tools/ below it, where an empty
Velmo_Sauvegarde.exe counts as missing and our stand-in tool (velmo_record_start.exe, which
writes the folder it was started in into "started.txt") plays Velmo_Navigateur.exe. Checks
the window, its menu and controls as Windows shows them (texts read back through
WM_GETTEXT, so the accents must survive CP1252 -> UTF-16 -> UTF-8), the missing-tool box,
the About window, and that a present tool starts in Tools while the launcher ends.
A screenshot of the launcher is written to the results as launcher.png.
"""

import os
import shutil
import subprocess

import winelib

TITLE = "Menu général - [Velmo, Softwares 1.0.1]"
HOW_TO = "Pour utiliser cet outil, cliquer sur son image."
TEXTS = {
    7: "Velmo, Transfert.",
    8: "",
    9: "Velmo, Transfert est un clientFTP spécialement conçu pour transférer",
    10: " le plus simplement possible le livre d'or sur votre site.",
    11: "Pas la peine d'utiliser cet outil, si vous avez déjà un livre d'or sur votre site.",
    12: HOW_TO,
    13: "Velmo, Navigateur.",
    14: "",
    15: "Velmo, Navigateur est un explorateur FTP, pour ceux ayant déjà une version",
    16: " du livre d'or sur leur site.",
    17: "Ceci permettra de trouver le nom du dossier dans lequel se trouve le livre d'or,",
    18: "pour ensuite pouvoir utiliser Velmo, Sauvegarde.",
    19: HOW_TO,
    20: "Velmo, Sauvegarde.",
    21: "",
    22: "Velmo, Sauvegarde permet de sauvegarder facilement les fichiers importants",
    23: "de votre livre d'or comme :",
    24: "> Les messages des visiteurs et vos réponses,",
    25: "> Vos paramètres personnels.",
    26: "> Les skins.",
    27: HOW_TO,
}
MENU = [
    ("Fichier", [(5, "Quitter")]),
    ("Aide", [(2, "Site de Velmo, livre d'or"), (3, "Forum de Velmo, livre d'or"), (4, "A propos")]),
    ("Vérifier les mises à jour", [(6, "Vérifier les mises à jour")]),
]


def wine_path(linux_path):
    """The path as a Windows program sees it (Wine maps / to drive Z:)."""
    return "Z:" + linux_path.replace("/", "\\")


def register_browser(t, program):
    """Makes `program` the prefix's handler of http addresses (it is called with the
    address), so the test sees what the launcher opens."""
    reg = os.path.join(t.root, "browser.reg")
    command = '"%s" "%%1"' % wine_path(program)
    with open(reg, "w", encoding="ascii") as f:
        f.write("REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Classes\\http\\shell\\open\\command]\n"
                "@=\"%s\"\n" % command.replace("\\", "\\\\").replace('"', '\\"'))
    subprocess.run([winelib.WINE, "regedit", "/S", reg], env=t.env, check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)


def run(t):
    d = t.driver
    work = t.workdir
    tools = os.path.join(work, "Tools")
    os.makedirs(tools)
    shutil.copy(t.exe("Velmo_Menu.exe"), work)
    browser_dir = os.path.join(t.root, "navigateur")
    os.makedirs(browser_dir)
    browser = os.path.join(browser_dir, "navigateur.exe")
    shutil.copy(t.exe("velmo_record_start.exe"), browser)
    register_browser(t, browser)
    open(os.path.join(tools, "Velmo_Sauvegarde.exe"), "wb").close()
    shutil.copy(t.exe("velmo_record_start.exe"), os.path.join(tools, "Velmo_Navigateur.exe"))

    app = t.start(os.path.join(work, "Velmo_Menu.exe"), cwd=work)
    hwnd, pid = d.find(TITLE)
    t.check_eq(d.title(hwnd), TITLE, "window title")
    t.check_eq(d.client_size(hwnd), (600, 520), "inner size")

    # Controls: every number of the table, each with its text; nothing else.
    children = {cid: (cls, text) for cid, cls, text in d.children(hwnd)}
    t.check_eq(sorted(children), sorted(TEXTS), "control numbers")
    for cid, text in TEXTS.items():
        t.check_eq(d.gettext(hwnd, cid), text, "text of control %d" % cid)
    for cid in (7, 13, 20, 8, 14, 21):
        t.check_eq(children.get(cid, ("?",))[0].lower(), "button",
                   "control %d is a button (frame or picture button)" % cid)
    for cid in (9, 12, 24, 27):
        t.check_eq(children.get(cid, ("?",))[0].lower(), "static", "control %d is a label" % cid)

    # Menu bar, read inside the program.
    t.check_eq(d.menu_bar(hwnd), [title for title, _ in MENU], "menu titles")
    for pos, (title, entries) in enumerate(MENU):
        t.check_eq([(mid, text) for mid, text, _, _ in d.menu_items(hwnd, pos)], entries,
                   "entries of " + title)

    shot = t.screenshot("launcher")
    shutil.copy(shot, os.path.join(os.path.dirname(t.results), "launcher.png"))

    # An empty tool file: the warning box, then the launcher goes on.
    d.click(hwnd, 21)
    box, title, text = d.wait_box(pid)
    t.check_eq((title, text), ("ATTENTION.", "Impossible de trouver l'outil \"Velmo_Sauvegarde\"."),
               "box for the empty Velmo_Sauvegarde.exe")
    t.screenshot("missing-tool")
    d.answer(box)
    t.wait_until(lambda: d.boxes(pid) == [], "missing-tool box closed")
    t.check(app.poll() is None, "launcher still running after the missing-tool box")
    t.check(d.exists(hwnd) and d.enabled(hwnd), "launcher window there and enabled")

    # The updater is not there at all: the same box, with its own name.
    d.menu_command(hwnd, 6)
    box, title, text = d.wait_box(pid)
    t.check_eq((title, text), ("ATTENTION.", "Impossible de trouver l'outil \"Velmo_Maj\"."),
               "box for the missing Velmo_Maj.exe")
    d.answer(box)
    t.wait_until(lambda: d.boxes(pid) == [], "Velmo_Maj box closed")

    # "Site de Velmo, livre d'or": the address goes to the shell's http handler (our
    # recorder, started in the launcher's folder); the launcher stays.
    d.menu_command(hwnd, 2)
    opened = os.path.join(work, "started.txt")
    if t.wait_until(lambda: os.path.exists(opened), "the site address reached the browser"):
        with open(opened, encoding="utf-8") as f:
            command = f.read().split("\n")[1]
        t.check(command.endswith("/index.php\"") and "http://" in command,
                "browser command line: %r" % command)
    t.check(app.poll() is None and d.boxes(pid) == [], "launcher goes on after the site entry")

    # About: its own window, the launcher disabled until it is closed.
    d.menu_command(hwnd, 4)
    about, about_pid = d.find("A propos.")
    t.check_eq(about_pid, pid, "About window belongs to the launcher")
    t.check_eq(d.client_size(about), (380, 103), "About inner size")
    t.check_eq(d.gettext(about, 36), "Velmo Menu - A propos", "About title line")
    t.check(d.gettext(about, 37).startswith("Créé par "), "author line: %r" % d.gettext(about, 37))
    t.check_eq(d.gettext(about, 38), "Velmo Menu - Version : 1.0.1", "About version line")
    t.check_eq(d.gettext(about, 39), ".: Aller sur le site :.", "About link")
    t.check(not d.enabled(hwnd), "launcher disabled while About is open")
    t.screenshot("about")
    d.close(about)
    d.wait_gone(about)
    t.wait_until(lambda: d.enabled(hwnd), "launcher enabled again after About")

    # A present tool: started in Tools, and the launcher ends with exit code 0.
    d.click(hwnd, 14)
    t.check_eq(t.wait_process(app), 0, "launcher exit code after starting a tool")
    started = os.path.join(tools, "started.txt")
    t.wait_until(lambda: os.path.exists(started), "the tool wrote started.txt in Tools")
    if os.path.exists(started):
        with open(started, encoding="utf-8") as f:
            folder, command = (f.read().split("\n") + [""])[:2]
        t.check_eq(folder.lower(), wine_path(tools).lower(), "working directory of the tool")
        t.check("velmo_navigateur.exe" in command.lower(), "tool command line: %r" % command)
    t.check(not d.exists(hwnd), "launcher window gone")


if __name__ == "__main__":
    winelib.main(run)
