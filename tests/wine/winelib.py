"""Helpers for the Wine tests: an X server, Wine prefixes, running programs, the driver.

A Wine test is one script tests/wine/test_<name>.py calling winelib.main(run), where run(t)
gets a WineTest `t` (see README.md). tests/wine/run_wine_tests.py runs every such script
with one X server and one template prefix for the whole run (passed down in the
environment); a script started by hand makes its own. Each test gets its own copy of the
template prefix, hence its own wineserver, and its own working folder.

Only /usr/bin/python3 and its standard library are used.
"""

import os
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import traceback

WINE_DIR = "/usr/lib/wine"
WINE = os.path.join(WINE_DIR, "wine64")
WINESERVER = os.path.join(WINE_DIR, "wineserver")
WINE_FONTS = "/usr/share/wine/fonts"
HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))

SCREEN = "1024x768"

# Registry of every test prefix:
#  - a virtual desktop, because Xvfb has no window manager and Wine stalls ~2 s on each
#    hide/destroy of a top-level window without one; it also frames screenshots;
#  - crashes end the program with a backtrace instead of a dialog nobody answers;
#  - "Trebuchet MS", the programs' font, is not shipped with Wine: Liberation Sans has
#    metrics close enough that the texts fit as on Windows.
REGISTRY = r"""REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\Explorer]
"Desktop"="Default"

[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]
"Default"="%s"

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"Trebuchet MS"="Liberation Sans"
""" % SCREEN


class HarnessError(Exception):
    """The harness itself could not do what a test asked (not a failed check)."""


class DriverError(Exception):
    """velmo_driver answered ERR (window missing, message refused, ...)."""


class CheckFailed(Exception):
    pass


def log(msg):
    print("[winelib] " + msg, flush=True)


def base_env(display, prefix=None):
    env = dict(os.environ)
    env["DISPLAY"] = ":%d" % display
    env["WINEDEBUG"] = env.get("VELMO_WINEDEBUG", "-all")
    # No Mono/Gecko installer prompts, no desktop menu entries written to $HOME.
    env["WINEDLLOVERRIDES"] = "mscoree,mshtml=;winemenubuilder.exe=d"
    env["PATH"] = WINE_DIR + os.pathsep + env.get("PATH", "/usr/bin:/bin")
    # A UTF-8 locale present on every glibc system: Wine then converts command lines and
    # file names as UTF-8, and programs see the Windows-1252 ANSI code page.
    env["LANG"] = "C.UTF-8"
    env.pop("LC_ALL", None)
    # Wine wants a writable home for its user folders; CI may run without one.
    home = env.get("HOME")
    if not home or not os.path.isdir(home) or not os.access(home, os.W_OK):
        env["HOME"] = tempfile.gettempdir()
    if prefix:
        env["WINEPREFIX"] = prefix
    return env


class Display:
    """An Xvfb on a free display number (chosen by Xvfb itself through -displayfd)."""

    def __init__(self):
        read_fd, write_fd = os.pipe()
        self.proc = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", SCREEN + "x24",
             "-nolisten", "tcp", "-noreset"],
            pass_fds=(write_fd,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_fd)
        data = b""
        deadline = time.monotonic() + 30
        while not data.endswith(b"\n"):
            ready, _, _ = select.select([read_fd], [], [], max(deadline - time.monotonic(), 0))
            chunk = os.read(read_fd, 64) if ready else b""
            if not chunk:
                self.stop()
                raise HarnessError("Xvfb did not report its display")
            data += chunk
        os.close(read_fd)
        self.number = int(data.strip())

    def stop(self):
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()


def make_template(path, display):
    """Boots a fresh prefix at `path` and configures it; takes 10-20 s. A first boot that
    fails (seen once: regedit failing while another Wine run loaded the machine) is tried
    once more from scratch."""
    try:
        _make_template_once(path, display)
    except (HarnessError, subprocess.TimeoutExpired) as first:
        log("template prefix failed (%s); trying once more" % first)
        kill_wineserver(path, display)
        _make_template_once(path, display)


