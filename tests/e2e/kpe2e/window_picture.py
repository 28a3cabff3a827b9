"""The program's window read off the screen, for compositors that say
nothing about their windows (mutter, kwin without scripting): the client
area is the white rectangle of the program's size, the title bar the band of
one colour right above it, and its close button the rightmost glyph on it.

PictureDesktop gives App (session.py) the XClient operations it uses, in the
output's logical pixels, on top of a compositor that supplies
grab_physical(x, y, w, h), move(x, y), moves(points) (physical pixels),
button(n, down) and release_all() (compositor.EvdevPointer)."""

from collections import Counter

from .picture import WHITE, rgb_hex
from .scaling import CompositorView, logical_picture
from .waiting import wait_for_window

WHITE_BYTES = WHITE.to_bytes(4, "little")
# How far above the client area a title bar is looked for, in logical pixels.
BAND = 64
MIN_BAR = 12


def find_white_area(pic, width, height):
    """((x, y), detail): the top-left corner of a white area of exactly width x
    height in a screen picture, or None and what was seen instead."""
    data = pic.pixels.tobytes()
    stride = 4 * pic.width
    run = WHITE_BYTES * width
    widest = 0
    for y in range(pic.height - height + 1):
        row = data[y * stride:(y + 1) * stride]
        at = row.find(run)
        while at >= 0 and at % 4:
            at = row.find(run, at + 1)
        if at < 0:
            continue
        x = at // 4
        end = x + width
        while end < pic.width and pic.pixels[y * pic.width + end] == WHITE:
            end += 1
        widest = max(widest, end - x)
        # (The pixel left of the first run of width whites is not white.)
        if end - x != width or (y > 0 and pic.pixels[(y - 1) * pic.width + x] == WHITE):
            continue
        if all(pic.pixels[(y + k) * pic.width + x] == WHITE for k in range(height)) and (
                y + height == pic.height or pic.pixels[(y + height) * pic.width + x] != WHITE):
            return (x, y), "found"
    return None, "no white %dx%d area (widest white run %d)" % (width, height, widest)


def title_bar(band, client_width):
    """Reads a title bar off `band`, the picture of the BAND rows right above
    the client area and as wide as it. Returns (height, colour, close) with
    close the centre of the rightmost glyph in client coordinates (its y
    negative), or None and what is wrong."""
    w = band.width
    rows = [band.pixels[r * w:(r + 1) * w] for r in range(band.height)]

    def dominant(r):
        """The row's colour if one colour (not white) fills most of it."""
        c, n = Counter(rows[r]).most_common(1)[0]
        return c if n >= 0.6 * w and c != WHITE else None
    # The bar may sit on a border line or two right above the client area.
    for bottom in range(band.height - 1, max(band.height - 4, -1), -1):
        colour, top = dominant(bottom), bottom
        while colour is not None and top > 0 and dominant(top - 1) == colour:
            top -= 1
        if colour is not None and bottom - top + 1 >= MIN_BAR:
            break
    else:
        return None, "no band of one colour at least %d px high above the client area" % MIN_BAR
    inner = range(top + 2, bottom - 1)

    def marked(x):
        return [r for r in inner if rows[r][x] != colour]
    x = client_width - 3
    while x > client_width - 80 and not marked(x):
        x -= 1
    right = x
    while x > client_width - 80 and marked(x):
        x -= 1
    left = x + 1
    ys = sorted({r for gx in range(left, right + 1) for r in marked(gx)})
    if not ys or right - left < 3 or ys[-1] - ys[0] < 3:
        return None, "title bar %d px high in %s, but no button glyph at its right end" % (
            bottom - top + 1, rgb_hex(colour))
    close = ((left + right) // 2, band.oy + (ys[0] + ys[-1]) // 2)
    return (bottom - top + 1, colour, close), "found"


class PictureDesktop(CompositorView):
    """One program window found on the screen. As with ScaledXWindow, the
    client area is the logical root: (0, 0) is its top-left block, wherever
    that lies on the physical pixel grid (mutter may place a window half a
    logical pixel off it)."""

    def __init__(self, compositor):
        super().__init__(compositor, compositor)
        self.origin = self.size = self.close_button = None

    def _physical(self, x, y):
        """A quarter into the logical pixel's block, so that a compositor that
        rounds the position to a whole logical pixel (kwin) and one that does
        not (mutter) find the same."""
        s = self.scale
        return self.origin[0] + s * x + s / 4, self.origin[1] + s * y + s / 4

    def grab(self, root, x, y, width, height):
        s = self.scale
        pic = self.comp.grab_physical(self.origin[0] + s * x, self.origin[1] + s * y, s * width,
                                      s * height)
        return logical_picture(pic, s, x, y)

    def find_window(self, program, size, timeout=40):
        """Waits for the program's client area: a white area of its size."""
        s, (w, h) = self.scale, self.comp.size

        def probe():
            corner, detail = find_white_area(self.comp.grab_physical(0, 0, s * w, s * h),
                                             s * size[0], s * size[1])
            return corner is not None, corner or detail
        self.origin = wait_for_window(program.exit_code, probe, timeout,
                                      "a white %dx%d client area on the screen" % size)
        self.size = tuple(size)
        return 1

    def geometry(self, window):
        return (0, 0) + self.size

    def title_bar(self, window):
        """(ok, detail) for wait_for: the title bar and its close button."""
        top = -min(BAND, self.origin[1] // self.scale)
        found, detail = title_bar(self.grab(None, 0, top, self.size[0], -top), self.size[0])
        if found is None:
            return False, detail
        height, colour, self.close_button = found
        return True, "a title bar %d px high in %s, its close button at %s" % (
            height, rgb_hex(colour), self.close_button)

    def close_window(self, window):
        """Clicks the title bar's close button."""
        self.move(*self.close_button)
        self.button(1, True)
        self.button(1, False)
