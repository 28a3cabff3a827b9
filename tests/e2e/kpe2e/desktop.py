"""Checks of the native program on the desktops users really have: a
reparenting window manager (openbox), a HiDPI X11 screen (GDK_SCALE,
Xft.dpi), X screens of 8, 15, 16, 24 and 30 bits, and (desktop_wayland.py)
the Wayland compositors: sway (natively and through Xwayland), mutter,
kwin_wayland and a seat-less weston.

Unlike the checks in checks.py, which share one 1280x1024x24 Xvfb, each of
these makes the display it needs. A check gets a Context and returns a
one-line summary; it raises AssertionError when the program misbehaves and
Skip when a Debian package it needs is not installed."""

import glob
import os
import shutil
import subprocess
import sys
import sysconfig
import time
from contextlib import contextmanager

from Xlib import X

from . import openbox, pens
from .checks import MIXED_STROKE, TIE_LOOP, ZIGZAG, _draw_picture_for_repaint, expect, \
    expect_picture, shifted
from .oracle import BLACK_PEN, ExpectedCanvas, Pen, pen_for_seed
from .picture import rgb_hex
from .scaling import ScaledXWindow, ViewSession
from .session import App, Session
from .targets import Skip
from .waiting import wait_for

DESKTOP_CHECKS = {}
PROGRAM = "kelvane-paint"
# A 600 x 500 window's client area at 96 DPI.
CLIENT = (584, 461)


def desktop_check(name):
    def register(fn):
        DESKTOP_CHECKS[name] = fn
        return fn
    return register


class Context:
    def __init__(self, target, log, work_dir):
        self.target = target
        self.log = log
        self.work_dir = work_dir
        self.failure_picture = None


def finish(ctx, app):
    """Ends an instance at the end of a check (from its finally clause): when
    the check is failing, the client area is saved first."""
    if sys.exc_info()[0] is not None and ctx.failure_picture and app.program.exit_code() is None:
        try:
            app.grab().to_png(ctx.failure_picture)
            ctx.log("client area at the failure saved to %s" % ctx.failure_picture)
        except Exception:
            pass
    try:
        app.x.release_all()
    except Exception:
        pass
    app.program.stop()


def close_exits_zero(app, how="WM_DELETE_WINDOW"):
    t0 = time.monotonic()
    code = app.close()
    expect(code is not None, "the process did not end after %s" % how)
    expect(code == 0, "exit code %d after %s, expected 0" % (code, how))
    return time.monotonic() - t0


# ------------------------------------------------------------------- X11

@contextmanager
def x_session(ctx, screen="1280x1024x24", wm=False, resources=None, env=None,
              address_space=None):
    """A private Xvfb (optionally with openbox and X resources loaded with
    xrdb) and the program's environment and address space limit for it."""
    ctx.target.extra_env = dict(env or {})
    ctx.target.address_space = address_space
    with Session(ctx.target, ctx.log, screen=screen) as session:
        manager = None
        try:
            if resources:
                load_resources(session.xvfb.name, resources)
            if wm:
                manager = openbox.Openbox(session.xvfb.name, ctx.log)
                manager.start(session.x)
            yield session
        finally:
            for program in ctx.target.programs:
                program.stop()
            ctx.target.programs = []
            if manager is not None:
                manager.stop()


def load_resources(display, text):
    if shutil.which("xrdb") is None:
        raise Skip("xrdb is not installed (Debian package x11-xserver-utils)")
    env = dict(os.environ, DISPLAY=display)
    subprocess.run(["xrdb", "-nocpp", "-merge"], input=text.encode(), env=env, check=True,
                   timeout=20)


def wait_managed(x, client):
    """Waits until openbox has framed the window and set its state normal."""
    wait_for(lambda: openbox.wm_state(x, client) == 1 and openbox.frame(x, client).id != client.id,
             10, "openbox to manage the window")
    # Placement is done once the frame extents are set.
    wait_for(lambda: client.get_full_property(x.atom("_NET_FRAME_EXTENTS"), 0) is not None, 10,
             "the window's frame extents")


def on_screen(rect, width, height):
    x, y, w, h = rect
    return x >= 0 and y >= 0 and x + w <= width and y + h <= height


