#!/usr/bin/python3
"""Velmo_Navigateur.exe as a user runs it against a real FTP server (vsftpd) on 127.0.0.1:
the help box, the menus, "Connexion", the list's rows and pictures, a double-click on the
guestbook's folder, "Tester", and the settings file the pass writes (no password)."""

import os
import shutil

import winelib

FOLDER, FILE = 0, 1  # the list's pictures


def lay_out_server(home):
    for folder in ("livre-dor", "Livre-dor", "www"):
        os.makedirs(os.path.join(home, folder))
    for path in ("livre-dor/livre_lire.php", "livre-dor/livre_signer.php",
                 "Livre-dor/livre_lire.php", "Livre-dor/Livre_signer.php"):
        with open(os.path.join(home, path), "w") as f:
            f.write("<?php ?>")
    with open(os.path.join(home, "index.html"), "w") as f:
        f.write("x" * 1234)


def run(t):
    tools = os.path.join(t.workdir, "Tools")
    os.makedirs(os.path.join(tools, "softwareDatas"))
    shutil.copy2(t.exe("Velmo_Navigateur.exe"), tools)
    _, peer = t.start_peer("vsftpd")
    lay_out_server(peer["home"])
    d = t.driver

    app = t.start(os.path.join(tools, "Velmo_Navigateur.exe"), cwd=tools)
    # The help box comes before the window. Wine 8 says it is Windows 7 (6.1, workstation),
    # where the first line ends with a blank instead of a line break.
    _, pid = d.find("Aide")
    box, title, text = d.wait_box(pid)
    t.check_eq(text.split("\r\n")[0], "Velmo, Navigateur est un outil qui a été conçu, pour pouvoir "
               "retrouver le dossier dans lequel les fichiers de Velmo, Livre d'or se trouvent.",
               "help box, first line (Windows 7)")
    d.answer(box)

    hwnd, pid = d.find("Velmo, Navigateur.")
    t.check_eq(d.menu_bar(hwnd), ["Fichier", "Aide"], "menu titles")
    t.check_eq(d.menu_items(hwnd, 1), [(2, "Explications"), (4, "Site de Velmo, livre d'or"),
                                       (5, "Forum de Velmo, livre d'or"), (6, "A propos")],
               "Aide menu")

    for field, value in ((11, peer["host"]), (14, peer["user"]), (17, peer["password"]),
                         (20, peer["port"])):
        d.settext(hwnd, field, value)
    d.click(hwnd, 29)
    t.wait_until(lambda: len(d.listview(hwnd, 23, 2)) == 4, "the login directory listed")
    t.check_eq(d.listview(hwnd, 23, 2, pictures=True),
               [(FOLDER, "Livre-dor", "Dossier"), (FOLDER, "livre-dor", "Dossier"),
                (FOLDER, "www", "Dossier"), (FILE, "index.html", "1234")], "rows")

    # A double-click on a folder's row puts its name into the folder field.
    d.double_click(hwnd, 23, 1)
    t.wait_until(lambda: d.gettext(hwnd, 27) == "livre-dor", "the folder chosen")
    t.screenshot("folder-chosen")

    d.click(hwnd, 31)
    box, title, text = d.wait_box(pid, 30000)
    t.check_eq((title, text), ("Information.", "Les 2 fichiers permettant de reconnaître le "
                               "dossier du livre d'or comme valide, sont bien présents.\r\n\r\n"
                               "Le fichier de configuration va être généré."), "test passed")
    d.answer(box)
    settings = os.path.join(tools, "softwareDatas", "config.pcfg")
    want = ("transfert = 1\r\nFTP_adresse = %s\r\nFTP_iDUseur = %s\r\nFTP_infoChmod = 0\r\n"
            "FTP_modeConnexion = 1\r\nFTP_portConnexion = %s\r\nRepertoireDuLivreDor = livre-dor\r\n"
            % (peer["host"], peer["user"], peer["port"])).encode("cp1252")

    def written():
        with open(settings, "rb") as f:
            return f.read()
    if not t.wait_until(lambda: os.path.exists(settings) and written() == want,
                        "the settings file written"):
        t.check_eq(written() if os.path.exists(settings) else None, want, "settings file")

    # Closing: no launcher beside Tools, so the program says it ends.
    t.close_without_launcher(d, hwnd, pid, app, "locator")


if __name__ == "__main__":
    winelib.main(run)
