"""The page's checks. The desktop end-to-end scenarios that only use the
client area run unchanged (kpe2e/checks.py, kpe2e/window_checks.py); the ones
about the window itself are done here through the page's frame, taskbar and
the program's end, plus what only a browser has: merged moves, touch, scaled
displays and what reaches the canvas."""

import time

from kpe2e import pens
from kpe2e import window_checks
from kpe2e.checks import (CHECKS as DESKTOP_CHECKS, MIXED_STROKE, TIE_LOOP, ZIGZAG,
                          _draw_picture_for_repaint, expect, expect_picture)
from kpe2e.oracle import BLACK_PEN, ExpectedCanvas
from kpe2e.picture import WHITE
from kpe2e.waiting import wait_for

from .devtools import DevTools
from .page import MAXIMIZED, NORMAL, WebSession
from .screenshot import screenshot_of

CLIENT_SIZE = (584, 461)  # of the 600 x 500 window, with the layer's Windows 10 frame
WINDOW_SIZE = (600, 500)

# The desktop scenarios that run as they are.
SHARED = ["left_drag_draws_segments", "click_without_motion_draws_nothing",
          "shift_drag_draws_nothing", "ctrl_drag_draws_nothing",
          "right_button_drag_draws_nothing", "middle_button_drag_draws_nothing",
          "x1_button_drag_draws_nothing", "x2_button_drag_draws_nothing",
          "right_click_changes_pen", "right_click_during_drag", "picture_survives_resize",
          "drag_out_and_back"]
assert window_checks  # its checks join DESKTOP_CHECKS when it is imported

CHECKS = {name: DESKTOP_CHECKS[name] for name in SHARED}


def check(name):
    def register(fn):
        CHECKS[name] = fn
        return fn
    return register


@check("window_maps_white")
def window_maps_white(session):
    app = session.launch(wait_white=False)
    try:
        info = app.info()
        expect((info["width"], info["height"]) == CLIENT_SIZE,
               "client area %dx%d, expected %dx%d" % ((info["width"], info["height"]) +
                                                       CLIENT_SIZE))
        left, top, width, height = info["client"]
        expect((width, height) == CLIENT_SIZE, "the client element is %gx%g CSS pixels"
               % (width, height))
        expect(tuple(info["window"][2:]) == WINDOW_SIZE, "the window is %gx%g, expected 600x500"
               % tuple(info["window"][2:]))
        app.wait_white()
        expect(app.grab().colours() == {WHITE}, "client area not all white")
        title = session.driver.title
        expect(title == "Kelvane Paint", "document title %r" % title)
        expect(info["title"] == "Kelvane Paint", "caption %r" % info["title"])
        caption = session.driver.execute_script(
            "return document.querySelector('.window .title').textContent")
        expect(caption == "Kelvane Paint", "caption text %r" % caption)
        screen = session.driver.execute_script("return [screen.width, screen.height]")
        expect(info["canvas"] == screen, "canvas %s, the screen is %s" % (info["canvas"], screen))
        return "window %r 600x500 with a %dx%d client at (%g,%g), all white; canvas %dx%d as " \
               "the screen" % ((title,) + CLIENT_SIZE + (left, top) + tuple(screen))
    finally:
        session.finish(app)


@check("close_exits_zero")
def close_exits_zero(session):
    """The close button: WM_CLOSE by the default handling, WinMain returns 0,
    the page says so and starts the program again on request."""
    app = session.launch()
    try:
        canvas = ExpectedCanvas()
        app.draw_stroke(canvas, ZIGZAG, BLACK_PEN)
        code = app.close()
        expect(code == 0, "exit code %s, expected 0" % code)
        driver = session.driver
        wait_for(lambda: driver.execute_script("return kelvane.windowIds().length") == 0, 5,
                 "the window to go away")
        text = driver.execute_script("return document.getElementById('status-text').textContent")
        expect("exit code 0" in text, "the page says %r" % text)
        again = driver.execute_script(
            "const r = document.getElementById('again').getBoundingClientRect();"
            "return [r.left, r.top, r.width, r.height]")
        expect(again[2] > 0, "no button to start again")
        app.click_box(again)
        wait_for(lambda: driver.execute_script("return kelvane.windowIds()"), 10,
                 "the program to start again")
        from .page import WebApp
        second = WebApp(session, driver.execute_script("return kelvane.windowIds()[0]"))
        second.wait_white()
        second.draw_stroke(ExpectedCanvas(), TIE_LOOP, BLACK_PEN)
        return "close button: exit code 0, the page said %r; started again: a new white " \
               "window that draws" % text
    finally:
        session.finish(app)


