#!/usr/bin/env python3
"""CPU per mouse move on a real X server (Xvfb), for the native program, the
Windows build under Wine and the bench's own floor program (kp-floor); and
on Wayland (sway headless: wayland.py) for the native program, the program
through XWayland and the bench's Wayland floor client (kp-wl-floor).

  measure.py run --out DIR --native EXE --wine-exe EXE --floor EXE --drag EXE
                 [--wl-floor EXE] [--wineprefix DIR] [--moves 2000] [--reps 5]
                 [--displays x11,wayland] [--sizes ...] [--programs ...]
                 [--docs PNG]
  measure.py chart DISPLAY_JSON PNG

For each screen size a private Xvfb (24-bit) is started. Each repetition
then starts every program in turn (so that a busy spell of the shared machine
falls on all of them alike): its window is awaited (polled, never slept for),
maximized when the size asks for it (as the e2e harness does it with no
window manager: _NET_WM_STATE_MAXIMIZED_* set and the X window configured to
the screen), awaited painted white, and a short stroke drawn in the far
corner of the client area must show (proof that the program really draws
that far, and a warm-up); then kp-drag sends one drag of --moves motion
events (XTEST, one per millisecond) and reads the CPU time of the program's
processes and of Xvfb before the first move and after the last one has been
drawn (see bench/display/drag.cpp); then the window is closed. Medians over
the repetitions.

The program side: the native program and the floor are one process each.
Under Wine it is the exe's process and wineserver: wineserver serves the
program's USER/GDI calls (its message queue, window state, input), so it
belongs to the program, not to the X server. Wine's other processes in the
prefix (explorer.exe, services.exe, winedevice.exe, ...) are recorded as
"other" but not counted: they do not take part in a drag, and one of them
(winedevice.exe with the HID/USB bus drivers) polls in the background at a
few percent of a core, which would count as per-move cost otherwise.

Results go to DIR/display.json and DIR/display-wayland.json (read by
bench/summarize.py), the charts to DIR/bench-display.png and
DIR/bench-display-wayland.png (and with --docs to that path and the same
name with "-wayland")."""

import argparse
import json
import os
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))

from kpe2e import processes  # noqa: E402
from kpe2e.picture import WHITE  # noqa: E402
from kpe2e.targets import NativeTarget, Skip, Target, WineTarget  # noqa: E402
from kpe2e.waiting import wait_for  # noqa: E402
from kpe2e.xserver import XClient, Xvfb  # noqa: E402

import wayland  # noqa: E402
from drive import (LEFT, ROW_WIDTH, TOP, comm, corner_stroke, drag_points, log,  # noqa: E402
                   neighbours, summarize_drag, wait_white)

# (name, screen, maximized)
SIZES = {
    "window": ("1280x1024", False),
    "fhd": ("1920x1080", True),
    "uhd": ("3840x2160", True),
}
PROGRAMS = ("native", "wine", "floor")
TITLES = {"native": "Kelvane Paint", "wine": "Kelvane Paint", "floor": "Kelvane Paint floor"}

class FloorTarget(Target):
    """kp-floor: a bare Xlib + MIT-SHM client of the native client's size."""

    name = "floor"
    client_size = NativeTarget.client_size

    def setup(self, display):
        super().setup(display)
        if not os.access(self.exe, os.X_OK):
            raise RuntimeError("not an executable program: %s" % self.exe)

    def env(self):
        env = dict(os.environ, DISPLAY=self.display)
        env.pop("WAYLAND_DISPLAY", None)
        return env

    def argv(self, args):
        return [self.exe] + [str(v) for v in self.client_size] + args


