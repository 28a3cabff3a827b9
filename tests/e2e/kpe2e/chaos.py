"""Hostile desktops: what other clients, the user and the system do to the
native program that it must survive without losing anything the user did.
Each check makes its own X server (real Xvfb, real XTEST input, openbox
where a window manager matters) and is registered in desktop.py's table
under a name starting with chaos_ (ctest label chaos).

Each check's docstring says what it does to the program and what must
hold; tests/e2e/README.md lists them."""

import os
import signal
import socket
import subprocess
import tempfile
import time

from Xlib import X
from Xlib.protocol import event

from Xlib.ext import randr

from . import openbox
from .checks import _draw_picture_for_repaint, expect, expect_picture
from .desktop import close_exits_zero, desktop_check, expect_one_line_failure, finish, \
    wait_managed, x_session
from .oracle import BLACK_PEN, ExpectedCanvas
from .waiting import wait_for
from .window_checks import _wait_stopped
from .xserver import XClient, Xvfb

MIB = 1024 * 1024


def rss(program):
    """The program's resident memory in bytes (VmRSS), and its peak (VmHWM)."""
    values = {}
    with open("/proc/%d/status" % program.pid) as f:
        for line in f:
            key, _, rest = line.partition(":")
            if key in ("VmRSS", "VmHWM"):
                values[key] = int(rest.split()[0]) * 1024
    return values["VmRSS"], values["VmHWM"]


def wait_rss_below(program, limit, what, timeout=10):
    """Waits until the program's resident memory is below limit bytes."""
    def probe():
        now, _ = rss(program)
        return now < limit, "%.1f MiB" % (now / MIB)
    wait_for(probe, timeout, what, interval=0.1)
    return rss(program)


def expect_running(app, what):
    code = app.program.exit_code()
    expect(code is None, "the program ended with exit code %s %s" % (code, what))


# ------------------------------------------------------------------ storm

STORM_ROUNDS = 300


@desktop_check("chaos_unmap_map_storm")
def chaos_unmap_map_storm(ctx):
    """Another client unmaps and maps the program's window 300 times back to
    back under openbox (as `xdotool windowunmap W windowmap W` does): each
    unmap makes openbox destroy the frame that SDL may be asking about at
    that moment. The program must carry on: the window managed again with
    its picture, and a normal close ending it with exit code 0."""
    with x_session(ctx, wm=True) as session:
        x = session.x
        app = session.launch()
        try:
            wait_managed(x, app.window)
            canvas, picture = _draw_picture_for_repaint(app)
            t0 = time.monotonic()
            for i in range(STORM_ROUNDS):
                # The middle half of the rounds while the program is stopped:
                # it then reads about frames that are long gone.
                if i == STORM_ROUNDS // 4:
                    app.program.pause()
                if i == 3 * STORM_ROUNDS // 4:
                    app.program.resume()
                app.window.unmap()
                app.window.map()
                x.d.sync()
                time.sleep(0.002)
                if app.program.exit_code() is not None:
                    break
            app.program.resume()
            took = time.monotonic() - t0
            expect_running(app, "during %d unmaps and maps" % STORM_ROUNDS)
            wait_for(lambda: openbox.wm_state(x, app.window) == 1 and
                     openbox.frame(x, app.window).id != app.window.id, 15,
                     "openbox to manage the window again")
            expect_running(app, "after %d unmaps and maps" % STORM_ROUNDS)
            app.wait_picture(picture, what="the picture after the storm")
            app.draw_stroke(canvas, [(40, 300), (200, 330), (260, 420)], BLACK_PEN)
            expect_picture(app, canvas, "a stroke after the storm")
            close_exits_zero(app)
            return "%d unmaps and maps in %.1f s: still running, managed again, the picture of " \
                   "%d pixels intact, drawing goes on; closed with exit code 0" % (
                       STORM_ROUNDS, took, len(canvas.pixels))
        finally:
            finish(ctx, app)


