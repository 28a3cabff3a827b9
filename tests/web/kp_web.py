#!/usr/bin/python3
"""Tests of Kelvane Paint in a browser: the page of the web build served on
127.0.0.1, headless Chromium driven through WebDriver (and the DevTools
Protocol for bursts faster than a frame), pixels read back from the client
area's canvas.

  kp_web.py --site build/web check [NAME...]
  kp_web.py --site build/web screenshot --out docs/screenshot-web.png
  kp_web.py --site build/web measure [--json FILE]
  kp_web.py list

Exit codes: 0 passed, 1 a check failed, 2 the harness could not run, 77 the
browser or its driver is not installed (ctest reports it as skipped)."""

import argparse
import json
import os
import signal
import sys
import time
import traceback

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "..", "e2e"))

from kpe2e.checks import NotApplicable  # noqa: E402
from kpweb.browser import Skip  # noqa: E402
from kpweb.checks import CHECKS  # noqa: E402
from kpweb.measure import measure  # noqa: E402
from kpweb.page import WebSession  # noqa: E402
from kpweb.shots import readme_screenshot  # noqa: E402

EXIT_FAIL, EXIT_ERROR, EXIT_SKIP = 1, 2, 77


class Interrupted(BaseException):
    """The deadline passed or a signal came: every cleanup still runs."""


def log(msg):
    print("[web %s] %s" % (time.strftime("%H:%M:%S"), msg), flush=True)


def _on_signal(signum, frame):
    raise Interrupted("deadline passed" if signum == signal.SIGALRM
                      else "stopped by signal %d" % signum)


def parse_args(argv):
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    p.add_argument("--site", default=os.path.join(HERE, "..", "..", "build", "web"),
                   help="the web build's folder (index.html, kelvane-paint.js/.wasm)")
    p.add_argument("--work-dir", help="failure screenshots (default: web-tests beside the "
                   "site folder)")
    p.add_argument("--timeout", type=float, default=170)
    sub = p.add_subparsers(dest="command", required=True)
    sub.add_parser("list", help="names of the checks")
    c = sub.add_parser("check", help="run checks (all by default)")
    c.add_argument("names", nargs="*")
    s = sub.add_parser("screenshot", help="draw the README picture, check it, save the page")
    s.add_argument("--out", required=True)
    m = sub.add_parser("measure", help="page size, first white frame, moves per second")
    m.add_argument("--json", help="write the numbers here as well")
    return p.parse_args(argv)


def run_checks(session, names, work_dir):
    failed = []
    for name in names:
        t0 = time.monotonic()
        session.failure_picture = os.path.join(work_dir, "%s-failure.png" % name)
        try:
            summary = CHECKS[name](session)
            log("PASS %s (%.1f s): %s" % (name, time.monotonic() - t0, summary))
        except NotApplicable as e:
            log("SKIP %s: %s" % (name, e))
        except AssertionError as e:
            log("FAIL %s (%.1f s): %s" % (name, time.monotonic() - t0, e))
            failed.append(name)
        except Skip:
            raise
        except Exception:
            log("ERROR %s (%.1f s):\n%s" % (name, time.monotonic() - t0,
                                             traceback.format_exc()))
            failed.append(name)
    return failed


def main(argv):
    args = parse_args(argv)
    if args.command == "list":
        print("\n".join(CHECKS))
        return 0
    if args.command == "check":
        unknown = [n for n in args.names if n not in CHECKS]
        if unknown:
            print("unknown check(s): %s; known: %s" % (", ".join(unknown), ", ".join(CHECKS)))
            return EXIT_ERROR
    site = os.path.abspath(args.site)
    work_dir = os.path.abspath(args.work_dir or os.path.join(os.path.dirname(site), "web-tests"))
    os.makedirs(work_dir, exist_ok=True)
    for sig in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP, signal.SIGALRM):
        signal.signal(sig, _on_signal)
    signal.setitimer(signal.ITIMER_REAL, args.timeout)

    t_start = time.monotonic()
    code = EXIT_ERROR
    try:
        with WebSession(site, log) as session:
            if args.command == "check":
                names = args.names or list(CHECKS)
                failed = run_checks(session, names, work_dir)
                log("%d of %d check(s) passed" % (len(names) - len(failed), len(names)))
                code = EXIT_FAIL if failed else 0
            elif args.command == "screenshot":
                session.failure_picture = os.path.join(work_dir, "screenshot-failure.png")
                try:
                    log(readme_screenshot(session, args.out))
                    code = 0
                except AssertionError as e:
                    log("FAIL screenshot: %s" % e)
                    code = EXIT_FAIL
            elif args.command == "measure":
                numbers = measure(session, site, log)
                print(json.dumps(numbers, indent=2))
                if args.json:
                    with open(args.json, "w") as f:
                        json.dump(numbers, f, indent=2)
                code = 0
    except Skip as e:
        print("SKIP: %s" % e, flush=True)
        code = EXIT_SKIP
    except Interrupted as e:
        log("ABORTED: %s; the browser and the server have been stopped" % e)
    except Exception:
        log("ERROR:\n%s" % traceback.format_exc())
    finally:
        signal.setitimer(signal.ITIMER_REAL, 0)
    log("done in %.1f s" % (time.monotonic() - t_start))
    return code


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