class Run:
    """One program on one screen: started, sized, checked, measured, closed."""

    def __init__(self, x, xvfb, target, program_name, maximized, args):
        self.x, self.xvfb, self.target = x, xvfb, target
        self.name, self.maximized, self.args = program_name, maximized, args
        self.window = None
        self.window_size = None
        self.program = None

    def pids(self):
        """(counted as the program, only recorded): see the module's notes."""
        if not isinstance(self.target, WineTarget):
            return [self.program.pid], []
        program, other = [self.program.pid], []
        for pid in sorted(processes.pids_with_env("WINEPREFIX", self.target.prefix)):
            if pid == self.program.pid:
                continue
            (program if comm(pid).startswith("wineserver") else other).append(pid)
        return program, other

    def find_window(self):
        title = TITLES[self.name]

        def probe():
            code = self.program.exit_code()
            if code is not None:
                raise RuntimeError("%s exited with code %s before its window appeared"
                                   % (self.name, code))
            mine = set(sum(self.pids(), []))
            for win in self.x.top_level_windows(title=title):
                owner = self.x.window_pid(win)
                if owner is None or owner in mine:
                    return win
            return None
        return wait_for(probe, 60, 'a viewable window titled "%s"' % title)

    def client(self):
        """(x, y, width, height) of the client area in root coordinates."""
        x, y, w, h = self.x.geometry(self.window)
        left, top, right, bottom = self.target.frame((w, h))
        return x + left, y + top, w - left - right, h - top - bottom

    def start(self):
        self.program = self.target.launch()
        self.window = self.find_window()
        sw, sh = self.x.screen.width_in_pixels, self.x.screen.height_in_pixels
        if self.maximized:
            self.x.maximize(self.window, sw, sh)
            wait_for(lambda: (self.client()[2:] == (sw, sh), "%dx%d" % self.client()[2:]), 20,
                     "the client area to become %dx%d" % (sw, sh))
        cx, cy, cw, ch = self.client()
        # Painted white where the drag goes (before the first paint Xvfb
        # shows black there, like the strokes).
        points = drag_points(self.args.moves)
        box = (cx + LEFT - 2, cy + TOP - 2, ROW_WIDTH + 5, max(y for _, y in points) - TOP + 5)

        wait_white(self.x, box)
        # How far down the program paints, near the right edge: all of its
        # window, except that Wine keeps a window within its maximum tracking
        # size (the screen plus the frame), so that maximized by configuring
        # its X window to the screen its client stays 15 rows short and the
        # rows below are never painted. The client is what the program
        # paints (at least 90% of the window's height, the same in two probes
        # in a row, so that a paint in progress is not taken for it); the
        # corner stroke below proves that it draws there.
        last = []

        def painted():
            column = self.x.grab(self.x.root, cx + cw - 30, cy, 1, ch)
            rows = next((y for y in range(ch) if column.get(cx + cw - 30, cy + y) != WHITE), ch)
            last.append(rows)
            return (rows >= 0.9 * ch and last[-2:] == [rows, rows],
                    "%d of %d rows white" % (rows, ch))
        wait_for(painted, 20, "the client area to be painted", interval=0.05)
        self.window_size = (cw, ch)
        if last[-1] < ch:
            log("%s paints %dx%d of its %dx%d window" % (self.name, cw, last[-1], cw, ch))
            ch = last[-1]
        corner_stroke(self.x, cx, cy, cw, ch)
        return cx, cy, cw, ch

    def drag(self, origin):
        cx, cy = origin
        points = drag_points(self.args.moves)
        checks = neighbours(points[-1])
        lines = ["%d %d" % (len(points), len(checks))]
        lines += ["%d %d" % (cx + x, cy + y) for x, y in points + checks]
        program, other = self.pids()
        argv = [self.args.drag, "--server", str(self.xvfb.proc.pid),
                "--program", ",".join(map(str, program)),
                "--interval-us", str(self.args.interval_us)]
        if other:
            argv += ["--watch", ",".join(map(str, other))]
        proc = subprocess.run(argv, input="\n".join(lines) + "\n", capture_output=True, text=True,
                              env=dict(os.environ, DISPLAY=self.x.d.get_display_name()),
                              timeout=180)
        if proc.returncode != 0:
            raise RuntimeError("kp-drag failed (%d): %s %s" % (proc.returncode,
                                                                proc.stderr.strip(),
                                                                proc.stdout.strip()))
        return json.loads(proc.stdout)

    def close(self):
        """Closes the window as a window manager would and waits for the
        process to end (stopping it if it does not); the target's other
        processes (Wine's) stay for the next start."""
        if self.program is None:
            return
        if self.window is not None and self.program.exit_code() is None:
            try:
                self.x.close_window(self.window)
            except Exception:
                pass
        if self.program.wait(10) is None:
            self.program.stop()
        if self.window is not None:
            wait_for(lambda: self.window not in self.x.top_level_windows(title=TITLES[self.name]),
                     10, "the closed window to go away")


