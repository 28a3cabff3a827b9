"""The README's picture of the page: the desktop scenario's strokes (each
checked against the oracle as it is drawn), then what the browser shows
around the window."""

from kpe2e.demo import screenshot_scenario
from kpe2e.picture import Picture

from .screenshot import screenshot_of

MARGIN = 16


def readme_screenshot(session, out):
    app = session.launch()
    try:
        _, summary = screenshot_scenario(app)
        info = app.info()
        shot = screenshot_of(session.driver)
        left, top, width, height = (int(round(v * info["scale"] / info["unit"]))
                                    for v in info["window"])
        x0, y0 = max(left - MARGIN, 0), max(top - MARGIN, 0)
        x1, y1 = min(left + width + MARGIN, shot.width), min(top + height + MARGIN, shot.height)
        part = Picture.blank(x1 - x0, y1 - y0)
        for y in range(y0, y1):
            for x in range(x0, x1):
                part.set(x - x0, y - y0, shot.get(x, y))
        part.to_png(out)
        return "saved %s (%dx%d): %s" % (out, part.width, part.height, summary)
    finally:
        session.finish(app)
