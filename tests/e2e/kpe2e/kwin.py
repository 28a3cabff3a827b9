"""KDE Plasma's compositor, kwin_wayland 5.27, on its virtual backend, as a
desktop for the program.

kwin runs on a session bus of its own as the desktop's user
(compositor.py), from a plain copy of its binary: Debian's carries a file
capability that containers refuse to execute. The pointer is kwin's
org_kde_kwin_fake_input protocol, spoken over the Wayland socket by
wayland_wire.py (absolute motion in logical pixels); pictures come from its
ScreenShot2 D-Bus API (CaptureArea at native resolution, raw ARGB32 on a
pipe). The window is found in the picture (window_picture.py); its title bar
is kwin's own (Breeze, through xdg-decoration: kwin frames no window without
it)."""

import os
import shutil
import socket
import sys

from . import processes
from .compositor import Compositor, EvdevPointer
from .dbus_session import SessionBus, variant
from .picture import bgrx_picture
from .wayland_wire import Connection, fixed, string, uint

FAKE_INPUT = "org_kde_kwin_fake_input"
AUTHENTICATE, BUTTON, MOTION_ABSOLUTE = 0, 2, 9
HAND_OVER = ("import socket, sys\n"
             "out = socket.socket(fileno=int(sys.argv[1]))\n"
             "wayland = socket.socket(socket.AF_UNIX)\n"
             "wayland.connect(sys.argv[2])\n"
             "socket.send_fds(out, [b'w'], [wayland.fileno()])\n"
             "out.recv(1)\n")


class Kwin(EvdevPointer, Compositor):
    name = "kwin"
    tools = {"kwin_wayland": "kwin-wayland", "dbus-daemon": "dbus-daemon",
             "/usr/lib/%s/qt5/plugins/org.kde.kdecoration2/breezedecoration.so": "breeze"}

    def _start(self):
        self.bus = SessionBus(self)
        binary = os.path.join(self.runtime, "kwin_wayland")
        shutil.copy(shutil.which("kwin_wayland"), binary)
        self.chown_runtime()
        self.env_extra.update(XDG_SESSION_TYPE="wayland", KWIN_WAYLAND_NO_PERMISSION_CHECKS="1",
                              KWIN_SCREENSHOT_NO_PERMISSION_CHECKS="1")
        w, h = self.size
        kwin = self.serve([binary, "--virtual", "--width", str(w), "--height", str(h), "--scale",
                           str(self.scale), "--socket", "wayland-1", "--no-lockscreen",
                           "--no-global-shortcuts", "--no-kactivities"], "kwin.log")
        self.wait_ready(kwin, lambda: self.bus.has_owner("org.kde.KWin"), "kwin's D-Bus API")
        self.input = Connection(self.runtime, self.wayland_display, sock=self._user_socket())
        self.closing.append(self.input)
        self.device = self.input.bind(FAKE_INPUT, 4)
        self.input.request(self.device, AUTHENTICATE,
                           string("kelvane-paint tests") + string("end-to-end checks"))
        self.input.roundtrip()
        return "kwin_wayland on %s (virtual output %dx%d, scale %d), fake input bound" % (
            self.wayland_display, w, h, self.scale)

    def _user_socket(self):
        """A connection to kwin made by the desktop's user. kwin offers fake
        input only to clients whose executable it can read in /proc, which a
        root process's is not: a child running as the user connects and hands
        the socket over."""
        mine, theirs = socket.socketpair()
        with theirs:
            self.procs.append(processes.start(
                [sys.executable, "-c", HAND_OVER, str(theirs.fileno()),
                 os.path.join(self.runtime, self.wayland_display)], pass_fds=[theirs.fileno()],
                **self.as_user()))
        # kwin looks at the client's process when it filters globals, so the
        # child lives on until this end closes.
        self.closing.append(mine)
        mine.settimeout(20)
        _, fds, _, _ = socket.recv_fds(mine, 1, 1)
        return socket.socket(fileno=fds[0])

    def moves(self, points):
        """The pointer to physical pixels of the output (kwin takes logical ones)."""
        for x, y in points:
            self.input.request(self.device, MOTION_ABSOLUTE,
                               fixed(x / self.scale) + fixed(y / self.scale))
        self.input.roundtrip()

    def press(self, code, down):
        self.input.request(self.device, BUTTON, uint(code) + uint(1 if down else 0))
        self.input.roundtrip()

    def grab_physical(self, x, y, width, height):
        """Captures the logical pixels that hold the physical rectangle, at
        native resolution (premultiplied ARGB32 of opaque pixels)."""
        s = self.scale
        read, write = os.pipe()
        with os.fdopen(read, "rb") as pipe:
            (info,) = self.bus.call("org.kde.KWin", "/org/kde/KWin/ScreenShot2",
                                    "org.kde.KWin.ScreenShot2", "CaptureArea",
                                    variant("(iiuua{sv}h)", (
                                        x // s, y // s, -(-(x + width) // s) - x // s,
                                        -(-(y + height) // s) - y // s,
                                        {"native-resolution": variant("b", True)}, 0)),
                                    "(a{sv})", fd=write)
            data = pipe.read()
        return bgrx_picture(data, info["stride"], x % s, y % s, width, height)
