"""The native program on sway (sway.py): natively on Wayland at scales 1 and
2, and through sway's Xwayland. Registered in desktop.py's table."""

from .checks import MIXED_STROKE, TIE_LOOP, expect, expect_picture
from .desktop import CLIENT, close_exits_zero, desktop_check, finish
from .oracle import BLACK_PEN, ExpectedCanvas
from .scaling import ViewSession
from .session import App
from .sway import Sway, SwayDesktop
from .waiting import wait_for
from .window_checks import _expect_every_point_counts, zigzag

# The output's logical size: room for the window, a larger size of it and
# sway's title bar.
OUTPUT = (800, 600)


def _resize(app, desktop, width, height, steps):
    """Asks sway for a content size; waits until the client area changes to
    whatever size sway gives (sway may round it to its own limits)."""
    before = app.client_size()
    desktop.resize(app.window, width, height)
    got = wait_for(lambda: (app.client_size() != before, "%dx%d" % app.client_size()), 10,
                   "the client area to change from %dx%d (asked for %dx%d)"
                   % (before + (width, height)))
    got = app.client_size()
    steps.append("%dx%d" % got)
    return got


def _sway_drag_and_resize(ctx, scale, wayland):
    """The window has the program's 96-DPI client size in the output's
    logical pixels, with sway's title bar above it; at scale s every logical
    pixel is a uniform s x s block. Strokes are drawn exactly under the
    pointer, a burst of moves draws every one of them (one WM_MOUSEMOVE each),
    the picture survives resizes, and sway's close ends the program with exit
    code 0."""
    how = "Wayland" if wayland else "Xwayland"
    with Sway(ctx.log, ctx.work_dir, scale=scale, size=OUTPUT, xwayland=not wayland) as sway:
        desktop = SwayDesktop(sway)
        program = sway.launch(ctx.target, wayland=wayland)
        app = None
        try:
            con = sway.find_window(program)
            desktop.place(con)
            app = App(ViewSession(ctx.target, desktop), program, con)
            wait_for(lambda: (app.client_size() == CLIENT, "%dx%d" % app.client_size()), 10,
                     "a %dx%d client area in logical pixels" % CLIENT)
            view = sway.view(con)
            expect(view.get("shell") == ("xdg_shell" if wayland else "xwayland"),
                   "scenario error: the window is a %s window" % view.get("shell"))

            def title_bar():
                v = sway.view(con) or {}
                return (v.get("border") == "normal" and v.get("deco_rect", {}).get("height", 0) > 0,
                        "border %r, title rectangle %r" % (v.get("border"), v.get("deco_rect")))
            wait_for(title_bar, 10, "sway's title bar above the window")
            app.wait_white(timeout=15)

            canvas = ExpectedCanvas()
            for points in (TIE_LOOP, MIXED_STROKE):
                app.draw_stroke(canvas, points, BLACK_PEN)
            expect_picture(app, canvas, "the strokes under the pointer")

            burst = zigzag(30, 550, 330, 2, 40)
            _expect_every_point_counts(burst, BLACK_PEN)
            app.move(*burst[0])
            app.press(1)
            canvas.press(burst[0])
            for p in burst[1:]:
                canvas.segment(p, BLACK_PEN)
            app.move_burst(burst[1:])
            try:
                expect_picture(app, canvas, "a zig-zag of %d moves sent in a burst"
                               % (len(burst) - 1))
            finally:
                app.release(1)

            steps = []
            w, h = CLIENT
            small = _resize(app, desktop, 300, 200, steps)
            app.wait_picture(canvas.clipped(*small), what="the picture's corner after shrinking")
            _resize(app, desktop, w, h, steps)
            expect(app.client_size() == CLIENT, "back at %dx%d, asked for %dx%d"
                   % (app.client_size() + CLIENT))
            app.wait_picture(canvas.clipped(w, h), what="the whole picture after enlarging")
            big = _resize(app, desktop, w + 120, h + 80, steps)
            app.draw_stroke(canvas, [(w - 40, h - 40), (big[0] - 10, h - 40),
                                     (big[0] - 10, big[1] - 10)], BLACK_PEN)
            expect_picture(app, canvas, "a stroke beyond the old size")
            _resize(app, desktop, w, h, steps)
            _resize(app, desktop, big[0], big[1], steps)
            expect_picture(app, canvas, "the stroke beyond the old size, back after shrinking")

            took = close_exits_zero(app, "sway's kill (the close of a title bar)")
            return "%s at scale %d: client %dx%d logical with sway's title bar, %d pixels " \
                   "exactly under the pointer, a burst of %d moves all drawn, picture kept " \
                   "through sizes %s; closed with exit code 0 in %.2f s" % (
                       how, scale, CLIENT[0], CLIENT[1], len(canvas.pixels), len(burst) - 1,
                       " -> ".join(steps), took)
        finally:
            if app is not None:
                finish(ctx, app)
            else:
                program.stop()


@desktop_check("xwayland_drag_and_resize")
def xwayland_drag_and_resize(ctx):
    return _sway_drag_and_resize(ctx, 1, wayland=False)


@desktop_check("wayland_scale_1")
def wayland_scale_1(ctx):
    return _sway_drag_and_resize(ctx, 1, wayland=True)


@desktop_check("wayland_scale_2")
def wayland_scale_2(ctx):
    return _sway_drag_and_resize(ctx, 2, wayland=True)
