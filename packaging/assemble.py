#!/usr/bin/python3
"""Lays out the delivered tree from a Windows release build and writes the zip.

    assemble.py --build BUILD_DIR --out DIST_DIR --epoch SECONDS

In DIST_DIR it makes (scripts/package.sh then runs makensis):
  stage/                      the delivered tree: Velmo_Menu.exe, LISEZMOI.txt (CP1252,
                              CRLF), Tools/ with the tools, livre-dor (the sample guestbook,
                              which the installer wants beside itself), and the empty
                              softwareDatas, sauvegardes and misesAJour
  <name>-<version>.zip        that tree, reproducibly: entries in sorted order, every
                              date the given time (the commit's), fixed attributes
  nsis/release.nsh, setup.ico what velmo_setup.nsi includes: the release values and the
                              macros that install and remove the tree's files

The programs are those of programs.tsv whose target the build has; one whose target is
missing is not written yet and is left out (and said so); one whose target exists but
whose file does not is an error.
"""

import argparse
import os
import shutil
import subprocess
import sys
import time
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(HERE)
sys.path.insert(0, os.path.join(REPO, "assets"))
import program_icon  # noqa: E402
import release_table  # noqa: E402

DATA_FOLDERS = ("softwareDatas", "sauvegardes", "misesAJour")


def say(text):
    print("assemble: " + text, flush=True)


def built_programs(build_dir, table):
    """[(program, path of its .exe)] for the table's programs the build makes."""
    out = subprocess.run(["ninja", "-C", build_dir, "-t", "targets", "all"], check=True,
                         capture_output=True, text=True).stdout
    targets = {}
    for line in out.splitlines():
        path = line.split(":", 1)[0]
        if path.endswith(".exe"):
            targets.setdefault(os.path.basename(path)[:-4], path)
    found = []
    for prog in table:
        if prog.name not in targets:
            say("%s is not in this build yet: left out" % prog.name)
            continue
        exe = os.path.join(build_dir, targets[prog.name])
        if not os.path.isfile(exe):
            raise SystemExit("assemble: %s was not built (%s)" % (prog.name, exe))
        found.append((prog, exe))
    if not found:
        raise SystemExit("assemble: no delivered program in %s" % build_dir)
    return found


def windows_path(prog):
    return prog.name + ".exe" if prog.folder == "." else "Tools\\%s.exe" % prog.name


def readme(rel, programs):
    with open(os.path.join(HERE, "LISEZMOI.txt"), encoding="utf-8") as f:
        text = f.read()
    lines = "\n".join("  %-26s %s" % (windows_path(p), p.description.split(" - ", 1)[-1])
                      for p, _ in programs)
    title = "%s %s" % (rel["product"], rel["version"])
    for key, value in (("@PROGRAMS@", lines), ("@TITLE@", title + "\n" + "=" * len(title)),
                       ("@YEAR@", rel["year"]), ("@PUBLISHER@", rel["publisher"])):
        text = text.replace(key, value)
    return text.replace("\r\n", "\n").replace("\n", "\r\n").encode("cp1252")


def lay_out(stage, programs, rel):
    shutil.rmtree(stage, ignore_errors=True)
    tools = os.path.join(stage, "Tools")
    os.makedirs(tools)
    for prog, exe in programs:
        shutil.copyfile(exe, os.path.join(stage if prog.folder == "." else tools, prog.name + ".exe"))
    with open(os.path.join(stage, "LISEZMOI.txt"), "wb") as f:
        f.write(readme(rel, programs))
    shutil.copytree(os.path.join(REPO, "sample", "livre-dor"), os.path.join(tools, "livre-dor"))
    for folder in DATA_FOLDERS:
        os.makedirs(os.path.join(tools, folder))


def tree(stage):
    """Every folder ("x/") and file below stage, as sorted zip names."""
    names = []
    for dirpath, dirnames, filenames in os.walk(stage):
        rel = os.path.relpath(dirpath, stage).replace(os.sep, "/")
        prefix = "" if rel == "." else rel + "/"
        names += [prefix + d + "/" for d in dirnames] + [prefix + f for f in filenames]
    return sorted(names)


