#!/usr/bin/python3
"""Velmo_Maj.exe against an official site that someone else changed.

The sample site (sample/site-officiel, signed with the test key the local-site build
carries) is copied and then changed by one byte, without signing it again, as a man in the
middle or a broken-into web server would: first one package file, then the version list.
The user's host is a pyftpdlib server (scripts/demo_ftp_server.py). Through the real
controls: the changed file is refused after its download with the box that says the update
could not be verified, its row says so, and nothing at all reaches the FTP server (not
even the files received before it), no version is recorded and the journal says why; the
changed list is refused at the check, before any package is asked for.
"""

import os
import secrets
import shutil

import winelib

TITLE = "Velmo, Maj - Vérification/Update des mises à jour."
SITE = os.path.join(winelib.REPO, "sample", "site-officiel")
LIST = "_NumeroDeVersion_Exe_Script_SiteOfficiel.pcfg"
ROWS = ["livre_lire.php", "cfg_variables.php", "style.css", "changements.txt"]
NOT_VERIFIED = "La mise à jour n'a pas pu être vérifiée : "
FILE_REASON = "le fichier \"cfg_variables.php\" reçu ne correspond pas à son empreinte."
LIST_REASON = "la signature du fichier \"%s\" ne correspond pas." % LIST
JOURNAL = os.path.join("softwareDatas", "log-erreur-Update.txt")


def settings(port):
    lines = ["transfert = 1", "FTP_adresse = 127.0.0.1", "FTP_iDUseur = velmo", "FTP_infoChmod = 1",
             "FTP_modeConnexion = 1", "FTP_portConnexion = %d" % port, "RepertoireDuLivreDor = livre-dor"]
    return ("\r\n".join(lines) + "\r\n").encode("cp1252")


def flip_one_byte(path):
    with open(path, "rb") as f:
        data = bytearray(f.read())
    data[len(data) // 2] ^= 1
    with open(path, "wb") as f:
        f.write(bytes(data))


def tree(folder):
    return sorted(os.path.relpath(os.path.join(d, n), folder)
                  for d, dirs, files in os.walk(folder) for n in dirs + files)


def one_run(t, name, tamper, ftp, ftp_home, password):
    """A fresh Tools folder and site copy, changed by `tamper`; returns (tools, hwnd, pid, app)."""
    d = t.driver
    tools = os.path.join(t.workdir, name, "Tools")
    for folder in ("softwareDatas", "misesAJour"):
        os.makedirs(os.path.join(tools, folder))
    shutil.copy(t.exe("velmo_maj_local_site.exe"), os.path.join(tools, "Velmo_Maj.exe"))
    shutil.copy(t.exe("velmo_record_start.exe"), os.path.join(t.workdir, name, "Velmo_Menu.exe"))
    with open(os.path.join(tools, "softwareDatas", "config.pcfg"), "wb") as f:
        f.write(settings(int(ftp["port"])))
    site_root = os.path.join(t.root, name + "-site")
    shutil.copytree(SITE, site_root)
    tamper(os.path.join(site_root, "velmo-maj"))
    site = t.start_server(["/usr/bin/python3", os.path.join(winelib.REPO, "scripts", "demo_http_server.py"),
                           "--root", site_root], name + "-http")
    t.env["VELMO_LOCAL_SITE_URL"] = "http://127.0.0.1:%s/velmo-maj/" % site["port"]
    app = t.start(os.path.join(tools, "Velmo_Maj.exe"), cwd=tools)
    hwnd, pid = d.find(TITLE)
    d.click(hwnd, 9)
    return tools, hwnd, pid, app


def check_refused(t, tools, pid, reason, what):
    d = t.driver
    box, title, text = d.wait_box(pid, 120000)
    t.check_eq((title, text.split("\r\n")[0]), ("ATTENTION.", NOT_VERIFIED + reason), what + ": the box")
    d.answer(box)
    with open(os.path.join(tools, "misesAJour", "__NumeroDeVersion_Script_Local.pcfg"), "rb") as f:
        t.check(b"versionDuScript_Local = 2000000\r\n" in f.read(), what + ": no version recorded")
    journal = os.path.join(tools, JOURNAL)
    t.check(os.path.exists(journal) and
            ("Mise à jour non vérifiée : " + reason + "\r\n").encode("cp1252") in open(journal, "rb").read(),
            what + ": the journal says why")


def run(t):
    d = t.driver
    ftp_home = os.path.join(t.root, "ftp-home")
    os.makedirs(os.path.join(ftp_home, "livre-dor"))
    password = secrets.token_hex(6)
    ftp = t.start_server(["/usr/bin/python3", os.path.join(winelib.REPO, "scripts", "demo_ftp_server.py"),
                          "--home", ftp_home, "--user", "velmo", "--password", password], "ftp-server")
    before = tree(ftp_home)

    # A package file changed by one byte: offered (its description is the publisher's), then
    # refused once downloaded, before the session to the server is even opened.
    tools, hwnd, pid, app = one_run(
        t, "file", lambda maj: flip_one_byte(os.path.join(maj, "maj_2010000", "skins", "automne",
                                                          "cfg_variables.velmo")), ftp, ftp_home, password)
    t.wait_until(lambda: d.gettext(hwnd, 5) == "2.20.0" and d.enabled(hwnd, 9), "the check's end", timeout=60)
    t.check_eq(d.listview(hwnd, 31, 2), [(name, "A mettre à jour.") for name in ROWS], "file list after the check")
    d.choose_tab(hwnd, 7, 1)
    t.wait_until(lambda: d.selected_tab(hwnd, 7) == 1, "installation tab open")
    d.settext(hwnd, 20, password)
    d.click(hwnd, 32)
    check_refused(t, tools, pid, FILE_REASON, "changed file")
    t.check_eq(d.listview(hwnd, 31, 2),
               [("livre_lire.php", "Réceptionné."), ("cfg_variables.php", "Altéré, non envoyé."),
                ("style.css", "A mettre à jour."), ("changements.txt", "A mettre à jour.")],
               "rows after the refusal")
    t.check_eq(tree(ftp_home), before, "nothing reached the FTP server")
    t.check_eq(d.gettext(hwnd, 3), "2.0.0", "installed version unchanged")
    t.screenshot("file-refused")
    d.close(hwnd)
    t.check_eq(t.wait_process(app), 0, "updater exit code after the refused file")

    # The version list changed by one byte: refused at the check, no package asked for.
    tools, hwnd, pid, app = one_run(t, "list", lambda maj: flip_one_byte(os.path.join(maj, LIST)),
                                    ftp, ftp_home, password)
    check_refused(t, tools, pid, LIST_REASON, "changed list")
    t.wait_until(lambda: d.enabled(hwnd, 9), "the check's end", timeout=60)
    t.check_eq(d.listview(hwnd, 31, 2), [], "no rows after a refused list")
    t.check(not os.path.exists(os.path.join(tools, "misesAJour", "maj_2010000")), "no package asked for")
    t.check_eq(tree(ftp_home), before, "still nothing on the FTP server")
    t.screenshot("list-refused")
    d.close(hwnd)
    t.check_eq(t.wait_process(app), 0, "updater exit code after the refused list")


if __name__ == "__main__":
    winelib.main(run)