def _make_template_once(path, display):
    shutil.rmtree(path, ignore_errors=True)
    env = base_env(display, path)
    logfile, reg = path + ".log", path + ".reg"
    started = time.monotonic()
    with open(reg, "w", encoding="ascii") as f:
        f.write(REGISTRY)
    with open(logfile, "ab") as out:
        for cmd in ([WINE, "wineboot", "--init"], [WINESERVER, "-w"],
                    [WINE, "regedit", "/S", reg], [WINESERVER, "-w"]):
            rc = subprocess.run(cmd, env=env, stdout=out, stderr=subprocess.STDOUT,
                                stdin=subprocess.DEVNULL, timeout=300).returncode
            if rc != 0 and cmd[0] == WINE:
                raise HarnessError("%s failed, see %s" % (" ".join(cmd[1:]), logfile))
    fonts = os.path.join(path, "drive_c", "windows", "Fonts")
    os.makedirs(fonts, exist_ok=True)
    for name in os.listdir(WINE_FONTS):
        shutil.copy2(os.path.join(WINE_FONTS, name), fonts)
    log("template prefix ready in %.1f s: %s" % (time.monotonic() - started, path))


def kill_wineserver(prefix, display):
    env = base_env(display, prefix)
    try:
        for flag in ("-k", "-w"):
            subprocess.run([WINESERVER, flag], env=env, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, timeout=30)
    except subprocess.TimeoutExpired:
        pass


def unescape(text):
    out, i = [], 0
    while i < len(text):
        if text[i] == "\\" and i + 1 < len(text):
            out.append({"n": "\n", "r": "\r", "t": "\t"}.get(text[i + 1], text[i + 1]))
            i += 2
        else:
            out.append(text[i])
            i += 1
    return "".join(out)


