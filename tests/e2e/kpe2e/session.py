"""A run of the program on a private X server: starting it, finding its
window, driving it with real input and reading its client area back."""

import sys

# The waiting times and describe_differences are used from here too.
from .driving import (DRAW_TIMEOUT, EXIT_TIMEOUT, IDLE_MOVE_PACE, MAP_TIMEOUT,  # noqa: F401
                      Driver, describe_differences)
from .waiting import WaitTimeout, wait_for
from .xserver import Xvfb, XClient


class App(Driver):
    """The program's X window and what can be done to it, in client coordinates."""

    def __init__(self, session, program, window):
        self.session = session
        self.x = session.x
        self.program = program
        self.window = window
        _, _, w, h = self.x.geometry(window)
        self.frame = session.target.frame((w, h))

    # ------------------------------------------------------------- geometry

    def client_size(self):
        _, _, w, h = self.x.geometry(self.window)
        left, top, right, bottom = self.frame
        return w - left - right, h - top - bottom

    def origin(self):
        """The client area's top-left pixel in root coordinates."""
        x, y, _, _ = self.x.geometry(self.window)
        return x + self.frame[0], y + self.frame[1]

    def resize_client(self, width, height):
        """Resizes the top-level X window so that the client area becomes
        width x height, as a window manager would on a user's drag."""
        left, top, right, bottom = self.frame
        self.x.resize(self.window, width + left + right, height + top + bottom)

    # --------------------------------------------------------------- pixels

    def grab(self, x=0, y=0, width=None, height=None):
        """The client area (or a rectangle of it), as a Picture in client coordinates.

        Read from the root window, that is from what the screen shows there:
        reading the program's own window would give undefined pixels where
        another window covers it."""
        cw, ch = self.client_size()
        width = cw - x if width is None else width
        height = ch - y if height is None else height
        ox, oy = self.origin()
        pic = self.x.grab(self.x.root, ox + x, oy + y, width, height)
        pic.ox, pic.oy = x, y
        return pic

    # ---------------------------------------------------------------- input

    def move(self, x, y):
        ox, oy = self.origin()
        self.x.move(ox + x, oy + y)

    def press(self, button=1):
        self.x.button(button, True)

    def release(self, button=1):
        self.x.button(button, False)

    def key(self, name, down):
        self.x.key(name, down)

    def move_burst(self, points):
        """Moves through every client point with no wait at all in between."""
        ox, oy = self.origin()
        self.x.move_burst([(ox + x, oy + y) for x, y in points])

    # ------------------------------------------------------------- closing

    def close(self, timeout=EXIT_TIMEOUT):
        """Closes the window as a window manager's close button does and waits
        for the process to end; returns its exit code (None if it did not end)."""
        self.x.close_window(self.window)
        return self.program.wait(timeout)


class Session:
    """Xvfb, the target's preparation and an X connection, torn down in
    reverse order whatever happens."""

    def __init__(self, target, log, screen="1280x1024x24"):
        self.target = target
        self.log = log
        self.xvfb = Xvfb(screen)
        self.x = None
        self.problems = []
        # Where finish() saves the client area when a check fails.
        self.failure_picture = None

    def __enter__(self):
        try:
            display = self.xvfb.start()
            self.log("Xvfb on %s" % display)
            self.x = XClient(display)
            self.target.setup(display)
        except BaseException:
            self.__exit__(None, None, None)
            raise
        return self

    def __exit__(self, *exc):
        try:
            self.problems += self.target.teardown()
        finally:
            try:
                if self.x is not None:
                    self.x.close()
            except Exception:
                pass
            finally:
                self.x = None
                self.xvfb.stop()
        return False

    def launch(self, args=(), wait_white=True):
        """Starts the program and waits for its window (and, by default, for its
        client area to be white)."""
        program = self.target.launch(args)
        window = self.x.find_window(pid=program.pid, timeout=MAP_TIMEOUT,
                                    exited=program.exit_code)
        app = App(self, program, window)
        if wait_white:
            app.wait_white()
        return app

    def save_failure(self, app):
        """Saves the client area of a failing check's instance, if it still runs."""
        if self.failure_picture is None:
            return
        try:
            if app.program.exit_code() is None:
                app.grab().to_png(self.failure_picture)
                self.log("client area at the failure saved to %s" % self.failure_picture)
        except Exception:
            pass

    def finish(self, app):
        """Ends an instance that a check did not close itself. Called from a
        check's finally clause: when the check is failing, the client area is
        saved first, for whoever reads the failure."""
        self.x.release_all()
        if sys.exc_info()[0] is not None:
            self.save_failure(app)
        if app.program.exit_code() is None:
            try:
                app.close(timeout=5)
            except Exception:
                pass
        app.program.stop()
        # The next instance must not find this one's window.
        try:
            wait_for(lambda: not self.x.exists(app.window) or
                     app.window not in self.x.top_level_windows(), 10,
                     "the closed window to disappear")
        except WaitTimeout:
            pass
