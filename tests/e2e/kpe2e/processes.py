"""Starting and stopping the processes of a run so that none is left behind."""

import ctypes
import os
import resource
import signal
import subprocess
import time

_PR_SET_PDEATHSIG = 1
_libc = None


def _die_with_parent():
    # Runs in the child between fork and exec: if the harness is killed
    # outright (SIGKILL from a test driver's timeout) its children go too.
    global _libc
    if _libc is None:
        _libc = ctypes.CDLL(None, use_errno=True)
    _libc.prctl(_PR_SET_PDEATHSIG, signal.SIGKILL, 0, 0, 0)


def start(argv, env=None, address_space=None, **kwargs):
    """Starts argv in a new session and process group of its own, tied to the
    life of the harness; with address_space, limited to that many bytes of
    it (ulimit -v)."""
    def prepare():
        _die_with_parent()
        if address_space is not None:
            resource.setrlimit(resource.RLIMIT_AS, (address_space, address_space))
    return subprocess.Popen(argv, env=env, start_new_session=True, preexec_fn=prepare, **kwargs)


def start_logged(argv, path, mode="wb", **kwargs):
    """start() with no input, its output (stdout too unless given) to a file."""
    with open(path, mode) as out:
        kwargs.setdefault("stdout", out)
        return start(argv, stdin=subprocess.DEVNULL, stderr=out, **kwargs)


def alive(pid):
    try:
        os.kill(pid, 0)
    except ProcessLookupError:
        return False
    except PermissionError:
        return True
    # A zombie still answers kill(0); it is dead for our purposes.
    try:
        with open("/proc/%d/stat" % pid) as f:
            return f.read().rsplit(")", 1)[1].split()[0] != "Z"
    except OSError:
        return False


def stop_group(proc, grace=3.0):
    """Ends proc's process group: SIGTERM, then SIGKILL after `grace` seconds."""
    if proc is None:
        return
    try:
        pgid = os.getpgid(proc.pid)
    except ProcessLookupError:
        pgid = None
    if pgid is not None and pgid == proc.pid:
        for sig in (signal.SIGTERM, signal.SIGKILL):
            try:
                os.killpg(pgid, sig)
            except ProcessLookupError:
                break
            try:
                proc.wait(timeout=grace)
                break
            except subprocess.TimeoutExpired:
                continue
    if proc.poll() is None:
        proc.kill()
    try:
        proc.wait(timeout=grace)
    except subprocess.TimeoutExpired:
        pass


def signal_group(proc, sig):
    """Sends sig to proc's process group (the one start() gave it)."""
    try:
        os.killpg(os.getpgid(proc.pid), sig)
    except ProcessLookupError:
        pass


def stopped(pid):
    """Whether the process is stopped by a signal (state T)."""
    try:
        with open("/proc/%d/stat" % pid) as f:
            return f.read().rsplit(")", 1)[1].split()[0] in ("T", "t")
    except OSError:
        return False


def pids_with_env(name, value):
    """PIDs of the processes whose environment holds name=value: the way to
    find every process of one Wine prefix, whoever started it inside Wine."""
    needle = ("%s=%s" % (name, value)).encode()
    found = []
    me = os.getpid()
    for entry in os.listdir("/proc"):
        if not entry.isdigit() or int(entry) == me:
            continue
        try:
            with open("/proc/%s/environ" % entry, "rb") as f:
                env = f.read().split(b"\0")
        except OSError:
            continue
        if needle in env and alive(int(entry)):
            found.append(int(entry))
    return found


def kill_pids(pids, grace=3.0):
    """SIGTERM, then SIGKILL, the given processes (each by its own id)."""
    for sig in (signal.SIGTERM, signal.SIGKILL):
        pids = [p for p in pids if alive(p)]
        for p in pids:
            try:
                os.kill(p, sig)
            except ProcessLookupError:
                pass
        deadline = time.monotonic() + grace
        while time.monotonic() < deadline and any(alive(p) for p in pids):
            time.sleep(0.05)
    return [p for p in pids if alive(p)]
