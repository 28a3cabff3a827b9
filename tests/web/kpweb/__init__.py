"""The browser build's tests: the page in headless Chromium, real input
through WebDriver, pixels read back from the client area's canvas."""
