#!/usr/bin/env bash
# Builds and runs the upload benchmark natively (as root: the FTP daemons need it):
#   scripts/bench.sh [--runs N] [--peers pyftpdlib,vsftpd]
# The figures are dominated by the network waits, so the build type of the native tree
# (scripts/build.sh native) is kept.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD="$ROOT/build/bench"
cmake -S "$ROOT" -B "$BUILD" -G Ninja >"$BUILD.configure.log" 2>&1 || { cat "$BUILD.configure.log"; exit 1; }
ninja -C "$BUILD" upload_bench >"$BUILD.build.log" 2>&1 || { tail -40 "$BUILD.build.log"; exit 1; }
exec "$BUILD/bench/upload_bench" "$@"
