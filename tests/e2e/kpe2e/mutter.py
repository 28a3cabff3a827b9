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

import subprocess
import threading

from .compositor import Compositor, EvdevPointer
from .dbus_session import SessionBus, variant
from .picture import bgrx_picture
from .waiting import wait_for
from .wayland_wire import SEAT_POINTER, Connection

RD, SC, DC = ("org.gnome.Mutter.RemoteDesktop", "org.gnome.Mutter.ScreenCast",
              "org.gnome.Mutter.DisplayConfig")
DC_PATH = "/org/gnome/Mutter/DisplayConfig"


class Mutter(EvdevPointer, Compositor):
    name = "mutter"
    tools = {"mutter": "mutter", "pipewire": "pipewire-bin", "wireplumber": "wireplumber",
             "gst-launch-1.0": "gstreamer1.0-tools", "dbus-daemon": "dbus-daemon",
             "/usr/lib/%s/gstreamer-1.0/libgstpipewire.so": "gstreamer1.0-pipewire"}

    def _start(self):
        self.bus = SessionBus(self)
        self.env_extra.update(XDG_SESSION_TYPE="wayland", GSETTINGS_BACKEND="keyfile")
        pw = self.spawn(["pipewire"], "pipewire.log")
        self.wait_socket(pw, "pipewire-0", "pipewire")
        self.spawn(["wireplumber"], "wireplumber.log")
        w, h = (self.scale * v for v in self.size)
        mutter = self.serve(["mutter", "--headless", "--wayland", "--no-x11", "--virtual-monitor",
                             "%dx%d" % (w, h), "--wayland-display=wayland-1"], "mutter.log")
        self.wait_ready(mutter, lambda: self.bus.has_owner(RD) and self.bus.has_owner(DC),
                        "mutter's D-Bus API")
        if self.scale != 1:
            self._set_scale()
        self._remote_desktop()
        # The seat gets its pointer with the session's first pointer event:
        # before the program starts, so that it has one from the start.
        self.move(0, 0)
        wait_for(self._has_pointer, 10, "mutter's seat to have the remote desktop's pointer")
        gst = self.spawn(["gst-launch-1.0", "-q", "pipewiresrc", "path=%d" % self.node, "!",
                          "videoconvert", "!", "video/x-raw,format=BGRx,width=%d,height=%d"
                          % (w, h), "!", "fdsink"], "gst.log", stdout=subprocess.PIPE)
        self.frame = None
        threading.Thread(target=self._read_frames, args=(gst.stdout, 4 * w * h),
                         daemon=True).start()
        return "mutter on %s (virtual monitor %dx%d, scale %d), remote desktop and screen " \
               "cast stream %d" % (self.wayland_display, w, h, self.scale, self.node)

    def _set_scale(self):
        serial, monitors, _, _ = self.bus.call(
            DC, DC_PATH, DC, "GetCurrentState", None,
            "(ua((ssss)a(siiddada{sv})a{sv})a(iiduba(ssss)a{sv})a{sv})")
        (connector, _, _, _), modes, _ = monitors[0]
        mode = next(m for m in modes if m[6].get("is-current"))
        if float(self.scale) not in mode[5]:
            raise RuntimeError("mutter offers the scales %s for %s, not %s"
                               % (mode[5], mode[0], self.scale))
        self.bus.call(DC, DC_PATH, DC, "ApplyMonitorsConfig",
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

    def _read_frames(self, pipe, size):
        # A thread keeps the latest of the frames that gst-launch-1.0 writes.
        while True:
            data = pipe.read(size)
            if len(data) < size:
                return
            self.frame = data

    def moves(self, points):
        """The pointer to physical pixels (the stream's)."""
        for x, y in points:
            self.bus.call(RD, self.session, RD + ".Session", "NotifyPointerMotionAbsolute",
                          variant("(sdd)", (self.stream, x, y)))

    def press(self, code, down):
        self.bus.call(RD, self.session, RD + ".Session", "NotifyPointerButton",
                      variant("(ib)", (code, down)))

    def grab_physical(self, x, y, width, height):
        data = wait_for(lambda: self.frame, 20, "a first frame of the screen cast")
        return bgrx_picture(data, 4 * self.scale * self.size[0], x, y, width, height)
