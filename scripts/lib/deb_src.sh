# Sourced by install-deps.sh and build-libpng-mingw.sh: `apt-get source` (for libpng's
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
