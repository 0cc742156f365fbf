#!/usr/bin/python3
"""Velmo_Maj.exe closed by its close box while an installation sends its files.

The official site is a folder of this test served by scripts/demo_http_server.py: one
update whose package holds six files of 150 kB. The user's host is a pyftpdlib server
written by this test that reads uploads at 60 kB/s, so each file takes seconds to send.
Beside Tools the stand-in launcher velmo_record_start.exe (as Velmo_Menu.exe) writes
started.txt when it is started.

Once the first file is sent the window is closed. The updater must ask whether to stop
the installation; after Yes it lets the file being sent finish, sends no other, shows no
box at all (none without its window), records no version and writes no journal block,
and starts the launcher once, only when its installation has ended, then exits with 0.
"""

import os
import secrets
import shutil
import subprocess
import time

import winelib

TITLE = "Velmo, Maj - Vérification/Update des mises à jour."
FILES = ["partie%d.txt" % i for i in range(1, 7)]
FILE_BYTES = 150 * 1024
QUESTION = "Une mise à jour est en cours d'installation."

SLOW_FTP = r'''
import sys
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer

home, password = sys.argv[1], sys.argv[2]
authorizer = DummyAuthorizer()
authorizer.add_user("velmo", password, home, perm="elradfmwMT")
dtp = ThrottledDTPHandler
dtp.read_limit = 60 * 1024
handler = FTPHandler
handler.authorizer = authorizer
handler.dtp_handler = dtp
server = FTPServer(("127.0.0.1", 0), handler)
print("ready host=127.0.0.1 port=%d" % server.socket.getsockname()[1], flush=True)
server.serve_forever(timeout=0.5)
'''


def publish_site(root):
    """The version list and one package (2.10.0) of six plain files."""
    maj = os.path.join(root, "velmo-maj")
    package = os.path.join(maj, "maj_2010000")
    os.makedirs(package)
    with open(os.path.join(maj, "_NumeroDeVersion_Exe_Script_SiteOfficiel.pcfg"), "wb") as f:
        f.write(b"[Grp_NumeroDeVersion_Exe_Script_SiteOfficiel]\r\n2000000 = 1000000\r\n2010000 = 1000000\r\n")
    lines = ["[Grp_DescriptionMaj]", "ligne1 = Six fichiers.", "[Grp_ListeFichiersATelecharger]"]
    lines += ["fichier%d = %s" % (i + 1, name) for i, name in enumerate(FILES)]
    lines += ["[Grp_ListeDossiersACreer]", "[Grp_ListeChmodAAppliquer]"]
    with open(os.path.join(package, "_Fichier_Maj_xxx.pcfg"), "wb") as f:
        f.write(("\r\n".join(lines) + "\r\n").encode("cp1252"))
    contents = {}
    for name in FILES:
        contents[name] = secrets.token_bytes(FILE_BYTES)
        with open(os.path.join(package, name), "wb") as f:
            f.write(contents[name])
    # Signed with the test key, as the publisher signs the real site.
    subprocess.run(["/usr/bin/python3", os.path.join(winelib.REPO, "scripts", "sign_update.py"), maj],
                   check=True, stdout=subprocess.DEVNULL)
    return contents


