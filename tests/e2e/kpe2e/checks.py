"""The end-to-end checks. Each starts its own instance of the program, drives
it with real X input and compares the pixels it shows with the oracle.

A check returns a one-line summary of what it saw and raises AssertionError
(or WaitTimeout) when the program misbehaves."""

import time

from . import pens
from .oracle import BLACK_PEN, ExpectedCanvas
from .picture import WHITE
from .driving import describe_differences
from .waiting import wait_for

CHECKS = {}


def check(name):
    def register(fn):
        CHECKS[name] = fn
        fn.check_name = name
        return fn
    return register


class NotApplicable(Exception):
    """The check does not apply to this target (reported as skipped)."""


def expect(condition, message):
    if not condition:
        raise AssertionError(message)


def expect_picture(app, canvas, what):
    """Waits for the whole client area to show the canvas, then insists."""
    w, h = app.client_size()
    return app.wait_picture(canvas.clipped(w, h), what=what)


def shifted(points, dx, dy=0):
    return [(x + dx, y + dy) for x, y in points]


# Strokes through every octant. TIE_LOOP uses slopes 1/2 and 2, where the
# rounding rule decides between two equally near pixels; MIXED_STROKE has
# other slopes, exact diagonals and horizontal and vertical runs in both
# directions.
TIE_LOOP = [(120, 60), (160, 80), (180, 120), (160, 160), (120, 180), (80, 160), (60, 120),
            (80, 80), (116, 62)]
MIXED_STROKE = [(300, 200), (370, 223), (383, 280), (338, 311), (272, 294), (261, 244),
                (298, 185), (388, 178), (428, 218), (468, 178), (468, 260), (430, 298),
                (400, 268), (400, 230), (330, 230)]
# A zig-zag of horizontal and vertical runs: exact for a pen of any width.
ZIGZAG = [(60, 60), (200, 60), (200, 140), (80, 140), (80, 220), (220, 220)]


@check("window_maps_white")
def window_maps_white(session):
    app = session.launch(wait_white=False)
    try:
        want = session.target.client_size
        wait_for(lambda: (app.client_size() == want, "%dx%d" % app.client_size()), 10,
                 "the client area to be %dx%d" % want)
        app.wait_white()
        windows = session.x.top_level_windows()
        expect(len(windows) == 1, "%d windows titled Kelvane Paint" % len(windows))
        pic = app.grab()
        expect(pic.colours() == {WHITE}, "client area not all white")
        x, y = app.origin()
        return "window %r maps, client area %dx%d at (%d,%d), all white" % (
            session.x.window_name(app.window), pic.width, pic.height, x, y)
    finally:
        session.finish(app)


@check("left_drag_draws_segments")
def left_drag_draws_segments(session):
    app = session.launch()
    try:
        canvas = ExpectedCanvas()
        for points in (TIE_LOOP, MIXED_STROKE):
            app.draw_stroke(canvas, points, BLACK_PEN)
            last = points[-1]
            expect(last not in canvas.pixels, "scenario error: the final point is on the path")
        pic = expect_picture(app, canvas, "the two black strokes")
        for points in (TIE_LOOP, MIXED_STROKE):
            expect(pic.get(*points[0]) == 0, "the start point %s is not black" % (points[0],))
            expect(pic.get(*points[-1]) == WHITE,
                   "the final point %s is coloured" % (points[-1],))
        return "%d segments, %d black pixels exactly as computed; both final points white" % (
            len(TIE_LOOP) + len(MIXED_STROKE) - 2, len(canvas.pixels))
    finally:
        session.finish(app)


@check("click_without_motion_draws_nothing")
def click_without_motion_draws_nothing(session):
    app = session.launch()
    try:
        canvas = ExpectedCanvas()
        # With the initial pen: a click, a double click and a long press.
        app.click(450, 60)
        app.click(500, 60)
        app.click(500, 60)
        app.move(550, 60)
        app.press(1)
        time.sleep(0.2)
        app.release(1)
        # The stroke shows that the clicks before it have been handled.
        app.draw_stroke(canvas, [(450, 120), (550, 120)], BLACK_PEN)
        expect_picture(app, canvas, "only the stroke after the black-pen clicks")

        # With a wide pen, whose caps would show a click as a dot.
        pens.await_second(pens.wide)
        t_before = time.time()
        app.click(520, 400, button=3)
        app.click(450, 200)
        app.click(500, 200)
        app.click(500, 200)
        pen, _ = app.draw_stroke_after_pen_change(canvas, [(450, 280), (550, 280), (550, 330)],
                                                  t_before)
        expect_picture(app, canvas, "only the two strokes after the clicks")
        return "no mark from 4 clicks with the black pen nor 3 with %s" % (pen,)
    finally:
        session.finish(app)


