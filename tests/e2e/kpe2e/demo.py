"""Two scenarios that make pictures: the README screenshot (drawn and checked
exactly against the oracle) and the demonstration for the run command
(drawn with real input, shown, not judged)."""

import math
import time

from . import pens
from .oracle import BLACK_PEN, ExpectedCanvas
from .waiting import WaitTimeout, wait_for


def _wave(x0, x1, y, amplitude, period, step=8):
    return [(x, int(round(y + amplitude * math.sin((x - x0) * 2 * math.pi / period))))
            for x in range(x0, x1 + 1, step)]


def _spiral(cx, cy, turns, gap):
    """A square spiral of horizontal and vertical runs, growing outwards."""
    pts = [(cx, cy)]
    x, y, length = cx, cy, gap
    for i in range(turns * 4):
        dx, dy = ((1, 0), (0, 1), (-1, 0), (0, -1))[i % 4]
        x, y = x + dx * length, y + dy * length
        pts.append((x, y))
        if i % 2 == 1:
            length += gap
    return pts


def _channels(rgb):
    return [(rgb >> s) & 255 for s in (16, 8, 0)]


def _pleasant(previous):
    """A pen for the picture: wide, neither too dark nor too pale, and far
    from the colours already used."""
    def want(pen):
        c = _channels(pen.rgb)
        return pen.width >= 4 and 200 < sum(c) < 600 and max(c) - min(c) > 60 and all(
            sum(abs(a - b) for a, b in zip(c, _channels(p.rgb))) > 150 for p in previous)
    return want


def screenshot_scenario(app):
    """Black waves, then two right clicks each followed by a stroke in the new
    pen. Every segment is checked as it is drawn, and the whole picture at the
    end. Returns (picture, summary)."""
    w, h = app.client_size()
    canvas = ExpectedCanvas()
    app.draw_stroke(canvas, _wave(30, w - 30, 90, 40, 180), BLACK_PEN)
    app.draw_stroke(canvas, _wave(30, w - 30, 150, 25, 120, step=6), BLACK_PEN)
    used = []
    for stroke in (_spiral(160, 330, 4, 12),
                   [(330, 430), (330, 380), (380, 380), (380, 330), (430, 330), (430, 280),
                    (480, 280), (480, 230), (530, 230), (530, 430), (330, 430)]):
        pens.await_second(_pleasant(used), max_ahead=8)
        t_before = time.time()
        app.click(w - 20, h - 20, button=3)
        pen, _ = app.draw_stroke_after_pen_change(canvas, stroke, t_before)
        used.append(pen)
    pic = app.wait_picture(canvas.clipped(w, h), what="the finished picture")
    return pic, "black waves, then strokes in %s" % " and ".join(str(p) for p in used)


def _demo_drag(app, points, settle=0.5):
    """A left drag that waits a little for each move to show, without judging it."""
    app.move(*points[0])
    app.press(1)
    try:
        before = app.grab()
        for p in points[1:]:
            app.move(*p)
            try:
                wait_for(lambda: not app.grab().same_as(before), settle, "the move to show")
            except WaitTimeout:
                pass
            before = app.grab()
    finally:
        app.release(1)


def demo_scenario(app):
    """A black wave, a right click, a spiral in the new pen."""
    w, h = app.client_size()
    _demo_drag(app, _wave(40, max(60, w - 40), h // 4, h // 8, max(60, w // 2)))
    app.click(w // 2, h // 2, button=3)
    _demo_drag(app, _spiral(w // 2, (h * 5) // 8, 3, max(4, min(w, h) // 30)))
    return app.wait_settled()
