"""What every Wayland compositor of the desktop checks shares: it runs as an
unprivileged user (as root the harness uses the system user kelvane-e2e,
creating it when it is missing), in a private XDG_RUNTIME_DIR, with its
helpers; the program runs as the same user, natively on Wayland (or on the
compositor's Xwayland), the way a user starts it: WAYLAND_DISPLAY set,
DISPLAY unset. A context manager that stops everything it started."""

import os
import pwd
import shutil
import subprocess
import tempfile

from . import processes
from .targets import Program, Skip
from .waiting import wait_for

USER = "kelvane-e2e"


def desktop_user(log):
    """The account that runs the compositor and the program: the harness's own
    unless it runs as root, then the system user USER."""
    if os.geteuid() != 0:
        return pwd.getpwuid(os.geteuid())
    try:
        return pwd.getpwnam(USER)
    except KeyError:
        pass
    r = subprocess.run(["useradd", "--system", "--no-create-home", "--home-dir", "/nonexistent",
                        "--shell", "/usr/sbin/nologin", USER], capture_output=True, text=True)
    try:
        account = pwd.getpwnam(USER)  # another run may have made it meanwhile
    except KeyError:
        raise RuntimeError("cannot create the system user %s: %s" % (USER, r.stderr.strip()))
    log("created the system user %s to run the compositor" % USER)
    return account


class Compositor:
    """Subclasses set name and tools ({binary: Debian package}) and write
    _start(), which sets wayland_display (a socket name in the runtime
    folder) once the compositor listens."""

    name = "compositor"
    tools = {}

    def __init__(self, log, work_dir, scale=1, size=(800, 600)):
        self.log = log
        self.work_dir = work_dir
        self.scale = scale
        # The output's logical size; its mode is this times the scale.
        self.size = size
        self.user = None
        self.runtime = None
        self.procs = []
        self.wayland_display = None
        self.x_display = None
        self.program_copy = None
        # Variables every child gets on top of base_env().
        self.env_extra = {}

    def require_tools(self):
        missing = sorted({pkg for tool, pkg in self.tools.items() if shutil.which(tool) is None})
        if missing:
            raise Skip("Debian package(s) not installed: %s" % ", ".join(missing))

    def __enter__(self):
        self.require_tools()
        try:
            self.user = desktop_user(self.log)
            self.runtime = tempfile.mkdtemp(prefix="kp-%s-" % self.name)
            os.chmod(self.runtime, 0o700)
            self.chown_runtime()
            self._start()
        except BaseException:
            self.__exit__(None, None, None)
            raise
        return self

    def _start(self):
        raise NotImplementedError

    def _stop(self):
        """Closes what the subclass holds besides its processes."""

    def __exit__(self, *exc):
        try:
            self._stop()
        finally:
            for proc in reversed(self.procs):
                processes.stop_group(proc)
            self.procs = []
            if self.runtime:
                shutil.rmtree(self.runtime, ignore_errors=True)
                self.runtime = None
        return False

    # ------------------------------------------------------------ children

    def as_user(self):
        """subprocess arguments that run a child as the desktop's user."""
        if os.geteuid() != 0:
            return {}
        return dict(user=self.user.pw_uid, group=self.user.pw_gid, extra_groups=[])

    def chown_runtime(self):
        """Gives the runtime folder and everything in it to the desktop's user."""
        if os.geteuid() != 0:
            return
        for d, _, files in os.walk(self.runtime):
            os.chown(d, self.user.pw_uid, self.user.pw_gid)
            for name in files:
                os.chown(os.path.join(d, name), self.user.pw_uid, self.user.pw_gid)

    def base_env(self):
        env = {k: v for k, v in os.environ.items()
               if k not in ("DISPLAY", "WAYLAND_DISPLAY", "WAYLAND_SOCKET", "SWAYSOCK",
                            "SDL_VIDEODRIVER", "XAUTHORITY", "DBUS_SESSION_BUS_ADDRESS")
               and not k.startswith("XDG_") and not k.startswith("WLR_")}
        env.update(HOME=self.runtime, XDG_RUNTIME_DIR=self.runtime)
        env.update(self.env_extra)
        if self.wayland_display:
            env["WAYLAND_DISPLAY"] = self.wayland_display
        return env

    def spawn(self, argv, name, env=None):
        """Starts a helper as the desktop's user; its output goes to `name` in
        the work folder."""
        out = open(os.path.join(self.work_dir, name), "wb")
        try:
            proc = processes.start(argv, env=env or self.base_env(), stdin=subprocess.DEVNULL,
                                   stdout=out, stderr=subprocess.STDOUT, cwd=self.runtime,
                                   **self.as_user())
        finally:
            out.close()
        self.procs.append(proc)
        return proc

    def wait_ready(self, proc, ready, what, timeout=30):
        """Waits for ready() while proc runs."""
        def probe():
            if proc.poll() is not None:
                raise RuntimeError("%s exited with code %d (see the work folder's logs)"
                                   % (what, proc.returncode))
            return ready()
        return wait_for(probe, timeout, what)

    def wait_socket(self, proc, name, what, timeout=30):
        path = os.path.join(self.runtime, name)
        self.wait_ready(proc, lambda: os.path.exists(path), what + " to listen on " + name,
                        timeout)
        return path

    # --------------------------------------------------------- the program

    def program_env(self, target, wayland=True):
        env = self.base_env()
        env["SDL_AUDIODRIVER"] = "dummy"
        if wayland:
            # Today's SDL host needs the driver named; a host of the
            # program's own honours the same variable.
            env["SDL_VIDEODRIVER"] = "wayland"
        else:
            env.pop("WAYLAND_DISPLAY", None)
            env.update(DISPLAY=self.x_display, SDL_VIDEODRIVER="x11")
        for name, value in target.extra_env.items():
            if value is None:
                env.pop(name, None)
            else:
                env[name] = value
        return env

    def program_path(self, target):
        """A copy of the program where the user can run it, whatever the build
        folder's permissions (under its own name: the benchmark runs its floor
        client this way)."""
        self.program_copy = os.path.join(self.runtime, os.path.basename(target.exe))
        if not os.path.exists(self.program_copy):
            shutil.copy2(target.exe, self.program_copy)
            if os.geteuid() == 0:
                os.chown(self.program_copy, self.user.pw_uid, self.user.pw_gid)
        return self.program_copy

    def launch(self, target, wayland=True, args=()):
        """Starts the program as the desktop's user. Returns a Program
        registered with the target, so that the harness stops it whatever
        happens."""
        argv = [self.program_path(target)] + list(args)
        name = "%s-%d.log" % (target.log_label, len(target.programs) + 1)
        out = open(os.path.join(self.work_dir, name), "wb")
        try:
            proc = processes.start(argv, env=self.program_env(target, wayland),
                                   stdin=subprocess.DEVNULL, stdout=out,
                                   stderr=subprocess.STDOUT, cwd=self.runtime, **self.as_user())
        finally:
            out.close()
        program = Program(proc, argv)
        target.programs.append(program)
        return program

    def run_program(self, target, timeout=15):
        """Runs the program to its end and returns the CompletedProcess."""
        try:
            return subprocess.run([self.program_path(target)], env=self.program_env(target),
                                  stdin=subprocess.DEVNULL, capture_output=True,
                                  timeout=timeout, cwd=self.runtime, **self.as_user())
        except subprocess.TimeoutExpired:
            raise AssertionError("the program still runs after %d s" % timeout)
