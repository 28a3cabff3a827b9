#!/usr/bin/python3
"""Writes the fuzzer's seed corpus (tests/fuzz/corpus/*.bin), the sessions on
large screens that are replayed but not fuzzed from (tests/fuzz/large/*.bin)
and the inputs that once made it fail (tests/fuzz/regressions/*.bin): one
session each, in the input layout that session.cpp decodes. Run it again
after changing that layout.

  make_corpus.py [CORPUS_FOLDER [REGRESSIONS_FOLDER [LARGE_FOLDER]]]"""

import os
import struct
import sys

SMALL_SCREENS = [(1, 1), (1, 2), (2, 1), (16, 16), (200, 150), (320, 200), (700, 40),
                 (40, 700)]
WINDOW_SIZED_SCREENS = [(584, 461), (600, 500), (640, 480), (800, 600)]
DESKTOP_SCREENS = [(1024, 768), (1366, 768), (1280, 1024), (1920, 1080)]
LARGE_SCREENS = [(2560, 1440), (3840, 2160), (7680, 4320)]
SHOW = {"normal": 0, "minimized": 1, "maximized": 2, "hidden": 4}
KEYS = {"left": 0, "none": 1, "left+shift": 2, "left+ctrl": 3, "left+right": 4,
        "right": 5, "left+middle": 6, "left+x1": 7}
MOUSE = {"move": 0, "ldown": 1, "lup": 2, "rdown": 4, "wheel": 10}
SYSCMD = {"minimize": 0, "maximize": 1, "restore": 2, "size": 3, "close": 4}


def u16(v):
    return struct.pack("<H", v & 0xFFFF)


def u32(v):
    return struct.pack("<I", v & 0xFFFFFFFF)


def screen_bytes(size):
    if size in SMALL_SCREENS:
        return bytes([SMALL_SCREENS.index(size)])
    if size in WINDOW_SIZED_SCREENS:
        return bytes([0xF0 + WINDOW_SIZED_SCREENS.index(size)])
    if size in DESKTOP_SCREENS:
        return bytes([0xF8 + DESKTOP_SCREENS.index(size)])
    if size in LARGE_SCREENS:
        return bytes([0xFE, LARGE_SCREENS.index(size)])
    return bytes([0xFF]) + u16(size[0]) + u16(size[1])


class Session:
    # Most seeds use a small screen, as most fuzzed sessions do: a session's
    # screen is what its mutations mostly keep.
    def __init__(self, screen=(200, 150), show="normal"):
        self.b = screen_bytes(screen) + bytes([SHOW[show]])

    def point(self, x, y, inside=False):
        return bytes([1 if inside else 0]) + u16(x) + u16(y)

    def move(self, x, y, keys="left", inside=False):
        self.b += bytes([0]) + self.point(x, y, inside) + bytes([KEYS[keys]])
        return self

    def press(self, x, y):
        self.b += bytes([1]) + self.point(x, y)
        return self

    def release(self, x, y):
        self.b += bytes([2]) + self.point(x, y)
        return self

    def right_clicks(self, n, x, y, keys="none"):
        self.b += bytes([3, (n - 1) % 64]) + self.point(x, y) + bytes([KEYS[keys]])
        return self

    def post_mouse(self, message, keys, x, y):
        self.b += bytes([4, MOUSE[message]]) + u16(keys) + u16(x) + u16(y)
        return self

    def message(self, number, wparam, lparam, send=False, text=b""):
        mode = (1 if send else 0) | (2 if number > 0xFFFF else 0)
        num = u32(number) if number > 0xFFFF else u16(number)
        self.b += bytes([5, mode]) + num + u32(wparam) + u32(lparam)
        if number == 0x000C:
            self.b += bytes([len(text)]) + text
        return self

    def resize(self, kind, *args):
        # kind: 0 0x0, 1 1x1, 2 (u8, u8), 3 (u16 % 2048) x2, 4 the screen,
        # 5 screen + (u8, u8), 6 twice the screen + (u8, u8), 7 (u16, u16)
        self.b += bytes([6, kind])
        if kind in (2, 5, 6):
            self.b += bytes(args)
        elif kind in (3, 7):
            self.b += u16(args[0]) + u16(args[1])
        return self

    def minimize(self):
        self.b += bytes([7])
        return self

    def restore(self):
        self.b += bytes([8])
        return self

    def maximize(self):
        self.b += bytes([9])
        return self

    def cover(self, left, top, right, bottom):
        self.b += bytes([10]) + u16(left) + u16(top) + u16(right) + u16(bottom)
        return self

    def syscommand(self, name):
        self.b += bytes([11, SYSCMD[name], 0])
        return self

    def hoard(self, spare):
        self.b += bytes([12, spare])
        return self

    def unhoard(self):
        self.b += bytes([13])
        return self

    def drain(self):
        self.b += bytes([14])
        return self

    def screen(self, size):
        self.b += bytes([15]) + screen_bytes(size)
        return self

    def close(self):
        self.b += bytes([0xFF])
        return self