def make_target(name, args, size):
    if name == "native":
        target = NativeTarget(args.native, args.work, log)
    elif name == "wine":
        target = WineTarget(args.wine_exe, args.work, log, args.wineprefix)
        if args.wine_loader:
            # The 64-bit loader, called directly: Debian's `wine` picks the
            # 32-bit one whenever that is installed.
            target.wine = args.wine_loader
            os.environ["WINELOADER"] = args.wine_loader
        target.check_available()
    else:
        target = FloorTarget(args.floor, args.work, log)
    target.log_label = "%s-%s" % (name, size)
    return target


def measure_size(args, size):
    """All drags on one screen: each repetition starts every program afresh
    in turn, so that a busy spell of the shared machine falls on all of them
    alike rather than on one program's drags."""
    screen, maximized = SIZES[size]
    xvfb = Xvfb(screen + "x24")
    display = xvfb.start()
    x = None
    targets = {}
    drags = {name: [] for name in args.programs}
    clients, windows = {}, {}
    try:
        x = XClient(display)
        for name in args.programs:
            targets[name] = make_target(name, args, size)
            targets[name].setup(display)
        for rep in range(args.reps):
            for name in args.programs:
                run = Run(x, xvfb, targets[name], name, maximized, args)
                try:
                    t0 = time.monotonic()
                    cx, cy, cw, ch = run.start()
                    clients[name], windows[name] = [cw, ch], list(run.window_size)
                    ready = time.monotonic() - t0
                    load = os.getloadavg()[0]
                    d = run.drag((cx, cy))
                finally:
                    run.close()
                d["loadavg"] = load
                d["us_per_move"] = s = summarize_drag(d)
                drags[name].append(d)
                log("%s %s %dx%d, drag %d: program %.0f + X %.0f = %.0f us/move, %.2f writes/move;"
                    " ready in %.1f s, drain %.0f ms, late>0.5ms %d, others %.2f cores, load %.2f,"
                    " probes %d" % (size, name, cw, ch, rep + 1, s["program"], s["server"], s["sum"],
                                    s["writes"], ready, d["drain_ms"], d["late_count"],
                                    d["others_cores"], load, d["probes"]))
    finally:
        for target in targets.values():
            target.teardown()
        if x is not None:
            try:
                x.close()
            except Exception:
                pass
        xvfb.stop()
    results = []
    for name in args.programs:
        med = {k: statistics.median(d["us_per_move"][k] for d in drags[name])
               for k in ("program", "server", "sum", "writes")}
        results.append({"size": size, "screen": screen, "maximized": maximized, "program": name,
                        "client": clients[name], "window": windows[name],
                        "median_us_per_move": med,
                        "drags": drags[name]})
    return results


def measure(args):
    out = {"moves": args.moves, "reps": args.reps, "interval_us": args.interval_us, "results": [],
           "cores": os.cpu_count(), "wine_build": args.wine_build,
           "loadavg_before": os.getloadavg()}
    for size in args.sizes:
        out["results"] += measure_size(args, size)
    out["loadavg_after"] = os.getloadavg()
    return out


# How the chart names each display's programs and sides.
CHART_STYLES = {
    "x11": {"where": "on Xvfb", "server": "X server", "filled": "maximized",
            "programs": {"native": ("tab:blue", "native (SDL host)"),
                         "wine": ("tab:red", "Windows build under Wine"),
                         "floor": ("tab:green", "floor (bare Xlib + MIT-SHM)")}},
    "wayland": {"where": "on sway (headless, pixman)", "server": "compositor",
                "filled": "fullscreen",
                "programs": {"native": ("tab:blue", "native on Wayland (SDL 2)"),
                             "xwayland": ("tab:orange", "native through XWayland"),
                             "floor": ("tab:green", "floor (bare wl_shm + xdg-shell)")}},
}


