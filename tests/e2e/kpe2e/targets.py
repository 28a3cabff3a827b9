"""The two ways of running the program: the Windows build under Wine and the
native Linux build. Each knows how to prepare, start and clean up after the
program, and what client area a 600 x 500 window has there."""

import fcntl
import os
import shutil
import signal
import subprocess
import time

from . import processes


class Skip(Exception):
    """The target cannot run on this machine at all (reported, exit code 77)."""


class Program:
    """One running instance of the program."""

    def __init__(self, proc, argv, log=None):
        self.proc = proc
        self.argv = argv
        self.log = log  # the file of its stdout and stderr

    def output(self):
        with open(self.log, "rb") as f:
            return f.read()

    @property
    def pid(self):
        return self.proc.pid

    def exit_code(self):
        return self.proc.poll()

    def wait(self, timeout):
        try:
            return self.proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            return None

    def stop(self):
        processes.stop_group(self.proc)

    def pause(self):
        """Stops the program's process group (SIGSTOP): X events for it queue up
        unread until resume()."""
        processes.signal_group(self.proc, signal.SIGSTOP)

    def resume(self):
        processes.signal_group(self.proc, signal.SIGCONT)

    def stopped(self):
        return processes.stopped(self.proc.pid)


def with_extra_env(env, extra):
    """env with a check's settings (extra_env) applied; None takes a variable away."""
    for name, value in extra.items():
        if value is None:
            env.pop(name, None)
        else:
            env[name] = value
    return env


class Target:
    name = None
    # Whether every X pointer motion becomes its own WM_MOUSEMOVE even when
    # they queue up. Wine merges queued moves, as Windows does; the native
    # SDL host keeps each one.
    keeps_every_queued_move = False
    # The X11 WM_CLASS (instance, class) that the desktop entry names, or None
    # where the window's class is not the program's to choose.
    wm_class = None
    # Client area of a 600 x 500 overlapped window.
    client_size = None

    def frame(self, window_size):
        """(left, top, right, bottom): how far the top-level X window reaches
        beyond the client area on each side, given the window's size."""
        return (0, 0, 0, 0)

    def __init__(self, exe, work_dir, log):
        self.exe = os.path.abspath(exe)
        self.work_dir = work_dir
        self.log = log
        self.display = None
        self.programs = []
        # Names the log files of the instances started next.
        self.log_label = "program"
        # Variables added to the program's environment (a check's settings).
        self.extra_env = {}
        # A limit on the address space of the instances started next (bytes).
        self.address_space = None

    def setup(self, display):
        self.display = display

    def env(self):
        raise NotImplementedError

    def argv(self, args):
        raise NotImplementedError

    def launch(self, args=()):
        return self.start_program(self.argv(list(args)), self.env(),
                                  address_space=self.address_space)

    def start_program(self, argv, env, **kwargs):
        """Starts an instance, its output logged under log_label, and keeps it
        so that the harness stops it whatever happens."""
        log = os.path.join(self.work_dir, "%s-%d.log" % (self.log_label, len(self.programs) + 1))
        program = Program(processes.start_logged(argv, log, env=env, **kwargs), argv, log)
        self.programs.append(program)
        return program

    def teardown(self):
        """Stops whatever is still running; returns a list of problems found."""
        for p in self.programs:
            p.stop()
        self.programs = []
        return []


class NativeTarget(Target):
    """The Linux build: an SDL2 program that opens an X window of its own."""

    name = "native"
    keeps_every_queued_move = True
    wm_class = ("kelvane-paint", "kelvane-paint")
    # Windows 10 metrics at 96 DPI: 8 px frame each side, 31 px at the top.
    client_size = (584, 461)

    def frame(self, window_size):
        # With no window manager the program may draw its own caption and
        # frame into a window of the full outer size; otherwise its X window
        # is the client area itself.
        if tuple(window_size) == (600, 500):
            return (8, 31, 8, 8)
        return (0, 0, 0, 0)

    def setup(self, display):
        super().setup(display)
        if not os.access(self.exe, os.X_OK):
            raise RuntimeError("not an executable program: %s" % self.exe)

    # The project's list of other libraries' leaks (tests/lsan.supp), for a
    # program built with LeakSanitizer (no effect otherwise): SDL_Init leaves
    # a libdbus buffer that SDL 2 never frees. A list named already wins.
    LSAN_SUPPRESSIONS = os.path.join(os.path.dirname(os.path.dirname(os.path.dirname(
        os.path.abspath(__file__)))), "lsan.supp")

    def env(self):
        env = dict(os.environ, DISPLAY=self.display)
        options = env.get("LSAN_OPTIONS", "")
        if "suppressions=" not in options:
            env["LSAN_OPTIONS"] = (options + ":" if options else "") + (
                "suppressions=%s:print_suppressions=0" % self.LSAN_SUPPRESSIONS)
        env.setdefault("SDL_VIDEODRIVER", "x11")
        env.setdefault("SDL_AUDIODRIVER", "dummy")
        env.pop("WAYLAND_DISPLAY", None)
        return with_extra_env(env, self.extra_env)

    def argv(self, args):
        return [self.exe] + args