@desktop_check("openbox_placement")
def openbox_placement(ctx):
    """On a 320 x 240 screen the window manager places the window so that its
    title bar and buttons are on the screen; the close button then ends the
    program with exit code 0."""
    with x_session(ctx, screen="320x240x24", wm=True) as session:
        x = session.x
        app = session.launch(wait_white=False)
        try:
            wait_managed(x, app.window)
            fx, fy, fw, fh = openbox.frame_rect(x, app.window)
            buttons = openbox.title_buttons(x, app.window)
            off = [name for name, rect in buttons.items() if not on_screen(rect, 320, 240)]
            expect(fx >= 0 and fy >= 0 and not off,
                   "frame %dx%d at (%d,%d) on a 320x240 screen: %s off the screen"
                   % (fw, fh, fx, fy, ", ".join(off) or "its top-left corner"))
            openbox.click_title_button(x, app.window, "close")
            code = app.program.wait(15)
            expect(code == 0, "exit code %s after the close button, expected 0" % code)
            return "frame %dx%d at (%d,%d); title bar buttons on the screen; the close button " \
                   "ended the program with exit code 0" % (fw, fh, fx, fy)
        finally:
            finish(ctx, app)


@desktop_check("openbox_two_instances_apart")
def openbox_two_instances_apart(ctx):
    """Two instances on a 1280 x 1024 screen: the window manager places the
    second where it does not cover the first exactly, both on the screen."""
    with x_session(ctx, wm=True) as session:
        x = session.x
        first = session.launch()
        second = session.launch()
        try:
            rects = []
            for app in (first, second):
                wait_managed(x, app.window)
                rects.append(openbox.frame_rect(x, app.window))
            for r in rects:
                expect(on_screen(r, 1280, 1024), "frame %dx%d at (%d,%d) is not on the screen"
                       % (r[2], r[3], r[0], r[1]))
            expect(rects[0][:2] != rects[1][:2], "both windows at (%d,%d), one exactly on top of "
                   "the other" % rects[0][:2])
            return "frames at (%d,%d) and (%d,%d)" % (rects[0][:2] + rects[1][:2])
        finally:
            finish(ctx, second)
            finish(ctx, first)


@desktop_check("openbox_click_activates_and_drags")
def openbox_click_activates_and_drags(ctx):
    """Another window has the focus; the first press into the program's client
    area activates it (openbox's click to focus) and starts a stroke that the
    drag then draws."""
    with x_session(ctx, wm=True) as session:
        x = session.x
        app = session.launch()
        other = None
        try:
            wait_managed(x, app.window)
            other = x.root.create_window(0, 0, 200, 150, 0, x.screen.root_depth, X.InputOutput,
                                         X.CopyFromParent, background_pixel=0x808080)
            other.set_wm_name("another program")
            other.set_wm_class("other", "Other")
            other.map()
            x.d.sync()
            wait_for(lambda: openbox.active_window(x) == other.id, 10,
                     "the other window to have the focus")
            fx, fy, fw, fh = openbox.frame_rect(x, other)
            ax, ay = app.origin()
            cw, ch = app.client_size()
            expect(fx + fw <= ax or fx >= ax + cw or fy + fh <= ay or fy >= ay + ch,
                   "scenario error: the other window covers the client area")
            canvas = ExpectedCanvas()
            app.draw_stroke(canvas, TIE_LOOP, BLACK_PEN)
            wait_for(lambda: openbox.active_window(x) == app.window.id, 10,
                     "the program's window to be active after the click")
            app.draw_stroke(canvas, MIXED_STROKE, BLACK_PEN)
            expect_picture(app, canvas, "both strokes, the first begun by the activating press")
            return "the first press activated the window and began a stroke; %d pixels exactly " \
                   "as computed" % len(canvas.pixels)
        finally:
            if other is not None:
                other.destroy()
                x.d.sync()
            finish(ctx, app)


