"""The page's numbers: what a visitor downloads (gzip), how soon the first
white frame shows after the page starts loading, and how fast a long drag is
drawn."""

import gzip
import os
import statistics
import time

from kpe2e.oracle import BLACK_PEN, ExpectedCanvas
from kpe2e.waiting import wait_for

from .devtools import DevTools

PAGE_FILES = ("index.html", "page.js", "kelvane-paint.js", "kelvane-paint.wasm")
LOADS = 7
DRAGS = 3
MOVES = 1000


def transfer_sizes(site):
    sizes = {}
    for name in PAGE_FILES:
        with open(os.path.join(site, name), "rb") as f:
            sizes[name] = len(gzip.compress(f.read(), 9))
    return sizes


def first_white_frame(session, log):
    """Milliseconds from the start of the page's navigation to the first
    frame after the program's first picture reached the canvas, over fresh
    loads; the canvas must then be white."""
    times = []
    for _ in range(LOADS):
        session.driver.get("about:blank")
        session.load()
        ms = wait_for(lambda: session.driver.execute_script(
            "return kelvane.probe.firstFrame"), 10, "the first frame")
        app_ids = session.driver.execute_script("return kelvane.windowIds()")
        from .page import WebApp
        app = WebApp(session, app_ids[0])
        if app.grab().colours() != {0xFFFFFF}:
            raise AssertionError("the first frame was not white")
        times.append(ms)
    log("first white frame, ms after navigation start: %s" % ", ".join(
        "%.0f" % t for t in times))
    return times


def zigzag_rows(count, width, top):
    points, x, direction, y = [], 20, 1, top
    for i in range(count + 1):
        points.append((x, y + (5 if i % 2 else 0)))
        x += 2 * direction
        if x >= width - 20 or x <= 20:
            direction, y = -direction, y + 14
    return points


def drag_rate(session, log):
    """Moves per second of a 1000-move drag sent without waiting: from the
    first move sent to the whole line shown, checked exactly."""
    rates = []
    for _ in range(DRAGS):
        app = session.launch()
        w, h = app.client_size()
        points = zigzag_rows(MOVES, w, 20)
        canvas = ExpectedCanvas()
        app.move(*points[0])
        app.press(1)
        canvas.press(points[0])
        for p in points[1:]:
            canvas.segment(p, BLACK_PEN)
        last = ExpectedCanvas()
        last.press(points[-2])
        tail = sorted(last.segment(points[-1], BLACK_PEN))
        ox, oy = app.origin()
        with DevTools(session.driver) as devtools:
            t0 = time.monotonic()
            devtools.mouse_moves([(ox + x, oy + y) for x, y in points[1:]])
            app.wait_pixels(tail, 0, what="the last segment")
            took = time.monotonic() - t0
        app.wait_picture(canvas.clipped(w, h), what="the whole drag")
        app.move(*points[-1])  # where DevTools left the mouse, which WebDriver did not see
        app.release(1)
        rates.append(MOVES / took)
    log("1000-move drags: %s moves/s" % ", ".join("%.0f" % r for r in rates))
    return rates


def measure(session, site, log):
    sizes = transfer_sizes(site)
    frames = first_white_frame(session, log)
    rates = drag_rate(session, log)
    return {
        "transfer_bytes_gzip": sizes,
        "transfer_kb_gzip": round(sum(sizes.values()) / 1000, 1),
        "first_white_frame_ms": round(statistics.median(frames), 1),
        "first_white_frame_ms_all": [round(t, 1) for t in frames],
        "drag_moves_per_second": round(statistics.median(rates)),
        "drag_moves_per_second_all": [round(r) for r in rates],
    }
