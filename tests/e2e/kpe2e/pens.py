"""Choosing the moment of a right click: the pen depends only on the clock's
second, so a check that needs a wide (or a one-pixel) pen waits for a second
whose pen is one."""

import time

from .oracle import pen_for_seed
from .picture import BLACK, WHITE

# Clicks are made this far into their second, so that the click and its
# handling by the program very likely fall into the same second.
CLICK_PHASE = 0.05
LATEST_PHASE = 0.6


def await_second(want=lambda pen: True, max_ahead=12):
    """Sleeps until early in the first second (from now on, at most max_ahead
    seconds away) whose pen satisfies want(); if there is none, until the next
    usable second whatever its pen. Returns that second."""
    now = time.time()
    first = int(now) if now - int(now) < LATEST_PHASE else int(now) + 1
    seconds = range(first, first + max_ahead + 1)
    chosen = next((s for s in seconds if visible(pen_for_seed(s)) and want(pen_for_seed(s))),
                  None)
    if chosen is None:
        chosen = next(s for s in range(first, first + 1000) if visible(pen_for_seed(s)))
    start = chosen + CLICK_PHASE
    while time.time() < start:
        time.sleep(min(0.05, max(0.0, start - time.time())))
    return chosen


def visible(pen):
    """A pen whose strokes can be told apart from the white canvas and from
    the initial black pen."""
    return pen.rgb not in (WHITE, BLACK)


def wide(pen):
    return pen.width >= 2


def cosmetic(pen):
    return pen.width <= 1


def frozen_second(start=1700000000):
    """A second at which to freeze the program's clock (libfaketime) for the
    colour checks: the first from `start` on whose pen is wide and whose
    every channel tells the ways of fitting 8 bits into fewer or more apart:
    cutting to 5 or 6 bits differs from rounding to them, and a 10-bit value
    made by repeating the top bits differs from one padded with ones."""
    def telling(c):
        return (c >> 3 != round(c * 31 / 255) and c >> 2 != round(c * 63 / 255)
                and 0 < c < 192)
    for second in range(start, start + 1000000):
        pen = pen_for_seed(second)
        if pen.width >= 3 and all(telling(c) for c in (
                (pen.rgb >> 16) & 0xFF, (pen.rgb >> 8) & 0xFF, pen.rgb & 0xFF)):
            return second
    raise ValueError("no such second")
