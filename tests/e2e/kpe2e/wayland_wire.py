"""Just enough of the Wayland wire protocol, without libwayland, for the
harness to ask a compositor what it offers (globals, the seat's
capabilities) and to send requests of protocols it speaks (kwin's
fake input): messages of 32-bit words, strings and wl_fixed values only."""

import os
import socket
import struct

DISPLAY = 1
# wl_display's requests and error event; wl_registry's bind and global;
# wl_callback's done; wl_seat's capabilities event and pointer bit.
SYNC, GET_REGISTRY, ERROR = 0, 1, 0
BIND, GLOBAL, CALLBACK_DONE = 0, 0, 0
SEAT_CAPABILITIES, SEAT_POINTER = 0, 1


def string(text):
    data = text.encode() + b"\0"
    return struct.pack("=I", len(data)) + data + b"\0" * (-len(data) % 4)


def fixed(value):
    return struct.pack("=i", int(round(value * 256)))


def uint(value):
    return struct.pack("=I", value)


class Connection:
    def __init__(self, runtime, display, timeout=10, sock=None):
        """Connects to the display, or takes over a socket connected to it."""
        if sock is None:
            sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
            sock.connect(os.path.join(runtime, display))
        self.sock = sock
        self.sock.settimeout(timeout)
        self.next_id = 2
        self.buffer = b""
        self.globals = {}
        self.registry = self.new_id()
        self.handlers = {self.registry: self._on_registry}
        self.request(DISPLAY, GET_REGISTRY, uint(self.registry))
        self.roundtrip()

    def close(self):
        self.sock.close()

    def new_id(self):
        self.next_id += 1
        return self.next_id - 1

    def request(self, obj, opcode, payload=b""):
        self.sock.sendall(struct.pack("=II", obj, (8 + len(payload)) << 16 | opcode) + payload)

    def _on_registry(self, opcode, body):
        if opcode == GLOBAL:
            name, length = struct.unpack_from("=II", body)
            interface = body[8:8 + length - 1].decode()
            version, = struct.unpack_from("=I", body, 8 + length + (-length % 4))
            self.globals[interface] = (name, version)

    def bind(self, interface, version):
        """Binds a global; returns the new object's id (KeyError if absent)."""
        name, offered = self.globals[interface]
        obj = self.new_id()
        self.request(self.registry, BIND, uint(name) + string(interface) +
                     uint(min(version, offered)) + uint(obj))
        return obj

    def roundtrip(self):
        """Sends wl_display.sync and handles events until its done."""
        callback = self.new_id()
        done = []
        self.handlers[callback] = lambda opcode, body: done.append(opcode == CALLBACK_DONE)
        self.request(DISPLAY, SYNC, uint(callback))
        while not done:
            self._dispatch_one()

    def _dispatch_one(self):
        while len(self.buffer) < 8 or len(self.buffer) < struct.unpack_from(
                "=I", self.buffer, 4)[0] >> 16:
            chunk = self.sock.recv(65536)
            if not chunk:
                raise RuntimeError("the compositor closed the Wayland connection")
            self.buffer += chunk
        obj, word = struct.unpack_from("=II", self.buffer)
        size, opcode = word >> 16, word & 0xFFFF
        body, self.buffer = self.buffer[8:size], self.buffer[size:]
        if obj == DISPLAY and opcode == ERROR:
            _, code, length = struct.unpack_from("=III", body)
            raise RuntimeError("Wayland protocol error %d: %s"
                               % (code, body[12:12 + length - 1].decode(errors="replace")))
        handler = self.handlers.get(obj)
        if handler is not None:
            handler(opcode, body)

    def seat_capabilities(self):
        """The first seat's capabilities (bit 1: pointer), 0 without a seat."""
        if "wl_seat" not in self.globals:
            return 0
        seat = self.bind("wl_seat", 1)
        caps = []
        self.handlers[seat] = lambda opcode, body: opcode == SEAT_CAPABILITIES and caps.append(
            struct.unpack_from("=I", body)[0])
        self.roundtrip()
        return caps[-1] if caps else 0
