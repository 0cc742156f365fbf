#!/usr/bin/env bash
# Builds what a Windows user downloads, from the sources of this checkout:
#   dist/Velmo_Softwares-<version>.zip        the delivered tree (packaging/assemble.py)
#   dist/Velmo_Softwares-<version>-setup.exe  the setup program (packaging/velmo_setup.nsi)
# Usage: scripts/package.sh [--clean] [--test-package]
#   --clean         build the release programs from an empty build/windows-release first
#   --test-package  this is a test package: its Velmo_Maj may carry the repository's test
#                   update key (tests/keys), whose secret is public. Without it a build
#                   with that key is refused: its updater would install whatever anyone
#                   signs with the test key. For a release, configure build/windows-release
#                   once with -DVELMO_UPDATE_PUBLIC_KEY=<public key> (its cache keeps it; a
#                   --clean run forgets it, and is then refused).
# The programs come from scripts/build.sh windows-release (optimised, stripped). Every date
# in the zip is the last commit's, so two runs on one commit give the same bytes (see the
# README); the setup program is made from that same tree. Needs scripts/install-deps.sh.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=$ROOT/build/windows-release
DIST=$ROOT/dist

log() { printf 'package: %s\n' "$*"; }
die() { printf 'package: ERROR: %s\n' "$*" >&2; exit 1; }

test_package=0
for arg in "$@"; do
  case $arg in
    --clean) rm -rf "$BUILD" ;;
    --test-package) test_package=1 ;;
    *) die "usage: scripts/package.sh [--clean] [--test-package]" ;;
  esac
done
command -v makensis >/dev/null || die "makensis not found (run scripts/install-deps.sh)"

start=$SECONDS
bash "$ROOT/scripts/build.sh" windows-release
log "release programs built in $((SECONDS - start)) s"

# The update key the programs were built with, against the repository's test key.
key=$(sed -n 's/^VELMO_UPDATE_PUBLIC_KEY:STRING=//p' "$BUILD/CMakeCache.txt")
test_key=$(tr -d '[:space:]' <"$ROOT/tests/keys/test-update-key.public")
[[ -n $key ]] || die "no VELMO_UPDATE_PUBLIC_KEY in $BUILD/CMakeCache.txt"
if [[ ${key,,} == "${test_key,,}" ]]; then
  [[ $test_package == 1 ]] \
    || die "Velmo_Maj is built with the TEST update key (tests/keys): not a release. Configure" \
           "build/windows-release with -DVELMO_UPDATE_PUBLIC_KEY=<your public key>, or pass --test-package"
  log "test package: Velmo_Maj carries the test update key"
fi

# The commit's time stamps the zip; outside a git checkout SOURCE_DATE_EPOCH or 1980.
epoch=${SOURCE_DATE_EPOCH:-$(git -C "$ROOT" log -1 --format=%ct 2>/dev/null || echo 315532800)}
if [[ -n $(git -C "$ROOT" status --porcelain --untracked-files=no 2>/dev/null) ]]; then
  log "note: the checkout has uncommitted changes; the zip is that tree, not the commit's"
fi

mkdir -p "$DIST"
/usr/bin/python3 "$ROOT/packaging/assemble.py" --build "$BUILD" --out "$DIST" --epoch "$epoch"

log "making the setup program (makensis)"
makensis -V2 -INPUTCHARSET UTF8 -DRELEASE="$DIST/nsis/release.nsh" \
  "$ROOT/packaging/velmo_setup.nsi" >"$DIST/nsis/makensis.log" 2>&1 \
  || { cat "$DIST/nsis/makensis.log" >&2; die "makensis failed"; }

log "done in $((SECONDS - start)) s:"
(cd "$DIST" && ls -l ./*.zip ./*-setup.exe && sha256sum ./*.zip ./*-setup.exe)
