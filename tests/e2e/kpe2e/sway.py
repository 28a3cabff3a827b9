"""sway on its headless backend, as a real Wayland desktop for the program.

The compositor runs as an unprivileged user (sway refuses root; as root the
harness uses the system user kelvane-e2e, creating it when it is missing), in
a private XDG_RUNTIME_DIR with a configuration of the harness's own: one
headless output of a given mode and scale, Xwayland, title bars, the
program's window floating at its own size, and an invisible cursor theme
(sway's headless output draws the cursor into the picture, right where the
strokes are). The program runs as the same user, natively on Wayland or
through sway's Xwayland.

Pointer input goes through wayvnc, whose virtual pointer the compositor
treats as a real device, driven by the small RFB client in rfb.py; pictures
come from grim (wlr-screencopy) in physical pixels; the window's place comes
from sway's IPC (get_tree)."""

import glob
import json
import os
import socket
import struct
import subprocess
from array import array

from .compositor import Compositor
from .picture import Picture
from .rfb import PointerClient
from .scaling import CompositorView, logical_picture
from .waiting import wait_for_window

TOOLS = {"sway": "sway", "wayvnc": "wayvnc", "grim": "grim"}
APP_ID = "kelvane-paint"
CURSOR_THEME = "kp-invisible"
CURSOR_NAMES = (
    "left_ptr default arrow top_left_arrow right_ptr text xterm ibeam pointer hand hand1 hand2 "
    "watch wait progress left_ptr_watch half-busy crosshair cross tcross move fleur grab grabbing "
    "all-scroll not-allowed no-drop forbidden crossed_circle help question_arrow whats_this "
    "context-menu cell plus vertical-text alias copy dnd-none dnd-move dnd-copy dnd-link "
    "col-resize row-resize split_h split_v n-resize s-resize e-resize w-resize ne-resize "
    "nw-resize se-resize sw-resize ew-resize ns-resize nesw-resize nwse-resize top_side "
    "bottom_side left_side right_side top_left_corner top_right_corner bottom_left_corner "
    "bottom_right_corner sb_h_double_arrow sb_v_double_arrow size_hor size_ver size_bdiag "
    "size_fdiag size_all X_cursor pirate zoom-in zoom-out").split()

IPC_MAGIC = b"i3-ipc"
IPC_RUN_COMMAND, IPC_GET_TREE = 0, 4


def xcursor_image(size=24):
    """An Xcursor file of one fully transparent 1 x 1 image."""
    image_type = 0xFFFD0002
    header = struct.pack("<4sIII", b"Xcur", 16, 0x10000, 1)
    toc = struct.pack("<III", image_type, size, 16 + 12)
    image = struct.pack("<9I", 36, image_type, size, 1, 1, 1, 0, 0, 0) + struct.pack("<I", 0)
    return header + toc + image


def write_cursor_theme(icons_dir):
    cursors = os.path.join(icons_dir, CURSOR_THEME, "cursors")
    os.makedirs(cursors)
    with open(os.path.join(icons_dir, CURSOR_THEME, "index.theme"), "w") as f:
        f.write("[Icon Theme]\nName=%s\nComment=No visible cursor\n" % CURSOR_THEME)
    data = xcursor_image()
    for name in CURSOR_NAMES:
        with open(os.path.join(cursors, name), "wb") as f:
            f.write(data)


def read_ppm(data):
    """(width, height, array of 0xRRGGBB) from a binary PPM (P6, maxval 255)."""
    fields, pos = [], 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos) + 1
            continue
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    if fields[0] != b"P6" or fields[3] != b"255":
        raise RuntimeError("not an 8-bit binary PPM: %r" % fields)
    width, height = int(fields[1]), int(fields[2])
    rgb = data[pos + 1:pos + 1 + 3 * width * height]
    if len(rgb) != 3 * width * height:
        raise RuntimeError("short PPM: %d bytes for %dx%d" % (len(rgb), width, height))
    out = bytearray(4 * width * height)
    out[0::4], out[1::4], out[2::4] = rgb[2::3], rgb[1::3], rgb[0::3]
    return width, height, array("I", bytes(out))