# ---------------------------------------------------------------- backlog

BACKLOG = 100000
BASE, NEXT = (100, 100), (101, 100)


def probe_points(count):
    """Far ends of the probe segments, spread over the client area."""
    return [(150 + (k % 10) * 40, 150 + (k // 10) * 28) for k in range(count)]


def backlog_moves(probes):
    """100,000 moves: back and forth between two neighbouring pixels (which
    draws nothing new), and every thousandth one out to a probe point, whose
    segments show only if that move was drawn. Moves lost anywhere past the
    first thousand take a probe segment with them."""
    per = BACKLOG // len(probes)
    moves = []
    for p in probes:
        moves += [NEXT, BASE] * ((per - 2) // 2) + [NEXT, p]
    return moves


def expected_backlog(canvas, moves):
    """The picture of a drag through moves (from BASE), computed once per
    distinct segment: drawing the same segment again changes nothing."""
    seen = set()
    previous = BASE
    for p in moves:
        if (previous, p) not in seen:
            seen.add((previous, p))
            canvas.press(previous)
            canvas.segment(p, BLACK_PEN)
        previous = p
    canvas.press(previous)


@desktop_check("chaos_stopped_backlog_and_close")
def chaos_stopped_backlog_and_close(ctx):
    """The program is stopped (SIGSTOP) during a drag, and 100,000 moves
    queue up in its X connection, more than SDL's own queue holds; when it
    goes on (SIGCONT) every one must be drawn (each probe segment shows) and
    its memory must come back to within 16 MiB. Then it is stopped again,
    100,000 more moves and a close (WM_DELETE_WINDOW) queue up behind them,
    and that one close must end it with exit code 0."""
    with x_session(ctx) as session:
        app = session.launch()
        try:
            probes = probe_points(100)
            moves = backlog_moves(probes)
            expect(len(moves) == BACKLOG, "scenario error: %d moves" % len(moves))
            canvas = ExpectedCanvas()
            # The press and a first segment, shown: the drag is under way.
            app.move(*BASE)
            app.press(1)
            canvas.press(BASE)
            app.move(*NEXT)
            app.wait_pixels(canvas.segment(NEXT, BLACK_PEN), 0)
            before, _ = rss(app.program)

            app.program.pause()
            try:
                _wait_stopped(app.program, True)
                t0 = time.monotonic()
                app.move_burst(moves)
                sent = time.monotonic() - t0
            finally:
                app.program.resume()
            t0 = time.monotonic()
            expected_backlog(canvas, moves)
            expect_picture(app, canvas, "all %d probe segments of the %d queued moves"
                           % (len(probes), BACKLOG))
            drawn = time.monotonic() - t0
            after, peak = wait_rss_below(app.program, before + 16 * MIB,
                                         "the memory of the backlog to come back (%.1f MiB "
                                         "before it)" % (before / MIB))

            app.program.pause()
            try:
                _wait_stopped(app.program, True)
                app.move_burst(backlog_moves(probes[:1] * 100))
                session.x.close_window(app.window)
            finally:
                app.program.resume()
            code = app.program.wait(30)
            expect(code is not None, "the program did not end after the close queued behind "
                   "%d moves" % BACKLOG)
            expect(code == 0, "exit code %d after the queued close, expected 0" % code)
            return "%d moves queued while stopped (sent in %.1f s): every probe drawn %.1f s " \
                   "after SIGCONT; memory %.1f MiB before, %.1f MiB at the peak, %.1f MiB " \
                   "after; %d more moves and a close queued: exit code 0" % (
                       BACKLOG, sent, drawn, before / MIB, peak / MIB, after / MIB, BACKLOG)
        finally:
            app.x.release_all()
            finish(ctx, app)


# ------------------------------------------------------------------ sizes

def _size_and_draw(app, canvas, width, height, stroke, steps):
    """Makes the client area width x height (as a window manager would) and
    draws a stroke inside what shows of it: drawn, the program has dealt with
    the size."""
    t0 = time.monotonic()
    app.resize_client(width, height)
    wait_for(lambda: (app.client_size() == (width, height), "%dx%d" % app.client_size()), 10,
             "the client area to become %dx%d" % (width, height))
    app.draw_stroke(canvas, stroke, BLACK_PEN)
    expect_running(app, "at %dx%d" % (width, height))
    steps.append("%dx%d %.1f s" % (width, height, time.monotonic() - t0))


def _extreme_sizes(ctx, long_side, then, limit_bytes=None):
    """Long and thin, then tall and thin, then the normal size again, a stroke
    at each; the picture is intact at the end. then(app, steps) finishes the
    check and returns its summary."""
    with x_session(ctx, address_space=limit_bytes) as session:
        app = session.launch()
        try:
            canvas, _ = _draw_picture_for_repaint(app)
            size = app.client_size()
            steps = []
            _size_and_draw(app, canvas, long_side, 1, [(10, 0), (300, 0)], steps)
            _size_and_draw(app, canvas, 1, long_side, [(0, 20), (0, 400)], steps)
            t0 = time.monotonic()
            app.resize_client(*size)
            wait_for(lambda: (app.client_size() == size, "%dx%d" % app.client_size()), 10,
                     "the client area to become %dx%d again" % size)
            expect_picture(app, canvas, "the whole picture back at %dx%d" % size)
            steps.append("%dx%d %.1f s" % (size + (time.monotonic() - t0,)))
            summary = then(app, steps)
            close_exits_zero(app)
            return "%s: picture of %d pixels intact; %s; exit code 0" % (
                " -> ".join(steps), len(canvas.pixels), summary)
        finally:
            finish(ctx, app)


@desktop_check("chaos_extreme_sizes")
def chaos_extreme_sizes(ctx):
    """32767 x 1, then 1 x 32767, then the normal size: a stroke drawn at
    each size, the picture whole at the end, and less than 100 MiB of memory
    kept."""
    def memory(app, steps):
        after, peak = wait_rss_below(app.program, 100 * MIB,
                                     "the program's memory to fall below 100 MiB")
        return "memory %.1f MiB after (peak %.1f MiB)" % (after / MIB, peak / MIB)
    return _extreme_sizes(ctx, 32767, memory)


@desktop_check("chaos_huge_sizes_limited_memory")
def chaos_huge_sizes_limited_memory(ctx):
    """65535 x 1, then 1 x 65535 (the largest X window), with the address
    space limited to 3 GiB (ulimit -v): nothing may abort; the program draws
    at each size and closes with exit code 0."""
    def alive(app, steps):
        expect_running(app, "after the sizes")
        return "alive with 3 GiB of address space (peak memory %.1f MiB)" % (
            rss(app.program)[1] / MIB)
    return _extreme_sizes(ctx, 65535, alive, limit_bytes=3 * 1024 * MIB)


# ---------------------------------------------------------------- displays

@desktop_check("chaos_no_active_output")
def chaos_no_active_output(ctx):
    """The X server runs but has no active output (its one RandR output
    switched off, as `xrandr --output screen --off` does): nothing can be
    shown, so exit code 1 and one line on stderr."""
    with x_session(ctx) as session:
        d = session.x.d
        resources = session.x.root.xrandr_get_screen_resources_current()
        for crtc in resources.crtcs:
            d.xrandr_set_crtc_config(crtc, resources.config_timestamp, 0, 0, 0, randr.Rotate_0,
                                     [])
        active = [c for c in session.x.root.xrandr_get_screen_resources_current().crtcs
                  if d.xrandr_get_crtc_info(c, resources.config_timestamp).mode != 0]
        expect(not active, "scenario error: %d RandR output(s) still active" % len(active))
        return expect_one_line_failure(ctx.target.launch(), "it started without an active output")


@desktop_check("chaos_lost_connection")
def chaos_lost_connection(ctx):
    """The X server goes away while the program shows its window: it cannot
    go on, and ends with exit code 1 and one line on stderr."""
    xvfb = Xvfb()
    program = None
    try:
        display = xvfb.start()
        ctx.target.setup(display)
        program = ctx.target.launch()
        x = XClient(display)
        try:
            x.find_window(pid=program.pid, timeout=40, exited=program.exit_code)
        finally:
            x.close()
        xvfb.stop()
        return expect_one_line_failure(program, "the X server went away")
    finally:
        if program is not None:
            program.stop()
        xvfb.stop()


@desktop_check("chaos_stale_wayland_display")
def chaos_stale_wayland_display(ctx):
    """A session whose WAYLAND_DISPLAY names a compositor that is gone (and
    no SDL_VIDEODRIVER): Wayland, tried first, fails, and the program runs on
    the X display instead, as if nothing had happened: no line on stderr,
    exit code 0 after the close."""
    with tempfile.TemporaryDirectory(prefix="kp-stale-wayland-") as runtime:
        env = {"WAYLAND_DISPLAY": "wayland-97", "XDG_RUNTIME_DIR": runtime,
               "SDL_VIDEODRIVER": None}
        with x_session(ctx, env=env) as session:
            app = session.launch()
            try:
                canvas = ExpectedCanvas()
                app.draw_stroke(canvas, [(40, 40), (200, 90)], BLACK_PEN)
                close_exits_zero(app)
                output = app.program.output()
                expect(not output, "the program printed %r" % output[:300])
                return "ran on X11, drew, printed nothing, exit code 0"
            finally:
                finish(ctx, app)


# ---------------------------------------------------------- huge configures

@desktop_check("chaos_huge_configures")
def chaos_huge_configures(ctx):
    """What the program needs with its window as large as the screen, then a
    synthetic ConfigureNotify of 65535 x 65535 sent by another client
    (XSendEvent: the window itself keeps its size) and a real XConfigureWindow
    to 30000 x 30000: a stroke shows at once after each, and the peak
    resident memory stays within the screen-sized need plus 16 MiB."""
    with x_session(ctx) as session:
        app = session.launch()
        try:
            canvas = ExpectedCanvas()
            size = app.client_size()
            app.window.configure(x=0, y=0)  # the whole client on the screen at every size
            app.resize_client(1280, 1024)
            app.draw_stroke(canvas, [(900, 900), (1200, 1000)], BLACK_PEN)
            need = rss(app.program)[1]
            app.resize_client(*size)
            app.draw_stroke(canvas, [(20, 20), (80, 40)], BLACK_PEN)
            fake = event.ConfigureNotify(window=app.window, event=app.window, x=0, y=0,
                                         width=65535, height=65535, border_width=0,
                                         above_sibling=X.NONE, override=0)
            app.window.send_event(fake, event_mask=X.StructureNotifyMask)
            session.x.d.sync()
            app.draw_stroke(canvas, [(100, 20), (160, 60)], BLACK_PEN)
            app.resize_client(30000, 30000)
            app.draw_stroke(canvas, [(200, 20), (1100, 900)], BLACK_PEN)
            peak = rss(app.program)[1]
            expect(peak <= need + 16 * MIB, "peak memory %.1f MiB, more than the %.1f MiB the "
                   "screen-sized window needed plus 16 MiB" % (peak / MIB, need / MIB))
            close_exits_zero(app)
            return "strokes shown after 65535 x 65535 (synthetic) and 30000 x 30000 (real); " \
                   "peak memory %.1f MiB, screen-sized %.1f MiB; exit code 0" % (
                       peak / MIB, need / MIB)
        finally:
            finish(ctx, app)


# --------------------------------------------------------------- signals

def _silent_display():
    """A listening socket that never answers (a dead ssh -X tunnel), as an X
    display ":N" and as a Wayland display path; closed by the caller."""
    os.makedirs("/tmp/.X11-unix", exist_ok=True)
    for n in range(120, 200):
        path = "/tmp/.X11-unix/X%d" % n
        if not os.path.exists(path) and not os.path.exists("/tmp/.X%d-lock" % n):
            listener = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
            listener.bind(path)
            listener.listen(8)
            return listener, path, ":%d" % n
    raise RuntimeError("no free X display number between 120 and 199")


def _ends_within_a_second(proc, sig):
    proc.send_signal(sig)
    t0 = time.monotonic()
    try:
        code = proc.wait(1.0)
    except subprocess.TimeoutExpired:
        raise AssertionError("still running 1 s after %s" % signal.Signals(sig).name)
    return code, time.monotonic() - t0


@desktop_check("chaos_end_signals")
def chaos_end_signals(ctx):
    """SIGTERM and SIGINT end the program within a second: while it waits for
    a display that accepted its connection and never answers (X11 and
    Wayland), by the signal itself; with its window up, as a close does
    (exit code 0)."""
    listener, path, display = _silent_display()
    env = {k: v for k, v in ctx.target.env().items()
           if k not in ("DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER")}
    results = []
    try:
        for sig in (signal.SIGTERM, signal.SIGINT):
            for kind, at in (("X11", {"DISPLAY": display}), ("Wayland", {"WAYLAND_DISPLAY": path})):
                # Stopped by the harness if a check below fails.
                program = ctx.target.start_program(ctx.target.argv([]), dict(env, **at))
                time.sleep(0.5)  # connected and waiting for the answer
                expect(program.exit_code() is None, "the program ended on its own (exit code %s) "
                       "waiting for a silent %s display" % (program.exit_code(), kind))
                code, took = _ends_within_a_second(program.proc, sig)
                expect(code == -sig, "exit status %s after %s on a silent %s display, expected "
                       "death by the signal" % (code, sig.name, kind))
                results.append("%s %s %.2f s" % (kind, sig.name, took))
            with x_session(ctx) as session:
                app = session.launch()
                try:
                    code, took = _ends_within_a_second(app.program.proc, sig)
                    expect(code == 0, "exit code %s after %s with the window up, expected 0"
                           % (code, sig.name))
                    results.append("window %s %.2f s" % (sig.name, took))
                finally:
                    finish(ctx, app)
    finally:
        listener.close()
        os.unlink(path)
    return "ended: " + ", ".join(results)


# ------------------------------------------------------------ memory shortage

@desktop_check("chaos_memory_shortage")
def chaos_memory_shortage(ctx):
    """64 MiB of address space on a 3840 x 2160 screen: the program starts
    with its 584 x 461 window, but made as large as the screen its pixels
    cannot be had. One line on stderr says so; the part that fits shows the
    picture and takes new strokes, the rest is white; back at its size the
    picture is whole; exit code 0 after the close."""
    with x_session(ctx, screen="3840x2160x24", address_space=64 * MIB) as session:
        app = session.launch()
        try:
            canvas = ExpectedCanvas()
            size = app.client_size()
            app.draw_stroke(canvas, [(20, 20), (300, 200)], BLACK_PEN)
            app.resize_client(3840, 2160)
            app.draw_stroke(canvas, [(300, 200), (500, 400)], BLACK_PEN)
            beyond = app.grab(600, 500, 400, 300)
            expect(not beyond.non_white(), "beyond the pixels that fit, the window is not white")
            app.resize_client(*size)
            expect_picture(app, canvas, "the whole picture back at %dx%d" % size)
            close_exits_zero(app)
            lines = app.program.output().decode("utf-8", "replace").splitlines()
            expect(len(lines) == 1 and "memory" in lines[0],
                   "stderr %r, expected one line about memory" % lines[:3])
            return "said %r; drew in what fits, white beyond; whole again; exit code 0" % lines[0]
        finally:
            finish(ctx, app)