def chart_sums(ax, data, style, names):
    """Program + server per move against the client area, one line a program."""
    from matplotlib.ticker import FixedLocator, FuncFormatter, NullFormatter
    results = data["results"]
    sums_at = {}  # screen size -> every program's sum there
    for r in results:
        sums_at.setdefault(r["size"], []).append(r["median_us_per_move"]["sum"])
    for name in names:
        colour, label = style["programs"][name]
        rows = sorted((r for r in results if r["program"] == name),
                      key=lambda r: r["client"][0] * r["client"][1])
        area = [r["client"][0] * r["client"][1] for r in rows]
        sums = [r["median_us_per_move"]["sum"] for r in rows]
        ax.plot(area, sums, "o-", color=colour, label=label)
        for r, a, v in zip(rows, area, sums):
            # The highest value at a size is labelled above its point, the
            # others below, so that close values do not swap labels.
            above = v >= max(sums_at[r["size"]])
            ax.annotate("%.0f" % v, (a, v), textcoords="offset points",
                        xytext=(6, 4 if above else -12), fontsize=8, color=colour)
    ax.set_xscale("log")
    ax.set_yscale("log")
    # One tick per screen (Wine's client at 600 x 500 is a little larger).
    areas = sorted({next(r["client"][0] * r["client"][1] for r in results if r["size"] == size)
                    for size in {r["size"] for r in results}})
    ax.xaxis.set_major_locator(FixedLocator(areas))
    ax.xaxis.set_major_formatter(FuncFormatter(lambda v, _: "%.2f M" % (v / 1e6)))
    ax.xaxis.set_minor_formatter(NullFormatter())
    ax.yaxis.set_major_locator(FixedLocator([20, 50, 100, 200, 500, 1000, 2000, 5000, 10000]))
    ax.yaxis.set_major_formatter(FuncFormatter(lambda v, _: "%.0f" % v))
    ax.yaxis.set_minor_formatter(NullFormatter())
    ax.set_xlabel("client area (pixels)")
    ax.set_ylabel("CPU per mouse move, program + %s (µs)" % style["server"])
    ax.set_title("program + %s" % style["server"])
    ax.grid(True, which="both", alpha=0.3)
    ax.legend(fontsize=8)


def chart_parts(ax, data, style, names, sizes):
    """Program (solid) and server (hatched) stacked, per size and program."""
    results = data["results"]
    width = 0.8 / max(len(names), 1)
    for i, name in enumerate(names):
        colour, label = style["programs"][name]
        for j, size in enumerate(sizes):
            r = next((r for r in results if r["program"] == name and r["size"] == size), None)
            if r is None:
                continue
            m = r["median_us_per_move"]
            x = j + (i - (len(names) - 1) / 2) * width
            ax.bar(x, m["program"], width, color=colour,
                   label=label + ": program" if j == 0 else None)
            ax.bar(x, m["server"], width, bottom=m["program"], color="white", edgecolor=colour,
                   hatch="//", label=label + ": " + style["server"] if j == 0 else None)
    ticks = []
    for size in sizes:
        r = next(r for r in results if r["size"] == size)
        ticks.append("%s\nclient %dx%d" % (style["filled"] if r["maximized"] else "600x500 window",
                                            r["client"][0], r["client"][1]))
    ax.set_xticks(range(len(sizes)))
    ax.set_xticklabels(ticks, fontsize=8)
    ax.set_ylabel("CPU per mouse move (µs)")
    ax.set_title("program (solid) and %s (hatched)" % style["server"])
    ax.grid(True, axis="y", alpha=0.3)
    ax.set_ylim(0, ax.get_ylim()[1] * 1.45)
    ax.legend(fontsize=7, loc="upper left", ncol=2)


def chart(data, paths):
    """Left: program + server per move against the client area. Right: the
    same split into program (solid) and server (hatched), stacked, per size.
    The server is the X server, or on Wayland the compositor (with Xwayland)."""
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    style = CHART_STYLES[data.get("display", "x11")]
    if data.get("wine_build") == "win64":
        style = dict(style, programs=dict(style["programs"]))
        colour, label = style["programs"]["wine"]
        style["programs"]["wine"] = (colour, label + " (64-bit)")
    sizes = []
    for r in data["results"]:
        if r["size"] not in sizes:
            sizes.append(r["size"])
    names = [n for n in style["programs"] if any(r["program"] == n for r in data["results"])]
    fig, (ax_sum, ax_parts) = plt.subplots(1, 2, figsize=(13, 5.2))
    chart_sums(ax_sum, data, style, names)
    chart_parts(ax_parts, data, style, names, sizes)
    fig.suptitle("CPU per mouse move, %d-move drags at %.0f Hz %s, median of %d"
                 % (data["moves"], 1e6 / data.get("interval_us", 1000), style["where"],
                    data["reps"]))
    fig.tight_layout()
    for p in paths:
        fig.savefig(p, dpi=100)
    plt.close(fig)