class Driver:
    """One velmo_driver.exe kept running; each call sends one TAB-separated line."""

    def __init__(self, exe, env, logfile):
        self._log = open(logfile, "ab")
        self.proc = subprocess.Popen([WINE, exe], env=env, stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE, stderr=self._log)
        self._buf = b""

    def _readline(self, deadline):
        while b"\n" not in self._buf:
            left = deadline - time.monotonic()
            if left <= 0:
                raise HarnessError("velmo_driver did not answer in time")
            if select.select([self.proc.stdout], [], [], left)[0]:
                chunk = os.read(self.proc.stdout.fileno(), 65536)
                if not chunk:
                    raise HarnessError("velmo_driver exited")
                self._buf += chunk
        line, self._buf = self._buf.split(b"\n", 1)
        return line.decode("utf-8").rstrip("\r")

    def call(self, *fields, timeout=60):
        """Runs one command; returns its result lines (still escaped, TAB-separated)."""
        escaped = (str(f).replace("\\", "\\\\").replace("\n", "\\n").replace("\r", "\\r")
                   .replace("\t", "\\t") for f in fields)
        self.proc.stdin.write(("\t".join(escaped) + "\n").encode("utf-8"))
        self.proc.stdin.flush()
        deadline = time.monotonic() + timeout
        lines = []
        while True:
            got = self._readline(deadline)
            if got == "OK":
                return lines
            if got.startswith("ERR"):
                raise DriverError("%s: %s" % (" ".join(map(str, fields)), unescape(got[4:])))
            lines.append(got)

    def fields(self, *command, timeout=60):
        """The one result line of `command`, split at TABs and unescaped."""
        lines = self.call(*command, timeout=timeout)
        if len(lines) != 1:
            raise HarnessError("expected one line from %s, got %r" % (command[0], lines))
        return [unescape(f) for f in lines[0].split("\t")]

    # Commands, with results decoded. Handles are the driver's hexadecimal texts.
    def find(self, title, timeout_ms=15000):
        hwnd, pid = self.fields("find", title, timeout_ms, timeout=timeout_ms / 1000 + 30)[0].split()
        return hwnd, int(pid)

    def gettext(self, hwnd, ctrl):
        return self.fields("gettext", hwnd, ctrl)[0]

    def settext(self, hwnd, ctrl, text):
        self.call("settext", hwnd, ctrl, text)

    def click(self, hwnd, ctrl):
        self.call("click", hwnd, ctrl)

    def mouse_click(self, hwnd, ctrl):
        """A real left click (through the mouse input) at the right end of the control."""
        self.call("mouseclick", hwnd, ctrl)

    def type_keys(self, text):
        """Real key presses, one per character, to the window with the keyboard focus."""
        self.call("type", text)

    def focused(self, hwnd):
        """Number of the control with the keyboard focus in the window's thread, 0 none."""
        return int(self.fields("focused", hwnd)[0])

    def check_state(self, hwnd, ctrl):
        return int(self.fields("check", hwnd, ctrl)[0])

    def progress(self, hwnd, ctrl):
        """(position, low, high)"""
        return tuple(int(x) for x in self.fields("progress", hwnd, ctrl)[0].split())

    def listbox(self, hwnd, ctrl):
        return [unescape(x) for x in self.call("listbox", hwnd, ctrl)]

    def double_click(self, hwnd, ctrl, row):
        """Double-clicks row `row` of a report list (-1: below its rows)."""
        self.call("dblclick", hwnd, ctrl, row)

    def menu_command(self, hwnd, command_id):
        self.call("menu", hwnd, command_id)

    def menu_bar(self, hwnd):
        return [unescape(x) for x in self.call("menubar", hwnd)]

    def menu_items(self, hwnd, position):
        """[(id, text)] of the drop-down menu at `position` (separators read "-", entries
        opening a sub-menu have id -1)."""
        return [(int(mid), unescape(text)) for mid, text in
                (line.split("\t") for line in self.call("menuitems", hwnd, position))]

    def wait_box(self, pid, timeout_ms=15000):
        """(hwnd, title, text) of the first message box process `pid` shows."""
        return tuple(self.fields("waitbox", pid, timeout_ms, timeout=timeout_ms / 1000 + 30))

    def answer(self, box, button="IDOK"):
        """Presses `button` of the box and waits until the box is gone."""
        self.call("answer", box, button)
        self.wait_gone(box)

    def listview(self, hwnd, ctrl, columns, pictures=False):
        """The rows of a report list, each a tuple of its first `columns` cells, after the
        row's picture index (an int) with `pictures`."""
        rows = [tuple(unescape(c) for c in line.split("\t"))
                for line in self.call("listview", hwnd, ctrl, columns, *(["pictures"] if pictures else []))]
        return [(int(r[0]),) + r[1:] for r in rows] if pictures else rows

    def ticks(self, hwnd, ctrl):
        """Whether each row of a report list with check boxes is ticked."""
        return [line == "1" for line in self.call("ticks", hwnd, ctrl)]

    def tick_row(self, hwnd, ctrl, row, ticked):
        self.call("tickrow", hwnd, ctrl, row, 1 if ticked else 0)

    def choose_tab(self, hwnd, ctrl, index):
        """Selects a tab of a tab panel as a click does (the program is told)."""
        self.call("tab", hwnd, ctrl, index)

    def selected_tab(self, hwnd, ctrl):
        return int(self.fields("tabsel", hwnd, ctrl)[0])

    def enabled(self, hwnd, ctrl):
        return self.fields("enabled", hwnd, ctrl)[0] == "1"

    def close(self, hwnd):
        self.call("close", hwnd)

    def wait_gone(self, hwnd, timeout_ms=15000):
        self.call("waitgone", hwnd, timeout_ms, timeout=timeout_ms / 1000 + 30)

    def stop(self):
        if self.proc.poll() is None:
            try:
                self.proc.stdin.write(b"quit\n")
                self.proc.stdin.close()
                self.proc.wait(10)
            except (OSError, subprocess.TimeoutExpired):
                self.proc.kill()
                self.proc.wait()
        self._log.close()


def _find_below(folder, name, what):
    for dirpath, _, files in os.walk(folder):
        if name in files:
            return os.path.join(dirpath, name)
    raise HarnessError("%s not found below %s (build the %s tree)" % (name, folder, what))