@desktop_check("openbox_minimize_maximize_close")
def openbox_minimize_maximize_close(ctx):
    """The title bar's buttons: minimize (and back, as a task bar does it),
    maximize and restore keep the picture and drawing goes on; close ends the
    program with exit code 0."""
    with x_session(ctx, wm=True) as session:
        x = session.x
        app = session.launch()
        try:
            wait_managed(x, app.window)
            canvas, picture = _draw_picture_for_repaint(app)
            size = app.client_size()

            openbox.click_title_button(x, app.window, "iconify")
            wait_for(lambda: openbox.wm_state(x, app.window) == 3 and
                     x.map_state(app.window) != X.IsViewable, 10, "the window to be minimized")
            openbox.activate(x, app.window)
            wait_for(lambda: openbox.wm_state(x, app.window) == 1 and
                     x.map_state(app.window) == X.IsViewable, 10, "the window to come back")
            app.wait_picture(picture, what="the picture after minimizing and restoring")

            openbox.click_title_button(x, app.window, "maximize")
            wait_for(lambda: (app.client_size()[0] > size[0] and app.client_size()[1] > size[1],
                              "%dx%d" % app.client_size()), 10, "the window to be maximized")
            big = app.client_size()
            app.wait_picture(canvas.clipped(*big), what="the picture in the maximized window")
            app.draw_stroke(canvas, [(big[0] - 200, big[1] - 30), (big[0] - 20, big[1] - 150),
                                     (size[0] + 30, 40)], BLACK_PEN)
            expect_picture(app, canvas, "a stroke beyond the old size")

            openbox.click_title_button(x, app.window, "maximize")
            wait_for(lambda: (app.client_size() == size, "%dx%d" % app.client_size()), 10,
                     "the window to be restored to %dx%d" % size)
            expect_picture(app, canvas, "the picture after restoring")

            openbox.click_title_button(x, app.window, "close")
            code = app.program.wait(15)
            expect(code is not None, "the process did not end after the close button")
            expect(code == 0, "exit code %d after the close button, expected 0" % code)
            return "minimized and back, maximized to %dx%d and back: the picture of %d pixels " \
                   "each time; the close button ended it with exit code 0" % (
                       big + (len(canvas.pixels),))
        finally:
            finish(ctx, app)


# ------------------------------------------------------------ X11 scale 2

def _scaled_drag(ctx, env=None, resources=None, source=""):
    """At scale 2 the 600 x 500 window has a 1168 x 922 client area, every
    logical pixel a uniform 2 x 2 block, and a drag's pixels are the scale-1
    drag's (the oracle's), each doubled, under the pointer."""
    scale = 2
    with x_session(ctx, env=env, resources=resources) as session:
        first = session.launch(wait_white=False)
        try:
            want = (CLIENT[0] * scale, CLIENT[1] * scale)
            view = ScaledXWindow(session.x, first.window, scale)
            wait_for(lambda: (view.physical_size() == want, "%dx%d" % view.physical_size()), 10,
                     "a %dx%d client area (%s)" % (want + (source,)))
            app = App(ViewSession(ctx.target, view), first.program, first.window)
            app.wait_white()
            canvas = ExpectedCanvas()
            for points in (TIE_LOOP, MIXED_STROKE):
                app.draw_stroke(canvas, points, BLACK_PEN)
            app.draw_stroke(canvas, [(2, 2), (CLIENT[0] - 3, 2), (CLIENT[0] - 3, CLIENT[1] - 3)],
                            BLACK_PEN)
            expect_picture(app, canvas, "the strokes, every pixel a 2x2 block")
            took = close_exits_zero(app)
            return "%s: client %dx%d physical, %d logical pixels drawn as uniform 2x2 blocks " \
                   "exactly under the pointer; closed with exit code 0 in %.2f s" % (
                       source, want[0], want[1], len(canvas.pixels), took)
        finally:
            finish(ctx, first)


@desktop_check("x11_gdk_scale_2")
def x11_gdk_scale_2(ctx):
    return _scaled_drag(ctx, env={"GDK_SCALE": "2"}, source="GDK_SCALE=2")


@desktop_check("x11_xft_dpi_192")
def x11_xft_dpi_192(ctx):
    return _scaled_drag(ctx, resources="Xft.dpi: 192\n", source="Xft.dpi: 192 (xrdb)")


# ----------------------------------------------------------------- depths

def faketime_library():
    """Debian's libfaketime for this machine's architecture."""
    arch = sysconfig.get_config_var("MULTIARCH") or ""
    found = sorted(glob.glob("/usr/lib/%s/faketime/libfaketime.so.1" % arch)) or sorted(
        glob.glob("/usr/lib/*/faketime/libfaketime.so.1"))
    if not found:
        raise Skip("libfaketime is not installed (Debian package libfaketime)")
    return found[0]


