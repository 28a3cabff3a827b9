"""A program window seen at an integer scale: the program draws in logical
pixels, the screen shows each of them as an s x s block of physical pixels.

The views here give App (session.py) the logical picture and take logical
pointer positions, so that the same strokes and the same oracle serve every
scale: a grab reads the physical pixels and keeps one pixel a block, and a
block that is not one colour reads as MIXED, which no expected colour equals,
so that a waiting check goes on waiting and a failing one names the block."""

from array import array

from .picture import Picture

# The reading of a block whose s x s physical pixels differ: not an RGB value.
MIXED = 0xFF000000


def logical_picture(physical, scale, ox=0, oy=0):
    """The Picture of the blocks of a physical Picture (its size a multiple
    of scale), one pixel a block: the block's colour, or MIXED."""
    if scale == 1:
        return Picture(physical.width, physical.height, physical.pixels, ox, oy)
    pw, s = physical.width, scale
    w, h = physical.width // s, physical.height // s
    pixels = physical.pixels
    out = array("I")
    for y in range(h):
        rows = [pixels[(y * s + k) * pw:(y * s + k) * pw + w * s] for k in range(s)]
        first = rows[0][0::s]
        if all(row[j::s] == first for row in rows for j in range(s)):
            out.extend(first)
            continue
        for x in range(w):
            block = {row[x * s + j] for row in rows for j in range(s)}
            out.append(first[x] if len(block) == 1 else MIXED)
    return Picture(w, h, out, ox, oy)


class ScaledXWindow:
    """One X window whose client area shows the program at scale s, with the
    XClient operations that App uses in logical coordinates: the window's
    client area is the logical root, (0, 0) its top-left block."""

    def __init__(self, x, window, scale):
        self.x = x
        self.window = window
        self.scale = scale
        self.root = x.root

    def __getattr__(self, name):
        # Keys, buttons, closing, window states: as on the X server.
        return getattr(self.x, name)

    def physical_size(self):
        _, _, w, h = self.x.geometry(self.window)
        return w, h

    def geometry(self, win):
        w, h = self.physical_size()
        return 0, 0, w // self.scale, h // self.scale

    def _origin(self):
        x, y, _, _ = self.x.geometry(self.window)
        return x, y

    def grab(self, root, x, y, width, height):
        ox, oy = self._origin()
        s = self.scale
        physical = self.x.grab(self.x.root, ox + s * x, oy + s * y, s * width, s * height)
        return logical_picture(physical, s, x, y)

    def _physical_point(self, x, y, origin=None):
        ox, oy = origin or self._origin()
        # The centre of the block, so that rounding either way finds it.
        return ox + self.scale * x + self.scale // 2, oy + self.scale * y + self.scale // 2

    def move(self, x, y):
        self.x.move(*self._physical_point(x, y))

    def move_burst(self, points):
        origin = self._origin()
        self.x.move_burst([self._physical_point(x, y, origin) for x, y in points])

    def pointer(self):
        px, py = self.x.pointer()
        ox, oy = self._origin()
        return (px - ox) // self.scale, (py - oy) // self.scale

    def resize(self, win, width, height):
        self.x.resize(win, width * self.scale, height * self.scale)


class CompositorView:
    """The XClient operations of App on a Wayland compositor's output, in
    logical pixels: a subclass places them on the physical grid
    (_physical(x, y)); `pointer` moves and presses in physical pixels."""

    root = None

    def __init__(self, compositor, pointer):
        self.comp, self.pointer, self.scale = compositor, pointer, compositor.scale

    def move(self, x, y):
        self.pointer.move(*self._physical(x, y))

    def move_burst(self, points):
        self.pointer.moves([self._physical(x, y) for x, y in points])

    def button(self, number, down):
        self.pointer.button(number, down)

    def key(self, keysym_name, down):
        raise RuntimeError("the harness sends no keys on Wayland")

    def release_all(self):
        self.pointer.release_all()


class ViewSession:
    """What App needs of a session, with a view standing in for the X client."""

    def __init__(self, target, view):
        self.x = view
        self.target = target
