"""CPU per mouse move on Wayland: sway on its headless backend (pixman, no
GPU) as the e2e harness runs it (kpe2e/sway.py: an unprivileged user, wayvnc
as the pointer, grim for pictures), for three programs:

- native: the program on Wayland (SDL_VIDEODRIVER=wayland);
- xwayland: the same program on sway's Xwayland (SDL_VIDEODRIVER=x11);
- floor: kp-wl-floor, the bench's bare wl_shm + xdg-shell client that draws
  each segment into shared memory, damages only its rectangle and commits
  paced by frame callbacks: the least a correct Wayland program can cost.

Two sizes: the 600 x 500 window (client 584 x 461, floating with sway's
title bar) on a 1280 x 1024 output, and the window fullscreen on a
3840 x 2160 output. Each size gets one sway; each repetition starts every
program afresh in turn, waits for its window at its size and painted white,
draws and awaits a stroke in the far corner of the client area, then kp-drag
sends the drag through wayvnc (RFB PointerEvent messages on the harness's
own connection, one per millisecond) and reads the CPU time of the program,
of the compositor (sway, and Xwayland for the xwayland program) and apart of
wayvnc (the input device: turning RFB into a virtual pointer is what a real
mouse costs no one). The pacer leaves the end check's pixels to this module
(grim), and after the drag every move must show in the picture
(drive.missing_moves): a program that dropped moves would look cheap."""

import json
import os
import statistics
import subprocess
import time

from kpe2e import processes
from kpe2e.sway import Sway, SwayDesktop
from kpe2e.targets import NativeTarget, Target
from kpe2e.waiting import wait_for

from drive import (LEFT, ROW_WIDTH, TOP, comm, corner_stroke, drag_points, log, missing_moves,
                   neighbours, summarize_drag, wait_white)

# name -> (output size, fullscreen)
SIZES = {"window": ((1280, 1024), False), "uhd": ((3840, 2160), True)}
PROGRAMS = ("native", "xwayland", "floor")
BLACK = 0


class WaylandFloorTarget(Target):
    """kp-wl-floor, started by Sway.launch like the program."""

    name = "floor"
    client_size = NativeTarget.client_size


def xwayland_pids(sway):
    """sway's Xwayland (started when the first X client connects), found by
    the private runtime folder it inherits from sway."""
    return [pid for pid in processes.pids_with_env("XDG_RUNTIME_DIR", sway.runtime)
            if comm(pid) == "Xwayland"]


class WaylandRun:
    """One program on one output: started, sized, checked, dragged, closed."""

    def __init__(self, sway, target, name, fullscreen, args):
        self.sway, self.target, self.name = sway, target, name
        self.desktop = SwayDesktop(sway)
        self.fullscreen, self.args = fullscreen, args
        self.program = None
        self.con = None

    def start(self):
        self.program = self.sway.launch(self.target, wayland=self.name != "xwayland")
        self.con = self.sway.find_window(self.program)
        if self.fullscreen:
            self.sway.command("[con_id=%d] fullscreen enable" % self.con)
            want = self.sway.size
        else:
            self.desktop.place(self.con)
            want = NativeTarget.client_size

        def settled():
            # sway's tree shows a floating window moved before its title bar
            # is placed above it: the title bar's rectangle must be there.
            v = self.sway.view(self.con) or {}
            got = self.desktop.geometry(self.con)
            titled = self.fullscreen or v.get("deco_rect", {}).get("height", 0) > 0
            return titled and got[2:] == tuple(want), "%d,%d %dx%d" % got
        wait_for(settled, 20, "a %dx%d client area in place" % tuple(want))
        cx, cy, cw, ch = self.desktop.geometry(self.con)
        bottom = max(y for _, y in drag_points(self.args.moves))
        wait_white(self.desktop, (cx + LEFT - 2, cy + TOP - 2, ROW_WIDTH + 5, bottom - TOP + 5))
        corner_stroke(self.desktop, cx, cy, cw, ch)
        return cx, cy, cw, ch

    def black(self, points):
        """How many of the points (screen coordinates) are black on the output."""
        xs, ys = [p[0] for p in points], [p[1] for p in points]
        pic = self.desktop.grab(None, min(xs), min(ys), max(xs) - min(xs) + 1,
                                max(ys) - min(ys) + 1)
        return sum(pic.get(x, y) == BLACK for x, y in points)

    def pids(self):
        """(program, compositor, input) processes."""
        server = [self.sway.procs[0].pid]
        if self.name == "xwayland":
            server += xwayland_pids(self.sway)
        return [self.program.pid], server, [self.sway.procs[1].pid]

    def drag(self, origin):
        cx, cy = origin
        points = [(cx + x, cy + y) for x, y in drag_points(self.args.moves)]
        checks = neighbours(points[-1])
        program, server, inputs = self.pids()
        sock = self.sway.pointer.sock
        argv = [self.args.drag, "--server", ",".join(map(str, server)),
                "--program", ",".join(map(str, program)), "--input", ",".join(map(str, inputs)),
                "--rfb-fd", str(sock.fileno()), "--ask",
                "--interval-us", str(self.args.interval_us)]
        proc = subprocess.Popen(argv, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, text=True, pass_fds=(sock.fileno(),))
        proc.stdin.write("%d %d\n" % (len(points), len(checks)))
        proc.stdin.write("".join("%d %d\n" % p for p in points + checks))
        proc.stdin.flush()
        report = []
        for line in proc.stdout:
            if line.strip() == "probe":
                proc.stdin.write("%d\n" % self.black(checks))
                proc.stdin.flush()
            else:
                report.append(line)
        err = proc.stderr.read()
        proc.stdin.close()
        if proc.wait(timeout=30) != 0:
            raise RuntimeError("kp-drag failed (%d): %s %s" % (proc.returncode, err.strip(),
                                                                "".join(report).strip()))
        # The pacer released the button at the last point.
        self.sway.pointer.mask, self.sway.pointer.position = 0, points[-1]
        return json.loads("".join(report)), points

    def check_drawn(self, points):
        """Every move of the drag shows in the output's picture."""
        xs, ys = [p[0] for p in points], [p[1] for p in points]
        pic = self.desktop.grab(None, min(xs), min(ys), max(xs) - min(xs) + 1,
                                max(ys) - min(ys) + 1)
        missing = missing_moves(points, lambda x, y: pic.get(x, y) == BLACK)
        if missing:
            raise RuntimeError("%s drew %d of the drag's %d moves not at all (moves %s ...)"
                               % (self.name, len(missing), len(points) - 1, missing[:5]))

    def close(self):
        if self.program is None:
            return
        if self.con is not None and self.program.exit_code() is None:
            try:
                self.desktop.close_window(self.con)
            except Exception:
                pass
        if self.program.wait(10) is None:
            self.program.stop()
        if self.con is not None:
            wait_for(lambda: not self.desktop.exists(self.con), 10, "the closed window to go")


