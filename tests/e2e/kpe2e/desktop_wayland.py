"""The native program on Wayland desktops, registered in desktop.py's table:
sway (sway.py) natively at scales 1 and 2 and through its Xwayland, GNOME's
mutter (mutter.py) and KDE's kwin_wayland (kwin.py) at scales 1 and 2, and a
weston without a seat.

Every compositor runs the same drag-and-close scenario; each supplies only
its way in: how it starts, how the harness finds the window, moves the
pointer and takes pictures, and how its title bar is checked and closed."""

import os
import re

from .checks import MIXED_STROKE, TIE_LOOP, expect, expect_picture
from .compositor import Compositor
from .desktop import CLIENT, close_exits_zero, desktop_check, expect_one_line_failure, finish
from .kwin import Kwin
from .mutter import Mutter
from .oracle import BLACK_PEN, ExpectedCanvas
from .scaling import ViewSession
from .session import App
from .sway import Sway, SwayDesktop
from .waiting import wait_for
from .wayland_wire import Connection
from .window_checks import _burst_drag, _expect_every_point_counts, zigzag
from .window_picture import PictureDesktop

# The output's logical size: room for the window, a larger size of it and
# a title bar.
OUTPUT = (800, 600)


def expect_damage_follows_strokes(log, start, canvas, scale, moves):
    """The commits of a drag (in the WAYLAND_DEBUG log from byte start on)
    damage only rectangles around what it drew: each one holds a drawn pixel
    and lies within the drawn pixels' bounds (never the whole window), and
    there is no more than a commit a move."""
    with open(log, "rb") as f:
        whole = f.read().decode("utf-8", "replace")
    text = whole[start:whole.rfind("\n")]
    # The program's own surface: the one given a window role.
    role = re.search(r"get_xdg_surface\(new id xdg_surface@\d+, (wl_surface@\d+)\)", whole)
    surface = re.escape(role.group(1)) if role else "no surface"
    rects = [tuple(int(v) for v in m.groups()) for m in re.finditer(
        r"-> %s\.damage_buffer\((\d+), (\d+), (\d+), (\d+)\)" % surface, text)]
    commits = len(re.findall(r"-> %s\.commit\(\)" % surface, text))
    drawn = set(canvas.pixels)
    xs, ys = [p[0] for p in drawn], [p[1] for p in drawn]
    bounds = (min(xs) - 5, min(ys) - 5, max(xs) + 6, max(ys) + 6)
    expect(rects, "no damage for the strokes' commits")
    for x, y, w, h in rects:
        x0, y0, x1, y1 = x // scale, y // scale, -(-(x + w) // scale), -(-(y + h) // scale)
        inside = bounds[0] <= x0 and bounds[1] <= y0 and x1 <= bounds[2] and y1 <= bounds[3]
        expect(inside and any((px, py) in drawn for px in range(x0, x1) for py in range(y0, y1)),
               "a commit damaged %dx%d at (%d,%d) (device pixels), beyond what the strokes "
               "drew" % (w, h, x, y))
    expect(commits <= moves, "%d commits for %d moves" % (commits, moves))
    return ", %d commits damaging %d rectangles around %d drawn pixels" % (
        commits, len(rects), len(drawn))


def drag_and_close(ctx, compositor, desktop, close_how, more=None, wayland=True):
    """The window has the program's 96-DPI client size in the output's
    logical pixels, with a title bar above it; at scale s every logical
    pixel is a uniform s x s block. Strokes are drawn exactly under the
    pointer, their commits damage only what they drew (natively on Wayland:
    from the protocol log), and the title bar's close ends the program with
    exit code 0. more(app, canvas), a compositor's own steps, returns what it
    saw."""
    if wayland:
        ctx.target.extra_env["WAYLAND_DEBUG"] = "1"
    program = compositor.launch(ctx.target, wayland=wayland)
    ctx.target.extra_env.pop("WAYLAND_DEBUG", None)
    app = None
    try:
        window = desktop.find_window(program, CLIENT)
        app = App(ViewSession(ctx.target, desktop), program, window)
        wait_for(lambda: (app.client_size() == CLIENT, "%dx%d" % app.client_size()), 10,
                 "a %dx%d client area in logical pixels" % CLIENT)
        bar = wait_for(lambda: desktop.title_bar(window), 10, "a title bar above the window")
        app.wait_white(timeout=15)
        canvas = ExpectedCanvas()
        start = os.path.getsize(program.log)
        for points in (TIE_LOOP, MIXED_STROKE):
            app.draw_stroke(canvas, points, BLACK_PEN)
        expect_picture(app, canvas, "the strokes under the pointer")
        seen = ""
        if wayland:
            seen = expect_damage_follows_strokes(program.log, start, canvas, compositor.scale,
                                                 len(TIE_LOOP) + len(MIXED_STROKE))
        seen += more(app, canvas) if more else ""
        took = close_exits_zero(app, close_how)
        return "scale %s: client %dx%d logical, %s; %d pixels exactly under the pointer%s; " \
               "closed with exit code 0 in %.2f s" % (compositor.scale, CLIENT[0], CLIENT[1], bar,
                                                      len(canvas.pixels), seen, took)
    finally:
        if app is not None:
            finish(ctx, app)
        else:
            program.stop()


