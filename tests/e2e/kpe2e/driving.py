"""Driving the program through its client area, whatever shows it (an X
server, a browser): waiting for pixels, and strokes, clicks and drags that
keep an expected picture up to date. A subclass supplies the primitives:
client_size(), grab(x, y, width, height) (a Picture in client coordinates),
move(x, y), press(button), release(button) (X button numbers: 1 left,
2 middle, 3 right, 8 and 9 the extra buttons) and key(name, down) (X keysym
names: Shift_L, Control_L)."""

import time

from .oracle import ExpectedCanvas, pens_for_interval
from .picture import WHITE, rgb_hex
from .waiting import WaitTimeout, wait_for

# How long the harness waits for the program's reactions. Generous, because
# the machine may be shared and busy; waits end as soon as the result shows.
MAP_TIMEOUT = 40
DRAW_TIMEOUT = 10
EXIT_TIMEOUT = 15
# Pause between the moves of a drag that is expected to draw nothing, so that
# each move reaches the program as its own message even then (moves that draw
# are paced by waiting for their pixels instead).
IDLE_MOVE_PACE = 0.03


def describe_differences(diffs, limit=8):
    shown = ", ".join("(%d,%d) is %s, expected %s" % (x, y, rgb_hex(a), rgb_hex(b))
                      for x, y, a, b in diffs[:limit])
    more = "" if len(diffs) <= limit else " and %d more" % (len(diffs) - limit)
    return "%d pixel(s) differ: %s%s" % (len(diffs), shown, more)


