#!/usr/bin/python3
"""Tests of the end-to-end harness's own oracle and picture code, which the
checks trust: a fault here would make the checks judge the program wrongly."""

import os
import sys
import tempfile
import unittest
from fractions import Fraction
from math import ceil

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from kpe2e.oracle import (BLACK_PEN, CAP_ROWS, ExpectedCanvas, Pen, UnmodelledSegment,  # noqa
                          cap, cosmetic_line, generator_draws, octant, pen_for_seed,
                          pens_for_interval, wide_segment)
from kpe2e.picture import WHITE, Picture, read_png  # noqa: E402
from kpe2e.pens import frozen_second  # noqa: E402
from kpe2e.scaling import MIXED, logical_picture  # noqa: E402
from kpe2e.sway import read_ppm, xcursor_image  # noqa: E402
from kpe2e.wayland_wire import Connection, string, uint  # noqa: E402
from kpe2e.window_picture import find_white_area, title_bar  # noqa: E402
from kpe2e.xserver import PixelFormat  # noqa: E402


class PenGeneratorTest(unittest.TestCase):
    # Reference values from the program's documentation of its generator.
    KNOWN = [
        (1, [41, 18467, 6334, 26500], 0x00BE2329, 0),
        (0, [38, 7719, 21238, 2437], 0x00F62726, 7),
    ]

    def test_known_seeds(self):
        for seed, draws, colorref, width in self.KNOWN:
            with self.subTest(seed=seed):
                self.assertEqual(generator_draws(seed, 4), draws)
                self.assertEqual(pen_for_seed(seed), Pen(colorref, width))

    def test_state_wraps_at_32_bits(self):
        # Seeds are taken modulo 2**32, like an unsigned 32-bit time value.
        for seed in (0, 1, 1_700_000_000):
            self.assertEqual(generator_draws(seed + 2**32, 4), generator_draws(seed, 4))

    def test_ranges_over_many_seconds(self):
        widths = set()
        for seed in range(1_700_000_000, 1_700_020_000):
            draws = generator_draws(seed, 4)
            self.assertTrue(all(0 <= d <= 0x7FFF for d in draws))
            pen = pen_for_seed(seed)
            self.assertEqual(pen.colorref >> 24, 0)
            widths.add(pen.width)
        self.assertEqual(widths, set(range(10)))

    def test_rgb_layout(self):
        self.assertEqual(Pen(0x00BE2329, 0).rgb, 0x2923BE)
        self.assertTrue(Pen(0, 0).cosmetic and Pen(0, 1).cosmetic and not Pen(0, 2).cosmetic)

    def test_interval_covers_each_second(self):
        pens = pens_for_interval(100.95, 102.01)
        self.assertEqual(sorted(pens), [100, 101, 102])
        self.assertEqual(pens[101], pen_for_seed(101))


def nearest_with_ties_down(a0, d_minor, d_major, i):
    """The minor coordinate nearest the ideal line at major step i; a tie
    goes to the smaller coordinate."""
    exact = a0 + Fraction(d_minor * i, d_major)
    return ceil(exact - Fraction(1, 2))


