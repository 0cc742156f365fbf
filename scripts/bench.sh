#!/usr/bin/env bash
# The upload benchmark on links of chosen latency, as root (network namespaces):
#
#   scripts/bench.sh [--runs N] [--rtt 0,20,50] [--peers vsftpd,pyftpdlib]
#                    [--modes passive[,active]] [--capture DIR] [--download] [--tls]
#
# For every round trip (ms) of --rtt, a private network namespace whose loopback holds
# each packet half of it (bench/latency/delayed_loopback.sh) runs bench/upload_bench: the
# installer's upload engine and `lftp mirror -R`, one after the other on the same link,
# --runs times per server and mode. Then one table: per-file times, the ratio to lftp and
# to the wire's limit, the goal met or not. --capture DIR keeps a packet capture of each
# link (DIR/rtt-<ms>.pcap). --download adds the updater's HTTP download benchmark
# (bench/download_bench: 50 MB beside curl) on the same links. --tls: the servers offer TLS
# (a self-signed certificate made for the run), the installer's engine connects encrypted
# with that certificate already trusted, as a user's earlier "Oui" left it (a run whose
# server log shows a login or a send in clear fails), and lftp runs with ftp:ssl-force,
# ftp:ssl-protect-data and no certificate check; the updater's rows are plain only.
#
# The machine is described above the table (processor, load before and after): figures
# taken under load are to be doubted. Everything also goes to build/bench-results/.
# VELMO_SKIP_INSTALL=1 skips the package step.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD="$ROOT/build/bench"

die() { printf 'bench: %s\n' "$*" >&2; exit 2; }

runs=1 rtts=0,20,50 peers= modes=passive capture= download=0 tls=0
while [[ $# -gt 0 ]]; do
  case $1 in
    --runs) runs=${2:?}; shift 2 ;;
    --rtt) rtts=${2:?}; shift 2 ;;
    --peers) peers=${2:?}; shift 2 ;;
    --modes) modes=${2:?}; shift 2 ;;
    --capture) capture=${2:?}; shift 2 ;;
    --download) download=1; shift ;;
    --tls) tls=1; shift ;;
    *) die "unknown option $1 (see the head of $0)" ;;
  esac
done
[[ -n $peers ]] || peers=vsftpd,pyftpdlib
tls_args=()
[[ $tls == 1 ]] && tls_args=(--tls)
[[ $(id -u) -eq 0 ]] || die "must run as root (network namespaces, FTP daemons): sudo bash $0"

if [[ ${VELMO_SKIP_INSTALL:-0} != 1 ]]; then
  bash "$ROOT/scripts/install-deps.sh" >/dev/null || die "scripts/install-deps.sh failed"
fi

mkdir -p "$ROOT/build" "$ROOT/build/bench-results"
# The delivered build type (Release, -O2): the figures are the ones a user meets.
cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release >"$BUILD.configure.log" 2>&1 \
  || { cat "$BUILD.configure.log"; exit 1; }
targets=(upload_bench velmo_packet_delayer)
[[ $download == 1 ]] && targets+=(download_bench)
ninja -C "$BUILD" "${targets[@]}" >"$BUILD.build.log" 2>&1 || { tail -40 "$BUILD.build.log"; exit 1; }

stamp=$(date +%Y%m%d-%H%M%S)
records="$ROOT/build/bench-results/$stamp.tsv"
report="$ROOT/build/bench-results/$stamp.md"
[[ -n $capture ]] && mkdir -p "$capture"

{
  echo "Benchmark of $(git -C "$ROOT" log -1 --format='%h %s' 2>/dev/null || echo 'this tree'), $(date '+%Y-%m-%d %H:%M')"
  echo "Machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//'), $(nproc) cores, $(uname -r)"
  echo "Load before: $(cut -d' ' -f1-3 /proc/loadavg)"
  echo
} | tee "$report"

failed=0
IFS=, read -ra rtt_list <<<"$rtts"
for rtt in "${rtt_list[@]}"; do
  one_way=$(awk -v r="$rtt" 'BEGIN { printf "%g", r / 2 }')
  echo "== round trip $rtt ms ==" | tee -a "$report"
  capture_args=()
  [[ -n $capture ]] && capture_args=(--capture "$capture/rtt-$rtt.pcap")
  # In the namespace: the link is checked first; no figure is taken on a wrong one.
  commands=("python3 $(printf %q "$ROOT/bench/latency/link_check.py") $rtt")
  commands+=("$(printf '%q ' "$BUILD/bench/upload_bench" --rtt "$rtt" --runs "$runs" --peers "$peers" \
    --modes "$modes" --record "$records" "${tls_args[@]}")")
  if [[ $download == 1 ]]; then
    commands+=("$(printf '%q ' "$BUILD/bench/download_bench" --rtt "$rtt" --runs "$runs")")
  fi
  script=$(printf '%s && ' "${commands[@]}")
  bash "$ROOT/bench/latency/delayed_loopback.sh" "$one_way" --delayer "$BUILD/bench/latency/velmo_packet_delayer" \
    "${capture_args[@]}" -- bash -c "${script% && }" 2>&1 | tee -a "$report" || failed=1
done

{
  echo
  echo "Load after: $(cut -d' ' -f1-3 /proc/loadavg)"
  echo
  "$BUILD/bench/upload_bench" --table "$records"
  if [[ $download == 1 ]]; then
    echo
    echo "| RTT | server | size | runs | Velmo ms | curl ms | Velmo MB/s | curl MB/s | Velmo / curl |"
    echo "|---|---|---|---|---|---|---|---|---|"
    grep -E '^\| [0-9.]+ ms \| (nginx|python) \|' "$report" || true
  fi
} | tee -a "$report"
echo "(kept in $report)"
exit "$failed"