def drag(s, points, keys="left"):
    s.press(*points[0])
    for p in points[1:]:
        s.move(p[0], p[1], keys)
    return s


def seeds():
    out = {}
    # A stroke across the whole client area, beyond the canvas on the right
    # and at the bottom.
    s = Session(screen=(320, 200))
    drag(s, [(10, 10), (100, 50), (200, 300), (583, 460)]).drain().release(583, 460).close()
    out["stroke"] = s

    s = Session()
    s.press(20, 20).move(60, 60).right_clicks(40, 60, 60, "left").move(300, 200)
    s.right_clicks(64, 5, 5).move(10, 400).drain().close()
    out["right_click_bursts"] = s

    s = Session()
    drag(s, [(5, 5), (500, 400)]).drain()
    s.resize(0).drain().resize(1).drain().resize(6, 9, 9).drain().move(3000, 2000)
    s.resize(7, 65535, 700).drain().resize(3, 584, 461).minimize().drain().restore()
    s.drain().maximize().drain().restore().drain().close()
    out["resizes"] = s

    s = Session(screen=(1, 1))
    s.post_mouse("ldown", 1, 65535, 65535).post_mouse("move", 1, 0, 0)
    s.post_mouse("move", 1, 65535, 0).post_mouse("move", 1, 32768, 32767).drain()
    s.maximize().drain().move(0, 0).right_clicks(3, 0, 0).drain().close()
    out["one_pixel_screen"] = s

    s = Session()
    s.press(10, 10).move(50, 50).hoard(0).right_clicks(5, 50, 50).move(200, 100)
    s.drain().cover(0, 0, 584, 461).drain().unhoard().right_clicks(1, 1, 1)
    s.move(300, 300).hoard(1).drain().close()
    out["object_table_full"] = s

    s = Session()
    s.message(0x000C, 0, 0, send=True, text=b"renamed")
    s.message(0x000D, 10, 0, send=True).message(0x0014, 0x12345678, 0)
    s.message(0x000F, 0, 0).message(0x0200, 1, 0xFFFFFFFF).message(0x0201, 0, 0x7FFF8000)
    s.message(0xC123, 0xFFFFFFFF, 0xFFFFFFFF).message(0x0112, 0xF030, 0, send=True)
    s.message(0x10002, 0, 0).message(0x0005, 0, 0).drain().close()
    out["arbitrary_messages"] = s

    s = Session()
    drag(s, [(10, 10), (40, 80)]).message(0x0010, 0, 0).move(90, 90).drain()
    out["close_message_posted"] = s

    s = Session()
    drag(s, [(1, 1), (600, 400)]).screen((800, 600)).maximize().drain()
    s.move(700, 500).screen((16, 16)).restore().maximize().drain().close()
    out["screen_changes"] = s

    s = Session(show="minimized")
    s.move(5, 5).right_clicks(2, 5, 5).syscommand("restore").drain()
    s.syscommand("maximize").drain().syscommand("minimize").drain()
    s.syscommand("restore").drain().syscommand("close").drain()
    out["system_commands"] = s

    s = Session(screen=(0, 0), show="hidden")
    s.move(0, 0).press(0, 0).post_mouse("move", 1, 1, 1).drain().close()
    out["empty_screen_hidden"] = s
    return out


def large():
    """Sessions on large screens: each takes as long as forty on a small
    screen, and what the fuzzer makes of them as long again, so they are
    replayed but not fuzzed from."""
    out = {}
    # Strokes across the far corners of the largest canvas, posted straight
    # to the window (the host drops pointer events outside the client).
    s = Session(screen=(7680, 4320))
    s.post_mouse("ldown", 1, 0, 0).post_mouse("move", 1, 7679, 4319)
    s.right_clicks(2, 9, 9).post_mouse("move", 1, 100, 4319).post_mouse("move", 1, 65535, 0)
    s.drain().cover(-10, -10, 9000, 9000).drain().close()
    out["largest_screen"] = s
    return out


def regressions():
    """Inputs that once made the fuzzer fail, rewritten in the current layout."""
    out = {}
    # A forged WM_DESTROY released the drawing state while the window lived
    # on; right clicks queued behind it made a pen that nothing deleted.
    s = Session()
    s.press(10, 10).move(40, 80).message(0x0002, 0, 0)
    for _ in range(20):
        s.post_mouse("rdown", 0x6464, 0x6464, 0x6464)
    out["forged_destroy_then_right_clicks"] = s.drain()
    return out


def write(folder, sessions):
    os.makedirs(folder, exist_ok=True)
    for name, session in sessions.items():
        with open(os.path.join(folder, name + ".bin"), "wb") as f:
            f.write(session.b)


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    write(argv[1] if len(argv) > 1 else os.path.join(here, "corpus"), seeds())
    write(argv[2] if len(argv) > 2 else os.path.join(here, "regressions"), regressions())
    write(argv[3] if len(argv) > 3 else os.path.join(here, "large"), large())
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