def wine_cannot_start(wine):
    """Why Wine cannot run at all on this machine, or None. Its 32-bit loader
    needs a kernel that runs i386 programs; some (virtual) machines refuse
    them outright (execve fails with ENOEXEC)."""
    try:
        proc = subprocess.run([wine, "--version"], capture_output=True, text=True, timeout=60)
    except OSError as e:
        return "Wine cannot start: %s" % e
    if proc.returncode == 0:
        return None
    detail = (proc.stderr.strip().splitlines() or ["exit code %d" % proc.returncode])[-1]
    return ("Wine cannot start on this machine (%s): it cannot run the 32-bit Windows build"
            % detail)


class WineTarget(Target):
    """The Windows build under Wine, in a prefix of the harness's own that is
    created once and then reused."""

    name = "wine"
    # Wine's default metrics: 4 px frame each side, 23 px at the top. With no
    # window manager Wine leaves the frame to one, and the X window of the
    # top-level window is exactly its client area.
    client_size = (592, 473)
    STAMP = ".kp-e2e-ready"

    def __init__(self, exe, work_dir, log, prefix):
        super().__init__(exe, work_dir, log)
        self.prefix = os.path.abspath(prefix)
        self.lock_file = None
        self.wine = shutil.which("wine")

    def check_available(self):
        if self.wine is None:
            raise Skip("Wine is not installed (no `wine` on PATH): the Windows build cannot run")
        reason = wine_cannot_start(self.wine)
        if reason:
            raise Skip(reason)
        for tool in ("wineserver", "wineboot"):
            if shutil.which(tool) is None:
                raise RuntimeError("wine is installed but `%s` is missing" % tool)

    def env(self):
        env = dict(os.environ, DISPLAY=self.display, WINEPREFIX=self.prefix, WINEDEBUG="-all",
                   # No Mono or Gecko installer dialogs, and no menu entries
                   # in the user's home for the shortcuts that installers make.
                   WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=")
        env.pop("WAYLAND_DISPLAY", None)
        return env

    def argv(self, args):
        return [self.wine, self.exe] + args

    def _wine_version(self):
        return subprocess.run([self.wine, "--version"], capture_output=True, text=True,
                              timeout=30).stdout.strip()

    def setup(self, display):
        super().setup(display)
        if not os.path.isfile(self.exe):
            raise RuntimeError("no such program: %s" % self.exe)
        os.makedirs(os.path.dirname(self.prefix), exist_ok=True)
        # One run at a time per prefix: a prefix has one wineserver, which
        # must not be shared by two runs on different displays.
        self.lock_file = open(self.prefix + ".lock", "w")
        fcntl.flock(self.lock_file, fcntl.LOCK_EX)
        self._kill_leftovers()
        version = self._wine_version()
        stamp = os.path.join(self.prefix, self.STAMP)
        try:
            with open(stamp) as f:
                ready = f.read().strip() == version
        except OSError:
            ready = False
        if not ready:
            self.log("initialising the Wine prefix %s (%s), once" % (self.prefix, version))
            t0 = time.monotonic()
            self.run_tool([self.wine, "wineboot", "-i"], timeout=240)
            self.run_tool(["wineserver", "-w"], timeout=120)
            with open(stamp, "w") as f:
                f.write(version + "\n")
            self.log("prefix ready after %.1f s" % (time.monotonic() - t0))

    def run_tool(self, argv, timeout):
        proc = processes.start_logged(argv, os.path.join(self.work_dir, "wine-setup.log"), "ab",
                                      env=self.env())
        try:
            code = proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            processes.stop_group(proc)
            raise RuntimeError("%s did not finish within %d s" % (" ".join(argv), timeout))
        if code != 0:
            raise RuntimeError("%s failed with code %d" % (" ".join(argv), code))

    def _kill_leftovers(self):
        left = processes.pids_with_env("WINEPREFIX", self.prefix)
        if left:
            self.log("stopping %d process(es) left in the prefix by an earlier run" % len(left))
            processes.kill_pids(left)

    def teardown(self):
        problems = super().teardown()
        if self.lock_file is None:
            return problems
        try:
            try:
                subprocess.run(["wineserver", "-k"], env=self.env(), timeout=20,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            except subprocess.TimeoutExpired:
                problems.append("wineserver -k did not return within 20 s")
            deadline = time.monotonic() + 10
            while time.monotonic() < deadline and processes.pids_with_env(
                    "WINEPREFIX", self.prefix):
                time.sleep(0.05)
            left = processes.pids_with_env("WINEPREFIX", self.prefix)
            if left:
                problems.append("Wine processes still running after wineserver -k: %s"
                                % ", ".join(map(str, left)))
                still = processes.kill_pids(left)
                if still:
                    problems.append("could not stop: %s" % ", ".join(map(str, still)))
        finally:
            self.lock_file.close()
            self.lock_file = None
        return problems


def make_target(name, exe, work_dir, log, prefix=None):
    if name == "wine":
        if prefix is None:
            prefix = os.path.join(os.path.dirname(os.path.abspath(exe)), "e2e-wineprefix")
        return WineTarget(exe, work_dir, log, prefix)
    if name == "native":
        return NativeTarget(exe, work_dir, log)
    raise ValueError("unknown target %r" % name)
