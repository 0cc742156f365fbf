#!/usr/bin/python3
"""Starts the demo folder's launcher (or, without it, the installer) under Wine.

    demo_wine.py --demo build/demo --prefix build/demo-wine --build-dir build/windows

The prefix is made once (virtual desktop, Wine's fonts, "Trebuchet MS" mapped to DejaVu
Sans: the same set-up as the Wine tests) and kept for the next runs.

With $DISPLAY set, the programs show there and this waits until the last of them has
ended (the launcher starts a tool and ends; a tool going back starts the launcher again).
Without a display it starts an Xvfb of its own, waits for the first window, saves a
screenshot to <demo>/screenshot.png, ends the programs and says how to get a display.
"""

import argparse
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "wine"))
import winelib  # noqa: E402

LAUNCHER_TITLE = "Menu général - [Velmo, Softwares 1.0.1]"
INSTALLER_TITLE = "Velmo, Transfert."


def display_number(value):
    """':0' or ':1.0' or 'localhost:10.0' -> the number winelib's helpers take."""
    tail = value.rsplit(":", 1)[-1]
    return int(tail.split(".")[0])


def find_driver(build_dir):
    for dirpath, _, files in os.walk(build_dir):
        if "velmo_driver.exe" in files:
            return os.path.join(dirpath, "velmo_driver.exe")
    return None


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--demo", required=True)
    parser.add_argument("--prefix", required=True)
    parser.add_argument("--build-dir", required=True)
    args = parser.parse_args()
    demo = os.path.abspath(args.demo)
    prefix = os.path.abspath(args.prefix)

    own_display = None
    if os.environ.get("DISPLAY"):
        display = display_number(os.environ["DISPLAY"])
        # winelib writes ":N"; a display such as "localhost:10.0" (ssh -X) is kept as given.
        given, plain_env = os.environ["DISPLAY"], winelib.base_env

        def env_with_given_display(number, prefix=None):
            env = plain_env(number, prefix)
            env["DISPLAY"] = given
            return env

        winelib.base_env = env_with_given_display
    else:
        own_display = winelib.Display()
        display = own_display.number
        print("demo: no DISPLAY, using a virtual X server (:%d)" % display, flush=True)

    try:
        if not os.path.isfile(os.path.join(prefix, "system.reg")):
            print("demo: preparing the Wine prefix %s (once, about 15 s)" % prefix, flush=True)
            winelib.make_template(prefix, display)
        env = winelib.base_env(display, prefix)

        launcher = os.path.join(demo, "Velmo_Menu.exe")
        if os.path.isfile(launcher):
            program, cwd, title = launcher, demo, LAUNCHER_TITLE
        else:
            program = os.path.join(demo, "Tools", "Velmo_Transfert.exe")
            cwd, title = os.path.join(demo, "Tools"), INSTALLER_TITLE
            print("demo: no Velmo_Menu.exe built, starting the installer itself", flush=True)
        print("demo: starting %s" % os.path.relpath(program, demo), flush=True)
        log = open(os.path.join(demo, "wine.log"), "ab")
        subprocess.Popen([winelib.WINE, program], cwd=cwd, env=env, stdin=subprocess.DEVNULL,
                         stdout=log, stderr=subprocess.STDOUT)

        if own_display is None:
            print("demo: the window is on %s; close the programs to end the demo"
                  % os.environ["DISPLAY"], flush=True)
            subprocess.run([winelib.WINESERVER, "-w"], env=env)
            return 0

        shot = os.path.join(demo, "screenshot.png")
        driver = find_driver(args.build_dir)
        if driver:
            subprocess.run([winelib.WINE, driver, "find", title, "30000"], env=env,
                           stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, timeout=90, check=False)
        else:
            time.sleep(8)  # no driver to ask: give the window time to show
        subprocess.run(["import", "-display", ":%d" % display, "-window", "root", shot],
                       check=False, timeout=60)
        print("demo: screenshot of the window saved to %s" % shot)
        print("demo: there was no display to show it on. To use the programs, run this")
        print("      again where $DISPLAY names an X server: on a desktop session, over")
        print("      'ssh -X', or in a VNC session (e.g. 'apt-get install tigervnc-standalone-server',")
        print("      'vncserver :1', then 'DISPLAY=:1 bash scripts/run.sh' and a VNC viewer on :1).")
        winelib.kill_wineserver(prefix, display)
        return 0
    finally:
        if own_display:
            own_display.stop()


if __name__ == "__main__":
    sys.exit(main())
