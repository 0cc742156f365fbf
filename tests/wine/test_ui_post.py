#!/usr/bin/python3
"""Posted tasks in the Win32 back end, in a real message loop: velmo_ui_post_check.exe
posts from worker threads while its window's thread sits in a message box, then checks
where, when and in which order the tasks ran (see ui_post_check.cpp); it prints each failed
check and exits with their number."""

import os

import winelib


def run(t):
    proc = t.start(t.exe("velmo_ui_post_check.exe"))
    code = t.wait_process(proc, 120)
    with open(os.path.join(t.results, "velmo_ui_post_check.exe.log"), encoding="utf-8",
              errors="replace") as f:
        lines = f.read().splitlines()
    for line in lines:
        if line.startswith("FAIL"):
            t.check(False, line)
    t.check_eq(code, 0, "exit code (failed checks)")
    t.check(any(line.startswith("ok:") for line in lines), "the check ran to its end")


if __name__ == "__main__":
    winelib.main(run)