def make_target(name, args, size):
    if name == "floor":
        if not args.wl_floor or not os.access(args.wl_floor, os.X_OK):
            raise RuntimeError("no Wayland floor client to run (--wl-floor %s)" % args.wl_floor)
        target = WaylandFloorTarget(args.wl_floor, args.work, log)
    else:
        target = NativeTarget(args.native, args.work, log)
    target.log_label = "wayland-%s-%s" % (name, size)
    return target


def drag_once(sway, target, name, fullscreen, args):
    """One fresh start of a program, its drag and its close: the drag's
    report with its sums added."""
    run = WaylandRun(sway, target, name, fullscreen, args)
    try:
        t0 = time.monotonic()
        cx, cy, cw, ch = run.start()
        ready = time.monotonic() - t0
        load = os.getloadavg()[0]
        d, points = run.drag((cx, cy))
        run.check_drawn(points)
    finally:
        run.close()
    d.update(loadavg=load, client=[cw, ch], ready_s=ready)
    d["us_per_move"] = s = summarize_drag(d, precise=True)
    log("wayland %s %s %dx%d: program %.0f + compositor %.0f = %.0f us/move, wayvnc %.0f;"
        " ready in %.1f s, drain %.0f ms, late>0.5ms %d, others %.2f cores, load %.2f, probes %d"
        % ("%dx%d" % tuple(sway.size), name, cw, ch, s["program"], s["server"],
           s["sum"], s["input"], ready, d["drain_ms"], d["late_count"], d["others_cores"], load,
           d["probes"]))
    return d


def measure_size(args, size, programs):
    """Every drag on one output, each repetition starting every program in
    turn (so that a busy spell of the shared machine falls on all alike)."""
    output, fullscreen = SIZES[size]
    drags = {name: [] for name in programs}
    with Sway(log, args.work, scale=1, size=output, xwayland=True) as sway:
        targets = {name: make_target(name, args, size) for name in programs}
        try:
            for _ in range(args.reps):
                for name in programs:
                    drags[name].append(drag_once(sway, targets[name], name, fullscreen, args))
        finally:
            for target in targets.values():
                target.teardown()
    results = []
    for name in programs:
        med = {k: statistics.median(d["us_per_move"][k] for d in drags[name])
               for k in ("program", "server", "sum", "input")}
        results.append({"size": size, "screen": "%dx%d" % output, "maximized": fullscreen,
                        "program": name, "client": drags[name][-1]["client"],
                        "median_us_per_move": med, "drags": drags[name]})
    return results


def sway_version():
    r = subprocess.run(["sway", "--version"], capture_output=True, text=True)
    return r.stdout.strip().replace(" version ", " ")


def measure(args):
    """Every size and program of args on Wayland: the data of display-wayland.json."""
    sizes = [s for s in args.sizes if s in SIZES]
    programs = [n for n in PROGRAMS if n in args.programs]
    out = {"display": "wayland", "compositor": sway_version(), "moves": args.moves,
           "reps": args.reps, "interval_us": args.interval_us, "results": [],
           "cores": os.cpu_count(), "loadavg_before": os.getloadavg()}
    for size in sizes:
        out["results"] += measure_size(args, size, programs)
    out["loadavg_after"] = os.getloadavg()
    return out
