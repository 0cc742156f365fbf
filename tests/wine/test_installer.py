#!/usr/bin/python3
"""Velmo_Transfert.exe as a user runs it: a whole install onto a real FTP server.

The Tools folder holds the program, the sample livre-dor and softwareDatas; a pyftpdlib
server on 127.0.0.1 is the user's host. The form is filled through the real controls,
"Valider" uploads the tree (a screenshot is taken while it runs), the closing box is
answered, the link generator opens by itself and builds the install link from an accented
address. Then the server's folder is compared with the local tree.
"""

import os
import secrets
import subprocess

import winelib

SERVER = os.path.join(winelib.REPO, "scripts", "demo_ftp_server.py")


def start_ftp(t, home):
    password = secrets.token_hex(6)
    with open(os.path.join(t.results, "ftp-server.log"), "ab") as log:
        proc = subprocess.Popen(["/usr/bin/python3", SERVER, "--home", home, "--user", "velmo",
                                 "--password", password],
                                stdout=subprocess.PIPE, stderr=log, stdin=subprocess.DEVNULL)
    line = proc.stdout.readline().decode()
    if not line.startswith("ready "):
        proc.kill()
        raise winelib.HarnessError("the FTP server did not start: %r" % line)
    fields = dict(f.split("=", 1) for f in line.split()[1:])
    return proc, int(fields["port"]), password


def files_below(top, skip=lambda rel, name: False):
    out = set()
    for dirpath, _, files in os.walk(top):
        rel = os.path.relpath(dirpath, top).replace(os.sep, "/")
        rel = "" if rel == "." else rel + "/"
        out.update(rel + name for name in files if not skip(rel, name))
    return out


def run(t):
    # The build puts the sample guestbook beside the program; that is the one sent.
    tools = t.installer_tools()
    ftp_home = os.path.join(t.root, "ftp-home")
    server, port, password = start_ftp(t, ftp_home)
    try:
        install(t, t.driver, tools, port, password)
    finally:
        server.terminate()
        server.wait(10)

    # The server holds every file of the manifest folders with the same bytes: never
    # Thumbs.db, never the files lying in langues/ itself.
    local, remote = os.path.join(tools, "livre-dor"), os.path.join(ftp_home, "livre-dor")
    want = files_below(local, lambda rel, name: name == "Thumbs.db" or rel == "langues/")
    got = files_below(remote)
    t.check_eq(len(got), 309, "files on the server")
    t.check_eq(sorted(got ^ want), [], "files only on one side")
    differing = [p for p in sorted(want & got)
                 if open(os.path.join(local, p), "rb").read()
                 != open(os.path.join(remote, p), "rb").read()]
    t.check_eq(differing, [], "files whose bytes differ")
    t.check(os.path.isdir(os.path.join(ftp_home, "sessions")), "sessions folder made")


def find_ready(t, d):
    """The main window once its thread answers: it is shown before the tree list is filled,
    which can take seconds on a loaded machine."""
    hwnd, pid = d.find("Velmo, Transfert.", 60000)
    t.wait_until(lambda: len(d.listbox(hwnd, 32)) == 333, "the tree list filled", timeout=120)
    return hwnd, pid


def install(t, d, tools, port, password):
    app = t.start(os.path.join(tools, "Velmo_Transfert.exe"), cwd=tools)
    hwnd, pid = find_ready(t, d)
    tree = d.listbox(hwnd, 32)
    t.check_eq((len(tree), tree[0]), (333, "+-[Dossier] livre-dor"), "tree list as drawn")
    t.check_eq(d.gettext(hwnd, 36), "Fichiers envoyés : 1/333", "count label")
    for field, text in ((13, "127.0.0.1"), (16, "velmo"), (19, password), (30, str(port))):
        d.settext(hwnd, field, text)
    t.check_eq(d.check_state(hwnd, 29), 1, "passive mode ticked")
    t.screenshot("form-filled")

    d.click(hwnd, 42)
    # A picture of the window while files are going out.
    if t.wait_until(lambda: d.progress(hwnd, 37)[0] >= 20, "upload under way", timeout=120):
        t.screenshot("during-transfer")
    box, title, text = d.wait_box(pid, 300000)
    t.check_eq((title, text), ("Statut transfert.",
                               "Tous les dossiers et fichiers ont bien été transférés."),
               "closing message")
    t.check_eq(d.progress(hwnd, 37), (100, 0, 100), "overall bar full")
    d.answer(box)

    # The link generator opens by itself; accents go in and come back.
    gen, _ = d.find("Générateur de lien.", 30000)
    d.settext(gen, 66, " http://www.mon-sité.fr/ ")
    d.click(gen, 67)
    box, title, text = d.wait_box(pid)
    t.check_eq((title, text.split("\r\n")[0]), ("Lien généré.", "Le lien vient d'être généré."),
               "link box")
    d.answer(box)
    t.wait_until(lambda: d.gettext(gen, 59) == "http://www.mon-sité.fr/livre-dor/install/index.php",
                 "install link shown")
    t.screenshot("link-generated")

    # Closing: no launcher beside Tools, so the program says it ends.
    d.close(gen)
    d.wait_gone(gen)
    t.close_without_launcher(d, hwnd, pid, app, "installer")


if __name__ == "__main__":
    winelib.main(run)