def _idle_drag_check(session, buttons, keys, label):
    app = session.launch()
    try:
        canvas = ExpectedCanvas()
        t_before = time.time()
        app.idle_drag(ZIGZAG, buttons=buttons, keys=keys)
        # The same drag with the left button alone, further right: it must
        # draw, and once it shows, the drag before it has been handled.
        control = shifted(ZIGZAG, 300)
        if 3 in buttons:
            pen, _ = app.draw_stroke_after_pen_change(canvas, control, t_before)
        else:
            pen = BLACK_PEN
            app.draw_stroke(canvas, control, pen)
        marks = app.grab(0, 0, 260, None).non_white()
        expect(not marks, "the %s drag drew %d pixels, e.g. %s"
               % (label, len(marks), sorted(marks)[:5]))
        expect_picture(app, canvas, "only the control stroke")
        return "%s drag drew nothing; the same drag with the left button alone drew %d pixels " \
               "in %s" % (label, len(canvas.pixels), pen)
    finally:
        session.finish(app)


@check("shift_drag_draws_nothing")
def shift_drag_draws_nothing(session):
    return _idle_drag_check(session, (1,), ("Shift_L",), "Shift+left")


@check("ctrl_drag_draws_nothing")
def ctrl_drag_draws_nothing(session):
    return _idle_drag_check(session, (1,), ("Control_L",), "Ctrl+left")


@check("right_button_drag_draws_nothing")
def right_button_drag_draws_nothing(session):
    return _idle_drag_check(session, (1, 3), (), "left+right button")


@check("middle_button_drag_draws_nothing")
def middle_button_drag_draws_nothing(session):
    return _idle_drag_check(session, (1, 2), (), "left+middle button")


@check("x1_button_drag_draws_nothing")
def x1_button_drag_draws_nothing(session):
    # X button 8 is the first extra button (back, MK_XBUTTON1).
    return _idle_drag_check(session, (1, 8), (), "left+X1 button")


@check("x2_button_drag_draws_nothing")
def x2_button_drag_draws_nothing(session):
    # X button 9 is the second extra button (forward, MK_XBUTTON2).
    return _idle_drag_check(session, (1, 9), (), "left+X2 button")


@check("right_click_changes_pen")
def right_click_changes_pen(session):
    app = session.launch()
    try:
        canvas = ExpectedCanvas()
        app.draw_stroke(canvas, MIXED_STROKE, BLACK_PEN)
        seen = []
        # First a wide pen, then (if the clock offers one soon) a one-pixel
        # pen; each stroke's pen is the one of its click's second.
        for want, stroke in ((pens.wide, [(40, 40), (200, 40), (200, 150), (60, 150)]),
                             (pens.cosmetic, [(60, 380), (240, 380), (240, 440), (100, 440)])):
            second = pens.await_second(want, max_ahead=8)
            t_before = time.time()
            app.click(520, 440, button=3)
            pen, candidates = app.draw_stroke_after_pen_change(canvas, stroke, t_before)
            matched = [s for s, p in candidates.items() if p == pen]
            seen.append("second %s -> %s" % ("/".join(map(str, matched)), pen))
            expect(second in candidates, "clock skew: second %d not among %s"
                   % (second, sorted(candidates)))
        expect_picture(app, canvas, "the black stroke and the two coloured strokes")
        return "; ".join(seen) + "; the black stroke kept its pen"
    finally:
        session.finish(app)


@check("right_click_during_drag")
def right_click_during_drag(session):
    app = session.launch()
    try:
        canvas = ExpectedCanvas()
        start, bend, corner = (80, 300), (160, 260), (240, 300)
        # Choose the second first: the left button is not held while waiting.
        pens.await_second(pens.wide)
        t_before = time.time()
        app.move(*start)
        app.press(1)
        canvas.press(start)
        for p in (bend, corner):
            pixels = canvas.segment(p, BLACK_PEN)
            app.move(*p)
            app.wait_pixels(pixels, 0)
        # Right button down in the middle of the drag: the pen changes, and
        # moves while both buttons are held draw nothing.
        app.press(3)
        for p in ((260, 200), (300, 220)):
            time.sleep(0.03)
            app.move(*p)
        time.sleep(0.03)
        app.release(3)
        # The left button is still down: the stroke goes on from the corner,
        # the last point drawn to, in the new pen.
        pen, _ = app.draw_stroke_after_pen_change(canvas, [corner, (360, 300), (360, 400)],
                                                  t_before, press=False)
        expect_picture(app, canvas, "black segments, then segments in the new pen")
        return "segments before the right click stayed black, later ones in %s" % (pen,)
    finally:
        session.finish(app)


def _draw_picture_for_repaint(app):
    w, h = app.client_size()
    canvas = ExpectedCanvas()
    app.draw_stroke(canvas, TIE_LOOP, BLACK_PEN)
    app.draw_stroke(canvas, MIXED_STROKE, BLACK_PEN)
    # One stroke along the edges of the client area.
    app.draw_stroke(canvas, [(2, 2), (w - 3, 2), (w - 3, h - 3), (2, h - 3), (2, 10),
                             (w - 20, h - 20)], BLACK_PEN)
    return canvas, expect_picture(app, canvas, "the picture to repaint")


