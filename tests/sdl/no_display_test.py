#!/usr/bin/python3
"""The desktop program on a machine without any display: it must end by
itself with exit code 0 and print nothing, whatever the reason there is no
display (no variables at all, an X display that does not exist, a Wayland
socket that does not exist).

  no_display_test.py PROGRAM"""

import os
import subprocess
import sys
import tempfile

TIMEOUT = 20
SUPP = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "lsan.supp")


def main(argv):
    if len(argv) != 2:
        print(__doc__)
        return 2
    program = argv[1]
    base = {k: v for k, v in os.environ.items()
            if k not in ("DISPLAY", "WAYLAND_DISPLAY", "WAYLAND_SOCKET", "SDL_VIDEODRIVER")}
    # Under LeakSanitizer, libdbus's own leak (SDL's D-Bus connection) is not
    # the program's: the project's list of such leaks, unless one is named.
    options = base.get("LSAN_OPTIONS", "")
    if "suppressions=" not in options:
        base["LSAN_OPTIONS"] = ":".join(
            filter(None, [options, "suppressions=" + SUPP, "print_suppressions=0"]))
    failures = 0
    with tempfile.TemporaryDirectory(prefix="kp-nodisplay-") as runtime:
        cases = [
            ("no display variables", {}),
            ("no display variables, no XDG_RUNTIME_DIR", {"XDG_RUNTIME_DIR": None}),
            ("an X display nobody serves", {"DISPLAY": ":97"}),
            ("a Wayland socket that does not exist",
             {"WAYLAND_DISPLAY": "wayland-97", "XDG_RUNTIME_DIR": runtime}),
            ("a Wayland display without XDG_RUNTIME_DIR",
             {"WAYLAND_DISPLAY": "wayland-97", "XDG_RUNTIME_DIR": None}),
            ("both, neither served", {"DISPLAY": ":97", "WAYLAND_DISPLAY": "/nonexistent/wl"}),
        ]
        for name, changes in cases:
            env = dict(base)
            for k, v in changes.items():
                if v is None:
                    env.pop(k, None)
                else:
                    env[k] = v
            try:
                r = subprocess.run([program], env=env, stdin=subprocess.DEVNULL,
                                   capture_output=True, timeout=TIMEOUT)
            except subprocess.TimeoutExpired:
                print("FAIL %s: still running after %d s" % (name, TIMEOUT))
                failures += 1
                continue
            problems = []
            if r.returncode != 0:
                problems.append("exit code %d" % r.returncode)
            if r.stdout:
                problems.append("printed %r" % r.stdout[:200])
            if r.stderr:
                problems.append("printed to stderr %r" % r.stderr[:200])
            if problems:
                print("FAIL %s: %s" % (name, "; ".join(problems)))
                failures += 1
            else:
                print("ok   %s: exit code 0, nothing printed" % name)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
