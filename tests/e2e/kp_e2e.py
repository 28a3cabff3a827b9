#!/usr/bin/python3
"""End-to-end tests of Kelvane Paint: the real program on a private Xvfb,
real XTEST input, real pixels read back with XGetImage.

  kp_e2e.py --target wine --exe build/win32/kelvane-paint.exe check [NAME...]
  kp_e2e.py --target native --exe build/native/kelvane-paint check NAME
  kp_e2e.py --target wine --exe ... screenshot --out docs/screenshot-wine.png
  kp_e2e.py --target native --exe ... demo --out shot.png
  kp_e2e.py --exe build/native/kelvane-paint across --wine-exe build/win32/kelvane-paint.exe
  kp_e2e.py --target native --exe build/native/kelvane-paint desktop NAME
  kp_e2e.py list
  kp_e2e.py list-desktop

Exit codes: 0 all passed (demo: the program's exit code), 1 a check failed,
2 the harness could not run, 77 the target cannot run here at all (no Wine)
or none of the checks asked for applies to it,
124 the program did not end after its window was closed (demo)."""

import argparse
import os
import signal
import sys
import time
import traceback

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from kpe2e.checks import CHECKS, NotApplicable  # noqa: E402
from kpe2e import window_checks  # noqa: E402,F401  (registers more checks)
from kpe2e.across import compare as compare_targets  # noqa: E402
from kpe2e.demo import demo_scenario, screenshot_scenario  # noqa: E402
from kpe2e.desktop import DESKTOP_CHECKS, Context  # noqa: E402
from kpe2e import desktop_wayland  # noqa: E402,F401  (registers the Wayland checks)
from kpe2e import chaos  # noqa: E402,F401  (registers the chaos checks)
from kpe2e import installer  # noqa: E402,F401  (registers the installer check)
from kpe2e.session import Session  # noqa: E402
from kpe2e.targets import Skip, make_target  # noqa: E402
from kpe2e.throughput import measure as measure_throughput  # noqa: E402

EXIT_FAIL, EXIT_ERROR, EXIT_SKIP, EXIT_NO_EXIT = 1, 2, 77, 124


class Interrupted(BaseException):
    """The harness's own deadline passed or it was asked to stop; a
    BaseException so that no check catches it and every cleanup still runs."""


def log(msg):
    print("[e2e %s] %s" % (time.strftime("%H:%M:%S"), msg), flush=True)


def _on_signal(signum, frame):
    raise Interrupted("deadline passed" if signum == signal.SIGALRM
                      else "stopped by signal %d" % signum)


def parse_args(argv):
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    p.add_argument("--target", choices=("wine", "native"), default="wine")
    p.add_argument("--exe", help="the program: kelvane-paint.exe (wine) or kelvane-paint")
    p.add_argument("--wineprefix", help="Wine prefix to create once and reuse "
                   "(default: e2e-wineprefix beside the exe)")
    p.add_argument("--work-dir", help="logs and failure pictures (default: e2e-<target> "
                   "beside the exe)")
    p.add_argument("--timeout", type=float, default=170,
                   help="seconds before the harness gives up and cleans up")
    sub = p.add_subparsers(dest="command", required=True)
    sub.add_parser("list", help="names of the checks")
    sub.add_parser("list-desktop", help="names of the desktop checks")
    dk = sub.add_parser("desktop", help="run desktop checks (native only): each on a display "
                        "of its own (openbox, HiDPI, screen depths, sway)")
    dk.add_argument("names", nargs="+")
    sub.add_parser("prepare", help="start the target once (creates the Wine prefix)")
    c = sub.add_parser("check", help="run checks (all by default)")
    c.add_argument("names", nargs="*")
    s = sub.add_parser("screenshot", help="draw the README picture, check it, save a PNG")
    s.add_argument("--out", required=True)
    d = sub.add_parser("demo", help="show the program: drag, right click, drag; save a PNG; "
                       "close; exit with the program's exit code")
    d.add_argument("--out", required=True)
    d.add_argument("program_args", nargs="*", help="arguments for the program (after --)")
    t = sub.add_parser("throughput", help="measure how many moves per second the program "
                       "keeps up with (prints numbers; not a test)")
    t.add_argument("--moves", type=int, default=5000)
    t.add_argument("--repeat", type=int, default=3)
    a = sub.add_parser("across", help="the same black-pen input on the native build (--exe) "
                       "and the Windows build under Wine (--wine-exe): the same pixels over "
                       "the common area")
    a.add_argument("--wine-exe", required=True, help="kelvane-paint.exe")
    args = p.parse_args(argv)
    if not args.command.startswith("list") and not args.exe:
        p.error("--exe is required")
    return args