@check("picture_survives_cover")
def picture_survives_cover(session):
    app = session.launch()
    try:
        canvas, picture = _draw_picture_for_repaint(app)
        ox, oy = app.origin()
        w, h = app.client_size()
        colour = 0x2060A0
        rounds = []
        for (x, y, cw, ch) in ((ox + 100, oy + 50, 250, 250),
                               (ox + w - 150, oy + h - 120, 300, 300),
                               (0, 0, ox + w + 50, oy + h + 50)):
            cover = session.x.cover(x, y, cw, ch, colour)
            try:
                # The covered part must really show the cover before it goes.
                vx, vy = max(x - ox, 0), max(y - oy, 0)
                vw, vh = min(x + cw - ox, w) - vx, min(y + ch - oy, h) - vy

                def covered():
                    part = app.grab(vx, vy, vw, vh)
                    return part.colours() == {colour}
                wait_for(covered, 10, "the cover window to show")
            finally:
                session.x.destroy(cover)
            app.wait_picture(picture, what="the picture after uncovering %dx%d+%d+%d"
                             % (cw, ch, x, y))
            rounds.append("%dx%d" % (vw, vh))
        return "picture of %d pixels came back exactly after covers of %s" % (
            len(canvas.pixels), ", ".join(rounds))
    finally:
        session.finish(app)


@check("picture_survives_resize")
def picture_survives_resize(session):
    app = session.launch()
    try:
        canvas, picture = _draw_picture_for_repaint(app)
        w, h = app.client_size()
        steps = []

        def resize(nw, nh):
            app.resize_client(nw, nh)
            wait_for(lambda: (app.client_size() == (nw, nh), "%dx%d" % app.client_size()), 10,
                     "the client area to become %dx%d" % (nw, nh))
            steps.append("%dx%d" % (nw, nh))

        # Each enlargement grows one side at a time, so that the area to
        # repaint is a strip that does not start at the client's origin.
        resize(200, 150)
        app.wait_picture(canvas.clipped(200, 150), what="the top-left corner of the picture")
        resize(w, 150)
        app.wait_picture(canvas.clipped(w, 150), what="the top strip after widening")
        resize(w, h)
        app.wait_picture(picture, what="the whole picture after enlarging again")
        # A stroke drawn while the window is large must come back when the
        # window is made small and large again.
        big_w, big_h = w + 160, h + 120
        resize(big_w, h)
        resize(big_w, big_h)
        app.wait_picture(canvas.clipped(big_w, big_h), what="the picture in the larger window")
        app.draw_stroke(canvas, [(w - 40, h - 40), (big_w - 10, h - 40), (big_w - 10, big_h - 10),
                                 (w + 20, big_h - 30)], BLACK_PEN)
        large = expect_picture(app, canvas, "the picture with the stroke near the new edges")
        resize(w, h)
        app.wait_picture(canvas.clipped(w, h), what="the picture shrunk back")
        resize(w, big_h)
        app.wait_picture(canvas.clipped(w, big_h), what="the bottom strip after heightening")
        resize(big_w, big_h)
        back = app.wait_picture(large, what="the stroke near the far edges after enlarging")
        expect(back.same_as(large), "picture differs")
        return "picture came back exactly through sizes %s" % " -> ".join(steps)
    finally:
        session.finish(app)


@check("close_exits_zero")
def close_exits_zero(session):
    app = session.launch()
    try:
        canvas = ExpectedCanvas()
        app.draw_stroke(canvas, ZIGZAG, BLACK_PEN)
        t0 = time.monotonic()
        code = app.close()
        expect(code is not None, "the process did not end after WM_DELETE_WINDOW")
        took = time.monotonic() - t0
        expect(code == 0, "exit code %d, expected 0" % code)
        wait_for(lambda: not session.x.top_level_windows(), 5, "the window to go away")
        return "WM_DELETE_WINDOW ended the process in %.2f s with exit code 0" % took
    finally:
        session.finish(app)


def _scripted_run(session, args):
    app = session.launch(args)
    try:
        size = app.client_size()
        canvas = ExpectedCanvas()
        app.draw_stroke(canvas, TIE_LOOP, BLACK_PEN)
        pic = expect_picture(app, canvas, "the stroke")
        name = session.x.window_name(app.window)
        code = app.close()
        return {"title": name, "size": size, "picture": pic, "exit code": code}
    finally:
        session.finish(app)


@check("command_line_ignored")
def command_line_ignored(session):
    plain = _scripted_run(session, [])
    args = ["/?", "--help", "-width", "100", "C:\\no such\\file.bmp", "two words", ""]
    with_args = _scripted_run(session, args)
    expect(plain["exit code"] == 0, "exit code %s without arguments" % plain["exit code"])
    for key in ("title", "size", "exit code"):
        expect(plain[key] == with_args[key], "%s differs with arguments: %r vs %r"
               % (key, plain[key], with_args[key]))
    diffs = with_args["picture"].differences(plain["picture"])
    expect(not diffs, "the picture differs with arguments: " + describe_differences(diffs))
    return "with %d arguments: same title, size %dx%d, picture and exit code %d" % (
        len(args), plain["size"][0], plain["size"][1], plain["exit code"])
