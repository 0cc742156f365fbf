#!/usr/bin/python3
"""The settings files on the Windows build: velmo_settings_files.exe opens files other
programs hold, races two savers against a reader, saves past a read-only leftover and
keeps attributes; here the script also gives it a link to save through (a link as Wine
sees it: a Unix symbolic link in the prefix's drive) and checks the link stayed a link.
"""

import os
import subprocess

import winelib


def run(t):
    os.makedirs(os.path.join(t.workdir, "reel"))
    target = os.path.join(t.workdir, "reel", "config.pcfg")
    with open(target, "wb") as f:
        f.write(b"ancien = 1\r\n")
    link = os.path.join(t.workdir, "lien.pcfg")
    os.symlink(os.path.join("reel", "config.pcfg"), link)
    # The output goes to a file first, so a program that hangs still shows how far it got.
    out_path = os.path.join(t.root, "settings_files.out")
    with open(out_path, "wb") as out_file:
        try:
            done = subprocess.run([winelib.WINE, t.exe("velmo_settings_files.exe")], cwd=t.workdir,
                                  env=t.env, stdin=subprocess.DEVNULL, stdout=out_file,
                                  stderr=subprocess.STDOUT, timeout=240)
        finally:
            with open(out_path, "rb") as f:
                out = f.read().decode("cp1252", "replace")
            winelib.log(out)
    for line in out.splitlines():
        if line.startswith("FAILED"):
            t.check(False, line)
    t.check_eq(done.returncode, 0, "exit code")
    t.check("ALL OK" in out, "every check of the program held")
    t.check(os.path.islink(link), "lien.pcfg is still a link")
    with open(target, "rb") as f:
        t.check_eq(f.read(), b"lien = oui\r\n", "the link's target holds the save")


if __name__ == "__main__":
    winelib.main(run)
