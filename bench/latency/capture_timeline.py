#!/usr/bin/python3
"""Where the time of an FTP upload goes, from a capture of a delayed loopback.

usage: capture_timeline.py CAPTURE ONE_WAY_MS [--reactions] [--files FIRST LAST]

CAPTURE is a pcap of the namespace's loopback taken by delayed_loopback.sh --capture:
each packet appears once, stamped when it reached its receiver (after the delay), so it
left ONE_WAY_MS earlier. For every FTP session in it (one control connection: the run of
one program) the time from the first STOR leaving to the last final reply arriving is
split into:

  wire    a packet that moves the exchange on was travelling: one with data, SYN or FIN,
          or the acknowledgement of a FIN (a server that closes with a linger waits for it);
  client  the client held it: the time from a packet's arrival to the client's next
          packet (its reaction to a reply, a poll loop, a held send);
  server  the same on the server's side;

along the chain of waits that leads to the last final reply (each packet on it left once
the one before it had arrived), and printed per file (from one STOR leaving to the next):
the mean and the median, which a loaded machine's rare stalls do not move. --reactions
adds each kind of wait on the chain (who waited, after which packet, before which one),
with its median and its share per file: the client's own waits, one by one. With --files FIRST LAST the packets of those files of each session
(1-based, counted by STOR) are listed with the gap before each, to read an exchange whole.
"""
import bisect
import re
import struct
import sys

SYN, FIN, ACK = 0x02, 0x01, 0x10
ADDRESS = re.compile(r"(\d+),(\d+),(\d+),(\d+),(\d+),(\d+)")


def read_pcap(path):
    with open(path, "rb") as f:
        data = f.read()
    scale = 1e-9 if struct.unpack_from("<I", data)[0] == 0xA1B23C4D else 1e-6
    packets, off = [], 24
    while off + 16 <= len(data):
        sec, frac, incl, _ = struct.unpack_from("<IIII", data, off)
        ip = data[off + 16 + 14:off + 16 + incl]
        off += 16 + incl
        if len(ip) < 40 or ip[9] != 6:
            continue
        ihl = (ip[0] & 15) * 4
        tcp = ip[ihl:]
        sport, dport, seq, ack = struct.unpack_from("!HHII", tcp)
        doff = (tcp[12] >> 4) * 4
        length = struct.unpack_from("!H", ip, 2)[0] - ihl - doff
        line = tcp[doff:].splitlines()[0].decode("latin-1") if length > 0 and tcp[doff:].strip() else ""
        packets.append({"t": sec + frac * scale, "sport": sport, "dport": dport, "flags": tcp[13],
                        "seq": seq, "ack": ack, "len": length, "line": line})
    return packets


class Session:
    def __init__(self, client_port, server_port):
        self.control = (client_port, server_port)
        self.server_ports = {server_port}   # the control port and announced passive ports
        self.client_ports = {client_port}   # the control port and announced active ports
        self.connections = {frozenset(self.control): server_port}  # ports -> the server's
        self.packets = []

    def owns(self, p):
        return frozenset((p["sport"], p["dport"])) in self.connections

    def from_server(self, p):
        return p["sport"] == self.connections[frozenset((p["sport"], p["dport"]))]


def sessions(packets):
    """Control connections in order, each with the packets of its data connections."""
    found = []
    for p in packets:
        owner = next((s for s in reversed(found) if s.owns(p)), None)
        if p["flags"] & SYN and not p["flags"] & ACK and owner is None:
            # A passive data connection goes to an announced server port, an active one
            # from the server to an announced client port; anything else is a new login.
            owner = next((s for s in reversed(found) if p["dport"] in s.server_ports - {s.control[1]}), None)
            if owner:
                owner.connections[frozenset((p["sport"], p["dport"]))] = p["dport"]
            else:
                owner = next((s for s in reversed(found) if p["dport"] in s.client_ports - {s.control[0]}), None)
                if owner:
                    owner.connections[frozenset((p["sport"], p["dport"]))] = p["sport"]
                else:
                    owner = Session(p["sport"], p["dport"])
                    found.append(owner)
        if owner is None:
            continue
        owner.packets.append(p)
        m = ADDRESS.search(p["line"])
        if m and p["line"].startswith("227"):
            owner.server_ports.add(int(m.group(5)) * 256 + int(m.group(6)))
        elif m and p["line"].upper().startswith("PORT "):
            owner.client_ports.add(int(m.group(5)) * 256 + int(m.group(6)))
    return found


