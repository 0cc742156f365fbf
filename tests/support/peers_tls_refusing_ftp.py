#!/usr/bin/python3
"""An FTP server over explicit TLS that refuses a download while the client sits in the
data connection's handshake, for the session layer's tests.

    peers_tls_refusing_ftp.py --cert PEM --key PEM --user U --password P

One client at a time. AUTH TLS, USER, PASS, PBSZ, PROT, TYPE, PWD and PASV are answered as
a server would. "RETR name" is answered "150", the client's data connection is taken and
its TLS hello read but never answered, and a moment later the control connection says
"550 <name>: refused." (the data connection stays open, silent, until the client drops
it). Any other command: "502". Real servers refuse before their 150; this one shows what a
client does when the refusal comes in the middle of the data handshake.

It listens on 127.0.0.1 only (port chosen by the system), prints one line
    ready port=N
and flushes, then serves until SIGTERM. Each command is logged to standard error.
"""

import argparse
import socket
import ssl
import sys
import time

REFUSAL_DELAY = 0.2  # seconds between the client's TLS hello and the 550


def serve(conn, ctx, args):
    stream = conn
    reader = conn.makefile("rb")
    listener = None
    held = []  # data connections kept open (and silent) until the session ends

    def send(line):
        stream.sendall((line + "\r\n").encode("latin-1"))

    send("220 velmo refusing test server")
    while True:
        raw = reader.readline()
        if not raw:
            break
        line = raw.decode("latin-1").rstrip("\r\n")
        print("<- " + line, file=sys.stderr, flush=True)
        word, _, argument = line.partition(" ")
        word = word.upper()
        if word == "AUTH":
            send("234 AUTH TLS ok.")
            stream = ctx.wrap_socket(conn, server_side=True)
            reader = stream.makefile("rb")
        elif word == "USER":
            send("331 password please.")
        elif word == "PASS":
            send("230 logged in." if argument == args.password else "530 no.")
        elif word in ("PBSZ", "PROT", "TYPE"):
            send("200 ok.")
        elif word == "PWD":
            send('257 "/" is the current directory.')
        elif word == "PASV":
            if listener:
                listener.close()
            listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
            listener.bind(("127.0.0.1", 0))
            listener.listen(1)
            port = listener.getsockname()[1]
            send("227 Entering Passive Mode (127,0,0,1,%d,%d)." % (port >> 8, port & 255))
        elif word == "RETR" and listener:
            send("150 opening data connection.")
            listener.settimeout(10)
            try:
                data, _ = listener.accept()
            except OSError:
                send("425 no data connection.")
                continue
            listener.close()
            listener = None
            held.append(data)
            data.settimeout(10)
            try:
                data.recv(4096)  # the client's hello, left unanswered
            except OSError:
                pass
            time.sleep(REFUSAL_DELAY)
            send("550 %s: refused." % argument)
        else:
            send("502 not here.")
    for data in held:
        data.close()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--cert", required=True)
    parser.add_argument("--key", required=True)
    parser.add_argument("--user", required=True)
    parser.add_argument("--password", required=True)
    args = parser.parse_args()
    ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    ctx.load_cert_chain(args.cert, args.key)
    server = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    server.bind(("127.0.0.1", 0))
    server.listen(4)
    print("ready port=%d" % server.getsockname()[1], flush=True)
    while True:
        conn, _ = server.accept()
        try:
            serve(conn, ctx, args)
        except (OSError, ssl.SSLError) as e:
            print("session ended: %s" % e, file=sys.stderr, flush=True)
        finally:
            conn.close()


if __name__ == "__main__":
    main()
