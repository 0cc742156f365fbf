#!/usr/bin/python3
"""The zip a Windows user downloads (dist/<name>-<version>.zip from scripts/package.sh).

Its listing is the delivered tree exactly (in order, empty folders kept); its programs are
the release build's, stripped, and carry the version information and icon Windows shows
for them (read under Wine with the system's own calls); LISEZMOI.txt is CP1252 with CRLF;
and laying the tree out again gives the same zip bytes, whatever the files' times.
"""

import os
import subprocess
import tempfile
import time
import zipfile

import deliverylib
import winelib


def run(t):
    path = deliverylib.dist_file(".zip")
    with zipfile.ZipFile(path) as z:
        names = z.namelist()
        t.check_eq(names, deliverylib.delivered_tree(t.build_dir), "zip listing")
        t.check_eq(len({i.date_time for i in z.infolist()}), 1, "one date for every entry")
        z.extractall(t.workdir)
        readme = z.read("LISEZMOI.txt")

    built = deliverylib.built_programs(t.build_dir)
    t.check(deliverylib.LAUNCHER in built and "Velmo_Transfert" in built,
            "the release build has the launcher and the installer: %s" % sorted(built))
    for program, exe in sorted(built.items()):
        delivered = os.path.join(t.workdir, deliverylib.delivered_path(program))
        with open(delivered, "rb") as f, open(exe, "rb") as g:
            data = f.read()
            t.check(data == g.read(), program + " in the zip is the release build's")
        t.check(deliverylib.pe_is_stripped(data), program + " is stripped")
        deliverylib.check_resources(t, delivered, program)

    t.check(b"\n" not in readme.replace(b"\r\n", b""), "LISEZMOI.txt ends its lines with CRLF")
    text = readme.decode("cp1252")
    t.check("\xe9" in text and "é".encode("utf-8") not in readme, "LISEZMOI.txt is CP1252")
    for program in built:
        t.check(deliverylib.delivered_path(program).replace("/", "\\") in text,
                "LISEZMOI.txt names " + program)

    # Two layouts a second apart (so every file time differs) give the same bytes.
    zips = []
    for _ in range(2):
        out = tempfile.mkdtemp(dir=t.root)
        subprocess.run(["/usr/bin/python3", os.path.join(winelib.REPO, "packaging", "assemble.py"),
                        "--build", t.build_dir, "--out", out, "--epoch", "1700000000"],
                       check=True, stdout=subprocess.DEVNULL)
        with open(os.path.join(out, os.path.basename(path)), "rb") as f:
            zips.append(f.read())
        time.sleep(1.1)
    t.check(zips[0] == zips[1], "two layouts of one build give byte-identical zips")


if __name__ == "__main__":
    winelib.main(run)
