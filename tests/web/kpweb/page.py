"""The program in the page: loading it, finding its window, driving it with
WebDriver actions (which the page receives as trusted pointer events) and
reading back the pixels of the client area's canvas."""

import base64
import math
import sys
import time
from array import array

from kpe2e.driving import EXIT_TIMEOUT, MAP_TIMEOUT, Driver
from kpe2e.picture import Picture
from kpe2e.waiting import wait_for

from .browser import Browser, Server
from .devtools import DevTools

# X button numbers (as the desktop checks name them) to WebDriver's.
BUTTONS = {1: 0, 2: 1, 3: 2, 8: 3, 9: 4}
HIDDEN, NORMAL, MINIMIZED, MAXIMIZED = 0, 1, 2, 3


def _keys():
    from selenium.webdriver.common.keys import Keys
    return {"Shift_L": Keys.SHIFT, "Control_L": Keys.CONTROL}


class WebApp(Driver):
    """The program's window in the page, in client coordinates."""

    def __init__(self, session, window_id):
        self.session = session
        self.driver = session.browser.driver
        self.id = window_id
        self.pointer = "mouse"
        self._devtools = None

    # ------------------------------------------------------------- the page

    def script(self, code, *args):
        return self.driver.execute_script(code, *args)

    def info(self):
        """The window as the page shows it (see window.kelvane in page.js)."""
        return self.script("return kelvane.window(arguments[0])", self.id)

    def probe(self):
        return self.script("return kelvane.probe")

    def state(self):
        info = self.info()
        return info["state"] if info else None

    def client_size(self):
        info = self.info()
        return info["width"], info["height"]

    def origin(self):
        """The client area's top-left corner on the page, in CSS pixels."""
        left, top, _, _ = self.info()["client"]
        return left, top

    # --------------------------------------------------------------- pixels

    def grab(self, x=0, y=0, width=None, height=None):
        """A rectangle of the client area as the canvas holds it, as a
        Picture in client coordinates."""
        cw, ch = self.client_size()
        width = cw - x if width is None else width
        height = ch - y if height is None else height
        data = base64.b64decode(self.script(
            "return kelvane.grab(arguments[0], arguments[1], arguments[2], arguments[3], "
            "arguments[4])", self.id, x, y, width, height))
        pixels = array("I")
        pixels.frombytes(data)  # B, G, R, 0 per pixel: 0x00RRGGBB on little-endian
        if sys.byteorder != "little":
            pixels.byteswap()
        return Picture(width, height, pixels, x, y)

    # ---------------------------------------------------------------- input

    def _actions(self):
        from selenium.webdriver.common.actions.action_builder import ActionBuilder
        from selenium.webdriver.common.actions.pointer_input import PointerInput
        builder = ActionBuilder(self.driver, mouse=PointerInput("mouse", "mouse"), duration=0)
        return builder, builder.pointer_action

    def page_point(self, x, y, info=None):
        """The whole CSS pixel of the page that lies in logical pixel (x, y)
        of the client area (a logical pixel is at least one CSS pixel)."""
        info = info or self.info()
        left, top, _, _ = info["client"]
        unit = info["unit"]
        return (int(math.ceil(left + x * unit - 1e-4)), int(math.ceil(top + y * unit - 1e-4)))

    def move_page(self, px, py):
        if self.pointer == "touch":
            self._touch_at = (px, py)
            if self._touching:
                self._touch("touchMove")
            return
        builder, pointer = self._actions()
        pointer.move_to_location(px, py)
        builder.perform()

    def move(self, x, y):
        self.move_page(*self.page_point(x, y))

    def press(self, button=1):
        if self.pointer == "touch":
            self._touching = True
            self._touch("touchStart")
            return
        builder, pointer = self._actions()
        pointer.pointer_down(BUTTONS[button])
        builder.perform()

    def release(self, button=1):
        if self.pointer == "touch":
            if self._touching:
                self._touching = False
                self._touch("touchEnd")
            return
        builder, pointer = self._actions()
        pointer.pointer_up(BUTTONS[button])
        builder.perform()

    def use_touch(self):
        """From now on a finger: the DevTools Protocol's touch events, since
        WebDriver lets a touch contact go at the end of every request."""
        self.pointer = "touch"
        self._touching = False
        self._touch_at = (0, 0)
        self._devtools = DevTools(self.driver)

    def _touch(self, kind):
        points = [] if kind == "touchEnd" else [
            {"x": self._touch_at[0], "y": self._touch_at[1], "id": 1}]
        self._devtools.pipeline([("Input.dispatchTouchEvent",
                                  {"type": kind, "touchPoints": points})])

    def key(self, name, down):
        from selenium.webdriver.common.action_chains import ActionChains
        chain = ActionChains(self.driver, duration=0)
        (chain.key_down if down else chain.key_up)(_keys()[name])
        chain.perform()

    def move_burst(self, points):
        """Moves through every client point in one WebDriver request."""
        builder, pointer = self._actions()
        info = self.info()
        for x, y in points:
            pointer.move_to_location(*self.page_point(x, y, info))
        builder.perform()

    def click_page(self, px, py, button=0):
        builder, pointer = self._actions()
        pointer.move_to_location(int(px), int(py))
        pointer.pointer_down(button)
        pointer.pointer_up(button)
        builder.perform()

    def click_box(self, box):
        """Clicks the middle of a [left, top, width, height] box of the page."""
        left, top, width, height = box
        self.click_page(left + width // 2, top + height // 2)

    def drag_page(self, start, end):
        builder, pointer = self._actions()
        pointer.move_to_location(*start)
        pointer.pointer_down(0)
        pointer.move_to_location(*end)
        pointer.pointer_up(0)
        builder.perform()

    # ---------------------------------------------------------------- frame

    def wait_state(self, state, what):
        wait_for(lambda: (self.state() == state, "state %s" % self.state()), 10, what)

    def resize_client(self, width, height):
        """Drags the bottom-right corner of the frame until the client area
        is width x height."""
        cw, ch = self.client_size()
        info = self.info()
        left, top, w, h = info["edges"]["se"]
        start = (int(left + w // 2), int(top + h // 2))
        end = (start[0] + int(round((width - cw) * info["unit"])),
               start[1] + int(round((height - ch) * info["unit"])))
        self.drag_page(start, end)

    def minimize(self):
        self.click_box(self.info()["minimize"])
        self.wait_state(MINIMIZED, "the window to be minimized")

    def restore_from_taskbar(self, state=NORMAL):
        self.click_box(self.info()["task"])
        self.wait_state(state, "the window to come back from the taskbar")

    def toggle_maximize(self, state):
        self.click_box(self.info()["maximize"])
        self.wait_state(state, "the maximize button to make the window %s" % (
            "maximized" if state == MAXIMIZED else "normal"))

    # ------------------------------------------------------------- closing

    def close(self, timeout=EXIT_TIMEOUT):
        """Clicks the close button and waits for the program to end; returns
        its exit code (None if it did not end)."""
        self.click_box(self.info()["close"])
        try:
            return wait_for(lambda: self.script("return kelvane.probe.exitCode") is not None and
                            (True, self.script("return kelvane.probe.exitCode")),
                            timeout, "the program to end")
        except AssertionError:
            return None


class WebSession:
    """The static server and a browser; each launch loads the page afresh,
    which starts a new instance of the program."""

    def __init__(self, site, log, scale=None):
        self.site = site
        self.log = log
        self.scale = scale
        self.server = None
        self.browser = None
        self.failure_picture = None
        self.problems = []

    def __enter__(self):
        try:
            self.server = Server(self.site)
            self.browser = Browser(self.scale)
        except BaseException:
            self.__exit__(None, None, None)
            raise
        return self

    def __exit__(self, *exc):
        try:
            if self.browser is not None:
                self.browser.quit()
        finally:
            self.browser = None
            if self.server is not None:
                self.server.stop()
                self.server = None
        return False

    @property
    def driver(self):
        return self.browser.driver

    def load(self):
        """Loads the page; returns the time it took until the program's
        window was there."""
        t0 = time.monotonic()
        self.driver.get(self.server.url)
        wait_for(lambda: self.driver.execute_script(
            "return window.kelvane ? kelvane.windowIds() : []"), MAP_TIMEOUT,
            "the program's window to appear on the page")
        return time.monotonic() - t0

    def launch(self, args=(), wait_white=True):
        if args:
            raise ValueError("the page passes no command line")
        self.load()
        ids = self.driver.execute_script("return kelvane.windowIds()")
        app = WebApp(self, ids[0])
        if wait_white:
            app.wait_white()
        return app

    def save_failure(self, app):
        if self.failure_picture is None:
            return
        try:
            self.driver.save_screenshot(self.failure_picture)
            self.log("the page at the failure saved to %s" % self.failure_picture)
        except Exception:
            pass

    def finish(self, app):
        """Ends a check's instance: lets go of buttons and keys; a failing
        check's page is saved first."""
        if sys.exc_info()[0] is not None:
            self.save_failure(app)
        if app._devtools is not None:
            app._devtools.close()
        try:
            from selenium.webdriver.common.actions.action_builder import ActionBuilder
            ActionBuilder(self.driver).clear_actions()
        except Exception:
            pass
