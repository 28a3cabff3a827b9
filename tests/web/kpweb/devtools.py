"""Input faster than WebDriver can send it: the Chrome DevTools Protocol on
the browser's own debugging connection, its commands sent one after another
without waiting for the answers, so that a burst of mouse moves reaches the
page within one frame (WebDriver waits for each move to be handled, about a
frame each). The page receives them as trusted pointer events."""

import json
import urllib.request

# Input.dispatchMouseEvent's names of the buttons, by X button number.
CDP_BUTTONS = {1: ("left", 1), 2: ("middle", 4), 3: ("right", 2)}


class DevTools:
    def __init__(self, driver):
        try:
            import websocket
        except ImportError:
            from .browser import Skip
            raise Skip("python3-websocket is missing")
        address = driver.capabilities["goog:chromeOptions"]["debuggerAddress"]
        with urllib.request.urlopen("http://%s/json" % address, timeout=10) as reply:
            targets = json.load(reply)
        url = driver.current_url
        page = next((t for t in targets if t.get("type") == "page" and t.get("url") == url),
                    None) or next(t for t in targets if t.get("type") == "page")
        self.socket = websocket.create_connection(page["webSocketDebuggerUrl"], timeout=30,
                                                  suppress_origin=True)
        self.next_id = 1

    def close(self):
        self.socket.close()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
        return False

    def pipeline(self, commands):
        """Sends every (method, params) at once, then collects the answers;
        raises on the first error."""
        ids = []
        for method, params in commands:
            ids.append(self.next_id)
            self.socket.send(json.dumps({"id": self.next_id, "method": method,
                                         "params": params}))
            self.next_id += 1
        pending, errors = set(ids), []
        while pending:
            message = json.loads(self.socket.recv())
            if message.get("id") in pending:
                pending.discard(message["id"])
                if "error" in message:
                    errors.append(message["error"])
        if errors:
            raise RuntimeError("DevTools: %s" % errors[0])

    def mouse_moves(self, page_points, button=1):
        """Moves the mouse through page points (CSS pixels) with `button`
        (X number, or None) held."""
        name, mask = CDP_BUTTONS.get(button, ("none", 0))
        self.pipeline([("Input.dispatchMouseEvent",
                        {"type": "mouseMoved", "x": x, "y": y, "button": name, "buttons": mask})
                       for x, y in page_points])