@check("picture_survives_minimize")
def picture_survives_minimize(session):
    app = session.launch()
    try:
        canvas, picture = _draw_picture_for_repaint(app)
        for round_ in range(2):
            app.minimize()
            expect(session.driver.execute_script(
                "return document.querySelector('.window').hidden"), "the window still shows")
            app.restore_from_taskbar()
            app.wait_picture(picture, what="the picture after restoring (round %d)" % round_)
        app.draw_stroke(canvas, [(300, 420), (420, 440), (500, 400)], BLACK_PEN)
        expect_picture(app, canvas, "the picture with a stroke drawn after restoring")
        return "minimize button and taskbar twice: the picture of %d pixels came back; " \
               "drawing goes on" % len(canvas.pixels)
    finally:
        session.finish(app)


@check("picture_survives_maximize")
def picture_survives_maximize(session):
    app = session.launch()
    try:
        canvas, picture = _draw_picture_for_repaint(app)
        size = app.client_size()
        app.toggle_maximize(MAXIMIZED)
        want = tuple(session.driver.execute_script(
            "return [innerWidth, innerHeight - 32 - 23]"))
        wait_for(lambda: (app.client_size() == want, "%dx%d" % app.client_size()), 10,
                 "the client area to become %dx%d" % want)
        app.wait_picture(canvas.clipped(*want), what="the picture in the maximized window")
        far = [(want[0] - 200, want[1] - 30), (want[0] - 20, want[1] - 150), (size[0] + 30, 40)]
        app.draw_stroke(canvas, far, BLACK_PEN)
        expect_picture(app, canvas, "the picture with a stroke beyond the old size")
        app.toggle_maximize(NORMAL)
        wait_for(lambda: (app.client_size() == size, "%dx%d" % app.client_size()), 10,
                 "the client area to be %dx%d again" % size)
        expect_picture(app, canvas, "the picture after restoring")
        app.minimize()
        app.restore_from_taskbar()
        app.toggle_maximize(MAXIMIZED)
        expect_picture(app, canvas, "the whole picture, maximized again")
        app.minimize()
        app.restore_from_taskbar(MAXIMIZED)
        expect_picture(app, canvas, "the maximized picture after minimizing")
        return "maximized to %dx%d and back to %dx%d; minimized while maximized it came back " \
               "maximized; the picture of %d pixels each time" % (want + size +
                                                                  (len(canvas.pixels),))
    finally:
        session.finish(app)


def _zigzag(x0, x1, y, step, amplitude=6):
    return [(x, y + (amplitude if i % 2 else 0)) for i, x in enumerate(range(x0, x1, step))]


