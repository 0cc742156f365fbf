#!/usr/bin/python3
"""Velmo_Transfert.exe as a user runs it: a whole install onto a real FTP server.

The Tools folder holds the program, the sample livre-dor and softwareDatas; a pyftpdlib
server on 127.0.0.1 is the user's host. The form is filled, "Valider" uploads the tree
(a screenshot is taken while it runs), the closing box is answered, the link generator
opens by itself and builds the install link. Then the server's folder is compared with
the local tree, and the settings file and the journal are read.
"""

import os
import secrets
import shutil
import subprocess

import winelib

MAIN = "Velmo, Transfert."
GENERATOR = "Générateur de lien."
SERVER = os.path.join(winelib.REPO, "scripts", "demo_ftp_server.py")


def start_ftp(t, home):
    password = secrets.token_hex(6)
    log = open(os.path.join(t.results, "ftp-server.log"), "ab")
    proc = subprocess.Popen(["/usr/bin/python3", SERVER, "--home", home, "--user", "velmo",
                             "--password", password],
                            stdout=subprocess.PIPE, stderr=log, stdin=subprocess.DEVNULL)
    log.close()
    line = proc.stdout.readline().decode()
    if not line.startswith("ready "):
        proc.kill()
        raise winelib.HarnessError("the FTP server did not start: %r" % line)
    fields = dict(f.split("=", 1) for f in line.split()[1:])
    return proc, int(fields["port"]), password


def expected_remote_files(local):
    """Relative paths the upload must leave on the server: every file of the 24 manifest
    folders (23 scanned ones: livre-dor's own files, its sub-folders one and two levels
    down as listed), never Thumbs.db, never the files lying in langues/ itself."""
    out = set()
    for dirpath, dirs, files in os.walk(local):
        rel = os.path.relpath(dirpath, local)
        rel = "" if rel == "." else rel.replace(os.sep, "/")
        if rel == "langues":
            continue
        for name in files:
            if name != "Thumbs.db":
                out.add((rel + "/" if rel else "") + name)
    return out


def remote_files(home):
    out = set()
    for dirpath, _, files in os.walk(home):
        rel = os.path.relpath(dirpath, home).replace(os.sep, "/")
        for name in files:
            out.add((rel + "/" + name) if rel != "." else name)
    return out


def run(t):
    d = t.driver
    exe = t.exe("Velmo_Transfert.exe")
    tools = os.path.join(t.workdir, "Tools")
    os.makedirs(os.path.join(tools, "softwareDatas"))
    shutil.copy2(exe, tools)
    # The build puts the sample guestbook beside the program; that is the one sent.
    shutil.copytree(os.path.join(os.path.dirname(exe), "livre-dor"),
                    os.path.join(tools, "livre-dor"))
    ftp_home = os.path.join(t.root, "ftp-home")
    server, port, password = start_ftp(t, ftp_home)
    try:
        install(t, d, tools, ftp_home, port, password)
    finally:
        server.terminate()
        server.wait(10)


