"""Checks of the window as a desktop program: input that queues up faster
than the program reads it, a drag that leaves the client area and comes back,
minimizing and restoring as a window manager does it, Alt+F4, and the window
class that the desktop entry names. Registered in the same table as the
checks in checks.py."""

import os
import time

from .checks import NotApplicable, _draw_picture_for_repaint, check, expect, expect_picture
from .oracle import BLACK_PEN, ExpectedCanvas
from .picture import WHITE
from .waiting import wait_for

DESKTOP_ENTRY = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "..",
                             "packaging", "kelvane-paint.desktop")


def zigzag(x0, x1, y, rows, row_gap, step=2, amplitude=6):
    """Rows of a zig-zag, left to right, then right to left one row lower:
    every point is a corner, so a point left out changes the line."""
    points = []
    for r in range(rows):
        xs = range(x0, x1, step) if r % 2 == 0 else range(x1, x0, -step)
        base = y + r * row_gap
        points += [(x, base + (amplitude if i % 2 else 0)) for i, x in enumerate(xs)]
    return points


def _expect_every_point_counts(points, pen):
    """Scenario sanity: leaving out any one point would change the picture, so
    an exact picture proves that no move was merged or dropped."""
    full = ExpectedCanvas()
    full.stroke(points, pen)
    for i in range(1, len(points) - 1):
        if points[i] not in full.pixels:
            raise ValueError("scenario error: point %d %s is not drawn" % (i, points[i]))
        without = ExpectedCanvas()
        without.stroke(points[:i] + points[i + 1:], pen)
        if without.pixels == full.pixels:
            raise ValueError("scenario error: point %d %s can be left out unseen"
                             % (i, points[i]))


def _wait_stopped(program, stopped):
    wait_for(lambda: program.stopped() == stopped, 10,
             "the program to be %s" % ("stopped" if stopped else "running again"))


def _drag_while_stopped(app, canvas, points):
    """A left drag through points whose moves after the first queue up: the
    first segment shows (so the press was handled), then the program is
    stopped, the other moves are sent, and it is continued. canvas gets every
    segment; drawing them is the program's business after this returns."""
    app.move(*points[0])
    app.press(1)
    canvas.press(points[0])
    app.move(*points[1])
    app.wait_pixels(canvas.segment(points[1], BLACK_PEN), 0)
    app.program.pause()
    try:
        _wait_stopped(app.program, True)
        app.move_burst(points[2:])
    finally:
        app.program.resume()
    for p in points[2:]:
        canvas.segment(p, BLACK_PEN)


def _burst_drag(app, canvas, points):
    """A left drag through points, every move after the first sent at once:
    the picture must show each of them (returned)."""
    app.move(*points[0])
    app.press(1)
    canvas.press(points[0])
    for p in points[1:]:
        canvas.segment(p, BLACK_PEN)
    app.move_burst(points[1:])
    try:
        return expect_picture(app, canvas, "the zig-zag of %d moves sent in a burst"
                              % (len(points) - 1))
    finally:
        app.release(1)


@check("fast_drag_keeps_every_move")
def fast_drag_keeps_every_move(session):
    """Hundreds of moves sent while the program is stopped (SIGSTOP), so that
    all of them wait in its X connection when it goes on (SIGCONT); then
    hundreds more sent as fast as possible while it runs. The line must go
    through every point: no move merged, none dropped."""
    if not session.target.keeps_every_queued_move:
        raise NotApplicable("%s merges mouse moves that queue up, as Windows does (seen: "
                            "518 moves queued while stopped drew a handful of segments)"
                            % session.target.name)
    app = session.launch()
    try:
        queued = zigzag(30, 550, 40, 2, 60)
        running = zigzag(30, 550, 220, 2, 60)
        for points in (queued, running):
            _expect_every_point_counts(points, BLACK_PEN)
        canvas = ExpectedCanvas()
        _drag_while_stopped(app, canvas, queued)
        t0 = time.monotonic()
        _wait_stopped(app.program, False)
        pic = expect_picture(app, canvas, "the zig-zag of %d queued moves" % (len(queued) - 2))
        queued_took = time.monotonic() - t0
        app.release(1)

        t0 = time.monotonic()
        pic = _burst_drag(app, canvas, running)
        running_took = time.monotonic() - t0
        corners = [p for p in queued[:-1] + running[:-1] if pic.get(*p) != 0]
        expect(not corners, "points not on the line: %s" % corners[:5])
        return ("%d moves queued while stopped: all drawn exactly, shown %.2f s after SIGCONT; "
                "%d moves sent in a burst: all drawn exactly in %.2f s" % (
                    len(queued) - 2, queued_took, len(running) - 1, running_took))
    finally:
        session.finish(app)


