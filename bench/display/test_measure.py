#!/usr/bin/python3
"""Tests of the real-display benchmark's own logic, no X server needed: the
drag it sends (every move draws, inside every client area measured, and the
end check can neither fire early nor be missed) and how its numbers are
summed and summarised."""

import contextlib
import io
import math
import os
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.dirname(HERE))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(HERE)), "tests", "e2e"))

import drive  # noqa: E402
import measure  # noqa: E402
import summarize  # noqa: E402
from kpe2e.oracle import cosmetic_line  # noqa: E402

# The smallest client areas the benchmark drives: the native and floor 600 x 500
# window, and Wine's.
CLIENTS = [(584, 461), (592, 473)]


class DragPathTest(unittest.TestCase):
    def test_every_move_is_a_short_segment_inside_every_client(self):
        for moves in (200, 2000, 3000):
            points = measure.drag_points(moves)
            with self.subTest(moves=moves):
                self.assertEqual(len(points), moves + 1)
                for a, b in zip(points, points[1:]):
                    self.assertTrue(2 <= math.dist(a, b) <= 7, (a, b))
                for cw, ch in CLIENTS:
                    # Clear of the margin and of the corner stroke that each
                    # start draws (cw - 60 .. cw - 12, ch - 50 .. ch - 12).
                    self.assertTrue(all(10 <= x < cw - 10 and 10 <= y < ch - 51
                                        for x, y in points), (cw, ch))

    def test_end_check_fires_only_after_the_last_move(self):
        points = measure.drag_points(2000)
        checks = set(measure.neighbours(points[-1]))
        self.assertEqual(len(checks), 8)
        before = set()
        for a, b in zip(points, points[1:-1]):
            before.update(cosmetic_line(*a, *b))
        self.assertFalse(checks & before, "a check pixel is drawn before the last move")
        # Whatever earlier point a program draws the last segment from (Wine
        # merges moves that queue up), it ends next to the last point.
        for start in points[-200:-1]:
            with self.subTest(start=start):
                self.assertTrue(checks & set(cosmetic_line(*start, *points[-1])))


    def test_dropped_moves_are_found_in_the_picture(self):
        """What shows when the program drops moves: it draws from the point
        before them to the point after them. One or two dropped in a row are
        each found, all along the drag (row turns included); of a longer run
        the line drawn instead crosses some points, but most are found; and
        a move that was drawn is never reported."""
        points = measure.drag_points(2000)
        cases = [[]] + [list(range(i, i + n)) for n in (1, 2) for i in range(1, 1990, 7)]
        cases += [list(range(i, i + n)) for n in (3, 5, 40) for i in (181, 500, 1100)]
        for dropped in cases:
            kept = [p for i, p in enumerate(points) if i not in dropped]
            black = set()
            for a, b in zip(kept, kept[1:]):
                black.update(cosmetic_line(*a, *b))
            found = drive.missing_moves(points, lambda x, y: (x, y) in black)
            with self.subTest(dropped=dropped[:3], count=len(dropped)):
                self.assertLessEqual(set(found), set(dropped))
                if len(dropped) <= 2:
                    self.assertEqual(found, dropped)
                self.assertGreaterEqual(2 * len(found), len(dropped))


def drag(program, x, other=0, moves=2000):
    procs = [{"role": "program", "us": u} for u in program]
    procs += [{"role": "server", "us": x}, {"role": "input", "us": 40_000},
              {"role": "other", "us": other}]
    return {"moves": moves, "processes": procs}


class SummaryTest(unittest.TestCase):
    def test_per_move_sums_leave_out_other_processes(self):
        got = measure.summarize_drag(drag([400_000, 200_000], 300_000, other=1_000_000))
        self.assertEqual(got, {"program": 300.0, "server": 150.0, "sum": 450.0, "input": 20.0,
                               "writes": 0.0})

    def test_precise_sums_take_run_times_unless_threads_ended(self):
        def proc(role, ticks_us, ns_us):
            return {"role": role, "us": ticks_us, "schedstat_us": ns_us}
        d = {"moves": 1000, "clk_tck": 100,
             "processes": [proc("program", 10_000, 14_000),   # ticks truncated: 14 us
                           proc("program", 30_000, 8_000),    # threads ended: the ticks
                           proc("server", 50_000, 41_000)]}   # within one tick: 41 us
        got = drive.summarize_drag(d, precise=True)
        self.assertEqual((got["program"], got["server"]), (44.0, 41.0))
        self.assertEqual(drive.summarize_drag(d)["program"], 40.0)

    def result(self, size, program, us_program, us_x, client=(584, 461)):
        return {"size": size, "screen": "1280x1024", "maximized": size != "window",
                "program": program, "client": list(client),
                "median_us_per_move": {"program": us_program, "server": us_x,
                                       "sum": us_program + us_x, "input": 7},
                "drags": [{"others_cores": 0.25}, {"others_cores": 0.75}]}

    def test_table_has_each_program_and_the_ratios_of_the_sums(self):
        data = {"moves": 2000, "reps": 5, "cores": 2, "wine_build": "win64",
                "loadavg_before": [1.5, 1, 1], "loadavg_after": [2.0, 1, 1],
                "results": [self.result("window", "native", 250, 150),
                            self.result("window", "wine", 450, 150, (592, 473)),
                            self.result("window", "floor", 40, 60),
                            self.result("uhd", "native", 1300, 700, (3840, 2160))]}
        out = io.StringIO()
        with contextlib.redirect_stdout(out):
            summarize.print_display(data)
        text = out.getvalue()
        self.assertIn("64-bit build", text)
        self.assertRegex(text, r"native\s+584x461\s+250\s+150\s+400")
        self.assertRegex(text, r"wine\s+592x473\s+450\s+150\s+600")
        self.assertIn("native / floor 4.0, Wine / native 1.50", text)
        # A size without the other programs gets no ratios.
        self.assertEqual(text.count("sums:"), 1)
        self.assertIn("median 0.50, max 0.75 of 2 cores", text)

    def test_wayland_table_has_xwayland_the_program_ratio_and_the_area_ratio(self):
        data = {"display": "wayland", "compositor": "sway 1.7", "moves": 2000, "reps": 5,
                "cores": 2, "loadavg_before": [1.5, 1, 1], "loadavg_after": [2.0, 1, 1],
                "results": [self.result("window", "native", 2000, 200),
                            self.result("window", "xwayland", 80, 120),
                            self.result("window", "floor", 40, 60),
                            self.result("uhd", "native", 3000, 500, (3840, 2160))]}
        out = io.StringIO()
        with contextlib.redirect_stdout(out):
            summarize.print_display(data)
        text = out.getvalue()
        self.assertRegex(text, r"600x500 window on 1280x1024\s+native\s+584x461\s+2000\s+200\s+2200\s+7")
        self.assertRegex(text, r"xwayland\s+584x461\s+80\s+120\s+200")
        self.assertIn("native / floor 22.0, XWayland / floor 2.0; programs: native / floor 50.0",
                      text)
        self.assertIn("fullscreen 3840x2160 / 600x500 window: 1.5", text)


if __name__ == "__main__":
    unittest.main()
