#!/usr/bin/python3
"""An official site that answers every request with one hostile answer, for the Wine tests.

    hostile_http_server.py --answer KIND [--status N] [--log FILE]

KIND is one of:
    huge-length  the status line (200 by default, --status N for another) and the header
                 "Content-Length: 99999999999", then a few bytes, then the connection closes
    elsewhere    "302 Found" to the same path on another port of 127.0.0.1 (a second
                 listener of this script, which answers 200 with a small body and logs it)
    swallow      never takes a connection: its listener's queue is kept full (by one
                 connection of its own), so the system drops every further attempt and a
                 client's connect waits as long as the client lets it

It listens on 127.0.0.1 only (ports chosen by the system), prints one line
    ready host=127.0.0.1 port=N other_port=M
and flushes, then serves until SIGTERM or SIGINT. Each request line is logged as
"<port> <request line>" (to FILE when given, else to standard error), so a test can see
which listener a client reached.
"""

import argparse
import signal
import socket
import sys
import threading

HEAD_LIMIT = 64 * 1024


def read_head(conn):
    """The request's bytes up to its empty line (or what came before the client stopped)."""
    data = b""
    conn.settimeout(10)
    try:
        while b"\r\n\r\n" not in data and len(data) < HEAD_LIMIT:
            chunk = conn.recv(4096)
            if not chunk:
                break
            data += chunk
    except OSError:
        pass
    return data


def serve(listener, answer, log):
    port = listener.getsockname()[1]
    while True:
        try:
            conn, _ = listener.accept()
        except OSError:
            return
        with conn:
            head = read_head(conn)
            request_line = head.split(b"\r\n", 1)[0].decode("latin-1")
            log("%d %s" % (port, request_line))
            parts = request_line.split(" ")
            target = parts[1] if len(parts) > 1 else "/"
            try:
                conn.sendall(answer(target))
                conn.shutdown(socket.SHUT_WR)
            except OSError:
                pass


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--answer", required=True, choices=["huge-length", "elsewhere", "swallow"])
    parser.add_argument("--status", type=int, default=200)
    parser.add_argument("--log")
    args = parser.parse_args()

    lock = threading.Lock()
    out = open(args.log, "a", encoding="utf-8") if args.log else sys.stderr

    def log(line):
        with lock:
            out.write(line + "\n")
            out.flush()

    def listen(backlog=16):
        s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        s.bind(("127.0.0.1", 0))
        s.listen(backlog)
        return s

    if args.answer == "swallow":
        listener = listen(0)
        port = listener.getsockname()[1]
        # One connection fills a queue of length 0; connect until one is no longer taken.
        fillers = []
        while True:
            c = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
            c.settimeout(0.3)
            try:
                c.connect(("127.0.0.1", port))
            except OSError:
                c.close()
                break
            fillers.append(c)
        stopped = threading.Event()
        signal.signal(signal.SIGTERM, lambda *_: stopped.set())
        signal.signal(signal.SIGINT, lambda *_: stopped.set())
        print("ready host=127.0.0.1 port=%d other_port=0" % port, flush=True)
        while not stopped.wait(0.5):
            pass
        return

    main_listener, other_listener = listen(), listen()
    other_port = other_listener.getsockname()[1]

    def hostile(target):
        if args.answer == "huge-length":
            return ("HTTP/1.1 %d Hostile\r\nContent-Length: 99999999999\r\n\r\n[Grp_" % args.status).encode()
        return ("HTTP/1.1 302 Found\r\nLocation: http://127.0.0.1:%d%s\r\nContent-Length: 0\r\n\r\n"
                % (other_port, target)).encode()

    def elsewhere(target):
        body = b"[Grp_NumeroDeVersion_Exe_Script_SiteOfficiel]\r\n2010000 = 1000000\r\n"
        return b"HTTP/1.1 200 OK\r\nContent-Length: %d\r\n\r\n" % len(body) + body

    for listener, answer in ((main_listener, hostile), (other_listener, elsewhere)):
        threading.Thread(target=serve, args=(listener, answer, log), daemon=True).start()

    stopped = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stopped.set())
    signal.signal(signal.SIGINT, lambda *_: stopped.set())
    print("ready host=127.0.0.1 port=%d other_port=%d" % (main_listener.getsockname()[1], other_port), flush=True)
    while not stopped.wait(0.5):
        pass
    main_listener.close()
    other_listener.close()


if __name__ == "__main__":
    main()