def critical_path(s, one_way):
    """The chain of waits that ends with the session's last final reply, walked backwards:
    each packet on it left once the packet before it on the chain had reached its sender.
    Gives the files' STOR indices and, per file (from one STOR leaving to the next), the
    time the chain spent travelling, at the client and at the server."""
    pk = s.packets
    stors = [i for i, p in enumerate(pk) if p["line"].upper().startswith("STOR ")]
    finals = [i for i, p in enumerate(pk) if s.from_server(p) and p["line"][:3] == "226"]
    if not stors or not finals:
        return None
    fin_acks = {(p["dport"], p["sport"], (p["seq"] + p["len"] + 1) & 0xFFFFFFFF) for p in pk if p["flags"] & FIN}
    moving = [p for p in pk if p["len"] > 0 or p["flags"] & (SYN | FIN) or (p["sport"], p["dport"], p["ack"]) in fin_acks]
    to_client = [p for p in moving if s.from_server(p)]
    to_server = [p for p in moving if not s.from_server(p)]
    times = {True: [p["t"] for p in to_server], False: [p["t"] for p in to_client]}
    starts = [pk[i]["t"] - one_way for i in stors]
    files = [{"wire": 0.0, "client": 0.0, "server": 0.0} for _ in stors]
    reactions = []  # (who, what arrived, what it sent, seconds)

    def add(kind, a, b):
        # Spread the interval [a, b) over the files it overlaps.
        for f in range(max(0, bisect.bisect_right(starts, a) - 1), len(starts)):
            lo, hi = max(a, starts[f]), min(b, starts[f + 1] if f + 1 < len(starts) else b)
            if hi > lo:
                files[f][kind] += hi - lo
            if f + 1 < len(starts) and starts[f + 1] >= b:
                break

    p = pk[finals[-1]]
    while p["t"] - one_way > starts[0]:
        sent = p["t"] - one_way
        add("wire", sent, p["t"])
        # What the sender had last received before it sent this.
        sender_is_server = s.from_server(p)
        k = bisect.bisect_right(times[sender_is_server], sent) - 1
        if k < 0:
            break
        cause = (to_server if sender_is_server else to_client)[k]
        who = "server" if sender_is_server else "client"
        add(who, max(cause["t"], starts[0]), sent)
        reactions.append((who, label(s, cause, fin_acks), label(s, p, fin_acks), sent - cause["t"]))
        p = cause
    return stors, files, reactions


def label(s, p, fin_acks):
    """A short name for a packet on the chain: the command or reply code, or what it is."""
    if p["flags"] & SYN:
        return "SYN-ACK" if p["flags"] & ACK else "SYN"
    if p["flags"] & FIN:
        return "data+FIN" if p["len"] > 0 else "FIN"
    if (p["sport"], p["dport"], p["ack"]) in fin_acks:
        return "ACK of FIN"
    if frozenset((p["sport"], p["dport"])) != frozenset(s.control):
        return "data"
    return p["line"].split(" ")[0][:4].upper() or "?"


def median(values):
    v = sorted(values)
    return (v[len(v) // 2] + v[(len(v) - 1) // 2]) / 2


def list_files(s, stors, first, last):
    pk = s.packets
    lo = stors[first - 1]
    hi = stors[last] if last < len(stors) else len(pk)
    prev = None
    for p in pk[lo:hi]:
        flags = "".join(c for c, b in zip("FSRPA", (1, 2, 4, 8, 16)) if p["flags"] & b)
        gap = (p["t"] - prev) * 1000 if prev else 0.0
        print("    %+8.3f ms  %-6s %5d>%-5d %-5s %5d  %s" % (gap, "server" if s.from_server(p) else "client",
                                                          p["sport"], p["dport"], flags, p["len"], p["line"][:48]))
        prev = p["t"]


def main():
    args = sys.argv[1:]
    reacting = "--reactions" in args
    if reacting:
        args.remove("--reactions")
    files = None
    if len(args) == 5 and args[2] == "--files":
        files = int(args[3]), int(args[4])
    elif len(args) != 2:
        sys.exit(__doc__)
    one_way = float(args[1]) / 1000
    for n, s in enumerate((s for s in sessions(read_pcap(args[0])) if critical_path(s, one_way)), 1):
        stors, per_file, reactions = critical_path(s, one_way)
        parts = []
        for kind in ("wire", "client", "server"):
            values = [f[kind] * 1000 for f in per_file]
            parts.append("%s %.2f (median %.2f)" % (kind, sum(values) / len(values), median(values)))
        total = [sum(f.values()) * 1000 for f in per_file]
        print("session %d (control port %d): %d files, ms per file: %.2f (median %.2f) = %s"
              % (n, s.control[1], len(stors), sum(total) / len(total), median(total), ", ".join(parts)))
        if reacting:
            # Each kind of reaction on the chain: how often, its median, and its share per file.
            kinds = {}
            for who, cause, answer, seconds in reactions:
                kinds.setdefault((who, cause, answer), []).append(seconds * 1000)
            for (who, cause, answer), ms in sorted(kinds.items(), key=lambda kv: -sum(kv[1])):
                if len(ms) >= len(stors) // 10:
                    print("    %-6s %-10s -> %-10s %4d times, median %6.3f ms, %6.3f ms per file"
                          % (who, cause, answer, len(ms), median(ms), sum(ms) / len(stors)))
        if files:
            list_files(s, stors, *files)

if __name__ == "__main__":
    main()
