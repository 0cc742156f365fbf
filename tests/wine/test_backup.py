#!/usr/bin/python3
"""Velmo_Sauvegarde.exe as a user runs it: a whole backup of an installed guestbook.

The Tools folder holds the program and the settings file the folder locator would have
written (no "sauvegardes": the program makes it); a pyftpdlib server on 127.0.0.1 holds
the guestbook written by sample/make_installed_guestbook.py. The password is typed,
"Connexion" lists the skins and personal files, one file is unticked, "Sauvegarder" saves
the rest (a screenshot is taken once it is done), and the backup folder is compared with
the server file by file.
"""

import os
import shutil
import subprocess

import winelib
from test_installer import files_below, start_ftp

FOLDER = "mon-livre-dor"
BACKUP_WINDOW = "Sauvegarde des dossiers et fichiers."


def run(t):
    tools = os.path.join(t.workdir, "Tools")
    os.makedirs(os.path.join(tools, "softwareDatas"))
    shutil.copy2(t.exe("Velmo_Sauvegarde.exe"), tools)
    ftp_home = os.path.join(t.root, "ftp-home")
    subprocess.run(["/usr/bin/python3", os.path.join(winelib.REPO, "sample", "make_installed_guestbook.py"),
                    ftp_home, "--folder", FOLDER], check=True, stdout=subprocess.DEVNULL)
    server, port, password = start_ftp(t, ftp_home)
    settings = ("transfert = 1\r\nFTP_adresse = 127.0.0.1\r\nFTP_iDUseur = velmo\r\nFTP_infoChmod = 0\r\n"
                "FTP_modeConnexion = 1\r\nFTP_portConnexion = %d\r\nRepertoireDuLivreDor = %s\r\n" % (port, FOLDER))
    with open(os.path.join(tools, "softwareDatas", "config.pcfg"), "w", newline="") as f:
        f.write(settings)
    try:
        back_up(t, t.driver, tools, password)
    finally:
        server.terminate()
        server.wait(10)

    # Skins: the settings file and the images but index.php and Thumbs.db (not the old
    # images' sub-folder); personal files: all but index.php, code_ecrit.php, the unticked
    # one and the sub-folder "save".
    backups = os.listdir(os.path.join(tools, "sauvegardes"))
    t.check_eq(len(backups), 1, "backup folders")
    local = os.path.join(tools, "sauvegardes", backups[0])
    remote = os.path.join(ftp_home, FOLDER)
    def saved(path):
        parts = path.split("/")
        if parts[0] == "skins":
            return ((len(parts) == 3 and parts[2] == "cfg_variables.php")
                    or (len(parts) == 4 and parts[2] == "imgs" and parts[3] not in ("index.php", "Thumbs.db")))
        return (parts[0] == "chmod_perso" and len(parts) == 2
                and parts[1] not in ("index.php", "code_ecrit.php", "ip_bannies.txt"))
    want = {p for p in files_below(remote) if saved(p)}
    got = files_below(local)
    t.check_eq(len(got), 19, "files saved")
    t.check_eq(sorted(got ^ want), [], "files only on one side")
    t.check_eq([p for p in sorted(got & want) if open(os.path.join(local, p), "rb").read()
                != open(os.path.join(remote, p), "rb").read()], [], "files whose bytes differ")


def rows(d, win, ctrl):
    """[(ticked, (name, status))] of one of the two lists."""
    return list(zip(d.ticks(win, ctrl), d.listview(win, ctrl, 2)))


def back_up(t, d, tools, password):
    app = t.start(os.path.join(tools, "Velmo_Sauvegarde.exe"), cwd=tools)
    main, pid = d.find("Velmo Sauvegarde.")
    t.wait_until(lambda: d.gettext(main, 22) == FOLDER, "the settings loaded")  # the folder comes last
    t.check_eq([d.gettext(main, c) for c in (14, 17, 22)], ["127.0.0.1", "velmo", FOLDER], "fields from the settings")
    t.check_eq(d.check_state(main, 24), 1, "passive mode ticked")
    d.settext(main, 20, password)
    d.click(main, 27)
    win, _ = d.find(BACKUP_WINDOW)
    t.wait_until(lambda: d.enabled(win, 32), "the lists filled", timeout=30)
    skins, files = rows(d, win, 29), rows(d, win, 31)
    t.check_eq(sorted(s[1][0] for s in skins), ["jardin", "nuit_etoilee"], "skin rows")
    t.check_eq(len(files), 8, "personal file rows")
    t.check_eq({(ticked, cells[1]) for ticked, cells in skins + files}, {(True, "Non sauvegardé.")}, "rows as listed")
    d.tick_row(win, 31, [cells[0] for _, cells in files].index("ip_bannies.txt"), False)

    d.click(win, 32)
    box, title, text = d.wait_box(pid, 60000)
    t.check_eq((title, text.split("\r\n")[0]), ("Information.", "Les fichiers ont bien été sauvegardés."), "summary")
    d.answer(box)
    t.wait_until(lambda: d.gettext(win, 32) == "Fermer", "the button renamed")
    skins, files = rows(d, win, 29), rows(d, win, 31)
    t.check_eq({cells[1] for _, cells in skins}, {"6 fichier(s) sauvegardé(s)."}, "skin statuses")
    t.check_eq(sorted(cells[1] for _, cells in files), ["Non sauvegardé."] + ["Sauvegardé."] * 7, "file statuses")
    t.screenshot("backup-done")

    d.click(win, 32)
    d.wait_gone(win)
    t.close_without_launcher(d, main, pid, app, "backup tool")


if __name__ == "__main__":
    winelib.main(run)