def frozen_clock_env(second):
    """The program's clock stopped at `second` (its monotonic clock runs)."""
    return {"LD_PRELOAD": faketime_library(), "FAKETIME_FMT": "%s", "FAKETIME": str(second),
            "FAKETIME_DONT_FAKE_MONOTONIC": "1"}


def _pen_colour_at_depth(ctx, depth):
    """After a right click at a frozen second, the next stroke has the
    generator's pen colour for that second, as the screen holds a 24-bit
    colour: each channel reduced to its bits (PixelFormat.reduce)."""
    second = pens.frozen_second()
    pen = pen_for_seed(second)
    with x_session(ctx, screen="1280x1024x%d" % depth, env=frozen_clock_env(second)) as session:
        fmt = session.x.pixel_format
        expect(fmt is not None and fmt.depth == depth, "scenario error: no %d-bit TrueColor "
               "screen" % depth)
        app = session.launch(wait_white=False)
        try:
            app.wait_white(timeout=15)
            canvas = ExpectedCanvas()
            app.draw_stroke(canvas, ZIGZAG, BLACK_PEN)
            app.click(520, 420, button=3)
            raw = fmt.pixel_of(pen.rgb)
            shown = fmt.picture([raw], 1, 1).get(0, 0)
            shown_pen = Pen((shown >> 16) | (shown & 0xFF00) | (shown & 0xFF) << 16, pen.width)
            try:
                app.draw_stroke(canvas, shifted(ZIGZAG, 300), shown_pen)
            except AssertionError as e:
                seen = app.grab(360, 60, 2, 2).pixels[0]
                raise AssertionError("%s; the stroke's start shows %s, the pen %s is %s at %d "
                                     "bits a channel" % (e, rgb_hex(seen), pen, rgb_hex(shown),
                                                         fmt.bits[0]))
            expect_picture(app, canvas, "the black stroke and the stroke in the new pen")
            # The screen's own values, channel by channel.
            ox, oy = app.origin()
            cw, ch = app.client_size()
            values = session.x.grab_raw(session.x.root, ox, oy, cw, ch)
            coloured = [p for p, c in canvas.pixels.items() if c == shown_pen.rgb]
            wrong = {values[py * cw + px] for px, py in coloured} - {raw}
            expect(not wrong, "stroke pixels with the values %s, expected %s %s" % (
                ", ".join(str(fmt.channels(v)) for v in sorted(wrong)[:4]), fmt.channels(raw),
                "(r, g, b)"))
            close_exits_zero(app)
            return "second %d: %s shows as %s, channels %s at %s bits; black stroke black; " \
                   "exit code 0" % (second, pen, rgb_hex(shown), fmt.channels(raw),
                                    "/".join(map(str, fmt.bits)))
        finally:
            finish(ctx, app)


for _depth in (15, 16, 24, 30):
    desktop_check("x11_depth_%d" % _depth)(
        lambda ctx, depth=_depth: _pen_colour_at_depth(ctx, depth))


@desktop_check("x11_depth_8_fails_loudly")
def x11_depth_8_fails_loudly(ctx):
    """An 8-bit PseudoColor screen, where SDL can make no window surface: the
    program must say so in one line on stderr and exit with code 1."""
    with x_session(ctx, screen="640x480x8") as session:
        expect(session.x.screen.root_depth == 8, "scenario error: not an 8-bit screen")
        return expect_one_line_failure(ctx.target.launch(), "it started on an 8-bit screen")


def expect_one_line_failure(program, what, timeout=15):
    """The program ends by itself, not by a signal, with exit code 1 and one
    line on stderr (its log) that names it."""
    code = program.wait(timeout)
    expect(code is not None, "still running %d s after %s" % (timeout, what))
    err = program.output().decode("utf-8", "replace")
    lines = err.splitlines()
    expect(code >= 0, "killed by signal %d; stderr %r" % (-code, err[:300]))
    expect(code == 1, "exit code %d, expected 1; stderr %r" % (code, err[:300]))
    expect(len(lines) == 1, "%d lines on stderr, expected one: %r" % (len(lines), err[:300]))
    expect(PROGRAM in lines[0], "the stderr line does not name %s: %r" % (PROGRAM, lines[0]))
    return "exit code 1, stderr %r" % lines[0]