@check("long_queued_drag")
def long_queued_drag(session):
    """12000 moves of a left drag queued while the program is stopped: more
    than USER's message queue holds (8192), so the host must hand them over
    in parts. The picture must be exactly the zig-zag through all of them."""
    if not session.target.keeps_every_queued_move:
        raise NotApplicable("%s merges mouse moves that queue up, as Windows does"
                            % session.target.name)
    app = session.launch()
    try:
        w, h = app.client_size()
        points = zigzag(20, w - 20, 20, 24, (h - 40) // 24, step=1)[:12001]
        expect(len(points) == 12001, "scenario error: %d points" % len(points))
        canvas = ExpectedCanvas()
        _drag_while_stopped(app, canvas, points)
        t0 = time.monotonic()
        expect_picture(app, canvas, "the zig-zag of %d queued moves" % (len(points) - 2))
        return "%d moves queued while stopped: all drawn exactly, shown %.2f s after SIGCONT" % (
            len(points) - 2, time.monotonic() - t0)
    finally:
        session.finish(app)


@check("drag_out_and_back")
def drag_out_and_back(session):
    """The window does not capture the mouse: moves outside the client area
    with the button held draw nothing, and coming back with it still held
    draws one straight segment from the last point inside to the point of
    re-entry. Released outside, the drag is over."""
    app = session.launch()
    try:
        w, h = app.client_size()
        canvas = ExpectedCanvas()
        start, inside, back, on = (w - 120, 200), (w - 30, 220), (w - 60, 100), (w - 150, 90)
        app.move(*start)
        app.press(1)
        canvas.press(start)
        try:
            app.move(*inside)
            app.wait_pixels(canvas.segment(inside, BLACK_PEN), 0)
            # Out through the right edge, around, over the top and back in.
            # Nothing may show for these; the re-entry segment that must show
            # next proves that they were handled.
            for p in ((w + 5, 230), (w + 40, 300), (w + 40, 60), (w - 20, -15), (w - 50, -30)):
                app.move(*p)
            app.move(*back)
            app.wait_pixels(canvas.segment(back, BLACK_PEN), 0,
                            what="the segment from the last point inside to the re-entry")
            app.move(*on)
            app.wait_pixels(canvas.segment(on, BLACK_PEN), 0)
            # Out again, released there: back inside the button is up.
            app.move(w + 30, 90)
        finally:
            app.release(1)
        for p in ((w - 40, 300), (w - 200, 330)):
            app.move(*p)
        # A drag that must draw shows that the moves before it were handled.
        app.draw_stroke(canvas, [(60, 400), (200, 420)], BLACK_PEN)
        expect_picture(app, canvas, "strokes without any segment drawn from outside")
        return "no segment outside; re-entry drew one segment from %s to %s; after a release " \
               "outside, moves drew nothing" % (inside, back)
    finally:
        session.finish(app)


@check("picture_survives_minimize")
def picture_survives_minimize(session):
    """Minimized the way a window manager does it (WM_STATE iconic,
    _NET_WM_STATE_HIDDEN, unmapped) and restored: the picture comes back, and
    the window still draws where the pointer is."""
    app = session.launch()
    try:
        canvas, picture = _draw_picture_for_repaint(app)
        size = app.client_size()
        for round_ in range(2):
            session.x.iconify(app.window)
            wait_for(lambda: session.x.map_state(app.window) == 0, 10,
                     "the window to be unmapped")  # IsUnmapped
            session.x.deiconify(app.window)
            wait_for(lambda: session.x.map_state(app.window) == 2, 10,
                     "the window to be mapped again")  # IsViewable
            wait_for(lambda: (app.client_size() == size, "%dx%d" % app.client_size()), 10,
                     "the client area to be %dx%d again" % size)
            app.wait_picture(picture, what="the picture after restoring (round %d)" % round_)
        app.draw_stroke(canvas, [(300, 420), (420, 440), (500, 400)], BLACK_PEN)
        expect_picture(app, canvas, "the picture with a stroke drawn after restoring")
        return "picture of %d pixels came back after two minimize/restore rounds; " \
               "drawing goes on" % len(canvas.pixels)
    finally:
        session.finish(app)


@check("picture_survives_maximize")
def picture_survives_maximize(session):
    """Maximized and restored the way a window manager does it: the maximized
    window shows the whole picture where it was (the canvas has the screen's
    size) with white around it, takes strokes anywhere, and shows them all
    again when restored to its old size."""
    app = session.launch()
    try:
        canvas, picture = _draw_picture_for_repaint(app)
        x, y, ww, wh = session.x.geometry(app.window)
        size = app.client_size()
        screen = session.x.screen
        big_w, big_h = screen.width_in_pixels, screen.height_in_pixels - 40
        session.x.maximize(app.window, big_w, big_h)
        left, top, right, bottom = app.frame
        want = (big_w - left - right, big_h - top - bottom)
        wait_for(lambda: (app.client_size() == want, "%dx%d" % app.client_size()), 10,
                 "the client area to become %dx%d" % want)
        app.wait_picture(canvas.clipped(*want), what="the picture in the maximized window")
        far = [(want[0] - 200, want[1] - 30), (want[0] - 20, want[1] - 150), (size[0] + 30, 40)]
        app.draw_stroke(canvas, far, BLACK_PEN)
        expect_picture(app, canvas, "the picture with a stroke beyond the old size")
        session.x.unmaximize(app.window, x, y, ww, wh)
        wait_for(lambda: (app.client_size() == size, "%dx%d" % app.client_size()), 10,
                 "the client area to be %dx%d again" % size)
        expect_picture(app, canvas, "the picture after restoring")
        session.x.maximize(app.window, big_w, big_h)
        wait_for(lambda: app.client_size() == want, 10, "the client area to grow again")
        expect_picture(app, canvas, "the whole picture, maximized again")
        return "maximized to %dx%d and back to %dx%d twice: the picture of %d pixels came back " \
               "each time" % (want[0], want[1], size[0], size[1], len(canvas.pixels))
    finally:
        session.finish(app)


@check("alt_f4_closes")
def alt_f4_closes(session):
    """Alt+F4 over the window, with no window manager to take it, closes the
    window as on Windows: the process ends with code 0."""
    app = session.launch()
    try:
        canvas = ExpectedCanvas()
        app.draw_stroke(canvas, [(100, 100), (200, 120)], BLACK_PEN)
        app.move(150, 200)  # keyboard focus follows the pointer without a window manager
        t0 = time.monotonic()
        session.x.key("Alt_L", True)
        session.x.key("F4", True)
        session.x.key("F4", False)
        session.x.key("Alt_L", False)
        code = app.program.wait(15)
        expect(code is not None, "the process did not end after Alt+F4")
        expect(code == 0, "exit code %d, expected 0" % code)
        wait_for(lambda: not session.x.top_level_windows(), 5, "the window to go away")
        return "Alt+F4 ended the process in %.2f s with exit code 0" % (time.monotonic() - t0)
    finally:
        session.finish(app)


def _desktop_entry_value(key):
    with open(DESKTOP_ENTRY, encoding="utf-8") as f:
        for line in f:
            if line.startswith(key + "="):
                return line.split("=", 1)[1].strip()
    return None


@check("wm_class_matches_desktop_entry")
def wm_class_matches_desktop_entry(session):
    """The window's X11 WM_CLASS is what the desktop entry's StartupWMClass
    names, so that desktops put the window under the entry's icon."""
    if session.target.wm_class is None:
        raise NotApplicable("the %s window's class is not the program's own"
                            % session.target.name)
    app = session.launch()
    try:
        wanted = _desktop_entry_value("StartupWMClass")
        expect(wanted is not None, "no StartupWMClass in %s" % DESKTOP_ENTRY)
        got = session.x.wm_class(app.window)
        expect(got is not None, "the window has no WM_CLASS")
        expect(tuple(got) == session.target.wm_class and got[1] == wanted,
               "WM_CLASS %r, the desktop entry names %r" % (got, wanted))
        pic = app.grab()
        expect(pic.colours() == {WHITE}, "client area not all white")
        return "WM_CLASS %r matches StartupWMClass=%s" % (tuple(got), wanted)
    finally:
        session.finish(app)
