"""The same black-pen input on both targets, the Windows build under Wine and
the native build, and the pixels they show compared with each other directly
(not with the oracle): over the area that both client areas have, they must
be identical.

The input is paced by what each program shows: after every move that draws,
the harness waits until the pixels around the segment change, so that no two
moves reach a program as one. The strokes are chosen so that every segment
adds pixels, whatever the program's line algorithm."""

import os
import random
import time

from .checks import MIXED_STROKE, TIE_LOOP
from .oracle import BLACK_PEN, ExpectedCanvas
from .session import DRAW_TIMEOUT, Session, describe_differences
from .picture import Picture
from .waiting import wait_for


def _random_walk(seed, count, width, height, margin=3):
    """A stroke of `count` points at random inside width x height, each
    segment adding pixels to the ones before (for a pen one pixel wide)."""
    rng = random.Random(seed)
    canvas = ExpectedCanvas()
    points = [(rng.randrange(margin, width - margin), rng.randrange(margin, height - margin))]
    canvas.press(points[0])
    while len(points) < count:
        p = (rng.randrange(margin, width - margin), rng.randrange(margin, height - margin))
        trial = canvas.copy()
        if set(trial.segment(p, BLACK_PEN)) - set(canvas.pixels):
            canvas.segment(p, BLACK_PEN)
            points.append(p)
    return points


def strokes(width, height):
    """The input, as strokes (lists of client points), for a common area of
    width x height: the octant loops of the checks, the edges of the common
    area, and two random walks."""
    edge = [(0, 0), (width - 1, 0), (width - 1, height - 1), (0, height - 1), (0, 1),
            (width - 2, height - 2), (width // 2, 1)]
    return [TIE_LOOP, MIXED_STROKE, edge, _random_walk(7, 40, width, height),
            _random_walk(12345, 40, width, height)]


def _paced_stroke(app, points):
    """A left drag through points, each move waited for until the pixels
    around its segment change."""
    cw, ch = app.client_size()
    app.move(*points[0])
    app.press(1)
    try:
        for a, b in zip(points, points[1:]):
            x0, y0 = max(min(a[0], b[0]) - 1, 0), max(min(a[1], b[1]) - 1, 0)
            x1, y1 = min(max(a[0], b[0]) + 1, cw - 1), min(max(a[1], b[1]) + 1, ch - 1)
            box = (x0, y0, x1 - x0 + 1, y1 - y0 + 1)
            before = app.grab(*box)
            app.move(*b)
            wait_for(lambda: not app.grab(*box).same_as(before), DRAW_TIMEOUT,
                     "the segment %s-%s to show" % (a, b))
    finally:
        app.release(1)


def draw_on(target, log, width, height):
    """Starts the program of `target` on its own Xvfb, draws the strokes and
    returns the width x height top-left part of its client area."""
    with Session(target, log) as session:
        target.log_label = "across"
        app = session.launch()
        try:
            cw, ch = app.client_size()
            if cw < width or ch < height:
                raise AssertionError("%s client area %dx%d is smaller than %dx%d"
                                     % (target.name, cw, ch, width, height))
            for stroke in strokes(width, height):
                _paced_stroke(app, stroke)
            pic = app.wait_settled(width, height, quiet=0.3)
        finally:
            session.finish(app)
    if session.problems:
        raise AssertionError("%s: %s" % (target.name, "; ".join(session.problems)))
    return pic


def diff_picture(a, b):
    """White where a and b agree, red where they differ."""
    out = Picture.blank(a.width, a.height)
    for i, (p, q) in enumerate(zip(a.pixels, b.pixels)):
        if p != q:
            out.pixels[i] = 0xFF0000
    return out


def compare(targets, log, work_dir):
    """Runs the input on each target in turn; returns (ok, summary)."""
    width = min(t.client_size[0] for t in targets)
    height = min(t.client_size[1] for t in targets)
    pictures = []
    for t in targets:
        t0 = time.monotonic()
        pic = draw_on(t, log, width, height)
        log("%s drew %d non-white pixels in %.1f s" % (t.name, len(pic.non_white()),
                                                         time.monotonic() - t0))
        pic.to_png(os.path.join(work_dir, "across-%s.png" % t.name))
        pictures.append(pic)
    a, b = pictures
    if not a.non_white():
        return False, "%s drew nothing" % targets[0].name
    diffs = a.differences(b)
    if diffs:
        diff_picture(a, b).to_png(os.path.join(work_dir, "across-diff.png"))
        return False, "%s and %s differ over the common %dx%d: %s (pictures in %s)" % (
            targets[0].name, targets[1].name, width, height, describe_differences(diffs),
            work_dir)
    return True, "%s and %s show the same %d black pixels over the common %dx%d" % (
        targets[0].name, targets[1].name, len(a.non_white()), width, height)