class CosmeticLineTest(unittest.TestCase):
    def lines(self, reach=9):
        for dx in range(-reach, reach + 1):
            for dy in range(-reach, reach + 1):
                yield 5, 7, 5 + dx, 7 + dy

    def test_axis_lines_are_half_open(self):
        cases = [
            ((2, 3, 6, 3), [(2, 3), (3, 3), (4, 3), (5, 3)]),
            ((6, 3, 2, 3), [(6, 3), (5, 3), (4, 3), (3, 3)]),
            ((2, 3, 2, 6), [(2, 3), (2, 4), (2, 5)]),
            ((2, 6, 2, 3), [(2, 6), (2, 5), (2, 4)]),
            ((4, 4, 4, 4), []),
        ]
        for args, want in cases:
            with self.subTest(line=args):
                self.assertEqual(cosmetic_line(*args), want)

    def test_one_pixel_per_major_step_and_no_end_point(self):
        for x0, y0, x1, y1 in self.lines():
            px = cosmetic_line(x0, y0, x1, y1)
            with self.subTest(line=(x0, y0, x1, y1)):
                self.assertEqual(len(px), max(abs(x1 - x0), abs(y1 - y0)))
                self.assertNotIn((x1, y1), px)
                if px:
                    self.assertEqual(px[0], (x0, y0))
                for a, b in zip(px, px[1:] + [(x1, y1)]):
                    self.assertLessEqual(max(abs(a[0] - b[0]), abs(a[1] - b[1])), 1)

    def test_pixels_nearest_the_ideal_line_ties_to_smaller_minor(self):
        for x0, y0, x1, y1 in self.lines(reach=13):
            dx, dy = x1 - x0, y1 - y0
            if dx == 0 or dy == 0:
                continue
            px = cosmetic_line(x0, y0, x1, y1)
            with self.subTest(line=(x0, y0, x1, y1)):
                for i, (x, y) in enumerate(px):
                    if abs(dx) > abs(dy):
                        self.assertEqual(x, x0 + i * (1 if dx > 0 else -1))
                        self.assertEqual(y, nearest_with_ties_down(y0, dy, abs(dx), i))
                    else:
                        self.assertEqual(y, y0 + i * (1 if dy > 0 else -1))
                        self.assertEqual(x, nearest_with_ties_down(x0, dx, abs(dy), i))

    def test_both_directions_set_the_same_pixels(self):
        for x0, y0, x1, y1 in self.lines(reach=12):
            forward = set(cosmetic_line(x0, y0, x1, y1)) | {(x1, y1)}
            backward = set(cosmetic_line(x1, y1, x0, y0)) | {(x0, y0)}
            with self.subTest(line=(x0, y0, x1, y1)):
                self.assertEqual(forward, backward)

    def test_tie_cases_in_every_octant(self):
        # Slopes 1/2 and 2: the pixel after the start is at a tie.
        cases = [
            ((4, 2), 1, (1, 0)), ((2, 4), 2, (0, 1)), ((-2, 4), 3, (-1, 1)),
            ((-4, 2), 4, (-1, 0)), ((-4, -2), 5, (-1, -1)), ((-2, -4), 6, (-1, -1)),
            ((2, -4), 7, (0, -1)), ((4, -2), 8, (1, -1)),
        ]
        for (dx, dy), want_octant, second in cases:
            with self.subTest(direction=(dx, dy)):
                self.assertEqual(octant(dx, dy), want_octant)
                self.assertEqual(cosmetic_line(0, 0, dx, dy)[1], second)

    def test_diagonals_are_y_major(self):
        self.assertEqual([octant(1, 1), octant(-1, 1), octant(-1, -1), octant(1, -1)],
                         [2, 3, 6, 7])
        self.assertEqual(cosmetic_line(0, 0, 3, -3), [(0, 0), (1, -1), (2, -2)])


