#!/usr/bin/python3
"""Signs an official update site for Velmo_Maj.

    python3 scripts/sign_update.py SITE_FOLDER [--key SECRET_FILE]
    python3 scripts/sign_update.py --make-key PREFIX

SITE_FOLDER holds the version list "_NumeroDeVersion_Exe_Script_SiteOfficiel.pcfg" and the
package folders "maj_<version>/". For each package the description "_Fichier_Maj_xxx.pcfg"
gets (again) its two signed groups, in the file's own line ends and bytes otherwise kept:

    [Grp_VersionMaj]          the version the package installs (its folder's number)
    [Grp_EmpreintesFichiers]  per listed file: "<sha256 hex> <size> <path as listed>"

then every description and the version list get a detached Ed25519 signature beside them,
"<name>.sig": one line "velmo-maj-sig-v1 ed25519 <128 hex digits>" CR LF, the signature of
"velmo-maj-sig-v1\\n" + the file's path below the site folder + "\\n" + the file's bytes.
Run it after every change to the site, then publish the whole folder.

The key is the repository's TEST key (tests/keys/test-update-key.secret) unless --key
names another secret file (64 hex digits: the Ed25519 seed). --make-key PREFIX writes a new
pair: PREFIX.secret (keep it off every server) and PREFIX.public (the build's
VELMO_UPDATE_PUBLIC_KEY).
"""
import argparse
import hashlib
import os
import re
import sys

import nacl.signing

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
TEST_KEY = os.path.join(ROOT, "tests", "keys", "test-update-key.secret")
LIST_NAME = "_NumeroDeVersion_Exe_Script_SiteOfficiel.pcfg"
DESCRIPTION_NAME = "_Fichier_Maj_xxx.pcfg"
SIGNED_GROUPS = ("Grp_VersionMaj", "Grp_EmpreintesFichiers")
FILES_GROUP = "Grp_ListeFichiersATelecharger"


def die(message):
    sys.stderr.write("sign_update: ERROR: %s\n" % message)
    sys.exit(1)


def read_key(path):
    try:
        with open(path) as f:
            seed = bytes.fromhex(f.read().strip())
    except (OSError, ValueError) as e:
        die("cannot read the secret key %s: %s" % (path, e))
    if len(seed) != 32:
        die("%s does not hold a 32-byte Ed25519 seed in hex" % path)
    return nacl.signing.SigningKey(seed)


def signature_line(key, site_path, data):
    message = b"velmo-maj-sig-v1\n" + site_path.encode("cp1252") + b"\n" + data
    return b"velmo-maj-sig-v1 ed25519 " + key.sign(message).signature.hex().encode() + b"\r\n"


def split_lines(text):
    """The lines and the line end the file uses (CR LF unless it has none)."""
    end = "\r\n" if "\r\n" in text or "\n" not in text else "\n"
    lines = text.split(end)
    if lines and lines[-1] == "":
        lines.pop()
    return lines, end


def group_of(line):
    m = re.match(r"^\s*\[(.*)\]\s*$", line)
    return m.group(1).strip() if m else None


def listed_files(lines):
    files, group = [], None
    for line in lines:
        name = group_of(line)
        if name is not None:
            group = name
        elif group == FILES_GROUP and "=" in line and not line.lstrip().startswith(";"):
            files.append(line.split("=", 1)[1].strip())
    return files


def sign_description(key, site, folder):
    version = folder[len("maj_"):]
    path = os.path.join(site, folder, DESCRIPTION_NAME)
    with open(path, "rb") as f:
        text = f.read().decode("cp1252")
    lines, end = split_lines(text)
    # The groups this script writes are written anew; every other line stays as it was.
    kept, skipping = [], False
    for line in lines:
        name = group_of(line)
        if name is not None:
            skipping = name in SIGNED_GROUPS
        if not skipping:
            kept.append(line)
    digests = []
    for i, listed in enumerate(listed_files(kept), 1):
        parts = listed.split("/")
        if listed == "" or listed.startswith("/") or any(p in ("", ".", "..") for p in parts):
            die("%s: the listed path %r is not a plain path below the package" % (path, listed))
        try:
            with open(os.path.join(site, folder, *parts), "rb") as f:
                data = f.read()
        except OSError as e:
            die("%s lists %r, which cannot be read: %s" % (path, listed, e))
        digests.append("empreinte%d = %s %d %s" % (i, hashlib.sha256(data).hexdigest(), len(data), listed))
    kept += ["[Grp_VersionMaj]", "version = " + version, "[Grp_EmpreintesFichiers]"] + digests
    data = (end.join(kept) + end).encode("cp1252")
    with open(path, "wb") as f:
        f.write(data)
    write_signature(key, site, folder + "/" + DESCRIPTION_NAME, data)
    return len(digests)


def write_signature(key, site, site_path, data):
    with open(os.path.join(site, *site_path.split("/")) + ".sig", "wb") as f:
        f.write(signature_line(key, site_path, data))


def make_key(prefix):
    for suffix in (".secret", ".public"):
        if os.path.exists(prefix + suffix):
            die("%s exists: not overwritten" % (prefix + suffix))
    key = nacl.signing.SigningKey.generate()
    fd = os.open(prefix + ".secret", os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o600)
    with os.fdopen(fd, "w") as f:
        f.write(key.encode().hex() + "\n")
    with open(prefix + ".public", "w") as f:
        f.write(key.verify_key.encode().hex() + "\n")
    print("sign_update: wrote %s.secret (keep it private) and %s.public" % (prefix, prefix))
    print("sign_update: build with -DVELMO_UPDATE_PUBLIC_KEY=%s" % key.verify_key.encode().hex())


def main():
    parser = argparse.ArgumentParser(description="Signs a Velmo official update site.")
    parser.add_argument("site", nargs="?", help="the folder holding the version list and the maj_* folders")
    parser.add_argument("--key", default=TEST_KEY, help="the secret key file (default: the test key)")
    parser.add_argument("--make-key", metavar="PREFIX", help="write a new key pair PREFIX.secret, PREFIX.public")
    args = parser.parse_args()
    if args.make_key:
        make_key(args.make_key)
        return
    if not args.site:
        parser.error("SITE_FOLDER is needed")
    site = args.site
    if not os.path.isfile(os.path.join(site, LIST_NAME)):
        die("%s holds no %s" % (site, LIST_NAME))
    key = read_key(args.key)
    if os.path.abspath(args.key) == os.path.abspath(TEST_KEY):
        print("sign_update: signing with the TEST key: only a test build of Velmo_Maj accepts this site")
    for folder in sorted(os.listdir(site)):
        if re.fullmatch(r"maj_[0-9]+", folder) and os.path.isdir(os.path.join(site, folder)):
            count = sign_description(key, site, folder)
            print("sign_update: %s: %d file(s) listed with their digests, signed" % (folder, count))
    with open(os.path.join(site, LIST_NAME), "rb") as f:
        write_signature(key, site, LIST_NAME, f.read())
    print("sign_update: %s signed" % LIST_NAME)


if __name__ == "__main__":
    main()
