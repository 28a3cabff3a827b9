"""What the Wayland compositors of the desktop checks share: each runs as an
unprivileged user (as root the harness uses the system user kelvane-e2e,
creating it when it is missing: sway refuses root), in a private
XDG_RUNTIME_DIR, with its helpers; the program runs as the same user the way
a user starts it: WAYLAND_DISPLAY set, DISPLAY unset (or, on the
compositor's Xwayland, the other way round). A context manager that stops
everything it started."""

import os
import pwd
import shutil
import subprocess
import sysconfig
import tempfile
import time

from . import processes
from .targets import Skip, with_extra_env
from .waiting import wait_for

USER = "kelvane-e2e"
# X button numbers to evdev codes (BTN_LEFT, BTN_MIDDLE, BTN_RIGHT).
EVDEV_BUTTONS = {1: 0x110, 2: 0x112, 3: 0x111}


def desktop_user(log):
    """The harness's own account, or as root the system user USER."""
    if os.geteuid() != 0:
        return pwd.getpwuid(os.geteuid())
    try:
        return pwd.getpwnam(USER)
    except KeyError:
        log("creating the system user %s to run the compositor" % USER)
        r = subprocess.run(["useradd", "--system", "--no-create-home", "--home-dir",
                            "/nonexistent", "--shell", "/usr/sbin/nologin", USER],
                           capture_output=True, text=True)
    try:
        return pwd.getpwnam(USER)  # made now, or by another run meanwhile
    except KeyError:
        raise RuntimeError("cannot create the system user %s: %s" % (USER, r.stderr.strip()))


class Compositor:
    """Subclasses set name and tools ({binary, or file path with %s for the
    multiarch folder: Debian package}) and write _start(), which returns what
    it started, for the log."""

    name = "compositor"
    tools = {}

    def __init__(self, log, work_dir, scale=1, size=(800, 600)):
        self.log, self.work_dir, self.scale = log, work_dir, scale
        # The output's logical size; its mode is this times the scale.
        self.size = size
        self.user = self.runtime = self.wayland_display = self.x_display = None
        self.procs = []
        # Connections (close()) ended before the processes are stopped.
        self.closing = []
        # Variables every child gets on top of base_env().
        self.env_extra = {}

    def require_tools(self):
        arch = sysconfig.get_config_var("MULTIARCH")
        missing = sorted({pkg for tool, pkg in self.tools.items() if not (
            os.path.exists(tool % arch) if "/" in tool else shutil.which(tool))})
        if missing:
            raise Skip("Debian package(s) not installed: %s" % ", ".join(missing))

    def __enter__(self):
        self.require_tools()
        try:
            self.user = desktop_user(self.log)
            self.runtime = tempfile.mkdtemp(prefix="kp-%s-" % self.name)
            os.chmod(self.runtime, 0o700)
            self.chown_runtime()
            t0 = time.monotonic()
            started = self._start()
            self.log("%s, in %.1f s" % (started, time.monotonic() - t0))
        except BaseException:
            self.__exit__(None, None, None)
            raise
        return self

    def __exit__(self, *exc):
        try:
            for connection in reversed(self.closing):
                connection.close()
        finally:
            self.closing = []
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
            for path in [d] + [os.path.join(d, name) for name in files]:
                os.chown(path, self.user.pw_uid, self.user.pw_gid)

    def base_env(self):
        env = {k: v for k, v in os.environ.items()
               if k not in ("DISPLAY", "WAYLAND_DISPLAY", "WAYLAND_SOCKET", "SWAYSOCK",
                            "SDL_VIDEODRIVER", "XAUTHORITY", "DBUS_SESSION_BUS_ADDRESS")
               and not k.startswith("XDG_") and not k.startswith("WLR_")}
        env.update(HOME=self.runtime, XDG_RUNTIME_DIR=self.runtime, **self.env_extra)
        if self.wayland_display:
            env["WAYLAND_DISPLAY"] = self.wayland_display
        return env

    def spawn(self, argv, name, env=None, **kwargs):
        """Starts a helper as the desktop's user; its output goes to `name` in
        the work folder."""
        proc = processes.start_logged(argv, os.path.join(self.work_dir, name),
                                      env=env or self.base_env(), cwd=self.runtime,
                                      **self.as_user(), **kwargs)
        self.procs.append(proc)
        return proc

    def serve(self, argv, name):
        """Starts the compositor proper and waits until it listens on wayland-1."""
        proc = self.spawn(argv, name)
        self.wait_socket(proc, "wayland-1", os.path.basename(argv[0]))
        self.wayland_display = "wayland-1"
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
        return with_extra_env(env, target.extra_env)

    def program_path(self, target):
        """A copy of the program where the user can run it, whatever the build
        folder's permissions (under its own name: the benchmark runs its floor
        client this way)."""
        copy = os.path.join(self.runtime, os.path.basename(target.exe))
        if not os.path.exists(copy):
            shutil.copy2(target.exe, copy)
            if os.geteuid() == 0:
                os.chown(copy, self.user.pw_uid, self.user.pw_gid)
        return copy

    def launch(self, target, wayland=True, args=()):
        """Starts the program as the desktop's user, registered with the
        target, so that the harness stops it whatever happens."""
        return target.start_program([self.program_path(target)] + list(args),
                                    self.program_env(target, wayland), cwd=self.runtime,
                                    **self.as_user())


class EvdevPointer:
    """The pointer of a compositor driven in physical pixels with evdev
    button codes (mutter, kwin): subclasses write moves(points) and
    press(code, down)."""

    pressed = frozenset()

    def move(self, x, y):
        self.moves([(x, y)])

    def button(self, number, down):
        self.press(EVDEV_BUTTONS[number], down)
        self.pressed = self.pressed | {number} if down else self.pressed - {number}

    def release_all(self):
        for number in self.pressed:
            self.button(number, False)
