"""Reads packaging/release.conf and packaging/programs.tsv (see those files), for the build,
scripts/package.sh and the delivery tests. Standard library only."""

import os
from collections import namedtuple

HERE = os.path.dirname(os.path.abspath(__file__))

Program = namedtuple("Program", "name folder picture description")


def release(path=os.path.join(HERE, "release.conf")):
    """{"version": "1.0.1", "year": ..., "product": ..., "publisher": ..., "name": ...}"""
    values = {}
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.strip()
            if line and not line.startswith("#"):
                key, _, value = line.partition("=")
                values[key.strip()] = value.strip()
    for key in ("version", "year", "product", "publisher", "name"):
        if not values.get(key):
            raise ValueError("%s: no %s" % (path, key))
    return values


def programs(path=os.path.join(HERE, "programs.tsv")):
    """The delivered programs, in table order."""
    rows = []
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.rstrip("\r\n")
            if not line or line.startswith("#"):
                continue
            fields = line.split("\t")
            if len(fields) != 4 or fields[1] not in (".", "Tools") or not all(fields):
                raise ValueError("%s:%d: expected program, . or Tools, picture, description"
                                 % (path, number))
            rows.append(Program(*fields))
    return rows


def program(name, path=os.path.join(HERE, "programs.tsv")):
    """The table's row for `name`, or None."""
    return next((p for p in programs(path) if p.name == name), None)
