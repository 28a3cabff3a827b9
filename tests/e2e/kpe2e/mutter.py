"""GNOME's compositor, mutter 43, headless, as a desktop for the program.

mutter runs with one virtual monitor on a session bus of its own, beside
pipewire and wireplumber, as the desktop's user (compositor.py). Its
D-Bus API is the way in: DisplayConfig sets the monitor's scale;
a RemoteDesktop session with a ScreenCast stream of the monitor moves the
pointer (absolute motion in the stream's physical pixels) and presses its
buttons; the same stream, read by gst-launch-1.0 (pipewiresrc) as raw BGRx
frames, gives the pictures. mutter tells nothing about windows, so the
window is found in the picture (window_picture.py). mutter draws no title
bars for xdg-shell windows: the program's frame (libdecor) has them."""

import os
import subprocess
import sysconfig
import threading
import time
from array import array

from . import processes
from .compositor import Compositor
from .dbus_session import SessionBus, variant
from .picture import Picture
from .targets import Skip
from .waiting import wait_for
from .wayland_wire import SEAT_POINTER, Connection

RD, SC, DC = ("org.gnome.Mutter.RemoteDesktop", "org.gnome.Mutter.ScreenCast",
              "org.gnome.Mutter.DisplayConfig")
# X button numbers to evdev codes (BTN_LEFT, BTN_MIDDLE, BTN_RIGHT).
BUTTONS = {1: 0x110, 2: 0x112, 3: 0x111}
GST_PIPEWIRE = "/usr/lib/%s/gstreamer-1.0/libgstpipewire.so"


