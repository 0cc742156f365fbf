#!/usr/bin/python3
"""The setup program a Windows user downloads (dist/<name>-<version>-setup.exe), in a fresh
Wine prefix, as the user meets it:

- a silent install (/S) lays out exactly the delivered tree (plus the uninstaller) in the
  user's own program folder, with the Add/Remove Programs entry, the start-menu entry and
  the desktop shortcut;
- the start-menu entry starts the installed launcher in its folder, the launcher starts an
  installed tool in Tools (the installer, which refuses to start without livre-dor beside
  it), and closing the tool brings the launcher back;
- the silent uninstall (the entry's QuietUninstallString) removes the programs and keeps
  the user's data: a backup in sauvegardes and the settings in softwareDatas;
- installing again keeps that data; uninstalling by hand and answering "Oui" to the
  question removes it too, and the installation folder with it.
"""

import glob
import os
import re
import shutil
import subprocess

import deliverylib
import winelib

UNINSTALL_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Velmo_Softwares"
PRODUCT = deliverylib.RELEASE["product"]
LAUNCHER_TITLE = "Menu général - [Velmo, Softwares 1.0.1]"
INSTALLER_TITLE = "Velmo, Transfert."
# NSIS's French caption, then the page's sub-caption, which the modern UI makes a blank.
UNINSTALL_TITLE = "Désinstallation de %s " % PRODUCT
BACKUP = "Tools/sauvegardes/2026_12_08__10_00_00/livre-dor/data/messages.dat"
SETTINGS = "Tools/softwareDatas/config.pcfg"


def wine_run(t, args, name, timeout=300):
    """(exit code, output) of a Windows command run to its end; output goes through a file
    (a Wine process started by it may outlive it and hold a pipe open)."""
    out_path = os.path.join(t.root, name + ".out")
    with open(out_path, "wb") as out:
        rc = subprocess.run([winelib.WINE] + args, env=t.env, cwd=t.workdir, stdin=subprocess.DEVNULL,
                            stdout=out, stderr=subprocess.STDOUT, timeout=timeout).returncode
    with open(out_path, "rb") as f:
        return rc, f.read().decode("utf-8", "replace")


def uninstall_entry(t):
    """{name: value} of the Add/Remove Programs entry, {} when there is none."""
    rc, out = wine_run(t, ["reg", "query", UNINSTALL_KEY], "reg")
    if rc != 0:
        return {}
    values = {}
    for line in out.splitlines():
        m = re.match(r"^\s+(\S.*?)\s{4}(REG_\w+)\s{4}(.*?)\s*$", line)
        if m:
            values[m.group(1)] = m.group(3)
    return values


def unix_path(t, windows_path):
    rc, out = wine_run(t, ["winepath", "-u", windows_path], "winepath")
    t.check_eq(rc, 0, "winepath of " + windows_path)
    return out.strip().rstrip("/")


def shortcuts(t):
    """The suite's shortcuts anywhere in the prefix's user folders (start menu, desktop)."""
    users = os.path.join(t.prefix, "drive_c", "users")
    return sorted(os.path.relpath(p, users)
                  for p in glob.glob(os.path.join(users, "*", "**", "*.lnk"), recursive=True)
                  if PRODUCT in p)


def install(t, setup):
    rc, out = wine_run(t, [setup, "/S"], "setup")
    t.check_eq(rc, 0, "exit code of the silent install (%s)" % out.strip())
    entry = uninstall_entry(t)
    t.check(entry != {}, "Add/Remove Programs entry after the install")
    return entry


