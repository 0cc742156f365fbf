#!/usr/bin/python3
"""The Windows build's TLS stream (Schannel through SSPI) against openssl s_server on 127.0.0.1.

velmo_tls_check.exe handshakes, reports how it judged the server's certificate, trusts it
if needed, exchanges a line with `s_server -rev`, closes with close_notify and connects a
second time offering the first connection's session. The certificates are the native
tests' (make_tls_certificates: a test CA and leaves it signs, a self-signed one).
"""

import os
import socket
import subprocess
import threading
import time

import winelib


def fingerprint(pem):
    out = subprocess.run(["openssl", "x509", "-noout", "-fingerprint", "-sha256", "-in", pem],
                         check=True, capture_output=True, text=True).stdout
    return out.strip().split("=", 1)[1]


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def start_server(t, name, extra, logpath):
    port = free_port()
    logf = open(logpath, "wb")
    proc = subprocess.Popen(["openssl", "s_server", "-accept", "127.0.0.1:%d" % port,
                             "-cert", name + ".pem", "-key", name + ".key"] + extra,
                            stdin=subprocess.DEVNULL, stdout=logf, stderr=subprocess.STDOUT)
    t._procs.append(proc)
    for _ in range(200):
        with socket.socket() as s:
            if s.connect_ex(("127.0.0.1", port)) == 0:
                return proc, port
        time.sleep(0.05)
    raise winelib.HarnessError("openssl s_server did not start")


def check_tls(t, host, port, ca, pin, timeout_ms, what):
    done = subprocess.run([winelib.WINE, t.exe("velmo_tls_check.exe"), host, str(port), ca, pin,
                           str(timeout_ms)], cwd=t.workdir, env=t.env, stdin=subprocess.DEVNULL,
                          capture_output=True, timeout=120)
    out = done.stdout.decode("utf-8", "replace")
    winelib.log("%s (exit %d):\n%s" % (what, done.returncode, out))
    facts = dict(line.split("=", 1) for line in out.splitlines() if "=" in line)
    return done.returncode, facts


