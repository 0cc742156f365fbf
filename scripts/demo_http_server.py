#!/usr/bin/python3
"""A local official site for trying Velmo_Maj without the internet (python's http.server).

    demo_http_server.py --root DIR [--port N] [--log FILE]

Serves the files below DIR (the sample site is sample/site-officiel, whose velmo-maj/
folder holds the version list and the update packages) on 127.0.0.1 only. Port 0 (the
default) takes a free port. Once it listens it prints one line
    ready host=127.0.0.1 port=N root=DIR
and flushes; it runs until SIGTERM or SIGINT.
"""

import argparse
import functools
import http.server
import os
import signal
import sys


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--log", help="file for the requests log (default: none)")
    args = parser.parse_args()

    root = os.path.abspath(args.root)
    log = open(args.log, "a", encoding="utf-8") if args.log else None

    class Handler(http.server.SimpleHTTPRequestHandler):
        def log_message(self, fmt, *values):
            if log:
                log.write("%s %s\n" % (self.log_date_time_string(), fmt % values))
                log.flush()

    server = http.server.ThreadingHTTPServer(
        ("127.0.0.1", args.port), functools.partial(Handler, directory=root))

    def stop(*_):
        sys.exit(0)

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)
    print("ready host=127.0.0.1 port=%d root=%s" % (server.server_address[1], root), flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
