"""What the delivery tests (delivery_*.py) check the zip and the installed tree against.

The delivered layout is written out here as the suite defines it, not taken from the
packaging scripts: the launcher in the top folder beside LISEZMOI.txt; Tools/ with the
tools, the guestbook folder livre-dor that the installer wants beside itself (the sample of
sample/livre-dor) and the three data folders, empty. Of the programs listed in
packaging/programs.tsv, those the release build has not made yet are absent.
"""

import os
import struct
import subprocess
import sys

import winelib

sys.path.insert(0, os.path.join(winelib.REPO, "packaging"))
import release_table  # noqa: E402

RELEASE = release_table.release()
LAUNCHER = "Velmo_Menu"
DATA_FOLDERS = ("softwareDatas", "sauvegardes", "misesAJour")
SAMPLE = os.path.join(winelib.REPO, "sample", "livre-dor")


def dist_file(suffix):
    """dist/<name>-<version><suffix> from the folder run_wine_tests.py --dist named."""
    dist = os.environ.get("VELMO_DIST") or os.path.join(winelib.REPO, "dist")
    return os.path.join(dist, "%s-%s%s" % (RELEASE["name"], RELEASE["version"], suffix))


def built_programs(build_dir):
    """{program: path of its .exe} for the table's programs found in the build."""
    found = {}
    for dirpath, dirnames, filenames in os.walk(build_dir):
        dirnames[:] = [d for d in dirnames if d not in ("CMakeFiles", "tests", "wine-results")]
        for prog in release_table.programs():
            if prog.name + ".exe" in filenames:
                found.setdefault(prog.name, os.path.join(dirpath, prog.name + ".exe"))
    return found


def delivered_path(program):
    return program + ".exe" if program == LAUNCHER else "Tools/%s.exe" % program


def delivered_tree(build_dir):
    """The delivered names, folders ending in "/", sorted."""
    names = {"LISEZMOI.txt", "Tools/", "Tools/livre-dor/"}
    names |= {"Tools/%s/" % f for f in DATA_FOLDERS}
    names |= {delivered_path(p) for p in built_programs(build_dir)}
    names |= {"Tools/livre-dor/" + n for n in tree_of(SAMPLE)}
    return sorted(names)


def tree_of(folder):
    """Every folder ("x/") and file below folder, sorted."""
    names = []
    for dirpath, dirnames, filenames in os.walk(folder):
        rel = os.path.relpath(dirpath, folder).replace(os.sep, "/")
        prefix = "" if rel == "." else rel + "/"
        names += [prefix + d + "/" for d in dirnames] + [prefix + f for f in filenames]
    return sorted(names)


def pe_is_stripped(data):
    """True when a PE file has no COFF symbol table and no .debug sections."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise ValueError("not a PE file")
    sections, symbols_at, symbols, optional = struct.unpack_from("<2xHxxxxIIH", data, pe + 4)
    table = pe + 24 + optional
    names = [data[table + 40 * i:table + 40 * i + 8].rstrip(b"\0") for i in range(sections)]
    # long section names ("/4") point into the string table, which only debug builds keep
    return symbols_at == 0 and symbols == 0 and not any(
        n.startswith(b".debug") or n.startswith(b"/") for n in names)


def file_info(t, exe_path):
    """What Windows reads from a program file (tests/wine/file_info.cpp): {"fixed": (file,
    product), "translation": ..., "strings": {...}, "icons": n, "pixels": {size: bytes}}."""
    # Into files, not pipes: a Wine process started now may outlive the program and hold
    # a pipe open.
    result = os.path.join(t.root, "file_info.out")
    with open(result, "wb") as out, open(result + ".err", "wb") as err:
        rc = subprocess.run([winelib.WINE, t.exe("velmo_file_info.exe"), exe_path], env=t.env,
                            stdin=subprocess.DEVNULL, stdout=out, stderr=err, timeout=120).returncode
    with open(result, "rb") as out, open(result + ".err", "rb") as err:
        lines, errors = out.read().decode("utf-8").splitlines(), err.read().decode("utf-8", "replace")
    t.check_eq(rc, 0, "velmo_file_info on %s (%s)" % (os.path.basename(exe_path), errors.strip()))
    info = {"strings": {}, "pixels": {}}
    for line in lines:
        f = line.rstrip("\r").split("\t")
        if f[0] == "fixed":
            info["fixed"] = (f[1], f[2])
        elif f[0] == "translation":
            info["translation"] = f[1]
        elif f[0] == "string":
            info["strings"][f[1]] = f[2]
        elif f[0] == "icons":
            info["icons"] = int(f[1])
        elif f[0] == "pixels":
            info["pixels"][int(f[1])] = bytes.fromhex(f[2])
    return info


def colour_and_cover(rgba):
    """(alpha-weighted mean (r, g, b), share of the square covered) of RGBA bytes."""
    total = [0, 0, 0]
    weight = 0
    for i in range(0, len(rgba), 4):
        a = rgba[i + 3]
        weight += a
        for k in range(3):
            total[k] += rgba[i + k] * a
    return tuple(c / max(weight, 1) for c in total), weight / (255.0 * (len(rgba) // 4))


def picture_colour_and_cover(png):
    """The same figures for one of our pictures, read by ImageMagick, on the square of its
    larger side (an icon centres the picture on such a square)."""
    w, h = (int(v) for v in subprocess.run(["identify", "-format", "%w %h", png], check=True,
                                           capture_output=True, text=True).stdout.split())
    rgba = subprocess.run(["convert", png, "-depth", "8", "rgba:-"], check=True,
                          capture_output=True).stdout
    colour, cover = colour_and_cover(rgba)
    return colour, cover * w * h / float(max(w, h) ** 2)


def check_resources(t, exe_path, program):
    """The version information and the icon Windows shows for one delivered program."""
    row = release_table.program(program)
    info = file_info(t, exe_path)
    version = RELEASE["version"]
    t.check_eq(info.get("fixed"), (version + ".0", version + ".0"), program + " fixed versions")
    t.check_eq(info.get("translation"), "040c04e4", program + " language (French, CP1252)")
    expected = {"ProductName": RELEASE["product"], "ProductVersion": version,
                "FileVersion": version, "FileDescription": row.description,
                "OriginalFilename": program + ".exe",
                "LegalCopyright": "© %s %s" % (RELEASE["year"], RELEASE["publisher"])}
    for key, value in expected.items():
        t.check_eq(info["strings"].get(key), value, "%s %s" % (program, key))
    t.check(info.get("icons", 0) >= 1, "%s carries an icon (%r)" % (program, info.get("icons")))
    colour, cover = picture_colour_and_cover(os.path.join(winelib.REPO, "assets", row.picture))
    for size, pixels in sorted(info["pixels"].items()):
        bgra = bytearray(pixels)
        bgra[0::4], bgra[2::4] = pixels[2::4], pixels[0::4]
        got_colour, got_cover = colour_and_cover(bytes(bgra))
        t.check(all(abs(a - b) <= 16 for a, b in zip(got_colour, colour))
                and abs(got_cover - cover) <= 0.06,
                "%s icon at %d px: colour %s cover %.2f, picture %s cover %.2f" % (
                    program, size, tuple(round(c) for c in got_colour), got_cover,
                    tuple(round(c) for c in colour), cover))
