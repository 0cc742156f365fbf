#!/usr/bin/env bash
# From a fresh clone to the suite running under Wine, with a local FTP server to install
# the guestbook onto (no FTP account needed):
#   1. installs the Debian packages and the mingw libpng (as root; done once),
#   2. builds the Windows programs (scripts/build.sh windows -> build/windows),
#   3. lays out build/demo/ as the suite is delivered: Velmo_Menu.exe, Tools/ with the
#      tools, livre-dor, softwareDatas, sauvegardes and misesAJour,
#   4. starts a demo FTP server on 127.0.0.1 (pyftpdlib; login folder build/demo-ftp, which
#      holds an installed guestbook in mon-livre-dor for the folder locator to find and the
#      backup tool to save) and prints its address, port, user and password, and a demo
#      official site for the updater (sample/site-officiel over HTTP on 127.0.0.1),
#   5. starts the launcher under Wine on $DISPLAY; with no display it uses a virtual X
#      server, saves build/demo/screenshot.png and says how to get a display.
# The servers stop when the programs have ended.
#
# Environment: VELMO_DEMO_PORT (default 2121), VELMO_DEMO_HTTP_PORT (8089), VELMO_DEMO_USER (velmo),
# VELMO_DEMO_PASSWORD (demo), VELMO_SKIP_INSTALL=1 to skip step 1, VELMO_DEMO_BUILD=DIR
# to take the programs from an already built Windows tree (skips steps 1 and 2),
# VELMO_DEMO_GUESTBOOK (mon-livre-dor) names the installed guestbook's folder ("" for none;
# sample/make_installed_guestbook.py writes it when it is missing).
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$ROOT"
PORT=${VELMO_DEMO_PORT:-2121}
HTTP_PORT=${VELMO_DEMO_HTTP_PORT:-8089}
USER_NAME=${VELMO_DEMO_USER:-velmo}
PASSWORD=${VELMO_DEMO_PASSWORD:-demo}
WIN=${VELMO_DEMO_BUILD:-$ROOT/build/windows}
DEMO=$ROOT/build/demo
FTP_HOME=$ROOT/build/demo-ftp
GUESTBOOK=${VELMO_DEMO_GUESTBOOK-mon-livre-dor}

say() { printf 'run: %s\n' "$*"; }
die() { printf 'run: ERROR: %s\n' "$*" >&2; exit 1; }

as_root() {
  if [[ $(id -u) -eq 0 ]]; then
    bash "$@"
  else
    sudo bash "$@"
  fi
}

if [[ -z ${VELMO_DEMO_BUILD:-} ]]; then
  if [[ ${VELMO_SKIP_INSTALL:-0} != 1 ]]; then
    as_root scripts/install-deps.sh
    as_root scripts/build-libpng-mingw.sh
    as_root scripts/build-libsodium-mingw.sh
  fi
  bash scripts/build.sh windows
fi

# The first built copy of a program below the Windows tree ("" when not built).
built() {
  find "$WIN" -name "$1" -not -path '*/CMakeFiles/*' -not -path '*/wine-results/*' \
    -not -path '*/tests/*' -print -quit
}

say "laying out $DEMO"
installer=$(built Velmo_Transfert.exe)
[[ -n $installer ]] || die "Velmo_Transfert.exe was not built"
mkdir -p "$DEMO/Tools/softwareDatas" "$DEMO/Tools/sauvegardes" "$DEMO/Tools/misesAJour"
rm -rf "$DEMO/Tools/livre-dor"
cp -r "$ROOT/sample/livre-dor" "$DEMO/Tools/livre-dor"
cp "$installer" "$DEMO/Tools/"
for tool in Velmo_Navigateur.exe Velmo_Sauvegarde.exe Velmo_Maj.exe; do
  exe=$(built "$tool")
  if [[ -n $exe ]]; then cp "$exe" "$DEMO/Tools/"; fi
done
# The demo's updater is the local-site build of Velmo_Maj: its official site is the
# sample one served below (the delivered program asks the address it was built with).
maj=$(built velmo_maj_local_site.exe)
if [[ -n $maj ]]; then cp "$maj" "$DEMO/Tools/Velmo_Maj.exe"; fi
launcher=$(built Velmo_Menu.exe)
if [[ -n $launcher ]]; then
  cp "$launcher" "$DEMO/"
else
  rm -f "$DEMO/Velmo_Menu.exe"
  say "Velmo_Menu.exe is not built: the installer will be started directly"
fi