class WineTest:
    """Everything one test script uses: its prefix, folders, programs and checks."""

    def __init__(self, name, display, template, build_dir, results_dir):
        self.display = display
        self.build_dir = build_dir
        self.results = os.path.join(results_dir, name)
        shutil.rmtree(self.results, ignore_errors=True)
        os.makedirs(self.results)
        self.root = tempfile.mkdtemp(prefix="velmo-wine-%s-" % name)
        self.prefix = os.path.join(self.root, "prefix")
        # Working folder for the programs under test (inside the prefix's drive Z:).
        self.workdir = os.path.join(self.root, "work")
        os.makedirs(self.workdir)
        self.env = base_env(display, self.prefix)
        self.failures, self._procs, self._peers, self._shots = [], [], [], 0
        try:
            subprocess.run(["cp", "-a", template, self.prefix], check=True)
            self.driver = Driver(self.exe("velmo_driver.exe"), self.env,
                                 os.path.join(self.results, "driver.log"))
        except Exception:
            shutil.rmtree(self.root, ignore_errors=True)
            raise

    def exe(self, name):
        """Path of a program built in the Windows tree."""
        return _find_below(self.build_dir, name, "Windows")

    def native(self, name):
        """Path of a host program of the native build (e.g. run_peer, to start an FTP peer)."""
        return _find_below(os.environ.get("VELMO_NATIVE_BUILD",
                                          os.path.join(REPO, "build", "native")), name, "native")

    def installer_tools(self):
        """Lays out Tools/ below the working folder as the suite delivers the installer:
        Velmo_Transfert.exe, its guestbook folder livre-dor (the sample the build put
        beside the program) and an empty softwareDatas. Returns the path of Tools."""
        exe = self.exe("Velmo_Transfert.exe")
        tools = os.path.join(self.workdir, "Tools")
        os.makedirs(os.path.join(tools, "softwareDatas"))
        shutil.copy2(exe, tools)
        shutil.copytree(os.path.join(os.path.dirname(exe), "livre-dor"),
                        os.path.join(tools, "livre-dor"))
        return tools

    def start_peer(self, kind, *options):
        """Starts a real FTP server (tests/support's run_peer: "pyftpdlib", "vsftpd", ...) on
        127.0.0.1, with run_peer's `options` (e.g. "--tls", "required", ...). Returns (process, info), info holding host, port, user, password and home
        (its login folder on this machine). Closing the process's stdin stops it; close()
        stops those still running."""
        proc = subprocess.Popen([self.native("run_peer"), kind, *options], stdin=subprocess.PIPE,
                                stdout=subprocess.PIPE, text=True)
        self._peers.append(proc)
        info = {}
        for line in proc.stdout:
            line = line.strip()
            if line == "ready":
                return proc, info
            key, _, value = line.partition("=")
            info[key] = value
        raise HarnessError("run_peer %s did not start" % kind)

    def start(self, exe, cwd=None):
        """Starts a Windows program under Wine with `cwd` as working folder."""
        with open(os.path.join(self.results, os.path.basename(exe) + ".log"), "ab") as logf:
            proc = subprocess.Popen([WINE, exe], cwd=cwd or self.workdir, env=self.env,
                                    stdin=subprocess.DEVNULL, stdout=logf,
                                    stderr=subprocess.STDOUT)
        self._procs.append(proc)
        return proc

    def start_server(self, argv, what):
        """Starts a local server (scripts/demo_*_server.py) that prints one line
        "ready key=value ..." once it listens; returns the values as a dict. The server is
        stopped with the test."""
        with open(os.path.join(self.results, what + ".log"), "ab") as logf:
            proc = subprocess.Popen(argv, stdout=subprocess.PIPE, stderr=logf, stdin=subprocess.DEVNULL)
        self._procs.append(proc)
        line = proc.stdout.readline().decode()
        if not line.startswith("ready "):
            raise HarnessError("%s did not start: %r" % (what, line))
        return dict(f.split("=", 1) for f in line.split()[1:])

    def close_without_launcher(self, d, hwnd, pid, app, program):
        """Closes a tool's main window where no launcher lies beside Tools: the tool says it
        cannot go back to the menu, and once that box is answered ends with exit code 0."""
        d.close(hwnd)
        box, title, text = d.wait_box(pid)
        self.check_eq((title, text), ("Information.", "Impossible de retourner au menu général.\r\n\r\n"
                                      "Le programme va donc se fermer."), "closing without launcher")
        d.answer(box)
        self.check_eq(self.wait_process(app, 30), 0, program + " exit code")

    def wait_process(self, proc, timeout=30):
        """Exit code of a program started with start(), waiting at most `timeout` s."""
        try:
            return proc.wait(timeout)
        except subprocess.TimeoutExpired:
            self.check(False, "%s still running after %d s" % (proc.args[1], timeout))
            raise CheckFailed()

    def screenshot(self, label):
        self._shots += 1
        path = os.path.join(self.results, "%02d-%s.png" % (self._shots, label))
        subprocess.run(["import", "-display", ":%d" % self.display, "-window", "root", path],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       timeout=60)
        log("screenshot " + path)
        return path

    # A failed check is recorded and the test goes on.
    def check(self, ok, what):
        if not ok:
            self.failures.append(what)
            log("FAILED: " + what)
        return ok

    def check_eq(self, actual, expected, what):
        return self.check(actual == expected, "%s: expected %r, got %r" % (what, expected, actual))

    def wait_until(self, condition, what, timeout=15, pace=0.05):
        """Polls `condition` until it is true; records a failure after `timeout` s."""
        deadline = time.monotonic() + timeout
        while True:
            try:
                if condition():
                    return True
            except DriverError:
                pass
            if time.monotonic() >= deadline:
                return self.check(False, "timed out waiting for " + what)
            time.sleep(pace)

    def close(self, keep=False):
        self.driver.stop()
        for proc in self._procs:
            if proc.poll() is None:
                proc.kill()
        kill_wineserver(self.prefix, self.display)
        for peer in self._peers:
            if peer.poll() is None:
                peer.stdin.close()
                try:
                    peer.wait(30)
                except subprocess.TimeoutExpired:
                    peer.kill()
        for proc in self._procs:
            try:
                proc.wait(10)
            except subprocess.TimeoutExpired:
                pass
        if keep:
            log("kept " + self.root)
        else:
            shutil.rmtree(self.root, ignore_errors=True)


