"""KDE Plasma's compositor, kwin_wayland 5.27, on its virtual backend, as a
desktop for the program.

kwin runs on a session bus of its own as the desktop's user
(compositor.py), from a plain copy of its binary: Debian's carries a file
capability that containers refuse to execute. The pointer is kwin's
org_kde_kwin_fake_input protocol, spoken over the Wayland socket by
wayland_wire.py (absolute motion in logical pixels); pictures come from its
ScreenShot2 D-Bus API (CaptureArea at native resolution, raw ARGB32 on a
pipe). The window is found in the picture (window_picture.py); its title bar
is kwin's own (Breeze, through xdg-decoration)."""

import os
import shutil
import socket
import sys
import sysconfig
import time
from array import array

from . import processes
from .compositor import Compositor
from .dbus_session import SessionBus, variant
from .picture import Picture
from .targets import Skip
from .wayland_wire import Connection, fixed, string, uint

FAKE_INPUT = "org_kde_kwin_fake_input"
AUTHENTICATE, BUTTON, MOTION_ABSOLUTE = 0, 2, 9
# X button numbers to evdev codes (BTN_LEFT, BTN_MIDDLE, BTN_RIGHT).
BUTTONS = {1: 0x110, 2: 0x112, 3: 0x111}
SCREENSHOT = "org.kde.KWin.ScreenShot2"
HAND_OVER = ("import socket, sys\n"
             "out = socket.socket(fileno=int(sys.argv[1]))\n"
             "wayland = socket.socket(socket.AF_UNIX)\n"
             "wayland.connect(sys.argv[2])\n"
             "socket.send_fds(out, [b'w'], [wayland.fileno()])\n"
             "out.recv(1)\n")
BREEZE = "/usr/lib/%s/qt5/plugins/org.kde.kdecoration2/breezedecoration.so"


class Kwin(Compositor):
    name = "kwin"
    tools = {"kwin_wayland": "kwin-wayland", "dbus-daemon": "dbus-daemon"}

    def __init__(self, log, work_dir, scale=1, size=(800, 600)):
        super().__init__(log, work_dir, scale, size)
        self.bus = None
        self.input = None
        self.device = None
        self.buttons = set()

    def require_tools(self):
        super().require_tools()
        if not os.path.exists(BREEZE % sysconfig.get_config_var("MULTIARCH")):
            raise Skip("Debian package not installed: breeze (kwin frames no window without it)")

    def _start(self):
        t0 = time.monotonic()
        self.bus = SessionBus(self)
        self.bus.start()
        binary = os.path.join(self.runtime, "kwin_wayland")
        shutil.copy(shutil.which("kwin_wayland"), binary)
        self.chown_runtime()
        self.env_extra.update(XDG_SESSION_TYPE="wayland", KWIN_WAYLAND_NO_PERMISSION_CHECKS="1",
                              KWIN_SCREENSHOT_NO_PERMISSION_CHECKS="1")
        w, h = self.size
        kwin = self.spawn([binary, "--virtual", "--width", str(w), "--height", str(h), "--scale",
                           str(self.scale), "--socket", "wayland-1", "--no-lockscreen",
                           "--no-global-shortcuts", "--no-kactivities"], "kwin.log")
        self.wait_socket(kwin, "wayland-1", "kwin_wayland")
        self.wayland_display = "wayland-1"
        self.wait_ready(kwin, lambda: self.bus.has_owner("org.kde.KWin"), "kwin's D-Bus API")
        self.input = Connection(self.runtime, self.wayland_display, sock=self._user_socket())
        self.device = self.input.bind(FAKE_INPUT, 4)
        self.input.request(self.device, AUTHENTICATE,
                           string("kelvane-paint tests") + string("end-to-end checks"))
        self.input.roundtrip()
        self.log("kwin_wayland on %s (virtual output %dx%d, scale %d), fake input bound, "
                 "in %.1f s" % (self.wayland_display, w, h, self.scale, time.monotonic() - t0))

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
        self.hand_over = mine
        mine.settimeout(20)
        _, fds, _, _ = socket.recv_fds(mine, 1, 1)
        return socket.socket(fileno=fds[0])

    def _stop(self):
        if self.input is not None:
            try:
                self.release_all()
            except (OSError, RuntimeError):
                pass
            self.input.close()
            self.input = None
            self.hand_over.close()
        if self.bus is not None:
            self.bus.close()
            self.bus = None

    # -------------------------------------------------------------- input

    def move(self, x, y):
        """The pointer to the physical pixel (x, y) of the output."""
        self.moves([(x, y)])

    def moves(self, points):
        s = self.scale
        for x, y in points:
            self.input.request(self.device, MOTION_ABSOLUTE, fixed(x / s) + fixed(y / s))
        self.input.roundtrip()

    def button(self, number, down):
        self.input.request(self.device, BUTTON, uint(BUTTONS[number]) + uint(1 if down else 0))
        self.input.roundtrip()
        (self.buttons.add if down else self.buttons.discard)(number)

    def release_all(self):
        for number in list(self.buttons):
            self.button(number, False)

    # ------------------------------------------------------------ pictures

    def grab_physical(self, x, y, width, height):
        s = self.scale
        read, write = os.pipe()
        try:
            (info,) = self.bus.call("org.kde.KWin", "/org/kde/KWin/ScreenShot2", SCREENSHOT,
                                    "CaptureArea", variant("(iiuua{sv}h)", (
                                        x // s, y // s, -(-width // s), -(-height // s),
                                        {"native-resolution": variant("b", True)}, 0)),
                                    "(a{sv})", fd=write)
            chunks = []
            while True:
                chunk = os.read(read, 1 << 20)
                if not chunk:
                    break
                chunks.append(chunk)
        finally:
            os.close(read)
        data = b"".join(chunks)
        pw, ph, stride = info["width"], info["height"], info["stride"]
        rows = b"".join(data[r * stride:r * stride + 4 * pw] for r in range(ph))
        # Premultiplied ARGB32 of opaque pixels: the alpha byte set to 0 makes
        # each pixel read 0xRRGGBB.
        frame = bytearray(rows)
        frame[3::4] = bytes(len(frame) // 4)
        pic = Picture(pw, ph, array("I", bytes(frame)))
        ox, oy = x - s * (x // s), y - s * (y // s)
        if (ox, oy, pw, ph) == (0, 0, width, height):
            return pic
        return Picture(width, height, array("I", (pic.pixels[(oy + r) * pw + ox + c]
                                                  for r in range(height) for c in range(width))))
