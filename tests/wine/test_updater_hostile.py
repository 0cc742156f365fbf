#!/usr/bin/python3
"""Velmo_Maj.exe against an official site that answers with hostile heads.

The site is tests/support/hostile_http_server.py on 127.0.0.1; the program is the
local-site build (velmo_maj_local_site.exe, reading the site's address from
VELMO_LOCAL_SITE_URL) copied as Tools/Velmo_Maj.exe, beside Tools the stand-in launcher.
For each answer the check is started through the real button, and the program must say
what happened in a box and then end cleanly, without going back to the launcher:
- "Content-Length: 99999999999" on a 200 and on a 404 (the client once made room for that
  length before it looked at the refusal, and the program died with exit code 3 and no box);
- a 302 to another port, which must not be followed (the other listener sees no request);
- a site that never takes the connection: the connect ends at its bound (10 s) with the
  text of a file that could not be downloaded, instead of waiting for the system's own
  give-up, minutes later.
"""

import os
import shutil
import time

import winelib

TITLE = "Velmo, Maj - Vérification/Update des mises à jour."
LIST = "_NumeroDeVersion_Exe_Script_SiteOfficiel.pcfg"
TELL_WEBMASTER = ("Contactez le webmaster du site pour lui signaler, sinon vous ne pourrez plus faire "
                  "de mise à jour.\r\n")
TOO_LARGE = ("Le fichier : \"%s\" se trouvant sur le site officiel est trop volumineux pour être un fichier "
             "de mise à jour.\r\n\r\n" % LIST) + TELL_WEBMASTER + "[Distant - Erreur : TFTV]"
ELSEWHERE = ("Le fichier : \"%s\" se trouvant sur le site officiel est redirigé vers une autre adresse, "
             "qui n'a pas été suivie.\r\n\r\n" % LIST) + TELL_WEBMASTER + "[Distant - Erreur : TFRED]"


UNREACHABLE = ("Le fichier : \"%s\" se trouvant sur le site officiel n'a pas pu être téléchargé.\r\n\r\n"
               "Vérifiez votre connexion à internet et que votre pare-feu laisse passer Velmo, Maj.\r\n"
               "Tentez à nouveau de vérifier les mises à jour plus tard.\r\n[Distant - Erreur : TFNPT]" % LIST)


def one_check(t, name, server_args, expected_text):
    """A fresh Tools folder, the program against one hostile site: the check's box, then the
    program's clean end. Returns the site's request log."""
    d = t.driver
    top = os.path.join(t.workdir, name)
    tools = os.path.join(top, "Tools")
    for folder in ("softwareDatas", "misesAJour"):
        os.makedirs(os.path.join(tools, folder))
    with open(os.path.join(tools, "softwareDatas", "config.pcfg"), "wb") as f:
        f.write(b"transfert = 1\r\nFTP_adresse = 127.0.0.1\r\nFTP_iDUseur = velmo\r\nFTP_portConnexion = 21\r\n"
                b"RepertoireDuLivreDor = livre-dor\r\n")
    shutil.copy(t.exe("velmo_maj_local_site.exe"), os.path.join(tools, "Velmo_Maj.exe"))
    shutil.copy(t.exe("velmo_record_start.exe"), os.path.join(top, "Velmo_Menu.exe"))
    log = os.path.join(t.results, name + "-requests.log")
    site = t.start_server(["/usr/bin/python3", os.path.join(winelib.REPO, "tests", "support", "hostile_http_server.py"),
                           "--log", log] + server_args, name + "-server")
    t.env["VELMO_LOCAL_SITE_URL"] = "http://127.0.0.1:%s/velmo-maj/" % site["port"]

    app = t.start(os.path.join(tools, "Velmo_Maj.exe"), cwd=tools)
    hwnd, pid = d.find(TITLE)
    clicked = time.monotonic()
    d.click(hwnd, 9)
    box, title, text = d.wait_box(pid, 60000)
    t.check_eq((title, text), ("Avertissement.", expected_text), name + ": the check's box")
    t.check(time.monotonic() - clicked < 30, name + ": the box came within the client's bounds")
    t.screenshot(name)
    d.answer(box)
    t.check_eq(t.wait_process(app, 30), 0, name + ": exit code")
    t.check(not os.path.exists(os.path.join(top, "started.txt")), name + ": the launcher was not started")
    with open(log, encoding="utf-8") as f:
        return site, f.read().splitlines()


def run(t):
    for name, status in (("length-200", "200"), ("length-404", "404")):
        site, requests = one_check(t, name, ["--answer", "huge-length", "--status", status], TOO_LARGE)
        t.check_eq(requests, ["%s GET /velmo-maj/%s HTTP/1.1" % (site["port"], LIST)], name + ": requests")

    site, requests = one_check(t, "elsewhere", ["--answer", "elsewhere"], ELSEWHERE)
    t.check_eq(requests, ["%s GET /velmo-maj/%s HTTP/1.1" % (site["port"], LIST)],
               "elsewhere: only the official port was asked")

    one_check(t, "swallowed", ["--answer", "swallow"], UNREACHABLE)


if __name__ == "__main__":
    winelib.main(run)
