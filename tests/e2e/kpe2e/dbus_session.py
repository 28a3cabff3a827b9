"""A private D-Bus session bus for a compositor that is driven over D-Bus
(mutter, kwin), and the harness's connection to it (GDBus, python3-gi).

The bus runs as the desktop's user. When the harness runs as root, the bus
also lets root in, since a session bus admits only its own user otherwise."""

import os

from .targets import Skip
from .waiting import wait_for

try:
    from gi.repository import Gio, GLib
except ImportError:  # the check that needs it is skipped
    Gio = GLib = None

CONFIG = """<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <include>/usr/share/dbus-1/session.conf</include>
  %s
</busconfig>
"""


def variant(signature, value):
    return GLib.Variant(signature, value)


class SessionBus:
    """Starts the bus in the compositor's runtime folder, for its children
    too, and connects to it; the compositor closes it when it ends."""

    def __init__(self, compositor):
        if Gio is None:
            raise Skip("Debian package not installed: python3-gi")
        config = os.path.join(compositor.runtime, "bus.conf")
        with open(config, "w") as f:
            f.write(CONFIG % ('<policy context="default"><allow user="root"/></policy>'
                              if os.geteuid() == 0 else ""))
        compositor.chown_runtime()
        address = "unix:path=" + os.path.join(compositor.runtime, "bus")
        proc = compositor.spawn(["dbus-daemon", "--config-file=" + config, "--nofork",
                                 "--address=" + address], "dbus.log")

        def connect():
            try:
                return True, Gio.DBusConnection.new_for_address_sync(
                    address, Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT |
                    Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION, None, None)
            except GLib.Error as e:  # its socket is there a moment before it listens
                return False, e.message
        self.conn = compositor.wait_ready(proc, connect, "the session bus to take connections")
        compositor.env_extra["DBUS_SESSION_BUS_ADDRESS"] = address
        compositor.closing.append(self)

    def close(self):
        self.conn.close_sync(None)

    def call(self, dest, path, iface, method, args=None, reply=None, fd=None):
        """Calls a method; returns the reply's values as a tuple (unpacked).
        With fd, the file descriptor goes along (its index is in args); the
        call takes it over and closes it."""
        reply_type = GLib.VariantType(reply) if reply else None
        if fd is None:
            result = self.conn.call_sync(dest, path, iface, method, args, reply_type,
                                         Gio.DBusCallFlags.NONE, 20000, None)
        else:
            fds = Gio.UnixFDList.new_from_array([fd])
            result, _ = self.conn.call_with_unix_fd_list_sync(
                dest, path, iface, method, args, reply_type, Gio.DBusCallFlags.NONE, 20000,
                fds, None)
        return result.unpack() if result is not None else ()

    def has_owner(self, name):
        return self.call("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                         "NameHasOwner", variant("(s)", (name,)), "(b)")[0]

    def wait_signal(self, path, iface, member, start, timeout=20):
        """Subscribes to a signal, calls start(), and waits for the signal;
        returns its arguments (unpacked)."""
        got = []
        sub = self.conn.signal_subscribe(None, iface, member, path, None,
                                         Gio.DBusSignalFlags.NONE,
                                         lambda *a: got.append(a[5].unpack()))
        context = GLib.MainContext.default()

        def probe():
            while context.iteration(False):  # what has come in, the signal among it
                pass
            return got
        try:
            start()
            return wait_for(probe, timeout, "%s.%s from %s" % (iface, member, path))[0]
        finally:
            self.conn.signal_unsubscribe(sub)
