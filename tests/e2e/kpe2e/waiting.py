"""Polling with a deadline instead of fixed sleeps."""

import time


class WaitTimeout(AssertionError):
    """What was awaited did not happen in time; the message says what it was
    and what was last seen."""


def wait_for(probe, timeout, what, interval=0.02):
    """Calls probe() until it returns something true and returns that.

    probe may also return (ok, detail); then the detail of the last failed
    attempt is put into the timeout message."""
    deadline = time.monotonic() + timeout
    detail = None
    while True:
        result = probe()
        if isinstance(result, tuple) and len(result) == 2 and isinstance(result[0], bool):
            ok, detail = result
            if ok:
                return detail
        elif result:
            return result
        if time.monotonic() >= deadline:
            msg = "timed out after %.1f s waiting for %s" % (timeout, what)
            if detail is not None:
                msg += " (last seen: %s)" % detail
            raise WaitTimeout(msg)
        time.sleep(interval)


def wait_for_window(exit_code, probe, timeout, what):
    """wait_for() for a program's window that fails at once, not at the
    timeout, when exit_code() says that the program has ended."""
    def checked():
        code = exit_code()
        if code is not None:
            raise AssertionError("the program exited with code %s before its window appeared"
                                 % code)
        return probe()
    return wait_for(checked, timeout, what)