@check("fast_moves_within_a_frame")
def fast_moves_within_a_frame(session):
    """Bursts of moves sent faster than the browser's frames (DevTools,
    without waiting): the browser merges them into few pointer events, and
    the line must still go through every point, segment by segment."""
    app = session.launch()
    try:
        canvas = ExpectedCanvas()
        bursts = [_zigzag(20, 560, 40 + 60 * k, 3) for k in range(3)]
        for points in bursts:
            window_checks._expect_every_point_counts(points, BLACK_PEN)
        seen = []
        with DevTools(session.driver) as devtools:
            for points in bursts:
                app.move(*points[0])
                app.press(1)
                canvas.press(points[0])
                before = app.probe()
                ox, oy = app.origin()
                devtools.mouse_moves([(ox + x, oy + y) for x, y in points[1:]])
                for p in points[1:]:
                    canvas.segment(p, BLACK_PEN)
                pic = expect_picture(app, canvas, "the zig-zag through all %d points"
                                     % len(points))
                after = app.probe()
                # WebDriver did not see the burst: it lets go where it is.
                app.move(*points[-1])
                app.release(1)
                events = after["pointerEvents"] - before["pointerEvents"]
                samples = after["samples"] - before["samples"]
                expect(samples == len(points) - 1, "%d samples for %d moves"
                       % (samples, len(points) - 1))
                seen.append((len(points) - 1, events))
        merged = [s for s in seen if s[1] < s[0]]
        expect(merged, "the browser never merged moves (moves, events): %s" % seen)
        corners = [p for points in bursts for p in points[:-1] if pic.get(*p) != 0]
        expect(not corners, "points not on the line: %s" % corners[:5])
        return "bursts of %s moves came as %s pointer events; every point drawn exactly" % (
            "/".join(str(s[0]) for s in seen), "/".join(str(s[1]) for s in seen))
    finally:
        session.finish(app)


@check("browser_menus_stay_shut")
def browser_menus_stay_shut(session):
    """A right click over the client area opens no context menu (the event is
    cancelled), and the back and forward buttons do not leave the page."""
    app = session.launch()
    try:
        driver = session.driver
        driver.execute_script(
            "window.kpMenus = [];"
            "addEventListener('contextmenu', e => kpMenus.push(e.defaultPrevented));")
        url = driver.current_url
        pens.await_second(pens.visible)
        t_before = time.time()
        app.click(300, 300, button=3)
        for button in (8, 9):
            app.click(320, 300, button=button)
        wait_for(lambda: driver.execute_script("return kpMenus.length") > 0, 5,
                 "the context menu event")
        prevented = driver.execute_script("return kpMenus")
        expect(all(prevented), "a context menu event was not cancelled: %s" % prevented)
        # Something that must draw shows that every click was handled.
        canvas = ExpectedCanvas()
        app.draw_stroke_after_pen_change(canvas, [(100, 100), (200, 100), (200, 180)], t_before)
        expect(driver.current_url == url and driver.execute_script("return !!window.kpMenus"),
               "the page was left")
        return "right click: context menu event cancelled; back and forward kept the page"
    finally:
        session.finish(app)


@check("touch_draws_and_holds_for_right_click")
def touch_draws_and_holds_for_right_click(session):
    """A finger draws like the left button; a tap leaves no mark; press and
    hold is a right click: the next stroke has the generator's pen."""
    app = session.launch()
    try:
        app.use_touch()
        canvas = ExpectedCanvas()
        app.draw_stroke(canvas, MIXED_STROKE, BLACK_PEN)
        app.click(450, 60)
        app.draw_stroke(canvas, [(450, 120), (550, 120)], BLACK_PEN)
        expect_picture(app, canvas, "the touch strokes, and no mark from the tap")
        pens.await_second(pens.visible, max_ahead=8)
        t_before = time.time()
        app.move(520, 400)
        app.press(1)
        time.sleep(1.0)
        app.release(1)
        pen, _ = app.draw_stroke_after_pen_change(canvas, [(60, 380), (240, 380), (240, 440)],
                                                  t_before)
        expect_picture(app, canvas, "the stroke after press and hold in the new pen")
        return "touch strokes exact; a tap drew nothing; press and hold chose %s" % (pen,)
    finally:
        session.finish(app)


def _presents_since(app, before):
    probe = app.probe()
    count = probe["presentCount"] - before
    return probe["presents"][-count:] if count else []