class Driver:
    """The program's window as a test drives it, in client coordinates."""

    def wait_picture(self, expected, timeout=DRAW_TIMEOUT, what="the expected picture"):
        """Waits until the whole client area shows `expected` ({(x, y): colour}
        of the non-white pixels, or a Picture) and returns the picture."""
        def probe():
            pic = self.grab()
            if not isinstance(expected, dict) and (pic.width, pic.height) != (
                    expected.width, expected.height):
                return False, "client area %dx%d" % (pic.width, pic.height)
            diffs = pic.differences(expected)
            return (not diffs, pic if not diffs else describe_differences(diffs))
        return wait_for(probe, timeout, what, interval=0.03)

    def wait_settled(self, width=None, height=None, quiet=0.4, timeout=10):
        """Waits until the client area (or its width x height top-left part)
        has not changed for `quiet` seconds, and returns it."""
        state = {"pic": None, "since": None}

        def probe():
            pic = self.grab(0, 0, width, height)
            now = time.monotonic()
            if state["pic"] is None or not pic.same_as(state["pic"]):
                state["pic"], state["since"] = pic, now
                return None
            return pic if now - state["since"] >= quiet else None
        return wait_for(probe, timeout, "the picture to settle")

    def wait_pixels(self, pixels, colour, timeout=DRAW_TIMEOUT, what=None):
        """Waits until every one of `pixels` (inside the client area) shows colour."""
        cw, ch = self.client_size()
        pts = [p for p in pixels if 0 <= p[0] < cw and 0 <= p[1] < ch]
        if not pts:
            return
        x0 = min(p[0] for p in pts)
        y0 = min(p[1] for p in pts)
        x1 = max(p[0] for p in pts)
        y1 = max(p[1] for p in pts)

        def probe():
            pic = self.grab(x0, y0, x1 - x0 + 1, y1 - y0 + 1)
            wrong = [p for p in pts if pic.get(*p) != colour]
            return (not wrong, "%d of %d pixels not yet %s, e.g. %s"
                    % (len(wrong), len(pts), rgb_hex(colour), wrong[:3]))
        wait_for(probe, timeout, what or "%d pixels to turn %s" % (len(pts), rgb_hex(colour)))

    def wait_white(self, timeout=MAP_TIMEOUT):
        def probe():
            pic = self.grab()
            others = pic.colours() - {WHITE}
            return (not others, "%dx%d, colours %s" % (
                pic.width, pic.height, ", ".join(rgb_hex(c) for c in sorted(others)[:4])))
        wait_for(probe, timeout, "the client area to be all white")

    def click(self, x, y, button=1):
        """Moves to (x, y), then presses and releases the button there."""
        self.move(x, y)
        self.press(button)
        self.release(button)

    def draw_stroke(self, canvas, points, pen):
        """A left drag through `points` that must draw: press at points[0], then
        one move per further point. After each move the harness waits for that
        segment's pixels, so no move is merged with the next; the expected
        picture in `canvas` is updated as it goes."""
        self.move(*points[0])
        self.press(1)
        canvas.press(points[0])
        try:
            for p in points[1:]:
                before = canvas.pixels.copy()
                pixels = canvas.segment(p, pen)
                if all(before.get(q) == pen.rgb for q in pixels):
                    raise ValueError("segment to %s adds no new pixel: the harness could not "
                                     "tell when it has been drawn" % (p,))
                self.move(*p)
                self.wait_pixels(pixels, pen.rgb, what="the segment to %s in %s" % (p, pen))
        finally:
            self.release(1)

    def draw_stroke_after_pen_change(self, canvas, points, t_before, press=True):
        """Like draw_stroke, for the first stroke after a right click whose pen
        is not known beforehand: the click was sent at t_before or later, and
        it has been handled before the first segment starts to show. So the
        pen must be the generator's pen of one of the seconds from t_before
        to the moment the first change is seen, and the segment must match
        that pen exactly. With press=False the left button is already down
        and the canvas's current position is points[0]: the drag goes on.
        Returns (pen, candidates): the pen that matched and every pen that
        was possible."""
        if press:
            self.move(*points[0])
            self.press(1)
        try:
            # Where the first segment can show, whatever the pen's width.
            (x0, y0), (x1, y1) = points[0], points[1]
            cw, ch = self.client_size()
            box_x, box_y = max(min(x0, x1) - 5, 0), max(min(y0, y1) - 5, 0)
            box = (box_x, box_y, min(max(x0, x1) + 5, cw - 1) - box_x + 1,
                   min(max(y0, y1) + 5, ch - 1) - box_y + 1)
            before = self.grab(*box)
            self.move(*points[1])

            def changed():
                pic = self.grab(*box)
                return time.time() if not pic.same_as(before) else None
            seen = wait_for(changed, DRAW_TIMEOUT, "the first segment after the right click")
            candidates = pens_for_interval(t_before, seen)

            def matching():
                pic = self.grab(*box)
                for pen in candidates.values():
                    trial = ExpectedCanvas()
                    trial.press(points[0])
                    pixels = [p for p in trial.segment(points[1], pen) if pic.contains(*p)]
                    if all(pic.get(*p) == pen.rgb for p in pixels):
                        return pen
                return None
            try:
                pen = wait_for(matching, DRAW_TIMEOUT,
                               "the first segment after the right click to show exactly in "
                               "the generator's pen of its second")
            except WaitTimeout as e:
                pens = ", ".join("%d: %s" % (s, p) for s, p in sorted(candidates.items()))
                shown = sorted(self.grab(*box).colours() - before.colours())
                raise WaitTimeout("%s; candidate pens were %s; new colours shown: %s" % (
                    e, pens, ", ".join(rgb_hex(c) for c in shown[:4])))
            canvas.press(points[0])
            canvas.segment(points[1], pen)
            for p in points[2:]:
                pixels = canvas.segment(p, pen)
                self.move(*p)
                self.wait_pixels(pixels, pen.rgb, what="the segment to %s in %s" % (p, pen))
            return pen, dict(candidates)
        finally:
            self.release(1)

    def idle_drag(self, points, buttons=(1,), keys=()):
        """A drag that must not draw: keys held, then the buttons pressed in
        order at points[0], moves through the rest, everything released in
        reverse order. Moves are paced, since no pixels can show that they
        have arrived."""
        for k in keys:
            self.key(k, True)
        try:
            self.move(*points[0])
            for b in buttons:
                self.press(b)
            for p in points[1:]:
                time.sleep(IDLE_MOVE_PACE)
                self.move(*p)
            time.sleep(IDLE_MOVE_PACE)
        finally:
            for b in reversed(buttons):
                self.release(b)
            for k in reversed(keys):
                self.key(k, False)
