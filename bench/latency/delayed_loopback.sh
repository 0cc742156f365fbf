#!/usr/bin/env bash
# Runs one command on a loopback of chosen latency: a private network namespace (only
# "lo", up) whose every packet is held ONE_WAY_MS by velmo_packet_delayer, so a round trip
# costs twice that. Needs root. The namespace and the delayer live exactly as long as the
# command; nothing is left behind, whatever happens.
#
#   delayed_loopback.sh ONE_WAY_MS [--delayer PATH] [--capture FILE] -- COMMAND [ARG...]
#
# ONE_WAY_MS 0 gives the namespace's plain loopback (no queue). --delayer names the
# program (default: velmo_packet_delayer beside build/bench's, or $VELMO_DELAYER).
# --capture FILE records the loopback's packet heads with tcpdump while the command runs;
# a capture sees each packet once the delayer let it go, as its receiver meets it.
#
# Why a queue and not "tc qdisc ... netem delay": this machine's kernel has no netem (and
# loads no modules). The rule is added only once the delayer holds the queue and has no
# bypass: should the delayer die, packets stop instead of passing undelayed, so a figure
# is never taken on the wrong wire unnoticed. The exit status is the command's, or 1
# when the delayer did not last until the end.
set -euo pipefail

die() { printf 'delayed_loopback: %s\n' "$*" >&2; exit 2; }

[[ $(id -u) -eq 0 ]] || die "must run as root (network namespaces)"
[[ $# -ge 3 ]] || die "usage: $0 ONE_WAY_MS [--delayer PATH] [--capture FILE] -- COMMAND..."
one_way=$1; shift
[[ $one_way =~ ^[0-9]+(\.[0-9]+)?$ ]] || die "ONE_WAY_MS must be a number of milliseconds"
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
delayer=${VELMO_DELAYER:-$here/../../build/bench/bench/latency/velmo_packet_delayer}
capture=
while [[ $# -gt 0 && $1 != -- ]]; do
  case $1 in
    --delayer) delayer=${2:?}; shift 2 ;;
    --capture) capture=${2:?}; shift 2 ;;
    *) die "unknown option $1" ;;
  esac
done
[[ ${1:-} == -- ]] || die "missing -- before the command"
shift
[[ $# -gt 0 ]] || die "no command"

ns=velmo-latency-$$
workdir=$(mktemp -d /tmp/velmo-latency.XXXXXX)
delayer_pid=
capture_pid=

cleanup() {
  local rc=$?
  if [[ -n $capture_pid ]]; then kill -INT "$capture_pid" 2>/dev/null || true; wait "$capture_pid" 2>/dev/null || true; fi
  if [[ -n $delayer_pid ]]; then
    kill -TERM "$delayer_pid" 2>/dev/null || true
    wait "$delayer_pid" 2>/dev/null || true
    grep '^stopped:' "$workdir/delayer.log" | sed 's/^/delayed_loopback: delayer /' >&2 || true
  fi
  ip netns del "$ns" 2>/dev/null || true
  rm -rf "$workdir"
  exit "$rc"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

in_ns() { ip netns exec "$ns" "$@"; }

ip netns add "$ns"
in_ns ip link set lo up

if [[ $one_way != 0 && $one_way != 0.0 ]]; then
  [[ -x $delayer ]] || die "no delayer program at $delayer (build it: ninja -C build/bench velmo_packet_delayer)"
  command -v iptables-legacy >/dev/null || die "iptables-legacy missing (scripts/install-deps.sh installs iptables)"
  # Started straight from here (not through a function) so that $! is the delayer itself:
  # "ip netns exec" becomes the program it runs.
  ip netns exec "$ns" "$delayer" 0 "$one_way" >"$workdir/delayer.log" 2>&1 </dev/null &
  delayer_pid=$!
  for _ in $(seq 100); do
    grep -q '^ready:' "$workdir/delayer.log" && break
    kill -0 "$delayer_pid" 2>/dev/null || { cat "$workdir/delayer.log" >&2; die "the delayer did not start"; }
    sleep 0.05
  done
  grep -q '^ready:' "$workdir/delayer.log" || die "the delayer did not get ready"
  in_ns iptables-legacy -A OUTPUT -o lo -j NFQUEUE --queue-num 0
fi

if [[ -n $capture ]]; then
  command -v tcpdump >/dev/null || die "tcpdump missing (scripts/install-deps.sh installs it)"
  ip netns exec "$ns" tcpdump --immediate-mode -i lo -n -s 200 -U -w "$capture" 2>"$workdir/tcpdump.log" &
  capture_pid=$!
  for _ in $(seq 100); do
    grep -q 'listening on' "$workdir/tcpdump.log" && break
    sleep 0.05
  done
fi

set +e
in_ns "$@"
rc=$?
set -e
if [[ -n $delayer_pid ]] && ! kill -0 "$delayer_pid" 2>/dev/null; then
  printf 'delayed_loopback: the delayer died during the command: its figures are not valid\n' >&2
  delayer_pid=
  exit 1
fi
exit "$rc"
