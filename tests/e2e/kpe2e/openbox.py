"""Openbox, a real reparenting window manager, on a private Xvfb: started
with a configuration of the harness's own (click to focus, smart placement,
title bar buttons icon, label, iconify, maximize, close), and what a user
does with it: clicking the buttons of a window's title bar, and what a task
bar does to bring a minimized window back."""

import os
import shutil
import subprocess
import tempfile

from Xlib import X, Xatom, error
from Xlib.protocol import event

from . import processes
from .targets import Skip
from .waiting import wait_for

RC_XML = """<?xml version="1.0" encoding="UTF-8"?>
<openbox_config xmlns="http://openbox.org/3.4/rc">
  <focus><focusNew>yes</focusNew><followMouse>no</followMouse></focus>
  <placement><policy>Smart</policy><center>yes</center></placement>
  <theme><name>Clearlooks</name><titleLayout>NLIMC</titleLayout></theme>
  <desktops><number>1</number></desktops>
  <mouse>
    <dragThreshold>8</dragThreshold>
    <context name="Client">
      <mousebind button="Left" action="Press">
        <action name="Focus"/><action name="Raise"/>
      </mousebind>
      <mousebind button="Right" action="Press">
        <action name="Focus"/><action name="Raise"/>
      </mousebind>
    </context>
    <context name="Titlebar">
      <mousebind button="Left" action="Press">
        <action name="Focus"/><action name="Raise"/>
      </mousebind>
    </context>
    <context name="Iconify">
      <mousebind button="Left" action="Click"><action name="Iconify"/></mousebind>
    </context>
    <context name="Maximize">
      <mousebind button="Left" action="Click"><action name="ToggleMaximize"/></mousebind>
    </context>
    <context name="Close">
      <mousebind button="Left" action="Click"><action name="Close"/></mousebind>
    </context>
  </mouse>
</openbox_config>
"""

# The buttons at the right end of the title bar, left to right (titleLayout
# NLIMC: icon and label first).
BUTTONS = ("iconify", "maximize", "close")


class Openbox:
    def __init__(self, display, log):
        self.display = display
        self.log = log
        self.proc = None
        self.home = None

    def start(self, x, timeout=20):
        """Starts openbox and waits until it manages the screen; x is an
        XClient on the same display."""
        if shutil.which("openbox") is None:
            raise Skip("openbox is not installed (Debian package openbox)")
        self.home = tempfile.mkdtemp(prefix="kp-openbox-")
        rc = os.path.join(self.home, "rc.xml")
        with open(rc, "w") as f:
            f.write(RC_XML)
        env = {k: v for k, v in os.environ.items() if not k.startswith("XDG_")}
        env.update(DISPLAY=self.display, HOME=self.home, XDG_CONFIG_HOME=self.home,
                   XDG_CACHE_HOME=self.home, XDG_DATA_HOME=self.home)
        self.proc = processes.start(["openbox", "--config-file", rc, "--sm-disable"], env=env,
                                    stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                    stderr=subprocess.DEVNULL)

        def managing():
            if self.proc.poll() is not None:
                raise RuntimeError("openbox exited with code %d" % self.proc.returncode)
            prop = x.root.get_full_property(x.atom("_NET_SUPPORTING_WM_CHECK"), Xatom.WINDOW)
            return prop is not None and len(prop.value) > 0
        wait_for(managing, timeout, "openbox to manage the screen")
        # openbox announces itself before it reads its events, and a window
        # mapped in between is never managed (its map request is lost): a
        # probe window, mapped again until openbox frames it, shows that it
        # is past that.
        probe = x.root.create_window(0, 0, 16, 16, 0, x.screen.root_depth, X.InputOutput,
                                     X.CopyFromParent)

        def framed():
            probe.map()
            x.d.sync()
            return frame(x, probe).id != probe.id
        try:
            wait_for(framed, timeout, "openbox to frame a window", interval=0.2)
        finally:
            probe.destroy()
            x.d.sync()
        self.log("openbox manages %s" % self.display)

    def stop(self):
        processes.stop_group(self.proc)
        self.proc = None
        if self.home:
            shutil.rmtree(self.home, ignore_errors=True)
            self.home = None


def frame(x, client):
    """The window manager's frame around a client: its ancestor just below
    the root window."""
    win = client
    while True:
        parent = win.query_tree().parent
        if parent is None or parent.id == x.root.id:
            return win
        win = parent


def root_rect(x, win):
    """(x, y, width, height) of a window in root coordinates."""
    g = win.get_geometry()
    pos = x.root.translate_coords(win, 0, 0)
    return pos.x, pos.y, g.width, g.height


def frame_rect(x, client):
    return root_rect(x, frame(x, client))


def title_buttons(x, client):
    """{"iconify"|"maximize"|"close": (x, y, width, height)} in root
    coordinates: the square mapped children of the title bar, the last three
    from the left."""
    for part in frame(x, client).query_tree().children:
        try:
            if part.get_attributes().map_state != X.IsViewable:
                continue
            squares = []
            for child in part.query_tree().children:
                g = child.get_geometry()
                if (g.width == g.height and g.width >= 8
                        and child.get_attributes().map_state == X.IsViewable):
                    squares.append(root_rect(x, child))
        except error.XError:
            continue
        if len(squares) >= len(BUTTONS) + 1:  # the window icon and the buttons
            squares.sort()
            return dict(zip(BUTTONS, squares[-len(BUTTONS):]))
    raise AssertionError("no title bar with %s buttons in the window's frame"
                         % ", ".join(BUTTONS))


def click_title_button(x, client, name):
    """Clicks a title bar button with real pointer input, as a user does."""
    bx, by, bw, bh = title_buttons(x, client)[name]
    x.move(bx + bw // 2, by + bh // 2)
    x.button(1, True)
    x.button(1, False)


def active_window(x):
    prop = x.root.get_full_property(x.atom("_NET_ACTIVE_WINDOW"), Xatom.WINDOW)
    return prop.value[0] if prop is not None and len(prop.value) else None


def activate(x, client):
    """What a task bar does to bring a (minimized) window back: a
    _NET_ACTIVE_WINDOW request from a pager (source indication 2)."""
    ev = event.ClientMessage(window=client, client_type=x.atom("_NET_ACTIVE_WINDOW"),
                             data=(32, [2, X.CurrentTime, 0, 0, 0]))
    x.root.send_event(ev, event_mask=X.SubstructureRedirectMask | X.SubstructureNotifyMask)
    x.d.sync()


def wm_state(x, client):
    """ICCCM WM_STATE: 1 normal, 3 iconic, None when withdrawn."""
    atom = x.atom("WM_STATE")
    try:
        prop = client.get_full_property(atom, atom)
    except error.XError:
        return None
    return prop.value[0] if prop is not None and len(prop.value) else None
