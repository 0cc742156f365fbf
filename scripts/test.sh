#!/usr/bin/env bash
# The whole test job, as CI runs it (from a fresh clone, as root, CI=true, no stdin):
#   1. install the Debian packages and the unpacked FTP/HTTP peers (scripts/install-deps.sh)
#   2. build the static mingw libpng once (scripts/build-libpng-mingw.sh)
#   3. build the native and Windows trees (scripts/build.sh)
#   4. ctest on the native build
#   5. ASan + UBSan build, ctest
#   6. TSan build, ctest -L threaded
#   7. the Wine tests (tests/wine/run_wine_tests.py) on the Windows build
#   8. every libFuzzer harness for VELMO_FUZZ_SECONDS (default 30) each (scripts/fuzz.sh)
#   9. the release: an optimised native build with every native test, then
#      scripts/package.sh (optimised Windows programs, the zip, the setup program) and
#      every Wine test on those programs, with the delivery tests of the zip and the setup
# Every stage runs even when an earlier one failed (tests need only a configured build),
# so one run shows all failures. The last line sums every test run: "N passed, N failed";
# a stage that fails outside a test (install, build) counts as one failed test. Exit code
# non-zero on any failure.
set -uo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$ROOT"
JOBS=${VELMO_JOBS:-2}
export VELMO_JOBS=$JOBS
LOGDIR=$ROOT/build/test-logs
mkdir -p "$LOGDIR"

total_passed=0
total_failed=0
last_failed=0
timings=()

log() { printf '\n=== %s\n' "$*"; }

as_root() {
  if [[ $(id -u) -eq 0 ]]; then
    bash "$@"
  elif command -v sudo >/dev/null; then
    sudo -n bash "$@"
  else
    echo "test.sh: $1 needs root" >&2
    return 1
  fi
}

# stage NAME COMMAND...: runs one stage, notes its time; a failure counts as one failure
# unless the stage itself counted its tests (see count_ctest / count_wine).
stage() {
  local name=$1; shift
  local start=$SECONDS
  log "$name"
  "$@"
  local rc=$?
  timings+=("$(printf '%-22s %4d s  %s' "$name" $((SECONDS - start)) "$([[ $rc -eq 0 ]] && echo ok || echo FAILED)")")
  return $rc
}

# Adds the counts of a ctest log ("NN% tests passed, F tests failed out of T").
count_ctest() {
  local logfile=$1 line
  line=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$logfile" | tail -n1)
  if [[ -z "$line" ]]; then
    return 1
  fi
  local failed total
  failed=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
  total=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\2/' <<<"$line")
  total_passed=$((total_passed + total - failed))
  total_failed=$((total_failed + failed))
  last_failed=$failed
}

run_ctest() {  # run_ctest BUILD_DIR LOGNAME [ctest args...]
  local dir=$1 name=$2; shift 2
  local logfile=$LOGDIR/$name.log
  (cd "$dir" && ctest --output-on-failure --no-tests=error -j"$JOBS" --timeout 600 "$@") \
    2>&1 | tee "$logfile"
  local rc=${PIPESTATUS[0]}
  if ! count_ctest "$logfile"; then
    echo "test.sh: ctest in $dir ran no test" >&2
    total_failed=$((total_failed + 1))
    return 1
  fi
  # ctest failing with no failed test (a crash of ctest itself) still fails the run.
  if [[ $rc -ne 0 && $last_failed -eq 0 ]]; then
    total_failed=$((total_failed + 1))
  fi
  return "$rc"
}

# Adds the counts of a log whose runner ends with "[word: ]N passed, N failed"; RC is the
# runner's exit code (non-zero with no failed test still counts one failure).
count_plain() {
  local logfile=$1 rc=$2 line passed failed
  line=$(grep -E '^([a-z]+: )?[0-9]+ passed, [0-9]+ failed$' "$logfile" | tail -n1)
  if [[ -z "$line" ]]; then
    total_failed=$((total_failed + 1))
    return 1
  fi
  line=${line#*: }
  passed=${line%% passed*}
  line=${line#* passed, }
  failed=${line%% failed}
  total_passed=$((total_passed + passed))
  total_failed=$((total_failed + failed))
  if [[ $rc -ne 0 && $failed -eq 0 ]]; then
    total_failed=$((total_failed + 1))
  fi
  return "$rc"
}

run_wine() {  # run_wine BUILD_DIR LOGNAME [run_wine_tests.py args...]
  local dir=$1 logfile=$LOGDIR/$2.log; shift 2
  /usr/bin/python3 tests/wine/run_wine_tests.py --build-dir "$ROOT/$dir" "$@" 2>&1 \
    | tee "$logfile"
  count_plain "$logfile" "${PIPESTATUS[0]}"
}

# scripts/fuzz.sh builds its own tree (clang) and counts each harness as one test.
run_fuzz() {
  local logfile=$LOGDIR/fuzz.log
  bash scripts/fuzz.sh --seconds "${VELMO_FUZZ_SECONDS:-30}" 2>&1 | tee "$logfile"
  count_plain "$logfile" "${PIPESTATUS[0]}"
}

failed_stage() { total_failed=$((total_failed + 1)); }

stage install-deps as_root scripts/install-deps.sh || failed_stage
stage libpng-mingw as_root scripts/build-libpng-mingw.sh || failed_stage
stage libsodium-mingw as_root scripts/build-libsodium-mingw.sh || failed_stage

# A failed build still runs the tests that did build (the build failure itself counts as
# one failure), so a single broken target does not hide the state of everything else.
configured() { [[ -f "$ROOT/build/$1/build.ninja" ]]; }

stage build-native bash scripts/build.sh native || failed_stage
stage build-windows bash scripts/build.sh windows || failed_stage

if configured native; then
  stage ctest-native run_ctest build/native native
fi

stage build-asan bash scripts/build.sh asan || failed_stage
if configured asan; then
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=1 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    stage ctest-asan run_ctest build/asan asan
fi

stage build-tsan bash scripts/build.sh tsan || failed_stage
if configured tsan; then
  TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
    stage ctest-tsan run_ctest build/tsan tsan -L threaded
fi

if configured windows; then
  stage wine-tests run_wine build/windows wine
fi

stage fuzz run_fuzz

stage build-release bash scripts/build.sh release || failed_stage
if configured release; then
  stage ctest-release run_ctest build/release release
fi
# CI's programs carry the repository's test key: a test package, said so.
stage package bash scripts/package.sh --test-package || failed_stage
if configured windows-release; then
  stage wine-release run_wine build/windows-release wine-release --dist "$ROOT/dist"
fi

log "summary (logs in $LOGDIR)"
printf '%s\n' "${timings[@]}"
echo "$total_passed passed, $total_failed failed"
[[ $total_failed -eq 0 ]]