# ------------------------------------------------------------------- sway

def _resize(app, desktop, width, height, steps):
    """Asks sway for a content size; waits until the client area changes to
    whatever size sway gives (sway may round it to its own limits)."""
    before = app.client_size()
    desktop.resize(app.window, width, height)
    wait_for(lambda: (app.client_size() != before, "%dx%d" % app.client_size()), 10,
             "the client area to change from %dx%d (asked for %dx%d)"
             % (before + (width, height)))
    got = app.client_size()
    steps.append("%dx%d" % got)
    return got


def _sway_burst_and_resizes(app, canvas, sway, desktop, wayland):
    """sway's own steps: the window is the kind asked for; a burst of moves
    draws every one of them (one WM_MOUSEMOVE each); the picture survives
    resizes (`swaymsg resize set`)."""
    shell = sway.view(app.window).get("shell")
    expect(shell == ("xdg_shell" if wayland else "xwayland"),
           "scenario error: the window is a %s window" % shell)
    burst = zigzag(30, 550, 330, 2, 40)
    _expect_every_point_counts(burst, BLACK_PEN)
    _burst_drag(app, canvas, burst)
    steps = []
    w, h = CLIENT
    small = _resize(app, desktop, 300, 200, steps)
    app.wait_picture(canvas.clipped(*small), what="the picture's corner after shrinking")
    _resize(app, desktop, w, h, steps)
    expect(app.client_size() == CLIENT, "back at %dx%d, asked for %dx%d"
           % (app.client_size() + CLIENT))
    app.wait_picture(canvas.clipped(w, h), what="the whole picture after enlarging")
    big = _resize(app, desktop, w + 120, h + 80, steps)
    # Shown at its new size (white where it grew) before the pointer goes
    # there: until the window has that size, moves there are not its own.
    app.wait_picture(canvas.clipped(*big), what="the picture at %dx%d" % big)
    app.draw_stroke(canvas, [(w - 40, h - 40), (big[0] - 10, h - 40),
                             (big[0] - 10, big[1] - 10)], BLACK_PEN)
    expect_picture(app, canvas, "a stroke beyond the old size")
    _resize(app, desktop, w, h, steps)
    _resize(app, desktop, big[0], big[1], steps)
    expect_picture(app, canvas, "the stroke beyond the old size, back after shrinking")
    return ", a burst of %d moves all drawn, the picture kept through sizes %s" % (
        len(burst) - 1, " -> ".join(steps))


def _on_sway(ctx, scale, wayland):
    with Sway(ctx.log, ctx.work_dir, scale=scale, size=OUTPUT, xwayland=not wayland) as sway:
        desktop = SwayDesktop(sway)
        return ("Wayland" if wayland else "Xwayland") + " on sway at " + drag_and_close(
            ctx, sway, desktop, "sway's kill (the close of a title bar)",
            lambda app, canvas: _sway_burst_and_resizes(app, canvas, sway, desktop, wayland),
            wayland=wayland)


for _name, _scale, _wayland in (("xwayland_drag_and_resize", 1, False),
                                ("wayland_scale_1", 1, True), ("wayland_scale_2", 2, True)):
    desktop_check(_name)(lambda ctx, s=_scale, w=_wayland: _on_sway(ctx, s, w))


# ---------------------------------------------------------- mutter, kwin

def _on_picture_desktop(ctx, compositor, scale):
    with compositor(ctx.log, ctx.work_dir, scale=scale, size=OUTPUT) as comp:
        return comp.name + " at " + drag_and_close(ctx, comp, PictureDesktop(comp),
                                                   "a click on the title bar's close button")


for _compositor in (Mutter, Kwin):
    for _scale in (1, 2):
        desktop_check("%s_scale_%d" % (_compositor.name, _scale))(
            lambda ctx, c=_compositor, s=_scale: _on_picture_desktop(ctx, c, s))


# ------------------------------------------------------------------ weston

class SeatlessWeston(Compositor):
    """weston's headless backend, which offers no wl_seat."""

    name = "weston"
    tools = {"weston": "weston"}

    def _start(self):
        self.serve(["weston", "--backend=headless-backend.so", "--socket=wayland-1",
                    "--idle-time=0"], "weston.log")
        return "weston on " + self.wayland_display


@desktop_check("weston_no_seat_fails_loudly")
def weston_no_seat_fails_loudly(ctx):
    """A Wayland display without a seat: the program must say so in one line
    on stderr and exit with code 1, not die of a signal."""
    with SeatlessWeston(ctx.log, ctx.work_dir) as weston:
        conn = Connection(weston.runtime, weston.wayland_display)
        offered = set(conn.globals)
        conn.close()
        expect("wl_seat" not in offered and {"xdg_wm_base", "wl_shm"} <= offered,
               "scenario error: weston offers %s" % ", ".join(sorted(offered)))
        return expect_one_line_failure(weston.launch(ctx.target), "it started")