def run_checks(session, names, work_dir):
    """Runs the checks; returns (failed, skipped) name lists."""
    failed, skipped = [], []
    for name in names:
        t0 = time.monotonic()
        session.failure_picture = os.path.join(work_dir, "%s-failure.png" % name)
        session.target.log_label = name
        try:
            summary = CHECKS[name](session)
            log("PASS %s (%.1f s): %s" % (name, time.monotonic() - t0, summary))
        except NotApplicable as e:
            log("SKIP %s: %s" % (name, e))
            skipped.append(name)
        except AssertionError as e:
            log("FAIL %s (%.1f s): %s" % (name, time.monotonic() - t0, e))
            failed.append(name)
        except Exception:
            log("ERROR %s (%.1f s):\n%s" % (name, time.monotonic() - t0, traceback.format_exc()))
            failed.append(name)
        finally:
            # Each check leaves nothing running for the next one.
            for program in session.target.programs:
                program.stop()
            session.target.programs = []
            session.x.release_all()
    return failed, skipped


def run_desktop(args, work_dir):
    """Desktop checks: each one makes the displays it needs. 77 when every
    check asked for was skipped (a package it needs is not installed)."""
    target = make_target(args.target, args.exe, work_dir, log)
    ctx = Context(target, log, work_dir)
    failed, skipped = [], []
    t_start = time.monotonic()
    for name in args.names:
        t0 = time.monotonic()
        ctx.failure_picture = os.path.join(work_dir, "%s-failure.png" % name)
        target.log_label = name
        try:
            if target.name != "native":
                raise Skip("the desktop checks are for the native program")
            summary = DESKTOP_CHECKS[name](ctx)
            log("PASS %s (%.1f s): %s" % (name, time.monotonic() - t0, summary))
        except Skip as e:
            log("SKIP %s: %s" % (name, e))
            skipped.append(name)
        except AssertionError as e:
            log("FAIL %s (%.1f s): %s" % (name, time.monotonic() - t0, e))
            failed.append(name)
        except Interrupted as e:
            log("ABORTED %s: %s; everything started has been stopped" % (name, e))
            failed.append(name)
            break
        except Exception:
            log("ERROR %s (%.1f s):\n%s" % (name, time.monotonic() - t0, traceback.format_exc()))
            failed.append(name)
        finally:
            target.teardown()
            target.extra_env, target.address_space = {}, None
    signal.setitimer(signal.ITIMER_REAL, 0)
    log("%d of %d desktop check(s) passed, %d skipped; done in %.1f s" % (
        len(args.names) - len(failed) - len(skipped), len(args.names), len(skipped),
        time.monotonic() - t_start))
    if failed:
        return EXIT_FAIL
    return EXIT_SKIP if len(skipped) == len(args.names) else 0


def run_across(args, work_dir):
    """The cross-target comparison: the native build (--exe), then the
    Windows build under Wine (--wine-exe). 77 when either cannot run here."""
    code = EXIT_ERROR
    t_start = time.monotonic()
    try:
        if not os.access(args.exe, os.X_OK):
            raise Skip("no native program at %s" % args.exe)
        if not os.path.isfile(args.wine_exe):
            raise Skip("no Windows build at %s" % args.wine_exe)
        native = make_target("native", args.exe, work_dir, log)
        wine = make_target("wine", args.wine_exe, work_dir, log, args.wineprefix)
        wine.check_available()
        ok, summary = compare_targets([native, wine], log, work_dir)
        log("%s across targets: %s" % ("PASS" if ok else "FAIL", summary))
        code = 0 if ok else EXIT_FAIL
    except Skip as e:
        print("SKIP: %s" % e, flush=True)
        code = EXIT_SKIP
    except AssertionError as e:
        log("FAIL across targets: %s" % e)
        code = EXIT_FAIL
    except Interrupted as e:
        log("ABORTED: %s; everything started has been stopped" % e)
    except Exception:
        log("ERROR:\n%s" % traceback.format_exc())
    finally:
        signal.setitimer(signal.ITIMER_REAL, 0)
    log("done in %.1f s" % (time.monotonic() - t_start))
    return code


