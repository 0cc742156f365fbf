#!/usr/bin/env bash
# One command from a fresh clone to built programs: installs the Debian packages (as root),
# builds the mingw libpng, then builds both targets with scripts/build.sh:
#   build/native    the host build (libraries and native tests)
#   build/windows   the Windows programs (*.exe, run them on Windows or under Wine)
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$ROOT"

as_root() {
  if [[ $(id -u) -eq 0 ]]; then
    bash "$@"
  else
    sudo bash "$@"
  fi
}

as_root scripts/install-deps.sh
as_root scripts/build-libpng-mingw.sh
bash scripts/build.sh native windows

echo
echo "Windows programs built in $ROOT/build/windows:"
find "$ROOT/build/windows" -name '*.exe' -not -path '*/CMakeFiles/*' -printf '  %P\n' | sort