def run(t):
    d = t.driver
    tools = os.path.join(t.workdir, "Tools")
    for folder in ("softwareDatas", "misesAJour"):
        os.makedirs(os.path.join(tools, folder))
    shutil.copy(t.exe("velmo_maj_local_site.exe"), os.path.join(tools, "Velmo_Maj.exe"))
    shutil.copy(t.exe("velmo_record_start.exe"), os.path.join(t.workdir, "Velmo_Menu.exe"))
    started = os.path.join(t.workdir, "started.txt")

    site_root = os.path.join(t.root, "site")
    contents = publish_site(site_root)
    site = t.start_server(["/usr/bin/python3", os.path.join(winelib.REPO, "scripts", "demo_http_server.py"),
                           "--root", site_root], "http-server")
    ftp_home = os.path.join(t.root, "ftp-home")
    remote = os.path.join(ftp_home, "livre-dor")
    os.makedirs(remote)
    password = secrets.token_hex(6)
    server_script = os.path.join(t.root, "slow_ftp.py")
    with open(server_script, "w", encoding="utf-8") as f:
        f.write(SLOW_FTP)
    ftp = t.start_server(["/usr/bin/python3", server_script, ftp_home, password], "ftp-server")
    settings = ["transfert = 1", "FTP_adresse = 127.0.0.1", "FTP_iDUseur = velmo", "FTP_infoChmod = 0",
                "FTP_modeConnexion = 1", "FTP_portConnexion = %s" % ftp["port"], "RepertoireDuLivreDor = livre-dor"]
    with open(os.path.join(tools, "softwareDatas", "config.pcfg"), "wb") as f:
        f.write(("\r\n".join(settings) + "\r\n").encode("cp1252"))
    t.env["VELMO_LOCAL_SITE_URL"] = "http://127.0.0.1:%s/velmo-maj/" % site["port"]

    app = t.start(os.path.join(tools, "Velmo_Maj.exe"), cwd=tools)
    hwnd, pid = d.find(TITLE)
    d.click(hwnd, 9)
    t.wait_until(lambda: d.gettext(hwnd, 5) == "2.10.0" and d.enabled(hwnd, 9), "the check's end", timeout=60)
    d.choose_tab(hwnd, 7, 1)
    t.wait_until(lambda: d.selected_tab(hwnd, 7) == 1, "installation tab open")
    d.settext(hwnd, 20, password)
    d.click(hwnd, 32)
    t.wait_until(lambda: d.listview(hwnd, 31, 2)[0][1] == "Transféré.", "the first file sent", timeout=60)
    t.screenshot("installing")

    d.close(hwnd)
    box, title, text = d.wait_box(pid)
    t.check_eq((title, text.split("\r\n")[0]), ("Attention.", QUESTION), "closing during the installation asks")
    t.check(not os.path.exists(started), "the launcher is not started while the question is up")
    t.screenshot("question")
    d.answer(box, "IDYES")

    # From here on the program shows nothing: any box would be one the user did not ask for,
    # and one after the window is gone has no window at all.
    late_boxes, launched_at = [], None
    deadline = time.monotonic() + 60
    while app.poll() is None and time.monotonic() < deadline:
        try:
            box, title, text = d.wait_box(pid, 200)
            late_boxes.append((title, text.split("\r\n")[0]))
            d.answer(box)
        except (winelib.DriverError, winelib.HarnessError):
            pass
        if launched_at is None and os.path.exists(started):
            launched_at = time.monotonic()
            sent_at_launch = sorted(os.listdir(remote))
    try:
        code = app.wait(5)
    except subprocess.TimeoutExpired:
        code = None
    t.check_eq(code, 0, "updater exit code after closing during the installation")
    t.check_eq(late_boxes, [], "boxes after the user chose to close")
    t.check(launched_at is not None or os.path.exists(started), "the launcher was started")
    if os.path.exists(started):
        with open(started, encoding="utf-8") as f:
            folder = f.read().split("\n")[0]
        t.check_eq(folder.lower(), ("Z:" + t.workdir.replace("/", "\\")).lower(), "launcher's working folder")
        os.remove(started)
    time.sleep(1)
    t.check(not os.path.exists(started), "the launcher was started once")

    # Stopped between files: every file on the server is whole, the later ones were never sent.
    on_server = sorted(os.listdir(remote))
    if launched_at is not None:
        t.check_eq(on_server, sent_at_launch, "nothing sent after the launcher started")
    t.check(2 <= len(on_server) < len(FILES), "the installation stopped after the file being sent: %r" % on_server)
    for name in on_server:
        with open(os.path.join(remote, name), "rb") as f:
            t.check(f.read() == contents[name], name + " whole on the server")
    with open(os.path.join(tools, "misesAJour", "__NumeroDeVersion_Script_Local.pcfg"), "rb") as f:
        t.check(b"versionDuScript_Local = 2000000\r\n" in f.read(), "no version recorded")
    t.check(not os.path.exists(os.path.join(tools, "softwareDatas", "log-erreur-Update.txt")),
            "no journal block for a stopped installation")


if __name__ == "__main__":
    winelib.main(run)
