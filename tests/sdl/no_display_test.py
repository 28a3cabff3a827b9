#!/usr/bin/python3
"""The desktop program where nothing can be shown: it must end by itself with
exit code 1 and say why in exactly one line on stderr, which names the
program (and, where the reason is SDL's, carries SDL's words), and print
nothing on stdout. Cases: no display variables at all, an X display that
no server serves, a Wayland socket that does not exist, and a video driver
that SDL does not have.

  no_display_test.py PROGRAM"""

import os
import subprocess
import sys
import tempfile

TIMEOUT = 20
SUPP = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "lsan.supp")
NAME = "kelvane-paint"


def unserved_x_display():
    """A display number with no X server behind it (no socket, no lock)."""
    for n in range(99, 200):
        if not any(os.path.exists(p % n) for p in ("/tmp/.X11-unix/X%d", "/tmp/.X%d-lock")):
            return ":%d" % n
    raise RuntimeError("no free X display number between 99 and 199")


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
    display = unserved_x_display()
    failures = 0
    with tempfile.TemporaryDirectory(prefix="kp-nodisplay-") as runtime:
        # (case, environment changes, a word that SDL's reason must contain)
        cases = [
            ("no display variables", {}, None),
            ("no display variables, no XDG_RUNTIME_DIR", {"XDG_RUNTIME_DIR": None}, None),
            ("an X display nobody serves (%s)" % display, {"DISPLAY": display}, None),
            ("the same, the X11 driver named", {"DISPLAY": display, "SDL_VIDEODRIVER": "x11"},
             None),
            ("a Wayland socket that does not exist",
             {"WAYLAND_DISPLAY": "wayland-97", "XDG_RUNTIME_DIR": runtime}, None),
            ("a Wayland display without XDG_RUNTIME_DIR",
             {"WAYLAND_DISPLAY": "wayland-97", "XDG_RUNTIME_DIR": None}, None),
            ("both, neither served", {"DISPLAY": display, "WAYLAND_DISPLAY": "/nonexistent/wl"},
             None),
            ("SDL_VIDEODRIVER=nonsense", {"SDL_VIDEODRIVER": "nonsense"}, "nonsense"),
        ]
        for name, changes, reason_word in cases:
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
            err = r.stderr.decode("utf-8", "replace")
            lines = err.splitlines()
            if r.returncode != 1:
                problems.append("exit code %d, expected 1" % r.returncode)
            if r.stdout:
                problems.append("printed on stdout %r" % r.stdout[:200])
            if len(lines) != 1 or not err.endswith("\n"):
                problems.append("%d line(s) on stderr, expected one: %r" % (len(lines), err[:300]))
            elif NAME not in lines[0]:
                problems.append("the stderr line does not name %s: %r" % (NAME, lines[0]))
            elif reason_word is not None and reason_word not in lines[0].split(NAME, 1)[1]:
                problems.append("the stderr line does not give SDL's reason (%r): %r"
                                % (reason_word, lines[0]))
            if problems:
                print("FAIL %s: %s" % (name, "; ".join(problems)))
                failures += 1
            else:
                print("ok   %s: exit code 1, stderr %r" % (name, lines[0]))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
