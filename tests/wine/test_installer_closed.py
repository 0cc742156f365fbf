#!/usr/bin/python3
"""Velmo_Transfert.exe closed by its close box while an upload runs.

The launcher's folder holds the stand-in velmo_record_start.exe as Velmo_Menu.exe and
Tools/ the installer with the sample livre-dor; a pyftpdlib server on 127.0.0.1 receives
the upload. Closing the main window half-way must start the launcher (in its own folder)
and end the installer at once with exit code 0, the upload thread still working: nothing
it uses is torn down under it, so nothing crashes on the way out.
"""

import os
import shutil

import test_installer
import winelib


def run(t):
    d = t.driver
    tools = t.installer_tools()
    shutil.copy(t.exe("velmo_record_start.exe"), os.path.join(t.workdir, "Velmo_Menu.exe"))
    ftp_home = os.path.join(t.root, "ftp-home")
    server, port, password = test_installer.start_ftp(t, ftp_home)
    try:
        app = t.start(os.path.join(tools, "Velmo_Transfert.exe"), cwd=tools)
        hwnd, _ = test_installer.find_ready(t, d)
        for field, text in ((13, "127.0.0.1"), (16, "velmo"), (19, password), (30, str(port))):
            d.settext(hwnd, field, text)
        d.click(hwnd, 42)
        t.wait_until(lambda: d.progress(hwnd, 37)[0] >= 10, "upload under way", timeout=120)
        t.screenshot("before-closing")
        d.close(hwnd)
        t.check_eq(t.wait_process(app, 30), 0, "installer exit code after closing during the upload")
        started = os.path.join(t.workdir, "started.txt")
        if t.wait_until(lambda: os.path.exists(started), "the launcher wrote started.txt"):
            with open(started, encoding="utf-8") as f:
                folder = f.read().split("\n")[0]
            t.check_eq(folder.lower(), ("Z:" + t.workdir.replace("/", "\\")).lower(),
                       "the launcher's working directory")
        sent = test_installer.files_below(os.path.join(ftp_home, "livre-dor"))
        t.check(0 < len(sent) < 309, "the upload was cut short: %d files on the server" % len(sent))
    finally:
        server.terminate()
        server.wait(10)


if __name__ == "__main__":
    winelib.main(run)
