#!/usr/bin/python3
"""cmake --install of the desktop program into a temporary DESTDIR, once with
the configured CMAKE_INSTALL_PREFIX and once with another prefix given at
install time: the program, its desktop entry and its hicolor icons land
under DESTDIR/<prefix>, and nowhere else.

  install_test.py BUILD_DIR CONFIGURED_PREFIX

The desktop entry is checked with desktop-file-validate when Debian's
desktop-file-utils is installed, and by the rules below in any case."""

import os
import shutil
import struct
import subprocess
import sys
import tempfile

EXPECTED = {
    "bin/kelvane-paint": "program",
    "share/applications/kelvane-paint.desktop": "desktop",
    "share/icons/hicolor/scalable/apps/kelvane-paint.svg": "svg",
    "share/icons/hicolor/48x48/apps/kelvane-paint.png": "png48",
}

failures = []


def fail(msg):
    failures.append(msg)
    print("FAIL: " + msg)


def all_files(root):
    out = set()
    for d, _, files in os.walk(root):
        for f in files:
            out.add(os.path.relpath(os.path.join(d, f), root))
    return out


def parse_desktop(path):
    groups, group = {}, None
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.rstrip("\n")
            if not line or line.startswith("#"):
                continue
            if line.startswith("["):
                group = line.strip("[]")
                groups[group] = {}
            elif "=" in line and group is not None:
                k, v = line.split("=", 1)
                groups[group][k] = v
    return groups


def check_desktop(path):
    entry = parse_desktop(path).get("Desktop Entry")
    if entry is None:
        return fail("%s has no [Desktop Entry] group" % path)
    want = {"Type": "Application", "Name": "Kelvane Paint", "Exec": "kelvane-paint",
            "Icon": "kelvane-paint", "Terminal": "false",
            # The X11 WM_CLASS and Wayland app id that the SDL host sets.
            "StartupWMClass": "kelvane-paint"}
    for k, v in want.items():
        if entry.get(k) != v:
            fail("desktop entry %s=%r, expected %r" % (k, entry.get(k), v))
    if "Graphics" not in entry.get("Categories", "").split(";"):
        fail("desktop entry not in the Graphics category: %r" % entry.get("Categories"))
    validator = shutil.which("desktop-file-validate")
    if validator is None:
        print("note: desktop-file-validate not installed (Debian: desktop-file-utils); "
              "checked by the rules of this test only")
        return
    r = subprocess.run([validator, path], capture_output=True, text=True)
    if r.returncode != 0 or r.stdout.strip() or r.stderr.strip():
        fail("desktop-file-validate: %s%s" % (r.stdout, r.stderr))
    else:
        print("desktop-file-validate: no complaints")


def check_png48(path):
    with open(path, "rb") as f:
        head = f.read(24)
    if head[:8] != b"\x89PNG\r\n\x1a\n" or head[12:16] != b"IHDR":
        return fail("%s is not a PNG" % path)
    w, h = struct.unpack(">II", head[16:24])
    if (w, h) != (48, 48):
        fail("%s is %dx%d, expected 48x48 for the 48x48 hicolor folder" % (path, w, h))


def check_svg(path):
    with open(path, encoding="utf-8") as f:
        text = f.read()
    if "<svg" not in text or "</svg>" not in text:
        fail("%s is not an SVG image" % path)


def check_program(path):
    if not os.access(path, os.X_OK):
        return fail("%s is not executable" % path)
    with open(path, "rb") as f:
        if f.read(4) != b"\x7fELF":
            fail("%s is not an ELF program" % path)


def install(build_dir, destdir, prefix):
    argv = ["cmake", "--install", build_dir]
    if prefix is not None:
        argv += ["--prefix", prefix]
    env = dict(os.environ, DESTDIR=destdir)
    r = subprocess.run(argv, env=env, capture_output=True, text=True)
    if r.returncode != 0:
        fail("%s failed (%d): %s%s" % (" ".join(argv), r.returncode, r.stdout, r.stderr))
        return False
    return True


def run_case(build_dir, prefix, given):
    label = "prefix %s (%s)" % (prefix, "given to cmake --install" if given else "configured")
    print("== " + label)
    with tempfile.TemporaryDirectory(prefix="kp-install-") as destdir:
        if not install(build_dir, destdir, prefix if given else None):
            return
        root = os.path.join(destdir, prefix.lstrip("/"))
        found = all_files(destdir)
        expected = {os.path.relpath(os.path.join(root, rel), destdir) for rel in EXPECTED}
        for missing in sorted(expected - found):
            fail("%s: not installed: %s" % (label, missing))
        for extra in sorted(found - expected):
            fail("%s: unexpected file: %s" % (label, extra))
        checks = {"program": check_program, "desktop": check_desktop, "svg": check_svg,
                  "png48": check_png48}
        for rel, kind in EXPECTED.items():
            path = os.path.join(root, rel)
            if os.path.exists(path):
                checks[kind](path)
        print("%d file(s) under DESTDIR%s" % (len(found & expected), prefix))


def main(argv):
    if len(argv) != 3:
        print(__doc__)
        return 2
    build_dir, configured = argv[1], argv[2]
    run_case(build_dir, configured, given=False)
    run_case(build_dir, "/opt/kelvane-test", given=True)
    print("%d failure(s)" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