def main(run):
    """Runs `run(t)` as one test: exit 0 when every check passed, 1 otherwise."""
    name = os.path.splitext(os.path.basename(sys.argv[0]))[0]
    build_dir = os.environ.get("VELMO_WIN_BUILD", os.path.join(REPO, "build", "windows"))
    results = os.environ.get("VELMO_WINE_RESULTS", os.path.join(build_dir, "wine-results"))
    own_display = own_template = None
    if os.environ.get("VELMO_WINE_DISPLAY") and os.environ.get("VELMO_WINE_TEMPLATE"):
        display = int(os.environ["VELMO_WINE_DISPLAY"])
        template = os.environ["VELMO_WINE_TEMPLATE"]
    else:
        own_display = Display()
        display = own_display.number
        own_template = tempfile.mkdtemp(prefix="velmo-wine-template-")
        template = os.path.join(own_template, "prefix")
        make_template(template, display)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(2))
    t = None
    ok = False
    try:
        t = WineTest(name, display, template, build_dir, results)
        run(t)
        ok = not t.failures
    except CheckFailed:
        pass
    except Exception:  # the harness or the test broke: report it as a failure
        traceback.print_exc()
        if t is not None:
            t.failures.append("exception")
    finally:
        if t is not None:
            if t.failures:
                try:
                    t.screenshot("at-failure")
                except Exception:
                    pass
            t.close(keep=os.environ.get("VELMO_WINE_KEEP") == "1")
            for f in t.failures:
                print("  failed: " + f)
        if own_template:
            shutil.rmtree(own_template, ignore_errors=True)
            for ext in (".log", ".reg"):
                if os.path.exists(template + ext):
                    os.remove(template + ext)
        if own_display:
            own_display.stop()
    print("%s: %s" % (name, "PASS" if ok else "FAIL"), flush=True)
    sys.exit(0 if ok else 1)