def main(argv):
    args = parse_args(argv)
    if args.command == "list":
        print("\n".join(CHECKS))
        return 0
    if args.command == "list-desktop":
        print("\n".join(DESKTOP_CHECKS))
        return 0
    if args.command == "desktop":
        unknown = [n for n in args.names if n not in DESKTOP_CHECKS]
        if unknown:
            print("unknown desktop check(s): %s; known: %s" % (", ".join(unknown),
                                                               ", ".join(DESKTOP_CHECKS)))
            return EXIT_ERROR
    if args.command == "check":
        unknown = [n for n in args.names if n not in CHECKS]
        if unknown:
            print("unknown check(s): %s; known: %s" % (", ".join(unknown), ", ".join(CHECKS)))
            return EXIT_ERROR
    exe_dir = os.path.dirname(os.path.abspath(args.exe))
    work_dir = os.path.abspath(args.work_dir or os.path.join(exe_dir, "e2e-" + args.target))
    os.makedirs(work_dir, exist_ok=True)

    for sig in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP, signal.SIGALRM):
        signal.signal(sig, _on_signal)
    signal.setitimer(signal.ITIMER_REAL, args.timeout)

    if args.command == "across":
        return run_across(args, work_dir)
    if args.command == "desktop":
        return run_desktop(args, work_dir)
    target = make_target(args.target, args.exe, work_dir, log, args.wineprefix)
    t_start = time.monotonic()
    code = EXIT_ERROR
    session = None
    try:
        if hasattr(target, "check_available"):
            target.check_available()
        with Session(target, log) as session:
            if args.command == "prepare":
                app = session.launch()
                session.finish(app)
                code = 0
            elif args.command == "check":
                names = args.names or list(CHECKS)
                failed, skipped = run_checks(session, names, work_dir)
                log("%d of %d check(s) passed%s" % (
                    len(names) - len(failed) - len(skipped), len(names),
                    ", %d not for this target" % len(skipped) if skipped else ""))
                code = EXIT_FAIL if failed else EXIT_SKIP if len(skipped) == len(names) else 0
            elif args.command == "screenshot":
                session.failure_picture = os.path.join(work_dir, "screenshot-failure.png")
                session.target.log_label = "screenshot"
                app = session.launch()
                try:
                    pic, summary = screenshot_scenario(app)
                    os.makedirs(os.path.dirname(os.path.abspath(args.out)), exist_ok=True)
                    pic.to_png(args.out)
                    log("saved %s (%dx%d): %s" % (args.out, pic.width, pic.height, summary))
                    code = 0
                except AssertionError as e:
                    session.save_failure(app)
                    log("FAIL screenshot: %s" % e)
                    code = EXIT_FAIL
                finally:
                    session.finish(app)
            elif args.command == "throughput":
                session.target.log_label = "throughput"
                log(measure_throughput(session, log, args.moves, args.repeat))
                code = 0
            elif args.command == "demo":
                session.target.log_label = "demo"
                app = session.launch(args.program_args)
                pic = demo_scenario(app)
                os.makedirs(os.path.dirname(os.path.abspath(args.out)), exist_ok=True)
                pic.to_png(args.out)
                log("saved %s (%dx%d)" % (args.out, pic.width, pic.height))
                program_code = app.close()
                if program_code is None:
                    log("the program did not end after WM_DELETE_WINDOW")
                    code = EXIT_NO_EXIT
                else:
                    log("the program exited with code %d" % program_code)
                    code = program_code
                session.finish(app)
        for problem in session.problems:
            log("CLEANUP PROBLEM: %s" % problem)
        if session.problems and code == 0:
            code = EXIT_FAIL
    except Skip as e:
        print("SKIP: %s" % e, flush=True)
        code = EXIT_SKIP
    except Interrupted as e:
        log("ABORTED: %s; everything started has been stopped" % e)
        code = EXIT_ERROR
    except Exception:
        log("ERROR:\n%s" % traceback.format_exc())
        code = EXIT_ERROR
    finally:
        signal.setitimer(signal.ITIMER_REAL, 0)
    log("done in %.1f s" % (time.monotonic() - t_start))
    return code


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
