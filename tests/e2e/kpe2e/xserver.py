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
from .waiting import wait_for_window


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
        # Pictures are 0xRRGGBB pixels with 8 bits a channel. A 24-bit screen
        # gives them as they are (32-bit little-endian pixels, red in bits
        # 16-23); the channels of a 15-, 16- or 30-bit TrueColor screen are
        # widened to 8 bits as described in PixelFormat. Other screens (8-bit
        # PseudoColor) can be started on but not read.
        visual = None
        for depth in self.screen.allowed_depths:
            for v in depth.visuals:
                if v.visual_id == self.screen.root_visual:
                    visual = v
        fmt = [f for f in self.d.display.info.pixmap_formats if f.depth == self.screen.root_depth]
        self.pixel_format = None
        if (fmt and visual is not None and visual.visual_class == X.TrueColor
                and fmt[0].bits_per_pixel in (16, 32)
                and self.d.display.info.image_byte_order == X.LSBFirst
                and sys.byteorder == "little"):
            self.pixel_format = PixelFormat(self.screen.root_depth, fmt[0].bits_per_pixel,
                                            fmt[0].scanline_pad, visual.red_mask,
                                            visual.green_mask, visual.blue_mask)

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

    def managed_windows(self):
        """The client windows that a window manager lists (_NET_CLIENT_LIST),
        or None where no window manager runs."""
        try:
            prop = self.root.get_full_property(self.atom("_NET_CLIENT_LIST"), Xatom.WINDOW)
        except error.XError:
            return None
        if prop is None:
            return None
        return [self.d.create_resource_object("window", w) for w in prop.value]

    def top_level_windows(self, title=TITLE, viewable_only=True):
        """Top-level windows with this title: the children of the root window,
        or, under a window manager, which reparents them into frames of its
        own, the client windows it manages."""
        out = []
        managed = self.managed_windows()
        for win in managed if managed is not None else self.root.query_tree().children:
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
            for win in self.top_level_windows():
                owner = self.window_pid(win)
                if pid is None or owner is None or owner == pid:
                    return win
            return None
        return wait_for_window(exited or (lambda: None), probe, timeout,
                               'a viewable window titled "%s"' % self.TITLE)

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
        return self.pixel_format.picture(self.grab_raw(win, x, y, width, height), width, height,
                                         x, y)

    def grab_raw(self, win, x, y, width, height):
        """The screen's own pixel values of the rectangle, row by row."""
        if self.pixel_format is None:
            raise RuntimeError("unsupported screen format: depth %d, not TrueColor with 16 or 32 "
                               "bits a pixel" % self.screen.root_depth)
        img = win.get_image(x, y, width, height, X.ZPixmap, 0xFFFFFFFF)
        return self.pixel_format.values(bytes(img.data), width, height)

    # -------------------------------------------------------------- input

    def _sync(self):
        self.d.sync()

    def move(self, x, y):
        """Moves the pointer to root coordinates (x, y): one MotionNotify."""
        xtest.fake_input(self.d, X.MotionNotify, x=x, y=y)
        self._sync()

    def move_burst(self, points):
        """Moves the pointer through every root point, one MotionNotify each,
        as fast as the server takes them: one round trip at the end only.
        The requests are written out every few hundred (python-xlib joins
        everything it has queued into one string, which grows quadratically
        slow past some thousands)."""
        for i, (x, y) in enumerate(points):
            xtest.fake_input(self.d, X.MotionNotify, x=x, y=y)
            if i % 512 == 511:
                self.d.flush()
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


class PixelFormat:
    """How a TrueColor screen stores a pixel, and the conversion of its pixels
    to 0xRRGGBB with 8 bits a channel.

    A channel of n bits is widened the way X widens colour values: repeated
    to 16 bits and cut to the top 8 (a 5-bit 0b10110 becomes 0b10110101), so
    that the largest value is 255 and 0 stays 0; 10-bit channels keep their
    top 8 bits. `reduce` is the other way: an 8-bit value as the screen holds
    it, the top n bits of the 16-bit X colour value v * 257, which is what
    XAllocColor gives for a 24-bit colour on that screen."""

    def __init__(self, depth, bits_per_pixel, scanline_pad, red_mask, green_mask, blue_mask):
        self.depth = depth
        self.bits_per_pixel = bits_per_pixel
        self.scanline_pad = scanline_pad
        self.masks = (red_mask, green_mask, blue_mask)
        self.shifts = tuple((m & -m).bit_length() - 1 for m in self.masks)
        self.bits = tuple(bin(m).count("1") for m in self.masks)
        self.direct = (bits_per_pixel, self.masks) == (32, (0xFF0000, 0xFF00, 0xFF))
        self._lut = None
        if bits_per_pixel == 16:
            self._lut = array("I", (self._to_rgb(p) for p in range(1 << 16)))

    @staticmethod
    def widen(value, bits):
        if bits >= 8:
            return value >> (bits - 8)
        wide, have = value, bits
        while have < 16:
            wide, have = (wide << bits) | value, have + bits
        return (wide >> (have - 8)) & 0xFF

    @staticmethod
    def reduce(value8, bits):
        return (value8 * 257) >> (16 - bits)

    def channels(self, pixel):
        """(r, g, b): the screen's own channel values of a pixel value."""
        return tuple((pixel & m) >> s for m, s in zip(self.masks, self.shifts))

    def pixel_of(self, rgb):
        """The screen's pixel value for a 0xRRGGBB colour (reduced per channel)."""
        out = 0
        for value8, s, n in zip(((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF), self.shifts,
                                self.bits):
            out |= self.reduce(value8, n) << s
        return out

    def _to_rgb(self, pixel):
        r, g, b = (self.widen(v, n) for v, n in zip(self.channels(pixel), self.bits))
        return r << 16 | g << 8 | b

    def values(self, data, width, height):
        """Pixel values of a ZPixmap image, row by row, without row padding."""
        kind = "H" if self.bits_per_pixel == 16 else "I"
        size = self.bits_per_pixel // 8
        stride = (width * self.bits_per_pixel + self.scanline_pad - 1) \
            // self.scanline_pad * self.scanline_pad // 8
        if len(data) != stride * height:
            raise RuntimeError("unexpected image size %d for %dx%d" % (len(data), width, height))
        if stride != width * size:
            data = b"".join(data[y * stride:y * stride + width * size] for y in range(height))
        return array(kind, data)

    def picture(self, values, width, height, ox=0, oy=0):
        if self.direct:
            pixels = array("I", values)
            raw = bytearray(pixels.tobytes())
            raw[3::4] = bytes(width * height)  # the padding byte of each pixel
            pixels = array("I", bytes(raw))
        elif self._lut is not None:
            lut = self._lut
            pixels = array("I", (lut[p] for p in values))
        else:
            pixels = array("I", (self._to_rgb(p) for p in values))
        return Picture(width, height, pixels, ox, oy)