@check("only_changed_rectangles_reach_the_canvas")
def only_changed_rectangles_reach_the_canvas(session):
    """What reaches the canvas is what changed: for a move, the bounds of its
    segment (the program repaints the whole client, but those pixels are all
    the same but the segment's); after widening the window by dragging its
    right edge, the strip that the widening uncovered."""
    app = session.launch()
    try:
        canvas, picture = _draw_picture_for_repaint(app)
        start, end = (150, 300), (230, 340)
        app.move(*start)
        app.press(1)
        canvas.press(start)
        before = app.probe()["presentCount"]
        pixels = canvas.segment(end, BLACK_PEN)
        app.move(*end)
        app.wait_pixels(pixels, 0)
        app.release(1)
        rects = _presents_since(app, before)
        expect(rects, "nothing was put on the canvas for the segment")
        box = (min(start[0], end[0]), min(start[1], end[1]), max(start[0], end[0]) + 1,
               max(start[1], end[1]) + 1)
        outside = [r for r in rects if r[0] < box[0] or r[1] < box[1] or r[0] + r[2] > box[2] or
                   r[1] + r[3] > box[3]]
        expect(not outside, "a move's segment in %s, but put %s" % (box, outside))
        segment_rects = rects

        w, h = app.client_size()
        before = app.probe()["presentCount"]
        left, top, ew, eh = app.info()["edges"]["e"]
        grip = (int(left + ew // 2), int(top + eh // 2))
        app.drag_page(grip, (grip[0] + 100, grip[1]))
        wait_for(lambda: (app.client_size() == (w + 100, h), "%dx%d" % app.client_size()), 10,
                 "the client area to become %dx%d" % (w + 100, h))
        expect_picture(app, canvas, "the picture in the wider window")
        rects = _presents_since(app, before)
        expect(rects, "nothing was put on the canvas after widening")
        outside = [r for r in rects if r[0] < w or r[0] + r[2] > w + 100 or r[1] < 0 or
                   r[1] + r[3] > h]
        expect(not outside, "put outside the new %dx%d strip at x=%d: %s" % (100, h, w, outside))
        return "a move's segment put as %s; widening by 100 put only %s" % (segment_rects, rects)
    finally:
        session.finish(app)


def _blocks_check(session):
    scale = session.scale
    app = session.launch()
    try:
        canvas = ExpectedCanvas()
        app.draw_stroke(canvas, TIE_LOOP, BLACK_PEN)
        pic = expect_picture(app, canvas, "the stroke")
        info = app.info()
        block = info["scale"]
        expect(block == round(scale), "blocks of %d device pixels at a ratio of %s"
               % (block, scale))
        expect((info["width"], info["height"]) == CLIENT_SIZE, "client %dx%d"
               % (info["width"], info["height"]))
        x0, y0, x1, y1 = 50, 50, 190, 190
        left, top, _, _ = info["client"]
        unit = info["unit"]
        shot = screenshot_of(session.driver, [left + x0 * unit, top + y0 * unit,
                                              (x1 - x0) * unit, (y1 - y0) * unit])
        expect((shot.width, shot.height) == ((x1 - x0) * block, (y1 - y0) * block),
               "a screenshot of %dx%d logical pixels is %dx%d device pixels"
               % (x1 - x0, y1 - y0, shot.width, shot.height))
        wrong = []
        for y in range(shot.height):
            for x in range(shot.width):
                if shot.get(x, y) != pic.get(x0 + x // block, y0 + y // block):
                    wrong.append((x, y))
        expect(not wrong, "%d device pixels differ from the %dx%d blocks, e.g. %s"
               % (len(wrong), block, block, wrong[:4]))
        return "device pixel ratio %s: each logical pixel a %dx%d block of device pixels, " \
               "client %dx%d logical pixels" % ((scale, block, block) + CLIENT_SIZE)
    finally:
        session.finish(app)


@check("scaled_display_shows_crisp_blocks")
def scaled_display_shows_crisp_blocks(session):
    """On displays with device pixel ratios 2 and 1.5 the window keeps its
    logical size and each logical pixel is a whole block of device pixels,
    read back from the browser's own screenshot."""
    results = []
    for scale in (2, 1.5):
        with WebSession(session.site, session.log, scale=scale) as scaled:
            results.append(_blocks_check(scaled))
    return "; ".join(results)