def run(t):
    setup = deliverylib.dist_file("-setup.exe")
    # Wine links the user's Desktop, Documents... to the real home folder: made real
    # folders of the prefix, so the shortcuts stay in here.
    for folder in glob.glob(os.path.join(t.prefix, "drive_c", "users", "*", "*")):
        if os.path.islink(folder):
            os.unlink(folder)
            os.makedirs(folder)

    entry = install(t, setup)
    for key, value in (("DisplayName", PRODUCT), ("DisplayVersion", deliverylib.RELEASE["version"]),
                       ("Publisher", deliverylib.RELEASE["publisher"])):
        t.check_eq(entry.get(key), value, "uninstall entry " + key)
    location = entry.get("InstallLocation", "")
    t.check(location.lower().endswith(r"\appdata\local\programs\velmo softwares"),
            "installed in the user's own program folder: %r" % location)
    home = unix_path(t, location)
    expected = deliverylib.delivered_tree(t.build_dir) + ["Desinstaller.exe"]
    t.check_eq(deliverylib.tree_of(home), sorted(expected), "installed tree")
    for program, exe in deliverylib.built_programs(t.build_dir).items():
        with open(os.path.join(home, deliverylib.delivered_path(program)), "rb") as f, \
             open(exe, "rb") as g:
            t.check(f.read() == g.read(), program + " installed as built")
    quiet = re.match(r'^"([^"]+\\Desinstaller\.exe)" /S$', entry.get("QuietUninstallString", ""))
    t.check(quiet is not None, "QuietUninstallString: %r" % entry.get("QuietUninstallString"))
    links = shortcuts(t)
    menu = [p for p in links if "Start Menu" in p and os.path.basename(p) == PRODUCT + ".lnk"]
    t.check(len(menu) == 1 and any(p.split("/")[1] == "Desktop" for p in links),
            "start-menu entry and desktop shortcut: %s" % links)

    # The start-menu entry, the launcher, a tool in Tools and back.
    if menu:
        wine_run(t, ["start", "/unix", os.path.join(t.prefix, "drive_c", "users", menu[0])], "start")
    d = t.driver
    hwnd, _ = d.find(LAUNCHER_TITLE, 30000)
    t.screenshot("installed-launcher")
    d.click(hwnd, 8)
    tool, _ = d.find(INSTALLER_TITLE, 30000)
    t.screenshot("installed-installer")
    d.close(tool)
    hwnd, _ = d.find(LAUNCHER_TITLE, 30000)
    d.close(hwnd)
    d.wait_gone(hwnd)

    # The user's data, then the silent uninstall: the programs go, the data stays.
    for name, text in ((BACKUP, "messages"), (SETTINGS, "[Config]\r\n")):
        os.makedirs(os.path.dirname(os.path.join(home, name)), exist_ok=True)
        with open(os.path.join(home, name), "w") as f:
            f.write(text)
    if quiet:
        wine_run(t, [quiet.group(1), "/S"], "uninstall")
    # The uninstaller runs on from a copy of itself and removes the original last.
    t.wait_until(lambda: not os.path.exists(os.path.join(home, "Desinstaller.exe")),
                 "the silent uninstall", timeout=120)
    kept = sorted(["Tools/", "Tools/misesAJour/", "Tools/sauvegardes/", "Tools/softwareDatas/",
                   SETTINGS, BACKUP] + [BACKUP.rsplit("/", n)[0] + "/" for n in (1, 2, 3)])
    t.check_eq(deliverylib.tree_of(home), kept, "tree after the silent uninstall")
    t.check_eq(uninstall_entry(t), {}, "uninstall entry after the uninstall")
    t.check_eq(shortcuts(t), [], "shortcuts after the uninstall")

    # Installing again keeps the data; uninstalling by hand, "Oui" removes it.
    entry = install(t, setup)
    t.check(os.path.isfile(os.path.join(home, BACKUP)), "the backup survives a new install")
    uninstaller = re.match(r'^"([^"]+)"$', entry.get("UninstallString", ""))
    t.check(uninstaller is not None, "UninstallString: %r" % entry.get("UninstallString"))
    if not uninstaller:
        return
    subprocess.Popen([winelib.WINE, uninstaller.group(1)], env=t.env, cwd=t.workdir,
                     stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wizard, pid = d.find(UNINSTALL_TITLE, 30000)
    d.click(wizard, 1)  # "Désinstaller"
    # The wizard is a dialog too: the box is the one that asks.
    box = []

    def data_question():
        box[:] = d.wait_box(pid)
        return box[2].startswith("Supprimer aussi vos données")
    t.wait_until(data_question, "the data question")
    shot = t.screenshot("uninstall-question")
    shutil.copy(shot, os.path.join(os.path.dirname(t.results), "setup-uninstall.png"))
    d.answer(box[0], "IDYES")
    t.wait_until(lambda: not os.path.exists(home), "the installation folder to go", timeout=120)
    d.click(wizard, 1)  # "Fermer"


if __name__ == "__main__":
    winelib.main(run)
