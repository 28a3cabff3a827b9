"""A private Xvfb, and what the checks do on it through python-xlib: find the
program's window, read its pixels, send XTEST input, cover, resize and close
it the way a user and a window manager would."""

import os
import select
import subprocess
import sys
import time
from array import array

from Xlib import X, Xatom, display, error
from Xlib.ext import xtest
from Xlib.protocol import event

from . import processes
from .picture import Picture
from .waiting import wait_for


class Xvfb:
    """Xvfb on a free display number that the server picks itself (-displayfd)."""

    def __init__(self, screen="1280x1024x24"):
        self.screen = screen
        self.proc = None
        self.name = None

    def start(self, timeout=20):
        rfd, wfd = os.pipe()
        try:
            self.proc = processes.start(
                ["Xvfb", "-displayfd", str(wfd), "-screen", "0", self.screen, "-nolisten", "tcp",
                 "-noreset"],
                pass_fds=(wfd,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        finally:
            os.close(wfd)
        try:
            number = b""
            deadline = time.monotonic() + timeout
            while not number.endswith(b"\n"):
                left = deadline - time.monotonic()
                if left <= 0 or not select.select([rfd], [], [], left)[0]:
                    raise RuntimeError("Xvfb did not report its display within %d s" % timeout)
                chunk = os.read(rfd, 64)
                if not chunk:
                    raise RuntimeError("Xvfb exited before reporting its display (code %s)"
                                       % self.proc.poll())
                number += chunk
        finally:
            os.close(rfd)
        self.name = ":" + number.decode().strip()
        return self.name

    def stop(self):
        processes.stop_group(self.proc)
        self.proc = None


class XClient:
    """One connection to the X server with the operations the checks need."""

    TITLE = "Kelvane Paint"

    def __init__(self, display_name):
        self.d = display.Display(display_name)
        if not self.d.has_extension("XTEST"):
            raise RuntimeError("the X server has no XTEST extension")
        self.screen = self.d.screen()
        self.root = self.screen.root
        self._atoms = {}
        self._pressed_buttons = []
        self._pressed_keys = []
        self._check_pixel_format()

    def close(self):
        try:
            self.release_all()
        finally:
            self.d.close()

    def atom(self, name):
        if name not in self._atoms:
            self._atoms[name] = self.d.intern_atom(name)
        return self._atoms[name]

    def _check_pixel_format(self):
        # Pictures are read as 32-bit little-endian pixels with red in bits
        # 16-23: what Xvfb gives for a 24-bit screen.
        visual = None
        for depth in self.screen.allowed_depths:
            for v in depth.visuals:
                if v.visual_id == self.screen.root_visual:
                    visual = v
        fmt = [f for f in self.d.display.info.pixmap_formats if f.depth == self.screen.root_depth]
        if (self.screen.root_depth != 24 or not fmt or fmt[0].bits_per_pixel != 32
                or visual is None or (visual.red_mask, visual.green_mask, visual.blue_mask)
                != (0xFF0000, 0xFF00, 0xFF) or self.d.display.info.image_byte_order != X.LSBFirst
                or sys.byteorder != "little"):
            raise RuntimeError("unsupported screen format: run Xvfb with -screen 0 WxHx24")

    # ------------------------------------------------------------ windows

    def window_name(self, win):
        try:
            prop = win.get_full_property(self.atom("_NET_WM_NAME"), self.atom("UTF8_STRING"))
            if prop is not None and prop.value:
                v = prop.value
                return v.decode("utf-8", "replace") if isinstance(v, bytes) else str(v)
            name = win.get_wm_name()
            if isinstance(name, bytes):
                name = name.decode("latin-1")
            return name
        except error.XError:
            return None

    def window_pid(self, win):
        try:
            prop = win.get_full_property(self.atom("_NET_WM_PID"), Xatom.CARDINAL)
        except error.XError:
            return None
        return int(prop.value[0]) if prop is not None and len(prop.value) else None

    def top_level_windows(self, title=TITLE, viewable_only=True):
        """Children of the root window with this title (there is no window
        manager, so nothing reparents them)."""
        out = []
        for win in self.root.query_tree().children:
            try:
                attrs = win.get_attributes()
            except error.XError:
                continue
            if viewable_only and attrs.map_state != X.IsViewable:
                continue
            if attrs.override_redirect:
                continue
            if self.window_name(win) == title:
                out.append(win)
        return out

    def find_window(self, pid=None, timeout=30, exited=None):
        """Waits for a viewable top-level window titled "Kelvane Paint"; when the
        window says which process it belongs to (_NET_WM_PID), it must be pid.
        exited() is asked on each round, so that a program that dies early
        fails the wait at once instead of at the timeout."""
        def probe():
            if exited is not None:
                code = exited()
                if code is not None:
                    raise AssertionError("the program exited with code %s before its window "
                                         "appeared" % code)
            for win in self.top_level_windows():
                owner = self.window_pid(win)
                if pid is None or owner is None or owner == pid:
                    return win
            return None
        return wait_for(probe, timeout, 'a viewable window titled "%s"' % self.TITLE)

    def exists(self, win):
        try:
            win.get_attributes()
            return True
        except error.XError:
            return False

    def geometry(self, win):
        """(x, y, width, height) of the window, x and y relative to the root."""
        g = win.get_geometry()
        pos = self.root.translate_coords(win, 0, 0)
        return pos.x, pos.y, g.width, g.height

    # ------------------------------------------------------------- pixels

    def grab(self, win, x, y, width, height):
        """Pixels of the window's rectangle as a Picture in window coordinates."""
        img = win.get_image(x, y, width, height, X.ZPixmap, 0xFFFFFFFF)
        data = bytearray(img.data)
        if len(data) != 4 * width * height:
            raise RuntimeError("unexpected image size %d for %dx%d" % (len(data), width, height))
        data[3::4] = bytes(width * height)  # the padding byte of each pixel
        return Picture(width, height, array("I", bytes(data)), x, y)

    # -------------------------------------------------------------- input

    def _sync(self):
        self.d.sync()

    def move(self, x, y):
        """Moves the pointer to root coordinates (x, y): one MotionNotify."""
        xtest.fake_input(self.d, X.MotionNotify, x=x, y=y)
        self._sync()

    def move_burst(self, points):
        """Moves the pointer through every root point, one MotionNotify each,
        as fast as the server takes them: one round trip at the end only."""
        for x, y in points:
            xtest.fake_input(self.d, X.MotionNotify, x=x, y=y)
        self._sync()

    def pointer(self):
        p = self.root.query_pointer()
        return p.root_x, p.root_y

    def button(self, number, down):
        xtest.fake_input(self.d, X.ButtonPress if down else X.ButtonRelease, number)
        self._sync()
        if down:
            self._pressed_buttons.append(number)
        elif number in self._pressed_buttons:
            self._pressed_buttons.remove(number)

    def keycode(self, keysym_name):
        from Xlib import XK
        code = self.d.keysym_to_keycode(XK.string_to_keysym(keysym_name))
        if not code:
            raise RuntimeError("no keycode for %s" % keysym_name)
        return code

    def key(self, keysym_name, down):
        code = self.keycode(keysym_name)
        xtest.fake_input(self.d, X.KeyPress if down else X.KeyRelease, code)
        self._sync()
        if down:
            self._pressed_keys.append(code)
        elif code in self._pressed_keys:
            self._pressed_keys.remove(code)

    def release_all(self):
        """Lets go of every button and key that a check left pressed."""
        for number in reversed(self._pressed_buttons):
            xtest.fake_input(self.d, X.ButtonRelease, number)
        for code in reversed(self._pressed_keys):
            xtest.fake_input(self.d, X.KeyRelease, code)
        self._pressed_buttons, self._pressed_keys = [], []
        self._sync()

    # ------------------------------------------- what a window manager does

    def cover(self, x, y, width, height, colour):
        """Maps an override-redirect window of one colour over the screen area."""
        win = self.root.create_window(
            x, y, width, height, 0, self.screen.root_depth, X.InputOutput, X.CopyFromParent,
            background_pixel=colour, override_redirect=True)
        win.map()
        self._sync()
        return win

    def destroy(self, win):
        win.destroy()
        self._sync()

    def resize(self, win, width, height):
        win.configure(width=width, height=height)
        self._sync()

    def wm_class(self, win):
        """(instance, class) of the window's WM_CLASS, or None."""
        try:
            return win.get_wm_class()
        except error.XError:
            return None

    def map_state(self, win):
        try:
            return win.get_attributes().map_state
        except error.XError:
            return None

    def iconify(self, win):
        """What a window manager does to minimize a window (ICCCM and EWMH):
        WM_STATE becomes IconicState, _NET_WM_STATE gains _NET_WM_STATE_HIDDEN,
        and the window is unmapped."""
        self._set_wm_state(win, 3, [self.atom("_NET_WM_STATE_HIDDEN")])
        win.unmap()
        self._sync()

    def deiconify(self, win):
        """What a window manager does to restore a minimized window."""
        self._set_wm_state(win, 1, [])
        win.map()
        self._sync()

    def maximize(self, win, width, height):
        """What a window manager does to maximize a window (EWMH): the
        _NET_WM_STATE_MAXIMIZED_* states, and the window moved to the top-left
        corner and resized to the given size."""
        win.change_property(self.atom("_NET_WM_STATE"), Xatom.ATOM, 32,
                            [self.atom("_NET_WM_STATE_MAXIMIZED_VERT"),
                             self.atom("_NET_WM_STATE_MAXIMIZED_HORZ")])
        win.configure(x=0, y=0, width=width, height=height)
        self._sync()

    def unmaximize(self, win, x, y, width, height):
        """And back: the states removed, the old place and size."""
        win.change_property(self.atom("_NET_WM_STATE"), Xatom.ATOM, 32, [])
        win.configure(x=x, y=y, width=width, height=height)
        self._sync()

    def _set_wm_state(self, win, state, net_states):
        wm_state = self.atom("WM_STATE")
        win.change_property(wm_state, wm_state, 32, [state, X.NONE])
        win.change_property(self.atom("_NET_WM_STATE"), Xatom.ATOM, 32, net_states)

    def close_window(self, win):
        """Asks the window to close as a window manager's close button does:
        a WM_PROTOCOLS client message carrying WM_DELETE_WINDOW."""
        ev = event.ClientMessage(
            window=win, client_type=self.atom("WM_PROTOCOLS"),
            data=(32, [self.atom("WM_DELETE_WINDOW"), X.CurrentTime, 0, 0, 0]))
        win.send_event(ev, event_mask=X.NoEventMask)
        self._sync()

    def supports_delete_window(self, win):
        protocols = win.get_wm_protocols() or []
        return self.atom("WM_DELETE_WINDOW") in protocols