def write_zip(stage, path, epoch):
    # DOS dates have no zone and start in 1980: the UTC time of the commit.
    stamp = max(time.gmtime(epoch)[:6], (1980, 1, 1, 0, 0, 0))
    partial = path + ".part"
    with zipfile.ZipFile(partial, "w") as z:
        for name in tree(stage):
            info = zipfile.ZipInfo(name, stamp)
            info.create_system = 0  # MS-DOS attributes, as Windows writes them
            if name.endswith("/"):
                info.external_attr = 0x10  # folder
                z.writestr(info, b"")
            else:
                info.external_attr = 0x20  # archive
                info.compress_type = zipfile.ZIP_DEFLATED
                with open(os.path.join(stage, name), "rb") as f:
                    z.writestr(info, f.read(), compresslevel=9)
    os.replace(partial, path)


def nsis_string(text):
    return '"%s"' % text.replace("$", "$$").replace('"', '$\\"')


def write_nsis(nsis_dir, stage, programs, table, rel, outfile):
    os.makedirs(nsis_dir, exist_ok=True)
    launcher = next(p for p in table if p.folder == ".")
    icon = os.path.join(nsis_dir, "setup.ico")
    with open(icon, "wb") as f:
        f.write(program_icon.make_icon(os.path.join(REPO, "assets", launcher.picture)))
    size = sum(os.path.getsize(os.path.join(stage, n)) for n in tree(stage) if not n.endswith("/"))
    src = lambda *parts: nsis_string(os.path.join(stage, *parts))
    lines = ["; Generated by packaging/assemble.py; do not edit."]
    for key, value in (("VERSION", rel["version"]), ("YEAR", rel["year"]),
                       ("PRODUCT", rel["product"]), ("PUBLISHER", rel["publisher"]),
                       ("ICON", icon), ("OUTFILE", outfile)):
        lines.append("!define %s %s" % (key, nsis_string(value)))
    lines.append("!define SIZE_KB %d" % ((size + 1023) // 1024))
    lines += ["!macro VelmoInstallFiles", '  SetOutPath "$INSTDIR"',
              "  File " + src("LISEZMOI.txt")]
    lines += ["  File " + src(p.name + ".exe") for p, _ in programs if p.folder == "."]
    lines += ['  SetOutPath "$INSTDIR\\Tools"']
    lines += ["  File " + src("Tools", p.name + ".exe") for p, _ in programs if p.folder == "Tools"]
    lines += ["  File /r " + src("Tools", "livre-dor"), "!macroend"]
    # Removal names every program of the table, so one an older setup put there goes too.
    lines += ["!macro VelmoRemovePrograms", '  Delete "$INSTDIR\\LISEZMOI.txt"']
    lines += ['  Delete "$INSTDIR\\%s"' % windows_path(p) for p in table]
    lines += ['  RMDir /r "$INSTDIR\\Tools\\livre-dor"', "!macroend", ""]
    with open(os.path.join(nsis_dir, "release.nsh"), "w", encoding="utf-8-sig") as f:
        f.write("\n".join(lines))


def set_times(stage, epoch):
    for dirpath, dirnames, filenames in os.walk(stage, topdown=False):
        for name in filenames + dirnames:
            os.utime(os.path.join(dirpath, name), (epoch, epoch))
    os.utime(stage, (epoch, epoch))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--epoch", type=int, required=True)
    args = parser.parse_args()
    rel, table = release_table.release(), release_table.programs()
    programs = built_programs(args.build, table)
    out = os.path.abspath(args.out)
    stage = os.path.join(out, "stage")
    lay_out(stage, programs, rel)
    set_times(stage, args.epoch)
    base = os.path.join(out, "%s-%s" % (rel["name"], rel["version"]))
    write_zip(stage, base + ".zip", args.epoch)
    write_nsis(os.path.join(out, "nsis"), stage, programs, table, rel, base + "-setup.exe")
    say("laid out %s and wrote %s.zip" % (stage, base))


if __name__ == "__main__":
    main()
