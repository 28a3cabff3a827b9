"""What the real-display benchmark's runs share on every display: the drag
(its points and end checks), the checks that a program drew where it should,
the per-move sums of a drag's CPU times, and logging."""

import sys

from kpe2e.oracle import BLACK_PEN, ExpectedCanvas
from kpe2e.picture import WHITE
from kpe2e.waiting import wait_for

# The drag: rows of a zig-zag, 3 px right (or left) and 2 px up or down per
# move, rows 6 px apart, from the top-left of the client area: 2000 moves take
# 11 rows, 543 x 68 pixels.
STEP, AMPLITUDE, ROW_GAP, LEFT, ROW_WIDTH, TOP = 3, 2, 6, 20, 543, 16


def comm(pid):
    try:
        with open("/proc/%d/comm" % pid) as f:
            return f.read().strip()
    except OSError:
        return ""


def log(msg):
    print(msg, file=sys.stderr, flush=True)


def drag_points(moves):
    """moves + 1 points (the first is the press) in client coordinates."""
    per_row = ROW_WIDTH // STEP
    points = []
    for r in range(moves // per_row + 1):
        xs = [LEFT + STEP * i for i in range(per_row + 1)]
        if r % 2:
            xs.reverse()
        base = TOP + r * ROW_GAP
        points += [(x, base + (AMPLITUDE if i % 2 else 0)) for i, x in enumerate(xs)]
    return points[:moves + 1]


def neighbours(p):
    return [(p[0] + dx, p[1] + dy) for dy in (-1, 0, 1) for dx in (-1, 0, 1) if dx or dy]


def wait_white(view, box, what="the client area"):
    """Waits for the rectangle box (x, y, width, height) of the screen to be
    white; view is an XClient or a SwayDesktop."""
    def white():
        colours = view.grab(view.root, *box).colours()
        return colours == {WHITE}, "colours %s" % sorted(colours)[:4]
    wait_for(white, 30, "%s to be painted white" % what)


def corner_stroke(view, cx, cy, cw, ch):
    """A stroke in the far corner of the client area (cx, cy, cw, ch) must
    show: the program draws everywhere in it (its size is really this), and
    the first-stroke costs are paid before measuring. Each segment is awaited
    before the next move (Wine merges moves that queue up)."""
    # A window just made larger may show its far corner painted a moment
    # after the rest.
    wait_white(view, (cx + cw - 61, cy + ch - 51, 51, 41), "the corner of the client area")
    stroke = [(cw - 60, ch - 12), (cw - 12, ch - 12), (cw - 12, ch - 50)]
    canvas = ExpectedCanvas()
    canvas.press(stroke[0])
    view.move(cx + stroke[0][0], cy + stroke[0][1])
    view.button(1, True)
    try:
        for p in stroke[1:]:
            pixels = sorted(canvas.segment(p, BLACK_PEN))
            view.move(cx + p[0], cy + p[1])

            def shown():
                pic = view.grab(view.root, cx + cw - 60, cy + ch - 50, 49, 39)
                missing = [q for q in pixels if pic.get(cx + q[0], cy + q[1]) != 0]
                return not missing, "%d of %d pixels missing" % (len(missing), len(pixels))
            wait_for(shown, 20, "a segment in the corner of %dx%d" % (cw, ch))
    finally:
        view.button(1, False)


def missing_moves(points, is_black):
    """The moves of a drag (1 ... len(points) - 2) that do not show in the
    picture, is_black(x, y) telling the drawn pixels. A segment's first pixel
    is its start point, so point i shows once move i + 1 is drawn; a program
    that drops move i draws from an earlier point to a later one instead, and
    on the drag's zig-zag that line misses point i when one or two moves in
    a row are dropped, and most points of a longer run. (The last move is
    the pacer's end check.)"""
    return [i for i in range(1, len(points) - 1) if not is_black(*points[i])]


def process_us(p, tick_us, precise):
    """A process's CPU µs over a drag. utime + stime come in clock ticks
    (10 ms: 5 µs a move over 2000 moves, as much as a floor program spends);
    precise takes the threads' run time in ns (schedstat) instead, unless
    it falls short of the ticks by more than one: then threads that ran
    during the drag had ended before the last reading, and the ticks count
    them."""
    if precise and "schedstat_us" in p and p["schedstat_us"] >= p["us"] - tick_us:
        return p["schedstat_us"]
    return p["us"]


def summarize_drag(d, precise=False):
    """µs per move of each side from kp-drag's output: the program, the
    display server (X server; compositor and Xwayland), their sum, and apart
    the input processes (wayvnc)."""
    moves = d["moves"]
    tick_us = 1e6 / d.get("clk_tck", 100)

    def side(role):
        return sum(process_us(p, tick_us, precise) for p in d["processes"]
                   if p["role"] == role) / moves
    writes = sum(p.get("writes", 0) for p in d["processes"] if p["role"] == "program")
    return {"program": side("program"), "server": side("server"),
            "sum": side("program") + side("server"), "input": side("input"),
            "writes": writes / moves}
