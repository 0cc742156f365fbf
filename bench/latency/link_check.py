#!/usr/bin/python3
"""Checks the loopback it runs on against the round trip asked of it.

usage: link_check.py ROUND_TRIP_MS

Over TCP on 127.0.0.1 (an echo server in this process): the smallest of a few one-byte
round trips, then a few megabytes echoed back whole. Prints what it measured; fails when
the round trip is shorter than asked (the delay is missing: a figure taken on this link
would be wrong), far longer (packets held twice), or when the echo came back different
(the delayer lost or mangled packets, large ones included).
"""
import os
import socket
import sys
import threading
import time

PINGS = 8
ECHO_BYTES = 4 * 1024 * 1024


def serve(listener):
    conn, _ = listener.accept()
    conn.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    with conn:
        while True:
            data = conn.recv(1 << 16)
            if not data:
                return
            conn.sendall(data)


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    asked = float(sys.argv[1])
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(1)
    threading.Thread(target=serve, args=(listener,), daemon=True).start()
    client = socket.create_connection(listener.getsockname(), timeout=60)
    client.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)

    trips = []
    for _ in range(PINGS):
        start = time.monotonic()
        client.sendall(b"x")
        if client.recv(1) != b"x":
            sys.exit("link_check: the echo of one byte came back different")
        trips.append((time.monotonic() - start) * 1000)
    measured = min(trips)

    payload = os.urandom(ECHO_BYTES)
    received = bytearray()
    sender = threading.Thread(target=client.sendall, args=(payload,))
    sender.start()
    while len(received) < len(payload):
        chunk = client.recv(1 << 16)
        if not chunk:
            break
        received += chunk
    sender.join()
    intact = bytes(received) == payload

    print("link: %g ms round trip asked, %.2f ms measured (smallest of %d), %d MB echoed %s"
          % (asked, measured, PINGS, ECHO_BYTES >> 20, "intact" if intact else "DIFFERENT"))
    # The clocks of the delayer and of this process read the same monotonic time; a round
    # trip a little under the asked one (timer slack) is still the asked link.
    if measured < asked * 0.98 or measured > asked * 1.5 + 5 or not intact:
        sys.exit(1)


if __name__ == "__main__":
    main()
