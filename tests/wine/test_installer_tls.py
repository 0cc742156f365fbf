#!/usr/bin/python3
"""Velmo_Transfert.exe onto a host that refuses anything in clear, as a user meets it.

pure-ftpd on 127.0.0.1 with --tls=3 and a self-signed certificate (as shared hosts often
have one that names their own server). The form is filled, "Valider" is pressed: the program
asks about the certificate (its fingerprint as openssl gives it), Yes is answered, the whole
tree goes up and the closing box says so. The certificate is then kept in softwareDatas.
Every loopback packet of the run is captured: the password and a file's bytes never appear
in clear, while "AUTH TLS" does (the capture saw the connection).
"""

import os
import secrets
import signal
import struct
import subprocess

import test_installer
import winelib


def self_signed(t):
    cert, key = os.path.join(t.workdir, "serveur.pem"), os.path.join(t.workdir, "serveur.key")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                    "-subj", "/CN=ftp.hebergeur.test", "-keyout", key, "-out", cert],
                   check=True, capture_output=True)
    out = subprocess.run(["openssl", "x509", "-in", cert, "-noout", "-fingerprint", "-sha256"],
                         check=True, capture_output=True, text=True).stdout
    der = subprocess.run(["openssl", "x509", "-in", cert, "-outform", "DER"],
                         check=True, capture_output=True).stdout
    return cert, key, out.strip().split("=", 1)[1], der


def tcp_payloads(path):
    """{(src port, dst port): bytes} of every IPv4 TCP segment in a pcap file of `lo`."""
    flows = {}
    with open(path, "rb") as f:
        data = f.read()
    magic = struct.unpack("<I", data[:4])[0]
    endian = "<" if magic in (0xA1B2C3D4, 0xA1B23C4D) else ">"
    link = struct.unpack(endian + "I", data[20:24])[0]
    offset = 24
    while offset + 16 <= len(data):
        _, _, caplen, _ = struct.unpack(endian + "IIII", data[offset:offset + 16])
        frame = data[offset + 16:offset + 16 + caplen]
        offset += 16 + caplen
        ip = frame[14:] if link == 1 else frame[16:] if link == 113 else frame
        if len(ip) < 20 or ip[0] >> 4 != 4 or ip[9] != 6:
            continue
        ihl = (ip[0] & 15) * 4
        total = struct.unpack(">H", ip[2:4])[0]
        tcp = ip[ihl:total]
        if len(tcp) < 20:
            continue
        sport, dport = struct.unpack(">HH", tcp[:4])
        payload = tcp[(tcp[12] >> 4) * 4:]
        if payload:
            flows[(sport, dport)] = flows.get((sport, dport), b"") + payload
    return flows


def run(t):
    tools = t.installer_tools()
    cert, key, fingerprint, der = self_signed(t)
    peer, info = t.start_peer("pureftpd", "--tls", "required", "--tls-cert", cert, "--tls-key", key)
    port, password = int(info["port"]), info["password"]

    # A file of the tree gets bytes of its own, to look for in the capture.
    local = os.path.join(tools, "livre-dor")
    sample = sorted(test_installer.files_below(local, lambda rel, name: rel == "" or name == "Thumbs.db"))[0]
    marker = ("velmo-%s\n" % secrets.token_hex(24)).encode() * 64
    with open(os.path.join(local, sample), "wb") as f:
        f.write(marker)

    capture = os.path.join(t.results, "installer-tls.pcap")
    dump = subprocess.Popen(["tcpdump", "-i", "lo", "-U", "-s", "0", "-w", capture, "tcp"],
                            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    # tcpdump says "listening on lo" once it captures.
    dump.stderr.readline()
    try:
        install(t, t.driver, tools, info, fingerprint)
    finally:
        dump.send_signal(signal.SIGINT)
        dump.wait(10)
        peer.stdin.close()

    remote = os.path.join(info["home"], "livre-dor")
    want = test_installer.files_below(local, lambda rel, name: name == "Thumbs.db" or rel == "langues/")
    got = test_installer.files_below(remote)
    t.check_eq(sorted(got ^ want), [], "files only on one side")
    with open(os.path.join(remote, sample), "rb") as f:
        t.check(f.read() == marker, "the marked file arrived whole")

    # The user's answer is kept for every tool: this host and port, this certificate.
    with open(os.path.join(tools, "softwareDatas", "serveurs-tls.pcfg"), "rb") as f:
        kept = f.read().decode("cp1252")
    t.check("[127.0.0.1:%d]" % port in kept, "the server's group in serveurs-tls.pcfg")
    t.check(der.hex().upper() in kept, "the accepted certificate kept")

    flows = tcp_payloads(capture)
    control = b"".join(v for (s, d), v in flows.items() if port in (s, d))
    t.check(b"AUTH TLS" in control, "the capture holds the control connection")
    everything = b"".join(flows.values())
    t.check(len(everything) > len(marker), "the capture holds the transfers")
    t.check(password.encode() not in everything, "no password in clear")
    t.check(b"PASS " not in control, "no PASS command in clear")
    t.check(marker[:64] not in everything, "no file bytes in clear")


def install(t, d, tools, info, fingerprint):
    app = t.start(os.path.join(tools, "Velmo_Transfert.exe"), cwd=tools)
    hwnd, pid = test_installer.find_ready(t, d)
    for field, text in ((13, info["host"]), (16, info["user"]), (19, info["password"]),
                        (30, info["port"])):
        d.settext(hwnd, field, text)
    d.click(hwnd, 42)

    box, title, text = d.wait_box(pid, 60000)
    t.check_eq(title, "Certificat du serveur.", "certificate question title")
    t.check(fingerprint in text, "the question shows the SHA-256 fingerprint (%r)" % text)
    t.screenshot("certificate-question")
    d.answer(box, "IDYES")

    box, title, text = d.wait_box(pid, 300000)
    t.check_eq((title, text), ("Statut transfert.",
                               "Tous les dossiers et fichiers ont bien été transférés."),
               "closing message")
    d.answer(box)
    gen, _ = d.find("Générateur de lien.", 30000)
    d.close(gen)
    d.wait_gone(gen)
    t.close_without_launcher(d, hwnd, pid, app, "installer")


if __name__ == "__main__":
    winelib.main(run)
