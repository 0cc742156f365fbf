#!/usr/bin/env bash
# Builds a static libsodium for x86_64-w64-mingw32 from Debian's libsodium source package
# and installs it into /opt/velmo-mingw (include/sodium.h, include/sodium/, lib/libsodium.a).
#
# Velmo_Maj checks the Ed25519 signatures and the SHA-256 digests of the official site's
# files with libsodium. Debian ships no mingw build of it, so, as for libpng, we build the
# library from Debian's own source. The sources and the objects stay outside the
# repository (in a temporary folder). Skips everything when the library is already
# installed. Run it after build-libpng-mingw.sh: that one empties the prefix when it
# (re)builds, this one only adds its files.
set -euo pipefail

PREFIX=${VELMO_MINGW_PREFIX:-/opt/velmo-mingw}
HOST=x86_64-w64-mingw32
SRC_LIST=/etc/apt/sources.list.d/velmo-deb-src.sources

log() { printf 'build-libsodium-mingw: %s\n' "$*"; }
die() { printf 'build-libsodium-mingw: ERROR: %s\n' "$*" >&2; exit 1; }

if [[ -f "$PREFIX/.libsodium-built" && -f "$PREFIX/include/sodium.h" && -f "$PREFIX/lib/libsodium.a" ]]; then
  log "already built: $(cat "$PREFIX/.libsodium-built") in $PREFIX"
  exit 0
fi

command -v "$HOST-gcc-posix" >/dev/null || die "$HOST-gcc-posix missing (run scripts/install-deps.sh)"
command -v dpkg-source >/dev/null || die "dpkg-source missing (dpkg-dev; run scripts/install-deps.sh)"
# Debian's source has no generated configure script: its build runs autoreconf, as this does.
command -v autoreconf >/dev/null && command -v libtoolize >/dev/null \
  || die "autoconf/automake/libtool missing (run scripts/install-deps.sh)"

source "$(dirname "${BASH_SOURCE[0]}")/lib/deb_src.sh"
ensure_deb_src "$SRC_LIST"

work=$(mktemp -d /tmp/velmo-libsodium.XXXXXX)
trap 'rm -rf "$work"' EXIT

srcdir=$(fetch_debian_source libsodium "$work")
[[ -n "$srcdir" && -f "$srcdir/configure.ac" ]] || die "unpacked libsodium source not found"
version=$(cd "$srcdir" && dpkg-parsechangelog -S Version)
log "building libsodium $version for $HOST"

# Static only, like every library of the programs; no processor-specific code paths
# chosen at build time beyond what libsodium selects at run time.
(
  cd "$srcdir"
  autoreconf -fi
  ./configure --host="$HOST" --prefix="$PREFIX" \
    --enable-static --disable-shared --disable-ssp \
    CC="$HOST-gcc-posix" AR="$HOST-ar" RANLIB="$HOST-ranlib" CFLAGS="-O2"
  make -j"$(nproc)"
  make install
) >"$work/build.log" 2>&1 || { tail -n 60 "$work/build.log" >&2; die "libsodium build failed"; }

[[ -f "$PREFIX/include/sodium.h" && -f "$PREFIX/lib/libsodium.a" ]] || die "install incomplete in $PREFIX"
rm -f "$PREFIX"/lib/libsodium.la

# A quick link check: a tiny program verifying nothing must link statically.
cat >"$work/check.c" <<'CHECK'
#define SODIUM_STATIC 1
#include <sodium.h>
#include <stdio.h>
int main(void) {
  if (sodium_init() < 0) return 1;
  unsigned char h[crypto_hash_sha256_BYTES];
  crypto_hash_sha256(h, (const unsigned char*)"", 0);
  printf("%s %02x\n", sodium_version_string(), h[0]);
  return 0;
}
CHECK
"$HOST-gcc-posix" -Wall -Werror -static -I"$PREFIX/include" "$work/check.c" \
  -o "$work/check.exe" "$PREFIX/lib/libsodium.a" \
  || die "link check against the new libsodium failed"

echo "libsodium $version" >"$PREFIX/.libsodium-built"
log "installed libsodium $version into $PREFIX"