class Frames:
    """The stream's frames as gst-launch-1.0 writes them, raw, to a pipe: a
    thread keeps the latest one."""

    def __init__(self, proc, width, height):
        self.proc = proc
        self.width, self.height = width, height
        self.latest = None
        self.count = 0
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        size = 4 * self.width * self.height
        pipe = self.proc.stdout
        while True:
            data = pipe.read(size)
            if len(data) < size:
                return
            # BGRx: make the unused byte 0, so that a pixel reads 0xRRGGBB.
            frame = bytearray(data)
            frame[3::4] = bytes(size // 4)
            self.latest = bytes(frame)
            self.count += 1

    def crop(self, x, y, width, height):
        data = wait_for(lambda: self.latest, 20, "a first frame of the screen cast")
        stride = 4 * self.width
        rows = b"".join(data[(y + r) * stride + 4 * x:(y + r) * stride + 4 * (x + width)]
                        for r in range(height))
        return Picture(width, height, array("I", rows))


class Mutter(Compositor):
    name = "mutter"
    tools = {"mutter": "mutter", "pipewire": "pipewire-bin", "wireplumber": "wireplumber",
             "gst-launch-1.0": "gstreamer1.0-tools", "dbus-daemon": "dbus-daemon"}

    def __init__(self, log, work_dir, scale=1, size=(800, 600)):
        super().__init__(log, work_dir, scale, size)
        self.bus = None
        self.session = self.stream = None
        self.frames = None
        self.buttons = set()

    def require_tools(self):
        super().require_tools()
        if not os.path.exists(GST_PIPEWIRE % sysconfig.get_config_var("MULTIARCH")):
            raise Skip("Debian package not installed: gstreamer1.0-pipewire")

    def _start(self):
        t0 = time.monotonic()
        self.bus = SessionBus(self)
        self.bus.start()
        self.env_extra.update(XDG_SESSION_TYPE="wayland", GSETTINGS_BACKEND="keyfile")
        pw = self.spawn(["pipewire"], "pipewire.log")
        self.wait_socket(pw, "pipewire-0", "pipewire")
        self.spawn(["wireplumber"], "wireplumber.log")
        w, h = (self.scale * v for v in self.size)
        mutter = self.spawn(["mutter", "--headless", "--wayland", "--no-x11", "--virtual-monitor",
                             "%dx%d" % (w, h), "--wayland-display=wayland-1"], "mutter.log")
        self.wait_socket(mutter, "wayland-1", "mutter")
        self.wait_ready(mutter, lambda: self.bus.has_owner(RD) and self.bus.has_owner(DC),
                        "mutter's D-Bus API")
        self.wayland_display = "wayland-1"
        if self.scale != 1:
            self._set_scale()
        self._remote_desktop()
        # The seat gets its pointer with the session's first pointer event:
        # before the program starts, so that it has one from the start.
        self.move(0, 0)
        wait_for(self._has_pointer, 10, "mutter's seat to have the remote desktop's pointer")
        with open(os.path.join(self.work_dir, "gst.log"), "wb") as errors:
            gst = processes.start(
                ["gst-launch-1.0", "-q", "pipewiresrc", "path=%d" % self.node, "!",
                 "videoconvert", "!", "video/x-raw,format=BGRx,width=%d,height=%d" % (w, h), "!",
                 "fdsink"], env=self.base_env(), stdin=subprocess.DEVNULL,
                stdout=subprocess.PIPE, stderr=errors, cwd=self.runtime, **self.as_user())
        self.procs.append(gst)
        self.frames = Frames(gst, w, h)
        self.log("mutter on %s (virtual monitor %dx%d, scale %d), remote desktop and screen "
                 "cast stream %d, in %.1f s" % (self.wayland_display, w, h, self.scale,
                                                 self.node, time.monotonic() - t0))

    def _set_scale(self):
        serial, monitors, _, _ = self.bus.call(
            DC, "/org/gnome/Mutter/DisplayConfig", DC, "GetCurrentState", None,
            "(ua((ssss)a(siiddada{sv})a{sv})a(iiduba(ssss)a{sv})a{sv})")
        (connector, _, _, _), modes, _ = monitors[0]
        mode = next(m for m in modes if m[6].get("is-current"))
        if float(self.scale) not in mode[5]:
            raise RuntimeError("mutter offers the scales %s for %s, not %s"
                               % (mode[5], mode[0], self.scale))
        self.bus.call(DC, "/org/gnome/Mutter/DisplayConfig", DC, "ApplyMonitorsConfig",
                      variant("(uua(iiduba(ssa{sv}))a{sv})", (serial, 1, [
                          (0, 0, float(self.scale), 0, True, [(connector, mode[0], {})])], {})))

    def _remote_desktop(self):
        (self.session,) = self.bus.call(RD, "/org/gnome/Mutter/RemoteDesktop", RD,
                                        "CreateSession", None, "(o)")
        (session_id,) = self.bus.call(RD, self.session, "org.freedesktop.DBus.Properties", "Get",
                                      variant("(ss)", (RD + ".Session", "SessionId")), "(v)")
        (cast,) = self.bus.call(SC, "/org/gnome/Mutter/ScreenCast", SC, "CreateSession",
                                variant("(a{sv})", ({"remote-desktop-session-id":
                                                     variant("s", session_id)},)), "(o)")
        (self.stream,) = self.bus.call(SC, cast, SC + ".Session", "RecordMonitor",
                                       variant("(sa{sv})", ("", {"cursor-mode": variant("u", 0)})),
                                       "(o)")
        (self.node,) = self.bus.wait_signal(
            self.stream, SC + ".Stream", "PipeWireStreamAdded",
            lambda: self.bus.call(RD, self.session, RD + ".Session", "Start"))

    def _has_pointer(self):
        conn = Connection(self.runtime, self.wayland_display)
        try:
            return conn.seat_capabilities() & SEAT_POINTER
        finally:
            conn.close()

    def _stop(self):
        if self.bus is not None:
            try:
                self.release_all()
                if self.session:
                    self.bus.call(RD, self.session, RD + ".Session", "Stop")
            except Exception:
                pass
            self.bus.close()
            self.bus = None

    # -------------------------------------------------------------- input

    def move(self, x, y):
        """The pointer to the physical pixel (x, y) (the stream's pixels)."""
        self.bus.call(RD, self.session, RD + ".Session", "NotifyPointerMotionAbsolute",
                      variant("(sdd)", (self.stream, x, y)))

    def moves(self, points):
        for p in points:
            self.move(*p)

    def button(self, number, down):
        self.bus.call(RD, self.session, RD + ".Session", "NotifyPointerButton",
                      variant("(ib)", (BUTTONS[number], down)))
        (self.buttons.add if down else self.buttons.discard)(number)

    def release_all(self):
        for number in list(self.buttons):
            self.button(number, False)

    # ------------------------------------------------------------ pictures

    def grab_physical(self, x, y, width, height):
        return self.frames.crop(x, y, width, height)
