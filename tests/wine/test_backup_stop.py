#!/usr/bin/python3
"""Velmo_Sauvegarde.exe: closing the backup window while a slow download runs.

The server (pyftpdlib in this process) sends file data at 8 KiB/s, and the only ticked row
is a personal file of 400 KiB, so the backup runs for almost a minute. Once part of the
file is on the disk, the window's close box asks whether to stop; "Non" lets the backup go
on, "Oui" stops it: the closing message says what was not saved, the window closes, the
main window is usable again, and no part of the file stays in the backup folder.
"""

import glob
import os
import shutil
import subprocess
import threading

import winelib
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer

FOLDER = "mon-livre-dor"
BACKUP_WINDOW = "Sauvegarde des dossiers et fichiers."
PASSWORD = "lent-mais-sur"
BIG = "gros_livre.txt"


def start_slow_ftp(home):
    authorizer = DummyAuthorizer()
    authorizer.add_user("velmo", PASSWORD, home, perm="elr")
    dtp = ThrottledDTPHandler
    dtp.write_limit = 8 * 1024  # bytes per second sent to the client
    handler = FTPHandler
    handler.authorizer = authorizer
    handler.dtp_handler = dtp
    server = FTPServer(("127.0.0.1", 0), handler)
    thread = threading.Thread(target=lambda: server.serve_forever(timeout=0.2), daemon=True)
    thread.start()
    return server, server.socket.getsockname()[1]


def run(t):
    tools = os.path.join(t.workdir, "Tools")
    os.makedirs(os.path.join(tools, "softwareDatas"))
    shutil.copy2(t.exe("Velmo_Sauvegarde.exe"), tools)
    ftp_home = os.path.join(t.root, "ftp-home")
    subprocess.run(["/usr/bin/python3", os.path.join(winelib.REPO, "sample", "make_installed_guestbook.py"),
                    ftp_home, "--folder", FOLDER], check=True, stdout=subprocess.DEVNULL)
    with open(os.path.join(ftp_home, FOLDER, "chmod_perso", BIG), "wb") as f:
        f.write(b"1||Visiteur||Bonjour\r\n" * (400 * 1024 // 22))
    server, port = start_slow_ftp(ftp_home)
    settings = ("transfert = 1\r\nFTP_adresse = 127.0.0.1\r\nFTP_iDUseur = velmo\r\nFTP_infoChmod = 0\r\n"
                "FTP_modeConnexion = 1\r\nFTP_portConnexion = %d\r\nRepertoireDuLivreDor = %s\r\n" % (port, FOLDER))
    with open(os.path.join(tools, "softwareDatas", "config.pcfg"), "w", newline="") as f:
        f.write(settings)
    try:
        stop_backup(t, t.driver, tools)
    finally:
        server.close_all()


def stop_backup(t, d, tools):
    app = t.start(os.path.join(tools, "Velmo_Sauvegarde.exe"), cwd=tools)
    main, pid = d.find("Velmo Sauvegarde.")
    t.wait_until(lambda: d.gettext(main, 22) == FOLDER, "the settings loaded")
    d.settext(main, 20, PASSWORD)
    d.click(main, 27)
    win, _ = d.find(BACKUP_WINDOW)
    t.wait_until(lambda: d.enabled(win, 32), "the lists filled", timeout=60)
    for ctrl in (29, 31):
        names = [cells[0] for cells in d.listview(win, ctrl, 2)]
        for row, name in enumerate(names):
            if name != BIG:
                d.tick_row(win, ctrl, row, False)
    d.click(win, 32)
    partial = os.path.join(tools, "sauvegardes", "*", "chmod_perso", BIG)
    t.wait_until(lambda: any(os.path.getsize(p) > 0 for p in glob.glob(partial)), "part of the file arrived",
                 timeout=30)

    d.close(win)
    box, title, text = d.wait_box(pid)
    t.check_eq((title, text.split("\r\n")[0]), ("Attention.", "Une sauvegarde est en cours."), "question")
    d.answer(box, "IDNO")
    t.check(d.gettext(win, 32) == "Sauvegarder" and not d.enabled(win, 32), "the backup goes on after \"Non\"")
    t.screenshot("backup-stop-asked")

    d.close(win)
    box, title, text = d.wait_box(pid)
    d.answer(box, "IDYES")
    box, title, text = d.wait_box(pid, 10000)
    t.check_eq((title, text), ("Avertissement.", "La sauvegarde a été arrêtée.\r\n\r\n"
                                                 "1 fichier n'a pas pu être sauvegardé.\r\n\r\n"
                                                 "Aucun fichier n'a été sauvegardé.\r\n"), "closing message")
    d.answer(box)
    d.wait_gone(win)
    t.wait_until(lambda: d.enabled(main, 0), "the main window usable again")
    t.check_eq(glob.glob(partial), [], "part of a file left in the backup")
    t.close_without_launcher(d, main, pid, app, "backup tool")


if __name__ == "__main__":
    winelib.main(run)
