"""How many pointer moves per second the program keeps up with, end to end:
XTEST motion events through the X server, the program's X connection, its
host, USER's queue, the window procedure's LineTo and the repaint that shows
the result. A measurement, not a test: it prints numbers and judges nothing
but the picture's exactness.

Two ways, each repeated:
- queued: the program is stopped (SIGSTOP) while N moves of a left drag are
  sent, then continued (SIGCONT); the time from SIGCONT until the last
  segment shows is how long the program needs for N moves that all wait
  for it. This is the program's own rate.
- live: N moves sent as fast as the harness can while the program runs;
  the time from the first move sent until the last segment shows. The
  sender (python-xlib) and the X server are part of it, so this is a lower
  bound of what the program keeps up with.
After each run the whole picture must be exactly the oracle's, so that no
move was merged or lost on the way (on Wine, which merges queued moves as
Windows does, the queued run reports how many moves were lost instead)."""

import statistics
import time

from .oracle import BLACK_PEN, ExpectedCanvas
from .waiting import wait_for
from .window_checks import zigzag


def _moves(count, width, height):
    """count + 1 points of a zig-zag filling the client area row by row."""
    for step in (2, 1):
        per_row = (width - 40) // step
        rows = count // per_row + 1
        gap = (height - 40) // rows
        if gap >= 8:
            points = zigzag(20, 20 + step * per_row, 20, rows, gap, step=step)
            return points[:count + 1]
    raise ValueError("%d moves do not fit into %dx%d" % (count, width, height))


def _last_segment_shown(app, canvas, points):
    last = canvas.copy()
    last.press(points[-2])
    pixels = last.segment(points[-1], BLACK_PEN)
    x0 = min(p[0] for p in pixels)
    y0 = min(p[1] for p in pixels)
    x1 = max(p[0] for p in pixels)
    y1 = max(p[1] for p in pixels)

    def probe():
        pic = app.grab(x0, y0, x1 - x0 + 1, y1 - y0 + 1)
        return all(pic.get(*p) == 0 for p in pixels)
    return probe


def one_run(session, count, queued, log):
    """Returns (seconds, moves drawn exactly?, send seconds)."""
    app = session.launch()
    try:
        w, h = app.client_size()
        points = _moves(count, w, h)
        canvas = ExpectedCanvas()
        canvas.stroke(points, BLACK_PEN)
        app.move(*points[0])
        app.press(1)
        probe = _last_segment_shown(app, canvas, points)
        if queued:
            app.program.pause()
            wait_for(app.program.stopped, 10, "the program to stop")
            t_send = time.monotonic()
            app.move_burst(points[1:])
            send = time.monotonic() - t_send
            t0 = time.monotonic()
            app.program.resume()
        else:
            t0 = time.monotonic()
            app.move_burst(points[1:])
            send = time.monotonic() - t0
        try:
            wait_for(probe, 60, "the last of %d segments" % count, interval=0.001)
            took = time.monotonic() - t0
        except AssertionError:
            took = None
        app.release(1)
        pic = app.grab()
        exact = not pic.differences(canvas.clipped(pic.width, pic.height))
        return took, exact, send
    finally:
        session.finish(app)


def measure(session, log, count=5000, repeat=3):
    """Runs both ways `repeat` times; logs every run and the medians; returns
    a one-line summary."""
    results = {}
    for queued in (True, False):
        name = "queued" if queued else "live"
        rates = []
        for i in range(repeat):
            took, exact, send = one_run(session, count, queued, log)
            if took is None:
                log("%s run %d: the last segment never showed" % (name, i + 1))
                continue
            rate = count / took
            log("%s run %d: %d moves in %.3f s = %.0f moves/s (sending took %.3f s); "
                "picture %s" % (name, i + 1, count, took, rate, send,
                                "exact" if exact else "NOT exact: moves were merged or lost"))
            if exact:
                rates.append(rate)
        results[name] = statistics.median(rates) if rates else None
    parts = ["%s %s" % (k, "%.0f moves/s" % v if v else "no exact run")
             for k, v in results.items()]
    return "%s: median of %d runs of %d moves: %s" % (
        session.target.name, repeat, count, ", ".join(parts))
