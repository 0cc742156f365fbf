# Sourced by install-deps.sh and the build-*-mingw.sh scripts: `apt-get source` (for libpng's
# source package) needs deb-src entries. Debian 12 keeps its archive entries in deb822
# form; a matching deb-src file goes beside them.

have_deb_src() {
  grep -rqsE '^(Types:.*deb-src|deb-src )' /etc/apt/sources.list /etc/apt/sources.list.d/
}

# Writes the deb-src entries for bookworm into $1; the caller runs `apt-get update`.
write_deb_src() {
  cat >"$1" <<'EOF_SOURCES'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb-src
URIs: http://deb.debian.org/debian-security
Suites: bookworm-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF_SOURCES
}

# For the build-*-mingw.sh scripts, which define log and die: makes sure deb-src entries
# exist (writing them into $1 as root when none do, as install-deps.sh would).
ensure_deb_src() {
  have_deb_src && return 0
  [[ $(id -u) -eq 0 ]] || die "no deb-src entries and not root: run scripts/install-deps.sh as root"
  log "adding deb-src entries in $1"
  write_deb_src "$1"
  apt-get update -q
}

# fetch_debian_source PACKAGE WORK: unpacks Debian's source package PACKAGE into WORK and
# prints its folder. Newest source version first, falling back to the next one the archive
# lists (the security archive does not always carry the source of its own binary update).
fetch_debian_source() {
  local package=$1 work=$2 v fetched=
  log "fetching the $package source package" >&2
  while read -r v; do
    [[ -n "$v" ]] || continue
    if (cd "$work" && apt-get source -q "$package=$v" >>"$work/source.log" 2>&1); then
      fetched=$v
      break
    fi
    log "source $v not available, trying an older one" >&2
    find "$work" -mindepth 1 -maxdepth 1 ! -name source.log -exec rm -rf {} +
  done < <(apt-cache showsrc "$package" | sed -n 's/^Version: //p' | sort -Vr | uniq)
  [[ -n "$fetched" ]] || { cat "$work/source.log" >&2; die "apt-get source $package failed"; }
  find "$work" -mindepth 1 -maxdepth 1 -type d -name "$package-*" | head -n1
}