def write_results(args, data, name):
    """DIR/NAME.json and DIR/bench-NAME.png (and the --docs chart, named the
    same way after its display: bench-display.png, bench-display-wayland.png)."""
    path = os.path.join(args.out, name + ".json")
    with open(path, "w") as f:
        json.dump(data, f, indent=1)
    paths = [os.path.join(args.out, "bench-%s.png" % name)]
    if args.docs:
        root, ext = os.path.splitext(args.docs)
        paths.append(root + name[len("display"):] + ext)
    chart(data, paths)
    log("wrote %s and %s" % (path, ", ".join(paths)))


def parse_args():
    p = argparse.ArgumentParser(description=__doc__,
                                formatter_class=argparse.RawDescriptionHelpFormatter)
    sub = p.add_subparsers(dest="cmd", required=True)
    r = sub.add_parser("run")
    r.add_argument("--out", required=True)
    r.add_argument("--native", required=True)
    r.add_argument("--wine-exe", required=True)
    r.add_argument("--floor", required=True)
    r.add_argument("--wl-floor", help="the Wayland floor client (kp-wl-floor)")
    r.add_argument("--drag", required=True)
    r.add_argument("--wineprefix", required=True)
    r.add_argument("--wine-loader", help="the Wine loader to run the exe with (default: wine)")
    r.add_argument("--wine-build", default="win32",
                   help="what the exe is: win32, or win64 where no 32-bit code runs")
    r.add_argument("--moves", type=int, default=2000)
    r.add_argument("--reps", type=int, default=5)
    r.add_argument("--interval-us", type=int, default=1000,
                   help="time between two moves (1000: a 1000 Hz mouse)")
    r.add_argument("--displays", default="x11,wayland")
    r.add_argument("--sizes", default=",".join(SIZES),
                   help="of %s; Wayland measures those of %s"
                   % (", ".join(SIZES), ", ".join(wayland.SIZES)))
    r.add_argument("--programs", default=",".join(PROGRAMS + wayland.PROGRAMS[1:]),
                   help="of %s on X11 and %s on Wayland"
                   % (", ".join(PROGRAMS), ", ".join(wayland.PROGRAMS)))
    r.add_argument("--docs", help="also write the X11 chart here (and the Wayland one beside it)")
    c = sub.add_parser("chart")
    c.add_argument("json")
    c.add_argument("png")
    args = p.parse_args()
    if args.cmd == "run":
        for opt, known in (("displays", ("x11", "wayland")), ("sizes", set(SIZES) | set(wayland.SIZES)),
                           ("programs", set(PROGRAMS) | set(wayland.PROGRAMS))):
            setattr(args, opt, getattr(args, opt).split(","))
            for v in getattr(args, opt):
                if v not in known:
                    p.error("unknown %s %s (%s)" % (opt[:-1], v, ", ".join(sorted(known))))
    return args


def main():
    args = parse_args()
    if args.cmd == "chart":
        with open(args.json) as f:
            chart(json.load(f), [args.png])
        return
    os.makedirs(args.out, exist_ok=True)
    args.work = os.path.join(args.out, "display-logs")
    os.makedirs(args.work, exist_ok=True)
    x11 = dict(vars(args), sizes=[s for s in args.sizes if s in SIZES],
               programs=[n for n in args.programs if n in PROGRAMS])
    if "x11" in args.displays and x11["sizes"] and x11["programs"]:
        write_results(args, measure(argparse.Namespace(**x11)), "display")
    if "wayland" in args.displays:
        try:
            data = wayland.measure(args)
        except Skip as e:
            log("Wayland not measured: %s" % e)
        else:
            write_results(args, data, "display-wayland")


if __name__ == "__main__":
    main()
