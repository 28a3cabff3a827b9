"""What the browser shows, in device pixels: its own screenshot of the page."""

from kpe2e.picture import decode_png


def screenshot_of(driver):
    """The visible page as a Picture of device pixels."""
    return decode_png(driver.get_screenshot_as_png())
