"""What the program should show: the pen generator, one-pixel (cosmetic)
lines, axis-aligned wide-pen segments, and whole strokes.

Written from the documented GDI rules (see gdi-notes in the shared docs),
independently of the program's own code, so that the end-to-end checks
compare the real pixels with a second opinion."""

from collections import namedtuple

MASK32 = 0xFFFFFFFF


# ---------------------------------------------------------------- the pen

class Pen(namedtuple("Pen", "colorref width")):
    """A solid pen: COLORREF 0x00BBGGRR and the width given to CreatePen."""

    @property
    def rgb(self):
        """The pen colour as 0xRRGGBB, the way pictures store pixels."""
        r = self.colorref & 0xFF
        g = (self.colorref >> 8) & 0xFF
        b = (self.colorref >> 16) & 0xFF
        return r << 16 | g << 8 | b

    @property
    def cosmetic(self):
        """Widths 0 and 1 both give exactly one-pixel lines."""
        return self.width <= 1

    def __str__(self):
        return "pen(colour 0x%08X, width %d)" % (self.colorref, self.width)


BLACK_PEN = Pen(0x000000, 1)


def generator_draws(seed, count):
    """The first `count` results of the pen generator seeded with `seed`."""
    state = seed & MASK32
    out = []
    for _ in range(count):
        state = (state * 214013 + 2531011) & MASK32
        out.append((state >> 16) & 0x7FFF)
    return out


def pen_for_seed(seed):
    """The pen that a right click chooses when the clock reads `seed` seconds."""
    r, g, b, w = generator_draws(seed, 4)
    return Pen((r % 256) | (g % 256) << 8 | (b % 256) << 16, w % 10)


def pens_for_interval(t_before, t_after):
    """{second: pen} for every whole second from floor(t_before) to floor(t_after)."""
    return {s: pen_for_seed(s) for s in range(int(t_before), int(t_after) + 1)}


# ------------------------------------------------------- one-pixel lines

def _sign(v):
    return (v > 0) - (v < 0)


def octant(dx, dy):
    """Octant 1-8 of a direction, numbered clockwise from +x with y pointing
    down (octant 1: dx > 0, dy > 0, |dx| > |dy|); exact diagonals count as
    y-major. Only for lines that are neither horizontal nor vertical."""
    if abs(dx) > abs(dy):
        return {(1, 1): 1, (-1, 1): 4, (-1, -1): 5, (1, -1): 8}[(_sign(dx), _sign(dy))]
    return {(1, 1): 2, (-1, 1): 3, (-1, -1): 6, (1, -1): 7}[(_sign(dx), _sign(dy))]


BIASED_OCTANTS = (3, 5, 6, 8)


def cosmetic_line(x0, y0, x1, y1):
    """Pixels, in drawing order, that LineTo from (x0, y0) to (x1, y1) sets
    with a one-pixel pen. The end point is never among them."""
    dx, dy = x1 - x0, y1 - y0
    if dx == 0 and dy == 0:
        return []
    if dy == 0:
        step = _sign(dx)
        return [(x, y0) for x in range(x0, x1, step)]
    if dx == 0:
        step = _sign(dy)
        return [(x0, y) for y in range(y0, y1, step)]
    sx, sy = _sign(dx), _sign(dy)
    x_major = abs(dx) > abs(dy)
    dmajor, dminor = (abs(dx), abs(dy)) if x_major else (abs(dy), abs(dx))
    bias = 1 if octant(dx, dy) in BIASED_OCTANTS else 0
    err = 2 * dminor - dmajor
    x, y = x0, y0
    out = []
    for _ in range(dmajor):
        out.append((x, y))
        if err + bias > 0:
            if x_major:
                y += sy
            else:
                x += sx
            err += 2 * dminor - 2 * dmajor
        else:
            err += 2 * dminor
        if x_major:
            x += sx
        else:
            y += sy
    return out


# ------------------------------------------------------------ wide pens

# Rows of the round end cap, top to bottom, for widths 2..9.
CAP_ROWS = {
    2: (2, 2),
    3: (1, 3, 1),
    4: (2, 4, 4, 2),
    5: (3, 5, 5, 5, 3),
    6: (2, 4, 6, 6, 4, 2),
    7: (3, 5, 7, 7, 7, 5, 3),
    8: (4, 6, 8, 8, 8, 8, 6, 4),
    9: (3, 7, 7, 9, 9, 9, 7, 7, 3),
}


def cap(x, y, width):
    """Pixels of the round cap of a wide pen centred on (x, y)."""
    rows = CAP_ROWS[width]
    left, top = x - width // 2, y - width // 2
    out = set()
    for i, run in enumerate(rows):
        start = left + (width - run) // 2
        out.update((start + j, top + i) for j in range(run))
    return out


class UnmodelledSegment(ValueError):
    """A wide-pen segment that is neither horizontal nor vertical."""


def wide_segment(x0, y0, x1, y1, width):
    """Pixels of one LineTo with a wide pen (width 2-9): both round caps and
    the body. Only horizontal and vertical segments are modelled."""
    out = cap(x0, y0, width) | cap(x1, y1, width)
    first = -(width // 2)
    if y0 == y1:
        for x in range(min(x0, x1), max(x0, x1)):
            out.update((x, y0 + first + k) for k in range(width))
    elif x0 == x1:
        for y in range(min(y0, y1), max(y0, y1)):
            out.update((x0 + first + k, y) for k in range(width))
    else:
        raise UnmodelledSegment("diagonal wide segment (%d,%d)-(%d,%d)" % (x0, y0, x1, y1))
    return out


def segment_pixels(start, end, pen):
    """Pixels that one LineTo from start to end sets with `pen`."""
    if pen.cosmetic:
        return set(cosmetic_line(start[0], start[1], end[0], end[1]))
    return wide_segment(start[0], start[1], end[0], end[1], pen.width)


# ------------------------------------------------------------- strokes

class ExpectedCanvas:
    """The picture the program should show: white plus what was drawn, as a
    {(x, y): 0xRRGGBB} map of the pixels that are not white."""

    def __init__(self):
        self.pixels = {}
        # The canvas DC starts at (0, 0); only a press or a segment moves it.
        self.position = (0, 0)

    def press(self, point):
        self.position = point

    def segment(self, point, pen):
        """One drawing move to `point`; returns the pixels it set."""
        pixels = segment_pixels(self.position, point, pen)
        for p in pixels:
            self.pixels[p] = pen.rgb
        self.position = point
        return pixels

    def stroke(self, points, pen):
        """A press at points[0] and drawing moves through the others."""
        self.press(points[0])
        for p in points[1:]:
            self.segment(p, pen)

    def clipped(self, width, height):
        return {p: c for p, c in self.pixels.items() if 0 <= p[0] < width and 0 <= p[1] < height}

    def copy(self):
        other = ExpectedCanvas()
        other.pixels = dict(self.pixels)
        other.position = self.position
        return other