class Sway(Compositor):
    """A headless sway with wayvnc and a pointer client, and the program's
    windows on it."""

    name = "sway"
    tools = TOOLS

    def __init__(self, log, work_dir, scale=1, size=(1024, 768), xwayland=False):
        super().__init__(log, work_dir, scale, size)
        self.xwayland = xwayland
        if xwayland:
            self.tools = dict(TOOLS, Xwayland="xwayland")

    def _start(self):
        self.env_extra = dict(XCURSOR_PATH=os.path.join(self.runtime, "icons"),
                              XCURSOR_THEME=CURSOR_THEME, XCURSOR_SIZE="24")
        write_cursor_theme(os.path.join(self.runtime, "icons"))
        w, h = self.size
        config = os.path.join(self.runtime, "config")
        with open(config, "w") as f:
            f.write(
                "output HEADLESS-1 mode %dx%d position 0 0 scale %d\n"
                "seat seat0 xcursor_theme %s 24\n"
                "xwayland %s\n"
                "default_border normal\n"
                "default_floating_border normal\n"
                "focus_follows_mouse no\n"
                "for_window [app_id=\"%s\"] floating enable\n"
                "for_window [class=\"%s\"] floating enable\n"
                "exec sh -c 'printf \"%%s\\n%%s\\n\" \"$WAYLAND_DISPLAY\" \"$DISPLAY\" "
                "> \"$XDG_RUNTIME_DIR/env.tmp\" && mv \"$XDG_RUNTIME_DIR/env.tmp\" "
                "\"$XDG_RUNTIME_DIR/env\"'\n"
                % (w * self.scale, h * self.scale, self.scale, CURSOR_THEME,
                   "enable" if self.xwayland else "disable", APP_ID, APP_ID))
        self.chown_runtime()

        env = self.base_env()
        env.update(WLR_BACKENDS="headless", WLR_RENDERER="pixman", WLR_LIBINPUT_NO_DEVICES="1")
        sway = self.spawn(["sway", "--config", config], "sway.log", env)
        env_file = os.path.join(self.runtime, "env")
        self.wait_ready(sway, lambda: os.path.exists(env_file) and glob.glob(
            os.path.join(self.runtime, "sway-ipc.*.sock")), "sway to start", 20)
        with open(env_file) as f:
            lines = f.read().split("\n")
        self.wayland_display = lines[0]
        self.x_display = lines[1] if len(lines) > 1 and lines[1] else None
        if self.xwayland and not self.x_display:
            raise RuntimeError("sway started without Xwayland (no DISPLAY)")
        self.ipc_path = glob.glob(os.path.join(self.runtime, "sway-ipc.*.sock"))[0]

        wayvnc = self.spawn(["wayvnc", "--unix-socket", "--output", "HEADLESS-1",
                             os.path.join(self.runtime, "vnc.sock")], "wayvnc.log")
        vnc_socket = self.wait_socket(wayvnc, "vnc.sock", "wayvnc", 20)
        self.pointer = PointerClient(vnc_socket)
        self.closing.append(self.pointer)
        expect_fb = (w * self.scale, h * self.scale)
        if (self.pointer.width, self.pointer.height) != expect_fb:
            raise RuntimeError("wayvnc's framebuffer is %dx%d, the output %dx%d"
                               % ((self.pointer.width, self.pointer.height) + expect_fb))
        return "sway on %s (output %dx%d, scale %d%s), wayvnc attached" % (
            self.wayland_display, w, h, self.scale,
            ", Xwayland " + self.x_display if self.xwayland else "")

    # ---------------------------------------------------------------- IPC

    def ipc(self, kind, payload=b""):
        with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as s:
            s.settimeout(10)
            s.connect(self.ipc_path)
            s.sendall(IPC_MAGIC + struct.pack("=II", len(payload), kind) + payload)
            with s.makefile("rb") as reply:
                head = reply.read(14)  # magic, length, type
                body = reply.read(struct.unpack_from("=I", head, 6)[0]) if len(head) == 14 else b""
        if not body:
            raise RuntimeError("sway closed its IPC socket")
        return json.loads(body)

    def command(self, text):
        results = self.ipc(IPC_RUN_COMMAND, text.encode())
        failed = [r.get("error", "?") for r in results if not r.get("success")]
        if failed:
            raise RuntimeError("sway command %r failed: %s" % (text, "; ".join(failed)))

    def views(self):
        """Every window (view) in sway's tree."""
        out = []

        def walk(node):
            if node.get("pid") is not None and node.get("type") in ("con", "floating_con"):
                out.append(node)
            for child in node.get("nodes", []) + node.get("floating_nodes", []):
                walk(child)
        walk(self.ipc(IPC_GET_TREE))
        return out

    def view(self, con_id):
        return next((v for v in self.views() if v["id"] == con_id), None)

    # --------------------------------------------------------- the program

    def find_window(self, program, timeout=40):
        """Waits for the program's visible window; returns its container id."""
        def probe():
            for v in self.views():
                if v.get("pid") == program.pid and v.get("visible"):
                    return v["id"]
            return None
        return wait_for_window(program.exit_code, probe, timeout,
                               "the program's window in sway's tree")

    # ------------------------------------------------------------- pictures

    def grab_physical(self, x, y, width, height):
        """The physical pixels of a logical rectangle of the output (grim)."""
        r = subprocess.run(["grim", "-t", "ppm", "-g", "%d,%d %dx%d" % (x, y, width, height), "-"],
                           env=self.base_env(), capture_output=True, timeout=20,
                           **self.as_user())
        if r.returncode != 0:
            raise RuntimeError("grim failed (%d): %s" % (r.returncode,
                                                         r.stderr.decode(errors="replace")))
        pw, ph, pixels = read_ppm(r.stdout)
        if (pw, ph) != (width * self.scale, height * self.scale):
            raise RuntimeError("grim gave %dx%d for %dx%d at scale %d"
                               % (pw, ph, width, height, self.scale))
        return Picture(pw, ph, pixels)


