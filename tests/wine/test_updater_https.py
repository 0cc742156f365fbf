#!/usr/bin/python3
"""Velmo_Maj.exe against an official site over https whose certificate Windows refuses.

The site is openssl s_server on 127.0.0.1 with the native tests' leaves
(make_tls_certificates): one signed by the tests' CA, which the Windows certificate store
does not know, and one that has expired. The program is the local-site build
(velmo_maj_local_site.exe, VELMO_LOCAL_SITE_URL set to an https:// address) copied as
Tools/Velmo_Maj.exe. Schannel must refuse both certificates without a question: the check
shows the box saying the site's identity could not be verified, the program ends cleanly
without going back to the launcher, no request reaches the server, and the updater's
journal keeps the reason.
"""

import os
import shutil
import socket
import subprocess
import time

import winelib

TITLE = "Velmo, Maj - Vérification/Update des mises à jour."
LIST = "_NumeroDeVersion_Exe_Script_SiteOfficiel.pcfg"
NOT_VERIFIED = ("Le fichier : \"%s\" se trouvant sur le site officiel n'a pas été téléchargé : l'identité du "
                "site officiel n'a pas pu être vérifiée (son certificat de sécurité n'est pas valable).\r\n\r\n"
                "Rien n'a été installé. Vérifiez que la date et l'heure de votre ordinateur sont justes, puis "
                "tentez à nouveau de vérifier les mises à jour plus tard ; si cela se répète, contactez le "
                "webmaster du site officiel.\r\n[Distant - Erreur : TFCERT]" % LIST)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def start_tls_site(t, leaf, logpath):
    port = free_port()
    logf = open(logpath, "wb")
    # stdin stays open: at its end s_server would drop the connection. Whatever a client
    # sends is printed to the log.
    proc = subprocess.Popen(["openssl", "s_server", "-accept", "127.0.0.1:%d" % port,
                             "-cert", leaf + ".pem", "-key", leaf + ".key"],
                            stdin=subprocess.PIPE, stdout=logf, stderr=subprocess.STDOUT)
    t._procs.append(proc)
    for _ in range(200):
        with socket.socket() as s:
            if s.connect_ex(("127.0.0.1", port)) == 0:
                return port
        time.sleep(0.05)
    raise winelib.HarnessError("openssl s_server did not start")


def one_check(t, name, leaf):
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
    log = os.path.join(t.results, name + "-s_server.log")
    port = start_tls_site(t, leaf, log)
    t.env["VELMO_LOCAL_SITE_URL"] = "https://127.0.0.1:%d/velmo-maj/" % port

    app = t.start(os.path.join(tools, "Velmo_Maj.exe"), cwd=tools)
    hwnd, pid = d.find(TITLE)
    d.click(hwnd, 9)
    box, title, text = d.wait_box(pid, 60000)
    t.check_eq((title, text), ("Avertissement.", NOT_VERIFIED), name + ": the check's box")
    t.screenshot(name)
    d.answer(box)
    t.check_eq(t.wait_process(app, 30), 0, name + ": exit code")
    t.check(not os.path.exists(os.path.join(top, "started.txt")), name + ": the launcher was not started")
    t.check(not os.path.exists(os.path.join(tools, "misesAJour", LIST)), name + ": nothing stored")
    with open(log, "rb") as f:
        t.check(b"GET " not in f.read(), name + ": no request went out on the refused connection")
    with open(os.path.join(tools, "softwareDatas", "log-erreur-Update.txt"), "rb") as f:
        journal = f.read().decode("cp1252")
    t.check("Certificat du site officiel refusé : https://127.0.0.1:%d/velmo-maj/%s : " % (port, LIST) in journal,
            name + ": the journal names the address and the reason:\n" + journal)


def run(t):
    certs = os.path.join(t.workdir, "certs")
    os.makedirs(certs)
    subprocess.run([t.native("make_tls_certificates"), certs], check=True)
    one_check(t, "unknown-ca", os.path.join(certs, "good"))
    one_check(t, "expired", os.path.join(certs, "expired"))


if __name__ == "__main__":
    winelib.main(run)
