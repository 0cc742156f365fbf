#!/usr/bin/env bash
# Installs everything the build and the tests need from Debian's archive.
#
# Run as root (CI runs it as root). Safe to run again: when every package, the source
# entries and the unpacked FTP/HTTP peers are already there it does nothing, so a
# repeated test run does not touch the network.
#
# The FTP servers used as test peers (vsftpd, pure-ftpd, proftpd) conflict with each
# other in apt, and installing a server package would also start a system-wide daemon.
# They are therefore fetched with `apt-get download` and unpacked with `dpkg-deb -x`
# into /opt/velmo-peers/<name>/ (binaries under usr/sbin there); only their shared
# libraries are installed normally. nginx (HTTP peer) is unpacked the same way so no
# daemon ever listens on port 80.
set -euo pipefail

PEERS_DIR=${VELMO_PEERS_DIR:-/opt/velmo-peers}
SRC_LIST=/etc/apt/sources.list.d/velmo-deb-src.sources

PACKAGES=(
  cmake ninja-build g++ make pkg-config dpkg-dev
  libgtest-dev libgmock-dev libpng-dev zlib1g-dev
  libsodium-dev python3-nacl autoconf automake libtool  # update signatures: the updater checks them (libsodium; its mingw build
  # is generated with autotools), scripts/sign_update.py writes them
  libssl-dev openssl  # TLS natively (the Windows build uses Schannel); test certificates, s_server
  g++-mingw-w64-x86-64-posix libz-mingw-w64-dev
  wine64 xvfb fonts-wine fonts-dejavu-core fonts-liberation imagemagick x11-utils
  python3 python3-pyftpdlib lftp libpam-modules
  python3-openssl  # pyftpdlib's TLS_FTPHandler (FTP over TLS peer)
  clang libclang-rt-14-dev llvm  # fuzz tree: libFuzzer runtime, symbolized reports
  nsis  # makensis: the Windows setup program (scripts/package.sh)
  libnetfilter-queue-dev iptables tcpdump curl  # benchmarks: delayed loopback, captures, baseline
)
# peer name -> binary packages unpacked into $PEERS_DIR/<name>
declare -A PEER_PACKAGES=(
  [vsftpd]="vsftpd"
  [pure-ftpd]="pure-ftpd"
  # proftpd-mod-crypto holds mod_tls (FTP over TLS); loaded from the unpacked tree
  [proftpd]="proftpd-core proftpd-mod-crypto"
  [nginx]="nginx"
)

log() { printf 'install-deps: %s\n' "$*"; }
die() { printf 'install-deps: ERROR: %s\n' "$*" >&2; exit 1; }

if [[ $(id -u) -ne 0 ]]; then
  die "must run as root (try: sudo bash $0)"
fi
export DEBIAN_FRONTEND=noninteractive

have_package() {
  [[ "$(dpkg-query -W -f='${db:Status-Status}' "$1" 2>/dev/null)" == installed ]]
}

source "$(dirname "${BASH_SOURCE[0]}")/lib/deb_src.sh"

# Unpacked, with every package its entry names now: a peer unpacked before a package was
# added to its list (proftpd before proftpd-mod-crypto) is unpacked again.
peer_ready() {
  local marker=$PEERS_DIR/$1/.unpacked pkg
  [[ -f "$marker" ]] || return 1
  for pkg in ${PEER_PACKAGES[$1]}; do
    grep -q "^$pkg " "$marker" || return 1
  done
}

missing=()
for p in "${PACKAGES[@]}"; do have_package "$p" || missing+=("$p"); done
missing_peers=()
for name in "${!PEER_PACKAGES[@]}"; do peer_ready "$name" || missing_peers+=("$name"); done

if [[ ${#missing[@]} -eq 0 && ${#missing_peers[@]} -eq 0 ]] && have_deb_src; then
  log "all packages and peers already present"
  exit 0
fi

# libpng's source package needs deb-src entries: added once, before the single
# `apt-get update`.
if ! have_deb_src; then
  log "adding deb-src entries for bookworm in $SRC_LIST"
  write_deb_src "$SRC_LIST"
fi

log "apt-get update"
apt-get update -q

if [[ ${#missing[@]} -gt 0 ]]; then
  log "installing: ${missing[*]}"
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# Library (and PAM module) dependencies of an unpacked .deb: the "lib*" names of its
# Depends/Pre-Depends, first alternative only, version constraints dropped.
deb_lib_depends() {
  { dpkg-deb -f "$1" Depends; dpkg-deb -f "$1" Pre-Depends; } \
    | tr ',' '\n' | sed -e 's/|.*//' -e 's/(.*)//' -e 's/:any//' -e 's/[[:space:]]//g' \
    | grep -E '^lib' || true
}

if [[ ${#missing_peers[@]} -gt 0 ]]; then
  dl=$(mktemp -d)
  trap 'rm -rf "$dl"' EXIT
  for name in "${missing_peers[@]}"; do
    mkdir -p "$dl/$name"
    # shellcheck disable=SC2086  # the list is a plain word list
    (cd "$dl/$name" && apt-get download -q ${PEER_PACKAGES[$name]})
  done
  libs=()
  for deb in "$dl"/*/*.deb; do
    while read -r l; do [[ -n "$l" ]] && libs+=("$l"); done < <(deb_lib_depends "$deb")
  done
  if [[ ${#libs[@]} -gt 0 ]]; then
    mapfile -t libs < <(printf '%s\n' "${libs[@]}" | sort -u)
    log "installing peer libraries: ${libs[*]}"
    apt-get install -y -q --no-install-recommends --no-upgrade "${libs[@]}"
  fi
  for name in "${missing_peers[@]}"; do
    rm -rf "${PEERS_DIR:?}/$name"
    mkdir -p "$PEERS_DIR/$name"
    for deb in "$dl/$name"/*.deb; do
      dpkg-deb -x "$deb" "$PEERS_DIR/$name"
      dpkg-deb -W --showformat='${Package} ${Version}\n' "$deb" >>"$PEERS_DIR/$name/.unpacked"
    done
    log "unpacked $name into $PEERS_DIR/$name ($(paste -sd',' "$PEERS_DIR/$name/.unpacked"))"
  done
fi

# Fail loudly if anything is still missing rather than letting a test stumble later.
for p in "${PACKAGES[@]}"; do have_package "$p" || die "package $p did not install"; done
for name in "${!PEER_PACKAGES[@]}"; do peer_ready "$name" || die "peer $name not unpacked"; done
for bin in vsftpd/usr/sbin/vsftpd pure-ftpd/usr/sbin/pure-ftpd proftpd/usr/sbin/proftpd nginx/usr/sbin/nginx \
  proftpd/usr/lib/proftpd/mod_tls.so; do
  [[ -x "$PEERS_DIR/$bin" || -f "$PEERS_DIR/$bin" ]] || die "missing $PEERS_DIR/$bin"
done
log "done"
