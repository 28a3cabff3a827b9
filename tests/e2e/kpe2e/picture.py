"""Pixel pictures read back from the X server, expected pictures and PNG output."""

import struct
import zlib
from array import array

WHITE = 0xFFFFFF
BLACK = 0x000000


def rgb_hex(colour):
    return "#%06x" % colour


class Picture:
    """A width x height block of 0xRRGGBB pixels, row by row, top row first.

    (ox, oy) is where the block's top-left pixel lies in client coordinates,
    so that pictures of part of the client area still speak client
    coordinates."""

    def __init__(self, width, height, pixels, ox=0, oy=0):
        if len(pixels) != width * height:
            raise ValueError("pixel count does not match the size")
        self.width = width
        self.height = height
        self.pixels = pixels
        self.ox = ox
        self.oy = oy

    @classmethod
    def blank(cls, width, height, colour=WHITE):
        return cls(width, height, array("I", [colour]) * (width * height))

    def contains(self, x, y):
        return self.ox <= x < self.ox + self.width and self.oy <= y < self.oy + self.height

    def get(self, x, y):
        return self.pixels[(y - self.oy) * self.width + (x - self.ox)]

    def set(self, x, y, colour):
        self.pixels[(y - self.oy) * self.width + (x - self.ox)] = colour

    def non_white(self):
        """{(x, y): colour} of every pixel that is not white."""
        out = {}
        w = self.width
        for i, p in enumerate(self.pixels):
            if p != WHITE:
                out[(self.ox + i % w, self.oy + i // w)] = p
        return out

    def colours(self):
        return set(self.pixels)

    def same_as(self, other):
        return (self.width, self.height, self.ox, self.oy) == (
            other.width, other.height, other.ox, other.oy) and self.pixels == other.pixels

    def differences(self, expected):
        """[(x, y, actual, wanted)] where this picture differs from `expected`,
        which is either a Picture of the same area or a {(x, y): colour} map
        of the pixels that are not white (everything else must be white)."""
        diffs = []
        w = self.width
        if isinstance(expected, Picture):
            if (expected.width, expected.height, expected.ox, expected.oy) != (
                    self.width, self.height, self.ox, self.oy):
                raise ValueError("pictures of different areas")
            for i, (a, b) in enumerate(zip(self.pixels, expected.pixels)):
                if a != b:
                    diffs.append((self.ox + i % w, self.oy + i // w, a, b))
            return diffs
        for i, a in enumerate(self.pixels):
            x, y = self.ox + i % w, self.oy + i // w
            b = expected.get((x, y), WHITE)
            if a != b:
                diffs.append((x, y, a, b))
        return diffs

    def to_png(self, path):
        rows = []
        for y in range(self.height):
            row = bytearray(b"\x00")  # filter type None
            for p in self.pixels[y * self.width:(y + 1) * self.width]:
                row += bytes(((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF))
            rows.append(bytes(row))
        write_png(path, self.width, self.height, b"".join(rows))


def bgrx_picture(data, stride, x, y, width, height):
    """A rectangle of a frame of 32-bit BGRx (or opaque premultiplied ARGB32)
    pixels, rows `stride` bytes apart, its fourth byte made 0 so that each
    pixel reads 0xRRGGBB."""
    rows = bytearray(b"".join(data[(y + r) * stride + 4 * x:(y + r) * stride + 4 * (x + width)]
                              for r in range(height)))
    rows[3::4] = bytes(width * height)
    return Picture(width, height, array("I", bytes(rows)))


def _chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def write_png(path, width, height, raw_rows):
    """Writes an 8-bit RGB PNG; raw_rows holds each row's filter byte and RGB bytes."""
    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    data = (b"\x89PNG\r\n\x1a\n" + _chunk(b"IHDR", header)
            + _chunk(b"IDAT", zlib.compress(raw_rows, 9)) + _chunk(b"IEND", b""))
    with open(path, "wb") as f:
        f.write(data)


def _unfilter(raw, width, height, channels):
    """The pixel bytes of a PNG's decompressed rows, every filter undone."""
    stride = width * channels
    out = bytearray(stride * height)
    prior = bytearray(stride)
    pos = 0
    for y in range(height):
        kind = raw[pos]
        line = bytearray(raw[pos + 1:pos + 1 + stride])
        pos += 1 + stride
        if kind == 1:
            for i in range(channels, stride):
                line[i] = (line[i] + line[i - channels]) & 0xFF
        elif kind == 2:
            for i in range(stride):
                line[i] = (line[i] + prior[i]) & 0xFF
        elif kind == 3:
            for i in range(stride):
                left = line[i - channels] if i >= channels else 0
                line[i] = (line[i] + ((left + prior[i]) >> 1)) & 0xFF
        elif kind == 4:
            for i in range(stride):
                a = line[i - channels] if i >= channels else 0
                b = prior[i]
                c = prior[i - channels] if i >= channels else 0
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                pred = a if pa <= pb and pa <= pc else b if pb <= pc else c
                line[i] = (line[i] + pred) & 0xFF
        elif kind != 0:
            raise ValueError("unknown PNG filter %d" % kind)
        out[y * stride:(y + 1) * stride] = line
        prior = line
    return out


def decode_png(data):
    """A Picture from the bytes of an 8-bit RGB or RGBA PNG (alpha dropped),
    such as a browser's screenshot."""
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError("not a PNG file")
    pos, idat, width, height, channels = 8, b"", 0, 0, 0
    while pos < len(data):
        (length,) = struct.unpack(">I", data[pos:pos + 4])
        kind = data[pos + 4:pos + 8]
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, ctype, _, _, interlace = struct.unpack(">IIBBBBB", body)
            if depth != 8 or ctype not in (2, 6) or interlace:
                raise ValueError("only 8-bit RGB or RGBA PNGs without interlacing are read")
            channels = 3 if ctype == 2 else 4
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    rgb = _unfilter(zlib.decompress(idat), width, height, channels)
    pixels = array("I", bytes(width * height * 4))
    for i in range(width * height):
        k = i * channels
        pixels[i] = rgb[k] << 16 | rgb[k + 1] << 8 | rgb[k + 2]
    return Picture(width, height, pixels)


def read_png(path):
    """Reads a PNG file (8-bit RGB or RGBA) as a Picture."""
    with open(path, "rb") as f:
        return decode_png(f.read())
