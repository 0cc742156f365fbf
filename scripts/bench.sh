#!/usr/bin/env bash
# Builds and runs the upload benchmark natively (root: the FTP daemons need it):
#   scripts/bench.sh [--runs N] [--peers pyftpdlib,vsftpd]
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD="$ROOT/build/bench"
cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
ninja -C "$BUILD" upload_bench >/dev/null
exec "$BUILD/bench/upload_bench" "$@"
