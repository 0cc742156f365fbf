#!/usr/bin/python3
"""Runs every Wine test (tests/wine/test_*.py) and prints "N passed, N failed".

One Xvfb and one template prefix serve the whole run; each test copies the template.
Usage: run_wine_tests.py [--build-dir build/windows] [--native-build build/native]
                         [--dist DIR] [--results DIR] [--keep] [NAME...]
NAME selects tests by file name without "test_" and ".py" (default: all). With --dist (the
folder where scripts/package.sh put the zip and the setup program) the delivery tests
tests/wine/delivery_*.py run too (NAME without "delivery_"); they need a release build.
"""

import argparse
import glob
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import winelib  # noqa: E402

# Generous bound for one test script; a hung program must not hang the whole run.
TEST_TIMEOUT_S = 600


def run_one(test, env, logf):
    """Exit code of one test script; a script over its time is stopped (its own clean-up
    runs on SIGTERM, then the whole process group is killed)."""
    proc = subprocess.Popen(["/usr/bin/python3", test], env=env, cwd=winelib.HERE,
                            stdin=subprocess.DEVNULL, stdout=logf, stderr=subprocess.STDOUT,
                            start_new_session=True)
    try:
        return proc.wait(TEST_TIMEOUT_S)
    except subprocess.TimeoutExpired:
        logf.write(b"\n*** stopped after %d s\n" % TEST_TIMEOUT_S)
        logf.flush()
        for sig, grace in ((signal.SIGTERM, 30), (signal.SIGKILL, 10)):
            try:
                os.killpg(proc.pid, sig)
                proc.wait(grace)
                break
            except ProcessLookupError:
                break
            except subprocess.TimeoutExpired:
                pass
        return -1


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build-dir", default=os.path.join(winelib.REPO, "build", "windows"))
    parser.add_argument("--native-build", default=os.path.join(winelib.REPO, "build", "native"),
                        help="host build with helper programs such as run_peer")
    parser.add_argument("--dist", help="scripts/package.sh's output: also run delivery_*.py")
    parser.add_argument("--results", help="screenshots and logs (default BUILD/wine-results)")
    parser.add_argument("--keep", action="store_true", help="keep each test's prefix")
    parser.add_argument("names", nargs="*")
    args = parser.parse_args()
    build_dir = os.path.abspath(args.build_dir)
    results = os.path.abspath(args.results or os.path.join(build_dir, "wine-results"))
    os.makedirs(results, exist_ok=True)
    patterns = ["test_*.py"] + (["delivery_*.py"] if args.dist else [])
    tests = [t for p in patterns for t in sorted(glob.glob(os.path.join(winelib.HERE, p)))
             if not args.names or os.path.basename(t)[:-3].split("_", 1)[1] in args.names]

    started = time.monotonic()
    display = winelib.Display()
    scratch = tempfile.mkdtemp(prefix="velmo-wine-run-")
    template = os.path.join(scratch, "template")
    passed, failed = [], [] if tests else ["no Wine test found"]
    try:
        try:
            winelib.make_template(template, display.number)
        except Exception as e:  # without a prefix no test can run: all count as failed
            print("cannot make the Wine prefix: %s" % e)
            failed, tests = tests, []
        env = dict(os.environ, VELMO_WINE_DISPLAY=str(display.number),
                   VELMO_WINE_TEMPLATE=template, VELMO_WIN_BUILD=build_dir,
                   VELMO_WINE_RESULTS=results, VELMO_NATIVE_BUILD=os.path.abspath(args.native_build),
                   VELMO_WINE_KEEP="1" if args.keep else "0",
                   VELMO_DIST=os.path.abspath(args.dist) if args.dist else "")
        for test in tests:
            name = os.path.basename(test)[:-3]
            t0 = time.monotonic()
            logpath = os.path.join(results, name + ".log")
            with open(logpath, "wb") as logf:
                ok = run_one(test, env, logf) == 0
            (passed if ok else failed).append(name)
            print("%-40s %s (%.1f s)" % (name, "PASS" if ok else "FAIL", time.monotonic() - t0),
                  flush=True)
            if not ok:
                with open(logpath, "rb") as f:
                    sys.stdout.write(f.read().decode("utf-8", "replace"))
                print("  (log: %s)" % logpath, flush=True)
    finally:
        winelib.kill_wineserver(template, display.number)
        display.stop()
        shutil.rmtree(scratch, ignore_errors=True)
    print("Wine tests took %.1f s; results in %s" % (time.monotonic() - started, results))
    print("%d passed, %d failed" % (len(passed), len(failed)))
    return 0 if not failed else 1


if __name__ == "__main__":
    sys.exit(main())
