#!/usr/bin/env bash
# Configures and builds the source tree. Usage: scripts/build.sh [VARIANT...]
#   native   build/native   host build: libraries and the native (GoogleTest) tests
#   windows  build/windows  the Windows programs and Wine test programs (mingw-w64)
#   asan     build/asan     native with AddressSanitizer + UndefinedBehaviorSanitizer
#   tsan     build/tsan     native with ThreadSanitizer
#   fuzz     build/fuzz     clang: the libFuzzer harnesses of fuzz/ (run by scripts/fuzz.sh)
#   release          build/release          native, optimised (Release: -O2)
#   windows-release  build/windows-release  the delivered Windows programs: optimised,
#                                           stripped, with icons and version information
# Default: native windows. Needs scripts/install-deps.sh and, for windows,
# scripts/build-libpng-mingw.sh to have run. Stops at the first error.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
JOBS=${VELMO_JOBS:-2}
export VELMO_MINGW_PREFIX=${VELMO_MINGW_PREFIX:-/opt/velmo-mingw}

log() { printf 'build: %s\n' "$*"; }
die() { printf 'build: ERROR: %s\n' "$*" >&2; exit 1; }

configure_and_build() {
  local name=$1; shift
  local dir=$ROOT/build/$name
  log "configuring $name in $dir"
  cmake -S "$ROOT" -B "$dir" -G Ninja "$@" >"$dir.configure.log" 2>&1 \
    || {
      cat "$dir.configure.log" >&2
      # No stale build files: callers take build.ninja as "this tree configured".
      rm -f "$dir/build.ninja"
      die "cmake configure of $name failed"
    }
  log "building $name (ninja -j$JOBS)"
  # -k 0: report every broken target of the run, not only the first.
  ninja -C "$dir" -j"$JOBS" -k 0 || die "build of $name failed"
}

build_variant() {
  mkdir -p "$ROOT/build"
  case $1 in
    native) configure_and_build native -DCMAKE_BUILD_TYPE=Debug ;;
    asan) configure_and_build asan -DCMAKE_BUILD_TYPE=Debug -DVELMO_SANITIZE=ON ;;
    tsan) configure_and_build tsan -DCMAKE_BUILD_TYPE=Debug -DVELMO_TSAN=ON ;;
    fuzz)
      configure_and_build fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMO_FUZZ=ON \
        -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
      ;;
    release) configure_and_build release -DCMAKE_BUILD_TYPE=Release ;;
    windows | windows-release)
      [[ -f "$VELMO_MINGW_PREFIX/include/png.h" ]] \
        || die "no mingw libpng in $VELMO_MINGW_PREFIX (run scripts/build-libpng-mingw.sh)"
      [[ -f "$VELMO_MINGW_PREFIX/include/sodium.h" ]] \
        || die "no mingw libsodium in $VELMO_MINGW_PREFIX (run scripts/build-libsodium-mingw.sh)"
      # windows: no build type (no optimisation, no debugging information), the quickest.
      local type=
      [[ $1 == windows-release ]] && type=Release
      configure_and_build "$1" -DCMAKE_BUILD_TYPE=$type \
        -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake"
      ;;
    *) die "unknown variant '$1' (native, windows, asan, tsan, fuzz, release, windows-release)" ;;
  esac
}

variants=("$@")
[[ ${#variants[@]} -gt 0 ]] || variants=(native windows)
for v in "${variants[@]}"; do
  start=$SECONDS
  build_variant "$v"
  log "$v built in $((SECONDS - start)) s"
done