def run(t):
    certs = os.path.join(t.workdir, "certs")
    os.makedirs(certs)
    subprocess.run([t.native("make_tls_certificates"), certs], check=True)
    ca = os.path.join(certs, "ca.pem")
    rows = [  # what, leaf, host typed, extra CA, pinned certificate, reason
        ("CA-signed, by address", "good", "127.0.0.1", ca, "-", "none"),
        ("CA-signed, by name", "good", "localhost", ca, "-", "none"),
        ("CA not offered", "good", "127.0.0.1", "-", "-", "untrusted"),
        ("other name typed", "good", "velmo.example", ca, "-", "namemismatch"),
        ("self-signed", "self", "127.0.0.1", ca, "-", "untrusted"),
        ("expired", "expired", "127.0.0.1", ca, "-", "outofdate"),
        ("not yet valid", "future", "127.0.0.1", ca, "-", "outofdate"),
        ("made for another name", "other", "127.0.0.1", ca, "-", "namemismatch"),
        ("pinned self-signed", "self", "velmo.example", "-", "self.pem", "none"),
    ]
    for what, leaf, host, extra_ca, pin, reason in rows:
        logpath = os.path.join(t.results, "s_server-%s.txt" % leaf)
        server, port = start_server(t, os.path.join(certs, leaf), ["-rev"], logpath)
        try:
            pin_path = os.path.join(certs, pin) if pin != "-" else "-"
            code, facts = check_tls(t, host, port, extra_ca, pin_path, 10000, what)
            t.check_eq(code, 0, "%s: every exchange worked" % what)
            t.check_eq(facts.get("outcome"), "done" if reason == "none" else "untrusted",
                       "%s: handshake outcome" % what)
            t.check_eq(facts.get("reason"), reason, "%s: reason" % what)
            t.check_eq(facts.get("sha256"), fingerprint(os.path.join(certs, leaf + ".pem")),
                       "%s: fingerprint as openssl computes it" % what)
            t.check("Velmo essais" in facts.get("subject", ""), "%s: subject read" % what)
            t.check(facts.get("notbefore", "") < facts.get("notafter", ""), "%s: dates read" % what)
            t.check_eq(facts.get("refused_before_trust"), "1",
                       "%s: nothing is sent before the certificate is trusted" % what)
            t.check(facts.get("protocol") in ("TLSv1.2", "TLSv1.3"), "%s: TLS 1.2 or later" % what)
            t.check_eq(facts.get("close_notify"), "1", "%s: close_notify sent" % what)
            t.check_eq(facts.get("second_outcome"), "done", "%s: pinned reconnection" % what)
            # Wine's Schannel keeps no client session cache (its GnuTLS session data is never
            # saved or offered), so resumption is only noted here; Windows resumes.
            winelib.log("%s: second connection resumed=%s" % (what, facts.get("resumed")))
        finally:
            server.kill()
            server.wait(10)
        with open(logpath, "rb") as f:
            served = f.read().decode("utf-8", "replace")
        # (what comes before the first handshake is start_server's probe connection)
        served = served[served.find("CONNECTION ESTABLISHED"):]
        t.check(served.count("CONNECTION CLOSED") == 2 and "unexpected eof" not in served,
                "%s: the server saw both connections end with close_notify" % what)

    # An old server: TLS 1.1 only (allowed on the server side by security level 0).
    server, port = start_server(t, os.path.join(certs, "good"),
                                ["-rev", "-tls1_1", "-cipher", "DEFAULT:@SECLEVEL=0"],
                                os.path.join(t.results, "s_server-tls11.txt"))
    code, facts = check_tls(t, "127.0.0.1", port, ca, "-", 10000, "TLS 1.1 server")
    t.check(code == 3 and facts.get("outcome") in ("failed", "closed"),
            "a TLS 1.1 server is refused (outcome %s)" % facts.get("outcome"))
    server.kill()
    server.wait(10)

    # A peer that accepts and says nothing: the handshake gives up after the bound.
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(4)
    held = []
    stop = threading.Event()

    def accept():
        listener.settimeout(0.2)
        while not stop.is_set():
            try:
                held.append(listener.accept()[0])
            except OSError:
                pass
    thread = threading.Thread(target=accept)
    thread.start()
    try:
        code, facts = check_tls(t, "127.0.0.1", listener.getsockname()[1], ca, "-", 800, "silent")
    finally:
        stop.set()
        thread.join()
        for c in held:
            c.close()
        listener.close()
    t.check_eq(facts.get("outcome"), "timedout", "a silent peer times out")
    elapsed = int(facts.get("elapsed_ms", "0"))
    t.check(800 <= elapsed < 5000, "the silence bound is kept (%d ms)" % elapsed)

    # A server that stops reading for a while: sends cut short by their silence bound are
    # called again with the same bytes, and the server must get every byte once, in order.
    check_slow_reader(t, certs)


def check_slow_reader(t, certs):
    import hashlib
    import ssl
    total = 24 * 1024 * 1024
    ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    ctx.load_cert_chain(os.path.join(certs, "self.pem"), os.path.join(certs, "self.key"))
    listener = socket.socket()
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 65536)
    listener.bind(("127.0.0.1", 0))
    listener.listen(1)
    got = {}

    def serve():
        conn, _ = listener.accept()
        with ctx.wrap_socket(conn, server_side=True) as tls:
            time.sleep(1.5)  # not reading: the client's sends stall past their bound
            digest, count = hashlib.sha256(), 0
            while True:
                data = tls.recv(65536)
                if not data:
                    break
                digest.update(data)
                count += len(data)
            got.update(count=count, sha=digest.hexdigest())
    thread = threading.Thread(target=serve)
    thread.start()
    done = subprocess.run([winelib.WINE, t.exe("velmo_tls_check.exe"), "--slow-send", "127.0.0.1",
                           str(listener.getsockname()[1]), str(total)], cwd=t.workdir, env=t.env,
                          stdin=subprocess.DEVNULL, capture_output=True, timeout=120)
    thread.join(60)
    listener.close()
    out = done.stdout.decode("utf-8", "replace")
    winelib.log("slow reader (exit %d):\n%s" % (done.returncode, out))
    facts = dict(line.split("=", 1) for line in out.splitlines() if "=" in line)
    expected = hashlib.sha256(bytes(i % 251 for i in range(total))).hexdigest()
    t.check_eq(done.returncode, 0, "slow reader: every byte sent")
    t.check(int(facts.get("timed_out", "0")) > 0, "slow reader: sends ran out of their bound")
    t.check_eq((got.get("count"), got.get("sha")), (total, expected),
               "slow reader: the server got every byte once, in order")


if __name__ == "__main__":
    winelib.main(run)
