#!/usr/bin/python3
"""The Windows build's FTP session layer over TLS (Schannel) against a real FTP server that
requires it, on 127.0.0.1.

velmo_ftp_tls_check.exe logs in encrypted, sends a file and five short files in a row (each
data connection closed cleanly after its upload), lists, fetches the file back and asks for
a missing one, in passive and active mode; the test also checks the bytes that reached the
server's disk. The certificates are the native tests' (make_tls_certificates).

The servers are pyftpdlib and pure-ftpd: Wine's Schannel neither resumes sessions (vsftpd and
proftpd refuse a data connection that does not) nor offers what vsftpd's default TLS 1.2
ciphers ask for.
"""

import os
import subprocess

import winelib


def run(t):
    certs = os.path.join(t.workdir, "certs")
    os.makedirs(certs)
    subprocess.run([t.native("make_tls_certificates"), certs], check=True)
    tls = ("--tls", "required", "--tls-cert", os.path.join(certs, "good.pem"),
           "--tls-key", os.path.join(certs, "good.key"))
    for kind in ("pyftpdlib", "pureftpd"):
        for passive in (1, 0):
            mode = "passive" if passive else "active"
            peer, info = t.start_peer(kind, *tls)
            try:
                workdir = os.path.join(t.workdir, "%s-%s" % (kind, mode))
                os.makedirs(workdir)
                done = subprocess.run(
                    [winelib.WINE, t.exe("velmo_ftp_tls_check.exe"), info["host"], info["port"],
                     info["user"], info["password"], str(passive), os.path.join(certs, "ca.pem")],
                    cwd=workdir, env=t.env, stdin=subprocess.DEVNULL, capture_output=True,
                    timeout=120)
                out = done.stdout.decode("cp1252", "replace")
                winelib.log("%s %s:\n%s" % (kind, mode, out))
                t.check_eq(done.returncode, 0, "%s %s: exit code (output: %s)" % (kind, mode, out))
                t.check("ALL OK" in out, "%s %s: every step worked" % (kind, mode))
                with open(os.path.join(workdir, "envoi.bin"), "rb") as f:
                    sent = f.read()
                stored = os.path.join(info["home"], "donnees.bin")
                t.check(os.path.exists(stored) and open(stored, "rb").read() == sent,
                        "%s %s: the server's copy equals the file sent" % (kind, mode))
                for i in range(5):
                    short = os.path.join(info["home"], "court%d.txt" % i)
                    t.check(os.path.exists(short) and open(short, "rb").read() == b"livre d'or\n",
                            "%s %s: short file %d whole on the server" % (kind, mode, i))
            finally:
                peer.stdin.close()
                peer.wait(timeout=30)


if __name__ == "__main__":
    winelib.main(run)
