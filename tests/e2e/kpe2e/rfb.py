"""Just enough of the RFB (VNC) protocol, version 3.8, to drive a pointer: the
handshake with security type None, and PointerEvent messages. wayvnc turns
them into a Wayland virtual pointer (zwlr_virtual_pointer_v1), so the
compositor sees real pointer motion and buttons.

The client never asks for framebuffer updates: pictures come from grim."""

import socket
import struct

VERSION = b"RFB 003.008\n"
SECURITY_NONE = 1
POINTER_EVENT = 5
# Button mask bits: X button numbers 1 (left), 2 (middle), 3 (right).
BUTTON_BITS = {1: 0x01, 2: 0x02, 3: 0x04}


class RfbError(RuntimeError):
    pass


class PointerClient:
    def __init__(self, path, timeout=10):
        """Connects to the server's Unix socket and completes the handshake."""
        self.sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.sock.settimeout(timeout)
        self.sock.connect(path)
        self.mask = 0
        self.position = (0, 0)
        try:
            self._handshake()
        except BaseException:
            self.sock.close()
            raise
        self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_SNDBUF, 1 << 20)

    def _recv(self, n):
        data = b""
        while len(data) < n:
            chunk = self.sock.recv(n - len(data))
            if not chunk:
                raise RfbError("the server closed the connection during the handshake")
            data += chunk
        return data

    def _reason(self):
        (length,) = struct.unpack(">I", self._recv(4))
        return self._recv(length).decode("utf-8", "replace")

    def _handshake(self):
        version = self._recv(12)
        if not version.startswith(b"RFB 003."):
            raise RfbError("not an RFB server: %r" % version)
        self.sock.sendall(VERSION)
        (count,) = self._recv(1)
        if count == 0:
            raise RfbError("the server refused the connection: %s" % self._reason())
        types = self._recv(count)
        if SECURITY_NONE not in types:
            raise RfbError("the server wants authentication (security types %s)" % list(types))
        self.sock.sendall(bytes([SECURITY_NONE]))
        (result,) = struct.unpack(">I", self._recv(4))
        if result != 0:
            raise RfbError("security handshake failed: %s" % self._reason())
        self.sock.sendall(b"\x01")  # ClientInit: share the desktop
        self.width, self.height = struct.unpack(">HH", self._recv(4))
        self._recv(16)  # the server's pixel format: not used
        self.name = self._reason()

    def _send(self, x, y, mask):
        if not (0 <= x < self.width and 0 <= y < self.height):
            raise ValueError("(%d, %d) is outside the %dx%d framebuffer"
                             % (x, y, self.width, self.height))
        self.sock.sendall(struct.pack(">BBHH", POINTER_EVENT, mask, x, y))
        self.mask, self.position = mask, (x, y)

    def move(self, x, y):
        """The pointer to framebuffer pixel (x, y), buttons as they are."""
        self._send(x, y, self.mask)

    def moves(self, points):
        """Every point as its own PointerEvent, in one write."""
        data = b"".join(struct.pack(">BBHH", POINTER_EVENT, self.mask, x, y) for x, y in points)
        self.sock.sendall(data)
        if points:
            self.position = points[-1]

    def button(self, number, down):
        bit = BUTTON_BITS.get(number)
        if bit is None:
            raise ValueError("button %d has no RFB button bit here" % number)
        self._send(*self.position, (self.mask | bit) if down else (self.mask & ~bit))

    def release_all(self):
        if self.mask:
            self._send(*self.position, 0)

    def close(self):
        self.sock.close()
