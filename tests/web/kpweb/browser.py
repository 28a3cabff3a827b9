"""The page on 127.0.0.1 and a headless Chromium that shows it, driven through
ChromeDriver (WebDriver): both started here and stopped whatever happens."""

import functools
import http.server
import os
import shutil
import tempfile
import threading

CHROMIUM = "/usr/bin/chromium"
CHROMEDRIVER = "/usr/bin/chromedriver"
# A desktop of this size: the program's screen (and so its canvas) and the
# browser window.
SCREEN = (1280, 1024)


class Skip(Exception):
    """What the page's tests need is not on this machine."""


class _QuietHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass

    def end_headers(self):
        # Every load is a new start of the program, never a cached one.
        self.send_header("Cache-Control", "no-store")
        super().end_headers()


class Server:
    """A static web server for the site folder, on a free port of 127.0.0.1."""

    def __init__(self, site):
        if not os.path.isfile(os.path.join(site, "index.html")):
            raise Skip("no page at %s (build it: cmake --preset web && cmake --build --preset "
                       "web)" % site)
        handler = functools.partial(_QuietHandler, directory=site)
        self.httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
        self.httpd.daemon_threads = True
        self.url = "http://127.0.0.1:%d/" % self.httpd.server_address[1]
        self.thread = threading.Thread(target=self.httpd.serve_forever, daemon=True)
        self.thread.start()

    def stop(self):
        self.httpd.shutdown()
        self.httpd.server_close()


def chromium_arguments(profile, scale=None, screen=SCREEN):
    """Headless Chromium as root on a machine without network."""
    args = ["--headless=new", "--no-sandbox", "--disable-gpu", "--disable-quic",
            "--no-first-run", "--disable-background-networking", "--disable-component-update",
            "--disable-sync", "--user-data-dir=" + profile,
            "--window-size=%d,%d" % screen, "--screen-info={%dx%d}" % screen,
            "--disable-features=Translate,MediaRouter", "--mute-audio"]
    if scale is not None:
        args.append("--force-device-scale-factor=%s" % scale)
    return args


class Browser:
    """Chromium through ChromeDriver. `scale` forces a device pixel ratio."""

    def __init__(self, scale=None):
        for path in (CHROMIUM, CHROMEDRIVER):
            if not os.access(path, os.X_OK):
                raise Skip("%s is missing (Debian: chromium, chromium-driver)" % path)
        try:
            from selenium import webdriver
            from selenium.webdriver.chrome.service import Service
        except ImportError:
            raise Skip("python3-selenium is missing")
        self.profile = tempfile.mkdtemp(prefix="kp-web-chromium-")
        options = webdriver.ChromeOptions()
        options.binary_location = CHROMIUM
        for a in chromium_arguments(self.profile, scale):
            options.add_argument(a)
        self.service = Service(CHROMEDRIVER)
        try:
            self.driver = webdriver.Chrome(service=self.service, options=options)
        except BaseException:
            self._cleanup()
            raise
        self.driver.set_script_timeout(30)

    def _cleanup(self):
        try:
            self.service.stop()
        except Exception:
            pass
        shutil.rmtree(self.profile, ignore_errors=True)

    def quit(self):
        try:
            self.driver.quit()
        finally:
            self._cleanup()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.quit()
        return False