class SwayDesktop(CompositorView):
    """The XClient operations that App (session.py) uses, on sway: windows are
    sway container ids, coordinates are the output's logical pixels, input
    goes through wayvnc, pictures through grim (one pixel a logical block)."""

    def __init__(self, sway):
        super().__init__(sway, sway.pointer)
        self.sway = sway

    def find_window(self, program, size=None):
        """The program's window, moved to a whole-pixel place (its size is
        checked by the scenario)."""
        con = self.sway.find_window(program)
        self.place(con)
        return con

    def title_bar(self, con_id):
        """(ok, detail) for wait_for: sway's title bar above the window."""
        v = self.sway.view(con_id) or {}
        deco = v.get("deco_rect", {})
        return (v.get("border") == "normal" and deco.get("height", 0) > 0,
                "sway's title bar, %d px high" % deco.get("height", 0))

    def geometry(self, con_id):
        v = self.sway.view(con_id)
        if v is None:
            raise AssertionError("the window is no longer in sway's tree")
        r, w = v["rect"], v["window_rect"]
        return r["x"] + w["x"], r["y"] + w["y"], w["width"], w["height"]

    def exists(self, con_id):
        return self.sway.view(con_id) is not None

    def grab(self, root, x, y, width, height):
        return logical_picture(self.sway.grab_physical(x, y, width, height), self.scale, x, y)

    def _physical(self, x, y):
        s = self.scale
        return s * x + s // 2, s * y + s // 2

    def place(self, con_id, x=16, y=16):
        """Moves the floating window to a whole-pixel place. sway centres a new
        floating window, which can put it half a pixel off the pixel grid:
        then it shows at the row above, while pointer positions inside it
        still count from the half pixel, and IPC reports the whole part."""
        self.sway.command("[con_id=%d] move position %d px %d px" % (con_id, x, y))

    def resize(self, con_id, width, height):
        """Asks for a client area of width x height: sway's `resize set` sizes
        the whole floating window, borders and title bar included."""
        v = self.sway.view(con_id)
        r, w, deco = v["rect"], v["window_rect"], v["deco_rect"]
        self.sway.command("[con_id=%d] resize set width %d px height %d px" % (
            con_id, width + r["width"] - w["width"],
            height + r["height"] - w["height"] + deco["height"]))
        self.place(con_id)

    def close_window(self, con_id):
        """What a title bar's close does: sway's kill asks the window to close
        (xdg_toplevel.close, or WM_DELETE_WINDOW on Xwayland)."""
        self.sway.command("[con_id=%d] kill" % con_id)

