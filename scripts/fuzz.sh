#!/usr/bin/env bash
# Builds the libFuzzer harnesses of fuzz/ (scripts/build.sh fuzz: clang, build/fuzz) and
# runs each for a while.   Usage: scripts/fuzz.sh [--seconds N] [name...]
#   default: every harness (build/fuzz/fuzz/harnesses.txt), 30 s each
# A harness starts from its committed seeds fuzz/corpus/<name>/ (read, never written) and
# from build/fuzz-corpus/<name>/ (the inputs earlier runs on this machine kept; this run
# adds its own). A finding (crash, sanitizer report, leak, timeout, out of memory) fails
# the harness: the input is kept in build/fuzz-findings/<name>/, the run's output in
# build/fuzz-logs/<name>.log; replay it with build/fuzz/fuzz/fuzz_<name> FILE.
# The last line is "fuzz: N passed, N failed"; the exit code is non-zero on any failure.
set -uo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$ROOT"
seconds=30
names=()
while [[ $# -gt 0 ]]; do
  case $1 in
    --seconds) seconds=${2:-}; shift 2 || { echo "fuzz: --seconds needs a value" >&2; exit 2; } ;;
    --seconds=*) seconds=${1#--seconds=}; shift ;;
    -h|--help) sed -n '2,10p' "$0"; exit 0 ;;
    -*) echo "fuzz: unknown option $1" >&2; exit 2 ;;
    *) names+=("$1"); shift ;;
  esac
done
[[ $seconds =~ ^[1-9][0-9]*$ ]] || { echo "fuzz: --seconds wants a whole number of seconds" >&2; exit 2; }

passed=0
failed=0
summary() { echo "fuzz: $passed passed, $failed failed"; [[ $failed -eq 0 ]]; }

if ! bash scripts/build.sh fuzz; then
  echo "fuzz: the harnesses did not build" >&2
  failed=1
  summary
  exit 1
fi
if [[ ${#names[@]} -eq 0 ]]; then
  mapfile -t names < <(grep -v '^$' build/fuzz/fuzz/harnesses.txt)
fi

mkdir -p build/fuzz-logs
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}
for name in "${names[@]}"; do
  bin=build/fuzz/fuzz/fuzz_$name
  if [[ ! -x $bin ]]; then
    echo "fuzz: no harness named '$name' (see fuzz/CMakeLists.txt)" >&2
    failed=$((failed + 1))
    continue
  fi
  work=build/fuzz-corpus/$name
  findings=build/fuzz-findings/$name
  logfile=build/fuzz-logs/$name.log
  mkdir -p "$work" "$findings"
  args=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
        -artifact_prefix="$findings/")
  [[ -f fuzz/$name.dict ]] && args+=(-dict="fuzz/$name.dict")
  marker=$(mktemp)
  echo "fuzz: $name for $seconds s"
  "$bin" "${args[@]}" "$work" "fuzz/corpus/$name" >"$logfile" 2>&1
  rc=$?
  if [[ $rc -eq 0 ]]; then
    passed=$((passed + 1))
    grep -E '^stat::(number_of_executed_units|new_units_added):' "$logfile" | sed 's/^/  /'
  else
    failed=$((failed + 1))
    tail -n 40 "$logfile"
    echo "fuzz: $name FAILED (exit $rc); log $logfile; inputs kept:"
    find "$findings" -type f -newer "$marker" | sed 's/^/  /'
  fi
  rm -f "$marker"
done
summary