def install(t, d, tools, ftp_home, port, password):
    app = t.start(os.path.join(tools, "Velmo_Transfert.exe"), cwd=tools)
    hwnd, pid = d.find(MAIN)
    t.check_eq(d.client_size(hwnd), (784, 470), "main window inner size")
    t.check_eq(d.menu_bar(hwnd), ["Fichier", "Outils", "Aide"], "menu titles")
    tree = d.listbox(hwnd, 32)
    t.check_eq(len(tree), 333, "tree list lines")
    t.check_eq(tree[0], "+-[Dossier] livre-dor", "tree list line 0")
    t.check_eq(d.gettext(hwnd, 36), "Fichiers envoyés : 1/333", "count label")
    t.check_eq(d.enabled(hwnd, 43), False, "Annuler disabled before an upload")

    # The folder field's rule, through the real edit control.
    d.settext(hwnd, 25, "livre/dor")
    box, title, text = d.wait_box(pid)
    t.check_eq((title, text), ("ATTENTION.",
                               "Vous ne pouvez pas mettre le livre d'or dans un sous-dossier."),
               "sub-folder warning")
    d.answer(box)
    t.wait_until(lambda: d.gettext(hwnd, 25) == "livredor", "slash removed from the field")
    t.wait_until(lambda: d.listbox(hwnd, 32)[0] == "+-[Dossier] livredor", "line 0 follows")

    d.settext(hwnd, 13, "  127.0.0.1 ")
    d.settext(hwnd, 16, "velmo")
    d.settext(hwnd, 19, password)
    d.settext(hwnd, 25, "livre-dor")
    d.settext(hwnd, 30, str(port))
    t.check_eq(d.check_state(hwnd, 29), 1, "passive mode ticked")
    t.screenshot("form-filled")

    d.click(hwnd, 42)
    t.wait_until(lambda: d.enabled(hwnd, 43), "Annuler enabled once the folder is accepted")
    t.check_eq(d.gettext(hwnd, 13), "127.0.0.1", "address trimmed and written back")
    t.check_eq(d.enabled(hwnd, 42), False, "Valider disabled during the upload")
    t.check_eq(d.enabled(hwnd, 13), False, "form disabled during the upload")
    # A picture of the window while files are going out.
    t.wait_until(lambda: d.progress(hwnd, 37)[0] >= 20 or d.boxes(pid), "upload under way",
                 timeout=120)
    if not d.boxes(pid):
        t.screenshot("during-transfer")

    box, title, text = d.wait_box(pid, 300000)
    t.check_eq((title, text), ("Statut transfert.",
                               "Tous les dossiers et fichiers ont bien été transférés."),
               "closing message")
    t.check_eq(d.progress(hwnd, 37)[0], 100, "overall bar full")
    d.answer(box)

    # The link generator opens by itself; the main window waits.
    gen, gen_pid = d.find(GENERATOR, 30000)
    t.check_eq(gen_pid, pid, "generator belongs to the installer")
    t.check_eq(d.client_size(gen), (530, 264), "generator inner size")
    t.check_eq(d.enabled(hwnd), False, "main window disabled under the generator")
    t.check_eq(d.gettext(gen, 66), "http://", "address field at start")
    d.settext(gen, 66, "www.mon-site.fr")
    d.click(gen, 67)
    box, title, text = d.wait_box(pid)
    t.check_eq((title, text), ("Attention.", "L'adresse doit commencer par \"http://\"."),
               "address without scheme refused")
    d.answer(box)
    t.wait_until(lambda: d.boxes(pid) == [], "refusal closed")
    d.settext(gen, 66, " http://www.mon-site.fr/ ")
    d.click(gen, 67)
    box, title, text = d.wait_box(pid)
    t.check_eq(title, "Lien généré.", "link box title")
    t.check(text.startswith("Le lien vient d'être généré.\r\n"), "link box text: %r" % text)
    d.answer(box)
    t.wait_until(lambda: d.gettext(gen, 59) == "http://www.mon-site.fr/livre-dor/install/index.php",
                 "install link shown")
    t.check_eq(d.gettext(gen, 66), "http://www.mon-site.fr", "address written back")
    t.screenshot("link-generated")

    d.close(gen)
    t.wait_until(lambda: not d.exists(gen), "generator closed")
    t.wait_until(lambda: d.enabled(hwnd), "main window enabled again")
    t.check_eq(d.enabled(hwnd, 13), True, "form enabled again")
    t.check_eq(d.enabled(hwnd, 42), True, "Valider enabled again")
    t.check_eq(d.enabled(hwnd, 43), False, "Annuler disabled again")

    # What the server holds.
    local = os.path.join(tools, "livre-dor")
    remote = os.path.join(ftp_home, "livre-dor")
    t.check(os.path.isdir(os.path.join(ftp_home, "sessions")), "sessions folder made")
    want = expected_remote_files(local)
    got = remote_files(remote)
    t.check_eq(len(got), 309, "files on the server")
    t.check_eq(sorted(got - want), [], "files on the server that should not be there")
    t.check_eq(sorted(want - got), [], "files missing on the server")
    differing = [p for p in sorted(want & got)
                 if open(os.path.join(local, p), "rb").read()
                 != open(os.path.join(remote, p), "rb").read()]
    t.check_eq(differing, [], "files whose bytes differ")
    for folder in ("aide/img", "chmod_perso/save", "langues/lg07_nl", "skins/mon_skin/imgs",
                   "skins/skin_blanc_officiel/imgs", "img_perso"):
        t.check(os.path.isdir(os.path.join(remote, folder)), "remote folder " + folder)

    with open(os.path.join(tools, "softwareDatas", "config.pcfg"), "rb") as f:
        config = f.read().decode("cp1252")
    t.check_eq(config.split("\r\n")[:7],
               ["transfert = 1", "FTP_adresse = 127.0.0.1", "FTP_iDUseur = velmo",
                "FTP_infoChmod = 0", "FTP_modeConnexion = 1", "FTP_portConnexion = %d" % port,
                "RepertoireDuLivreDor = livre-dor"], "settings written after the upload")
    t.check(password not in config, "password not stored")
    with open(os.path.join(tools, "softwareDatas", "log-erreur.txt"), "rb") as f:
        journal = f.read().decode("cp1252")
    t.check("Tous les fichiers ont bien été transférés.\r\n" in journal, "journal block")

    # Closing: no launcher beside Tools, so the program says it ends.
    d.close(hwnd)
    box, title, text = d.wait_box(pid)
    t.check_eq((title, text), ("Information.", "Impossible de retourner au menu général.\r\n\r\n"
                               "Le programme va donc se fermer."), "closing without launcher")
    d.answer(box)
    d.wait_exit(pid, 30000)
    t.wait_process(app, 30)


if __name__ == "__main__":
    winelib.main(run)