say "starting the demo FTP server"
mkdir -p "$FTP_HOME"
# An installed guestbook, left as it is once there (the user's own changes stay).
if [[ -n $GUESTBOOK && ! -e $FTP_HOME/$GUESTBOOK ]]; then
  /usr/bin/python3 "$ROOT/sample/make_installed_guestbook.py" "$FTP_HOME" --folder "$GUESTBOOK"
fi
# The demo account offers encryption with a certificate of its own, made once and kept (a
# host's own certificate, as a shared host may show), kept across runs so that a
# decision about it stays valid.
TLS_PEM="$DEMO/demo-ftp-tls.pem"
if [[ ! -s $TLS_PEM ]]; then
  openssl req -x509 -newkey rsa:2048 -nodes -days 825 -subj "/CN=Velmo demo FTP" \
    -addext "subjectAltName=IP:127.0.0.1,DNS:localhost" \
    -keyout "$TLS_PEM.key" -out "$TLS_PEM.crt" >/dev/null 2>&1 || die "openssl could not make the demo certificate"
  cat "$TLS_PEM.key" "$TLS_PEM.crt" >"$TLS_PEM" && rm -f "$TLS_PEM.key" "$TLS_PEM.crt"
fi
coproc FTP { exec /usr/bin/python3 "$ROOT/scripts/demo_ftp_server.py" --home "$FTP_HOME" \
  --port "$PORT" --user "$USER_NAME" --password "$PASSWORD" --log "$DEMO/ftp-server.log" \
  --tls-cert "$TLS_PEM" 2>&1; }
FTP_PID=$FTP_PID
trap 'kill "$FTP_PID" 2>/dev/null || true; wait "$FTP_PID" 2>/dev/null || true' EXIT
read -r -t 30 ready <&"${FTP[0]}" || die "the demo FTP server did not start (see $DEMO/ftp-server.log)"
[[ $ready == ready* ]] || die "the demo FTP server said: $ready"

say "starting the demo official site"
/usr/bin/python3 "$ROOT/scripts/demo_http_server.py" --root "$ROOT/sample/site-officiel" \
  --port "$HTTP_PORT" --log "$DEMO/http-server.log" >"$DEMO/http-server.out" 2>&1 &
HTTP_PID=$!
trap 'kill "$FTP_PID" "$HTTP_PID" 2>/dev/null || true; wait "$FTP_PID" "$HTTP_PID" 2>/dev/null || true' EXIT
for _ in $(seq 300); do
  grep -q '^ready' "$DEMO/http-server.out" 2>/dev/null && break
  kill -0 "$HTTP_PID" 2>/dev/null || break
  sleep 0.1
done
grep -q '^ready' "$DEMO/http-server.out" || die "the demo official site did not start: $(cat "$DEMO/http-server.out")"
export VELMO_LOCAL_SITE_URL="http://127.0.0.1:$HTTP_PORT/velmo-maj/"

cat <<EOF

  Demo FTP server (only on this machine):
    Adresse FTP      127.0.0.1
    ID Utilisateur   $USER_NAME
    Mot de passe     $PASSWORD
    Port             $PORT        (leave "Mode passif." ticked)
  Files sent to it land in $FTP_HOME
  It also offers explicit FTP over TLS with a certificate of its own
  (SHA-256 $(openssl x509 -in "$TLS_PEM" -noout -fingerprint -sha256 | cut -d= -f2)).

  In the launcher, click "Velmo, Transfert.", fill in the form with these values, press
  "Valider"; at the end the link generator opens (any http:// address will do).

  Updates: the launcher's "Vérifier les mises à jour" starts Velmo_Maj, whose official
  site is $VELMO_LOCAL_SITE_URL
  (sample/site-officiel: versions 2.10.0, then 2.20.0). Install the guestbook first, then
  "Vérifier les mises à jour", and in the second tab type the password and press
  "Appliquer les mises à jour". To start again from 2.0.0, delete
  build/demo/Tools/misesAJour/__NumeroDeVersion_Script_Local.pcfg.

EOF
if [[ -n $GUESTBOOK ]]; then
  cat <<EOF
  A guestbook is already installed there, in "$GUESTBOOK": "Velmo, Navigateur." finds it
  (double-click its folder, then "Tester"), and "Velmo, Sauvegarde." then saves its skins
  and personal files into build/demo/Tools/sauvegardes.

EOF
fi

/usr/bin/python3 "$ROOT/scripts/demo_wine.py" --demo "$DEMO" --prefix "$ROOT/build/demo-wine" \
  --build-dir "$WIN"
say "done"
