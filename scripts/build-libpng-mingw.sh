#!/usr/bin/env bash
# Builds a static libpng for x86_64-w64-mingw32 from Debian's libpng1.6 source package,
# linked against Debian's mingw zlib (libz-mingw-w64-dev), and installs it into
# /opt/velmo-mingw (include/png.h, lib/libpng16.a, lib/libpng.a, lib/pkgconfig/).
#
# Debian ships no mingw build of libpng, and the Windows programs decode their embedded
# pictures with it, so we build the library from Debian's own source. The sources and
# the objects stay outside the repository (in a temporary folder); nothing of this goes
# into git. Skips everything when the library is already installed.
set -euo pipefail

PREFIX=${VELMO_MINGW_PREFIX:-/opt/velmo-mingw}
HOST=x86_64-w64-mingw32
ZLIB_ROOT=/usr/$HOST
SRC_LIST=/etc/apt/sources.list.d/velmo-deb-src.sources

log() { printf 'build-libpng-mingw: %s\n' "$*"; }
die() { printf 'build-libpng-mingw: ERROR: %s\n' "$*" >&2; exit 1; }

if [[ -f "$PREFIX/.libpng-built" && -f "$PREFIX/include/png.h" && -f "$PREFIX/lib/libpng16.a" ]]; then
  log "already built: $(cat "$PREFIX/.libpng-built") in $PREFIX"
  exit 0
fi

command -v "$HOST-gcc-posix" >/dev/null || die "$HOST-gcc-posix missing (run scripts/install-deps.sh)"
[[ -f "$ZLIB_ROOT/include/zlib.h" && -f "$ZLIB_ROOT/lib/libz.a" ]] \
  || die "mingw zlib missing in $ZLIB_ROOT (run scripts/install-deps.sh)"
command -v dpkg-source >/dev/null || die "dpkg-source missing (dpkg-dev; run scripts/install-deps.sh)"

# `apt-get source` needs deb-src entries; install-deps.sh adds them, but this script can
# also be run on its own.
source "$(dirname "${BASH_SOURCE[0]}")/lib/deb_src.sh"
ensure_deb_src "$SRC_LIST"

work=$(mktemp -d /tmp/velmo-libpng.XXXXXX)
trap 'rm -rf "$work"' EXIT

srcdir=$(fetch_debian_source libpng1.6 "$work")
[[ -n "$srcdir" && -x "$srcdir/configure" ]] || die "unpacked source with a configure script not found"
version=$(cd "$srcdir" && dpkg-parsechangelog -S Version)
log "building libpng $version for $HOST"

# Static only: the programs link everything statically so that they import system DLLs
# alone. Portable C filters only, the same code on every processor.
(
  cd "$srcdir"
  ./configure --host="$HOST" --prefix="$PREFIX" \
    --enable-static --disable-shared --disable-hardware-optimizations \
    CC="$HOST-gcc-posix" AR="$HOST-ar" RANLIB="$HOST-ranlib" \
    CPPFLAGS="-I$ZLIB_ROOT/include" LDFLAGS="-L$ZLIB_ROOT/lib" CFLAGS="-O2"
  make -j"$(nproc)"
  rm -rf "$PREFIX"
  make install
) >"$work/build.log" 2>&1 || { tail -n 60 "$work/build.log" >&2; die "libpng build failed"; }

[[ -f "$PREFIX/include/png.h" && -f "$PREFIX/lib/libpng16.a" ]] || die "install incomplete in $PREFIX"
[[ -e "$PREFIX/lib/libpng.a" ]] || ln -sf libpng16.a "$PREFIX/lib/libpng.a"
# libtool archives point at build paths; CMake and pkg-config do not need them.
rm -f "$PREFIX"/lib/*.la

# A quick link check: a tiny program calling libpng and zlib must link statically.
cat >"$work/check.c" <<'EOF'
#include <png.h>
#include <stdio.h>
#include <zlib.h>
int main(void) {
  png_structp p = png_create_read_struct(PNG_LIBPNG_VER_STRING, NULL, NULL, NULL);
  printf("%s %s\n", png_get_libpng_ver(p), zlibVersion());
  png_destroy_read_struct(&p, NULL, NULL);
  return 0;
}
EOF
"$HOST-gcc-posix" -Wall -Werror -static -I"$PREFIX/include" -I"$ZLIB_ROOT/include" "$work/check.c" \
  -o "$work/check.exe" "$PREFIX/lib/libpng16.a" "$ZLIB_ROOT/lib/libz.a" \
  || die "link check against the new libpng failed"

echo "libpng $version" >"$PREFIX/.libpng-built"
log "installed libpng $version into $PREFIX"
