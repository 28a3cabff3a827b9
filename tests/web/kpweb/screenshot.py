"""What the browser shows, in device pixels: its own screenshot of the page."""

import base64

from kpe2e.picture import decode_png


def screenshot_of(driver, clip=None):
    """The visible page, or the clip [left, top, width, height] of it (CSS
    pixels), as a Picture of device pixels."""
    if clip is None:
        return decode_png(driver.get_screenshot_as_png())
    left, top, width, height = clip
    shot = driver.execute_cdp_cmd("Page.captureScreenshot", {
        "format": "png", "clip": {"x": left, "y": top, "width": width, "height": height,
                                  "scale": 1}})
    return decode_png(base64.b64decode(shot["data"]))
