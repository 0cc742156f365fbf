#!/usr/bin/python3
"""Velmo_Maj.exe as a user runs it: a check and an installation against local servers.

The official site is the sample one (sample/site-officiel) served by
scripts/demo_http_server.py, the user's host a pyftpdlib server (scripts/demo_ftp_server.py),
both on 127.0.0.1. The program is the local-site build (velmo_maj_local_site.exe, reading
the site's address from VELMO_LOCAL_SITE_URL) copied as Tools/Velmo_Maj.exe; beside Tools
the stand-in launcher velmo_record_start.exe notes that closing the updater started it.
Checked through the real controls: the locked installation tab, the version labels, the
description and file list after the check, the rows after the installation, and then the
server's files and permissions and the recorded version.
"""

import os
import secrets
import shutil
import stat

import winelib

TITLE = "Velmo, Maj - Vérification/Update des mises à jour."
SITE = os.path.join(winelib.REPO, "sample", "site-officiel")
PACKAGE = os.path.join(SITE, "velmo-maj", "maj_2010000")
CHECK_FIRST = "Vous devez d'abord vérifier l'existence de mises à jour."
ROWS = ["livre_lire.php", "cfg_variables.php", "style.css", "changements.txt"]


def settings(port):
    lines = ["transfert = 1", "FTP_adresse = 127.0.0.1", "FTP_iDUseur = velmo", "FTP_infoChmod = 1",
             "FTP_modeConnexion = 1", "FTP_portConnexion = %d" % port, "RepertoireDuLivreDor = livre-dor"]
    return ("\r\n".join(lines) + "\r\n").encode("cp1252")


def choose_locked_tab(t, d, hwnd, pid, message):
    d.choose_tab(hwnd, 7, 1)
    box, title, text = d.wait_box(pid)
    t.check_eq((title, text), ("Information.", message), "locked installation tab")
    d.answer(box)
    t.check_eq(d.selected_tab(hwnd, 7), 0, "back on the first tab")


def run(t):
    d = t.driver
    tools = os.path.join(t.workdir, "Tools")
    for folder in ("softwareDatas", "misesAJour"):
        os.makedirs(os.path.join(tools, folder))
    shutil.copy(t.exe("velmo_maj_local_site.exe"), os.path.join(tools, "Velmo_Maj.exe"))
    shutil.copy(t.exe("velmo_record_start.exe"), os.path.join(t.workdir, "Velmo_Menu.exe"))

    site = t.start_server(["/usr/bin/python3", os.path.join(winelib.REPO, "scripts", "demo_http_server.py"),
                           "--root", SITE], "http-server")
    ftp_home = os.path.join(t.root, "ftp-home")
    os.makedirs(os.path.join(ftp_home, "livre-dor"))
    password = secrets.token_hex(6)
    ftp = t.start_server(["/usr/bin/python3", os.path.join(winelib.REPO, "scripts", "demo_ftp_server.py"),
                          "--home", ftp_home, "--user", "velmo", "--password", password], "ftp-server")
    with open(os.path.join(tools, "softwareDatas", "config.pcfg"), "wb") as f:
        f.write(settings(int(ftp["port"])))
    t.env["VELMO_LOCAL_SITE_URL"] = "http://127.0.0.1:%s/velmo-maj/" % site["port"]

    app = t.start(os.path.join(tools, "Velmo_Maj.exe"), cwd=tools)
    hwnd, pid = d.find(TITLE)
    t.check_eq([d.gettext(hwnd, c) for c in (2, 3, 4, 5)],
               ["Version Actuelle : ", "2.0.0", "Dernière Version : ", "inconnu"], "version labels at start")
    t.check_eq((d.gettext(hwnd, 14), d.gettext(hwnd, 24), d.check_state(hwnd, 22)), ("127.0.0.1", ftp["port"], 1),
               "form filled from the settings file")
    choose_locked_tab(t, d, hwnd, pid, CHECK_FIRST)

    d.click(hwnd, 9)
    t.wait_until(lambda: d.gettext(hwnd, 5) == "2.20.0" and d.enabled(hwnd, 9), "the check's end", timeout=60)
    t.check_eq(d.gettext(hwnd, 6), "Votre version n'est pas à jour.", "status after the check")
    description = d.gettext(hwnd, 8)
    t.check("Une mise à jour est disponible." in description and "automne" in description,
            "description shown: %r" % description)
    t.check_eq(d.listview(hwnd, 31, 2), [(name, "A mettre à jour.") for name in ROWS], "file list after the check")
    t.screenshot("check")

    d.choose_tab(hwnd, 7, 1)
    t.wait_until(lambda: d.selected_tab(hwnd, 7) == 1, "installation tab open")
    d.settext(hwnd, 20, password)
    d.click(hwnd, 32)
    box, title, text = d.wait_box(pid, 120000)
    t.check_eq((title, text.split("\r\n")[0]), ("Information.", "La mise à jour à été effectuée."), "final message")
    d.answer(box)
    t.check_eq(d.listview(hwnd, 31, 2), [(name, "Transféré.") for name in ROWS], "file list after the installation")
    t.check_eq((d.gettext(hwnd, 3), d.gettext(hwnd, 30)), ("2.10.0", "Opérations terminées."), "after the installation")
    shot = t.screenshot("installed")
    shutil.copy(shot, os.path.join(os.path.dirname(t.results), "updater.png"))

    # The server holds the package under its server names, with the listed modes.
    remote = os.path.join(ftp_home, "livre-dor")
    for published, stored in (("livre_lire.velmo", "livre_lire.php"),
                              ("skins/automne/cfg_variables.velmo", "skins/automne/cfg_variables.php"),
                              ("skins/automne/style.css", "skins/automne/style.css"),
                              ("changements.txt", "changements.txt")):
        with open(os.path.join(PACKAGE, published), "rb") as want:
            path = os.path.join(remote, stored)
            t.check(os.path.exists(path) and open(path, "rb").read() == want.read(), stored + " on the server")
    for path in ("skins/automne/cfg_variables.php", "skins/automne/imgs"):
        full = os.path.join(remote, path)
        t.check_eq(oct(stat.S_IMODE(os.stat(full).st_mode)) if os.path.exists(full) else None, "0o777",
                   "mode of " + path)
    with open(os.path.join(tools, "misesAJour", "__NumeroDeVersion_Script_Local.pcfg"), "rb") as f:
        t.check(b"versionDuScript_Local = 2010000\r\n" in f.read(), "version recorded")

    # Installed: the tab is locked until a new check.
    d.choose_tab(hwnd, 7, 0)
    choose_locked_tab(t, d, hwnd, pid, CHECK_FIRST)

    # Closing returns to the launcher (the stand-in writes where it was started).
    d.close(hwnd)
    t.check_eq(t.wait_process(app), 0, "updater exit code")
    started = os.path.join(t.workdir, "started.txt")
    if t.wait_until(lambda: os.path.exists(started), "the launcher started again"):
        with open(started, encoding="utf-8") as f:
            folder = f.read().split("\n")[0]
        t.check_eq(folder.lower(), ("Z:" + t.workdir.replace("/", "\\")).lower(), "launcher's working folder")


if __name__ == "__main__":
    winelib.main(run)
