#!/usr/bin/python3
"""A local FTP server for trying the suite without an FTP account (pyftpdlib, Debian's
python3-pyftpdlib, so /usr/bin/python3).

    demo_ftp_server.py --home DIR [--port N] [--user NAME] [--password TEXT]
                       [--tls-cert PEM [--tls-required]]

Listens on 127.0.0.1 only. One account whose login directory is DIR (created when
missing), with every right the suite uses, SITE CHMOD included. Port 0 (the default) takes
a free port. Once it listens it prints one line
    ready host=127.0.0.1 port=N user=NAME password=TEXT home=DIR
and flushes; it runs until SIGTERM or SIGINT.

With --tls-cert (one PEM file holding the certificate and its key) the server also offers
explicit FTP over TLS (AUTH TLS, PBSZ, PROT: python3-openssl); --tls-required refuses a
login or a data connection in clear.
"""

import argparse
import logging
import os
import signal
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--home", required=True)
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--user", default="velmo")
    parser.add_argument("--password", default="demo")
    parser.add_argument("--log", help="file for the server's own log (default: none)")
    parser.add_argument("--tls-cert", help="PEM file with certificate and key: offer AUTH TLS")
    parser.add_argument("--tls-required", action="store_true", help="refuse logins and data in clear")
    args = parser.parse_args()

    home = os.path.abspath(args.home)
    os.makedirs(home, exist_ok=True)
    if args.log:
        logging.basicConfig(filename=args.log, level=logging.INFO)
    else:
        logging.basicConfig(level=logging.CRITICAL)

    authorizer = DummyAuthorizer()
    # e l r a d f m w M T: every listing, transfer, folder and mode right (M = SITE CHMOD).
    authorizer.add_user(args.user, args.password, home, perm="elradfmwMT")
    handler = FTPHandler
    if args.tls_cert:
        from pyftpdlib.handlers import TLS_FTPHandler
        handler = TLS_FTPHandler
        handler.certfile = args.tls_cert
        handler.keyfile = args.tls_cert
        handler.tls_control_required = args.tls_required
        handler.tls_data_required = args.tls_required
    handler.authorizer = authorizer
    handler.passive_ports = None
    server = FTPServer(("127.0.0.1", args.port), handler)
    port = server.socket.getsockname()[1]

    def stop(*_):
        server.close_all()
        sys.exit(0)

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)
    print("ready host=127.0.0.1 port=%d user=%s password=%s home=%s"
          % (port, args.user, args.password, home), flush=True)
    # With a timeout the idle-session timer works (pyftpdlib checks it between polls).
    server.serve_forever(timeout=0.5)


if __name__ == "__main__":
    main()