class WidePenTest(unittest.TestCase):
    def test_cap_shape(self):
        for w, rows in CAP_ROWS.items():
            px = cap(20, 30, w)
            with self.subTest(width=w):
                self.assertEqual(len(rows), w)
                self.assertEqual(max(rows), w)
                self.assertEqual(len(px), sum(rows))
                xs = sorted({x for x, _ in px})
                ys = sorted({y for _, y in px})
                self.assertEqual((xs[0], xs[-1]), (20 - w // 2, 20 + (w + 1) // 2 - 1))
                self.assertEqual((ys[0], ys[-1]), (30 - w // 2, 30 + (w + 1) // 2 - 1))
                # Symmetric about the disc's own centre, both ways.
                c2x, c2y = xs[0] + xs[-1], ys[0] + ys[-1]
                self.assertEqual(px, {(c2x - x, y) for x, y in px})
                self.assertEqual(px, {(x, c2y - y) for x, y in px})
                self.assertIn((20, 30), px)

    def test_axis_segments(self):
        for w in CAP_ROWS:
            for a, b in (((10, 40), (30, 40)), ((30, 40), (10, 40)),
                         ((10, 40), (10, 70)), ((10, 70), (10, 40))):
                px = wide_segment(a[0], a[1], b[0], b[1], w)
                with self.subTest(width=w, segment=(a, b)):
                    self.assertTrue(cap(*a, w) <= px and cap(*b, w) <= px)
                    self.assertIn(b, px)  # the cap covers the end point
                    horizontal = a[1] == b[1]
                    lo = min(a[0], b[0]) if horizontal else min(a[1], b[1])
                    hi = max(a[0], b[0]) if horizontal else max(a[1], b[1])
                    # Between the caps the body is exactly w pixels across.
                    for t in range(lo + w, hi - w):
                        across = [p for p in px if (p[0] if horizontal else p[1]) == t]
                        self.assertEqual(len(across), w)

    def test_zero_length_is_one_cap(self):
        self.assertEqual(wide_segment(5, 5, 5, 5, 4), cap(5, 5, 4))

    def test_diagonal_is_refused(self):
        with self.assertRaises(UnmodelledSegment):
            wide_segment(0, 0, 5, 3, 4)


class ExpectedCanvasTest(unittest.TestCase):
    def test_stroke_leaves_final_point_and_later_pen_wins(self):
        c = ExpectedCanvas()
        c.stroke([(0, 0), (10, 0), (10, 10)], BLACK_PEN)
        self.assertNotIn((10, 10), c.pixels)
        self.assertEqual(c.pixels[(10, 0)], 0)
        red = Pen(0x0000FF, 3)
        c.stroke([(5, 5), (15, 5)], red)
        self.assertEqual(c.pixels[(10, 5)], 0xFF0000)
        self.assertEqual(c.pixels[(10, 2)], 0)

    def test_first_segment_without_press_starts_at_origin(self):
        c = ExpectedCanvas()
        c.segment((3, 0), BLACK_PEN)
        self.assertEqual(sorted(c.pixels), [(0, 0), (1, 0), (2, 0)])

    def test_clipping(self):
        c = ExpectedCanvas()
        c.stroke([(-3, 2), (5, 2)], BLACK_PEN)
        self.assertEqual(sorted(c.clipped(4, 4)), [(0, 2), (1, 2), (2, 2), (3, 2)])


class PictureTest(unittest.TestCase):
    def test_differences_and_png_round_trip(self):
        pic = Picture.blank(7, 5)
        pic.set(2, 3, 0x123456)
        self.assertEqual(pic.non_white(), {(2, 3): 0x123456})
        self.assertEqual(pic.differences({(2, 3): 0x123456}), [])
        self.assertEqual(pic.differences({(1, 1): 0}),
                         [(1, 1, WHITE, 0), (2, 3, 0x123456, WHITE)])
        with tempfile.TemporaryDirectory() as d:
            path = os.path.join(d, "p.png")
            pic.to_png(path)
            back = read_png(path)
        self.assertTrue(back.same_as(pic))

    def test_offset_pictures_use_client_coordinates(self):
        pic = Picture.blank(3, 3)
        pic.ox, pic.oy = 10, 20
        pic.set(11, 22, 0)
        self.assertEqual(pic.non_white(), {(11, 22): 0})
        self.assertTrue(pic.contains(12, 22) and not pic.contains(13, 22))


class ScaledPictureTest(unittest.TestCase):
    """The logical picture of a physical one: a block of one colour reads as
    that colour, any other block as MIXED."""

    def scaled(self, logical, scale):
        out = Picture.blank(logical.width * scale, logical.height * scale)
        for y in range(out.height):
            for x in range(out.width):
                out.set(x, y, logical.get(x // scale, y // scale))
        return out

    def test_uniform_blocks_give_the_logical_picture(self):
        logical = Picture.blank(5, 3)
        logical.set(1, 0, 0x123456)
        logical.set(4, 2, 0)
        for scale in (1, 2, 3):
            with self.subTest(scale=scale):
                got = logical_picture(self.scaled(logical, scale), scale, 7, 9)
                self.assertEqual((got.width, got.height, got.ox, got.oy), (5, 3, 7, 9))
                self.assertEqual(list(got.pixels), list(logical.pixels))

    def test_one_odd_pixel_spoils_only_its_block(self):
        logical = Picture.blank(4, 2)
        for px, py in ((0, 0), (3, 0), (2, 3), (7, 3)):
            with self.subTest(pixel=(px, py)):
                physical = self.scaled(logical, 2)
                physical.set(px, py, 0)
                got = logical_picture(physical, 2)
                mixed = {p for p, c in got.non_white().items()}
                self.assertEqual(mixed, {(px // 2, py // 2)})
                self.assertEqual(got.get(px // 2, py // 2), MIXED)

    def test_a_picture_shown_at_half_resolution_and_doubled_is_not_crisp(self):
        # What a compositor's smooth upscaling of a scale-1 buffer gives.
        physical = Picture.blank(4, 2)
        physical.set(1, 0, 0x808080)
        self.assertEqual(logical_picture(physical, 2).get(0, 0), MIXED)


class PixelFormatTest(unittest.TestCase):
    FORMATS = {
        15: (16, 0x7C00, 0x3E0, 0x1F),
        16: (16, 0xF800, 0x7E0, 0x1F),
        24: (32, 0xFF0000, 0xFF00, 0xFF),
        30: (32, 0x3FF00000, 0xFFC00, 0x3FF),
    }

    def fmt(self, depth):
        bpp, r, g, b = self.FORMATS[depth]
        return PixelFormat(depth, bpp, 32, r, g, b)

    def test_reduce_is_the_top_bits_of_the_x_colour_value(self):
        # v * 257 cut to n bits: 5 and 6 bits drop the low bits, 10 bits
        # repeat the top ones, 8 bits keep the value.
        for v in (0, 1, 0x57, 0x6F, 0x80, 0xAE, 0xFF):
            self.assertEqual(PixelFormat.reduce(v, 5), v >> 3)
            self.assertEqual(PixelFormat.reduce(v, 6), v >> 2)
            self.assertEqual(PixelFormat.reduce(v, 8), v)
            self.assertEqual(PixelFormat.reduce(v, 10), v << 2 | v >> 6)

    def test_widen_keeps_black_and_white_and_inverts_reduce(self):
        for bits in (5, 6, 8, 10):
            top = (1 << bits) - 1
            self.assertEqual((PixelFormat.widen(0, bits), PixelFormat.widen(top, bits)), (0, 255))
            for raw in range(1 << bits) if bits <= 8 else ():
                self.assertEqual(PixelFormat.reduce(PixelFormat.widen(raw, bits), bits), raw)
        for v in range(256):  # 10 bits hold every 8-bit value
            self.assertEqual(PixelFormat.widen(PixelFormat.reduce(v, 10), 10), v)
        self.assertEqual(PixelFormat.widen(0b10110, 5), 0b10110101)

    def test_pixel_values_and_pictures(self):
        for depth in self.FORMATS:
            with self.subTest(depth=depth):
                fmt = self.fmt(depth)
                colours = [WHITE, 0, 0x576F6F, 0xAE8686]
                raw = [fmt.pixel_of(c) for c in colours]
                size = fmt.bits_per_pixel // 8
                # Two rows of three pixels (the third repeats the first), each
                # row padded to 32 bits as XGetImage pads it.
                row_bytes = lambda vals: b"".join(v.to_bytes(size, "little") for v in vals)
                stride = (3 * size + 3) // 4 * 4
                data = b"".join(row_bytes(vals).ljust(stride, b"\0")
                                for vals in (raw[:2] + raw[:1], raw[2:] + raw[2:3]))
                values = fmt.values(data, 3, 2)
                self.assertEqual(list(values), raw[:2] + raw[:1] + raw[2:] + raw[2:3])
                pic = fmt.picture(values, 3, 2)
                self.assertEqual((pic.get(0, 0), pic.get(1, 0)), (WHITE, 0))
                if depth == 24:
                    self.assertEqual(pic.get(0, 1), 0x576F6F)
                self.assertEqual(fmt.channels(raw[2]),
                                 tuple(PixelFormat.reduce(v, n) for v, n in
                                       zip((0x57, 0x6F, 0x6F), fmt.bits)))


class DesktopHelpersTest(unittest.TestCase):
    def test_frozen_second_has_a_telling_pen(self):
        second = frozen_second()
        pen = pen_for_seed(second)
        self.assertGreaterEqual(pen.width, 3)
        for c in ((pen.rgb >> 16) & 0xFF, (pen.rgb >> 8) & 0xFF, pen.rgb & 0xFF):
            # Cutting and rounding to 5 bits differ; repeating the top bits
            # and padding with ones to 10 bits differ.
            self.assertNotEqual(c >> 3, round(c * 31 / 255))
            self.assertNotEqual(c >> 2, round(c * 63 / 255))
            self.assertNotEqual(c << 2 | c >> 6, c << 2 | 3)

    def test_ppm(self):
        data = b"P6\n# grim\n2 1\n255\n" + bytes([255, 0, 0, 1, 2, 3])
        w, h, pixels = read_ppm(data)
        self.assertEqual((w, h, list(pixels)), (2, 1, [0xFF0000, 0x010203]))
        with self.assertRaises(RuntimeError):
            read_ppm(b"P6\n2 1\n255\n" + bytes(5))

    def test_invisible_cursor_is_one_transparent_pixel(self):
        data = xcursor_image(24)
        self.assertEqual(data[:4], b"Xcur")
        self.assertEqual(len(data), 16 + 12 + 36 + 4)
        self.assertEqual(data[-4:], bytes(4))  # ARGB 0: fully transparent


def screen(width, height, rects, background=0x123456):
    """A Picture of `background` with the given (x, y, w, h, colour) rectangles."""
    pic = Picture.blank(width, height, background)
    for x, y, w, h, colour in rects:
        for yy in range(y, y + h):
            for xx in range(x, x + w):
                pic.set(xx, yy, colour)
    return pic


class WindowPictureTest(unittest.TestCase):
    def test_white_area_of_exactly_the_size(self):
        cases = [
            ("alone", [(5, 7, 10, 8, WHITE)], (5, 7)),
            ("at the right and bottom edges", [(30, 22, 10, 8, WHITE)], (30, 22)),
            ("below a grey bar", [(5, 4, 10, 3, 0xEFF0F1), (5, 7, 10, 8, WHITE)], (5, 7)),
            ("one column wider", [(5, 7, 11, 8, WHITE)], None),
            ("one row taller", [(5, 7, 10, 9, WHITE)], None),
            ("one row shorter", [(5, 7, 10, 7, WHITE)], None),
        ]
        for name, rects, corner in cases:
            with self.subTest(name):
                self.assertEqual(find_white_area(screen(40, 30, rects), 10, 8)[0], corner)

    def test_title_bar_and_its_close_glyph(self):
        bar = (0, 4, 60, 20, 0x000000)
        glyph = (50, 10, 5, 6, WHITE)
        cases = [
            ("bar with a glyph", [bar, glyph], (20, 0x000000, (52, -12))),
            ("bar over a border line", [bar, glyph, (0, 23, 60, 1, 0x808080)],
             (19, 0x000000, (52, -12))),
            ("no glyph", [bar], None),
            ("too low a bar", [(0, 16, 60, 8, 0x000000), (50, 18, 5, 4, WHITE)], None),
            ("nothing above the client", [], None),
        ]
        for name, rects, found in cases:
            with self.subTest(name):
                band = screen(60, 24, rects)
                band.oy = -24
                self.assertEqual(title_bar(band, 60)[0], found)


class WaylandWireTest(unittest.TestCase):
    def test_globals_are_read_whatever_the_padding(self):
        import socket
        ours, theirs = socket.socketpair()

        def event(obj, opcode, body):
            return uint(obj) + uint((8 + len(body)) << 16 | opcode) + body
        globals_ = [(1, "wl_seat", 7), (2, "xdg_wm_base", 5), (3, "wl_shm_pool_xx", 1)]
        theirs.sendall(b"".join(event(2, 0, uint(n) + string(i) + uint(v)) for n, i, v in globals_)
                       + event(3, 0, uint(0)))
        conn = Connection(None, None, sock=ours)
        self.assertEqual(conn.globals, {i: (n, v) for n, i, v in globals_})
        conn.close()
        theirs.close()


if __name__ == "__main__":
    unittest.main()
