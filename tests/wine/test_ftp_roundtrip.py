#!/usr/bin/python3
"""The Windows build's FTP session layer against real FTP servers on 127.0.0.1.

velmo_ftp_roundtrip.exe logs in, makes a folder, sends a generated file (watched as the installer does),
lists it, fetches it back and compares, in passive and in active mode; the test also checks
the bytes that reached the server's disk. Then the same over explicit TLS (Schannel) against
servers that refuse anything in clear, with a self-signed certificate accepted when asked.
"""

import os
import shutil
import subprocess

import winelib

SIZE = 5 * 1024 * 1024 + 17


def self_signed(t):
    cert, key = os.path.join(t.workdir, "serveur.pem"), os.path.join(t.workdir, "serveur.key")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                    "-subj", "/CN=ftp.example.test", "-keyout", key, "-out", cert],
                   check=True, capture_output=True)
    return ["--tls", "required", "--tls-cert", cert, "--tls-key", key]


def run(t):
    # Wine's Schannel speaks TLS 1.2 and never resumes a session: vsftpd, which insists on
    # resumption for data connections, is left to the native tests.
    tls = self_signed(t)
    for kind, options in (("pyftpdlib", []), ("vsftpd", []), ("pureftpd", tls)):
        peer, info = t.start_peer(kind, *options)
        try:
            for passive in (1, 0):
                mode = ("passive" if passive else "active") + (" tls" if options else "")
                workdir = os.path.join(t.workdir, "%s-%s" % (kind, mode.replace(" ", "-")))
                os.makedirs(workdir)
                done = subprocess.run(
                    [winelib.WINE, t.exe("velmo_ftp_roundtrip.exe"), info["host"], info["port"],
                     info["user"], info["password"], str(passive), str(SIZE)] + (["tls"] if options else []),
                    cwd=workdir, env=t.env, stdin=subprocess.DEVNULL, capture_output=True,
                    timeout=120)
                out = done.stdout.decode("cp1252", "replace")
                winelib.log("%s %s:\n%s" % (kind, mode, out))
                t.check_eq(done.returncode, 0, "%s %s: exit code (output: %s)" % (kind, mode, out))
                t.check("ALL OK" in out, "%s %s: every step worked" % (kind, mode))
                stored = os.path.join(info["home"], "roundtrip", "donnees.bin")
                with open(os.path.join(workdir, "envoi.bin"), "rb") as f:
                    sent = f.read()
                with open(stored, "rb") as f:
                    t.check(f.read() == sent, "%s %s: the server's copy equals the file sent"
                            % (kind, mode))
                shutil.rmtree(os.path.dirname(stored))  # the next mode makes it anew
        finally:
            peer.stdin.close()
            peer.wait(timeout=30)


if __name__ == "__main__":
    winelib.main(run)
