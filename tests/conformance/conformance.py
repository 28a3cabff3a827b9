#!/usr/bin/python3
"""Runs the conformance suite and keeps its reference (the pixels that
Windows GDI, under Wine, draws for the built-in scripts).

  conformance.py native  --driver D --compare C [--work DIR]
      Runs the native driver and compares its frames with the reference;
      pictures of the differences go to DIR/diff as PNG.
  conformance.py wine    --driver EXE [--work DIR] [--prefix P] [--update]
      Runs the Windows driver under Wine on a private Xvfb and checks that
      its frames are still the reference ones, frame by frame; --update
      writes them as the new reference instead.
  conformance.py selftest --compare C [--work DIR]
      Checks that the comparison finds planted faults.
  conformance.py sweep --native-driver D --wine-driver EXE --compare C --seeds A-B
      Runs both drivers for every seed from A to B (new scripts each time,
      no reference involved) and compares them; for looking beyond the
      recorded seed.

The reference lives in tests/data/conformance: wine.kpcf.xz (the whole
results file), frames.txt (one line per frame: name, class, size and a hash
of its pixels) and tolerance.txt (how far each class may be from it).
Exit codes: 0 passed, 1 failed, 2 could not run, 77 Wine is not installed.
"""

import argparse
import hashlib
import lzma
import os
import shutil
import struct
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(os.path.dirname(HERE))
DATA = os.path.join(SOURCE, "tests", "data", "conformance")
REFERENCE = os.path.join(DATA, "wine.kpcf.xz")
MANIFEST = os.path.join(DATA, "frames.txt")
TOLERANCE = os.path.join(DATA, "tolerance.txt")
XVFB = os.path.join(SOURCE, "scripts", "with-xvfb.sh")
# The screen the Windows build draws its canvas for; the native driver's
# headless host has the same one.
SCREEN = "1280x1024x24"
MAGIC = b"KPCONF1\n"


class Unusable(Exception):
    """Input that cannot be compared at all."""


# ------------------------------------------------------------ results files

def frames_of(data):
    """[(name, class, width, height, sha256 of the frame's bytes)] of a
    results file's contents."""
    if not data.startswith(MAGIC):
        raise Unusable("not a conformance results file")
    pos = len(MAGIC)
    out = []

    def u32():
        nonlocal pos
        if pos + 4 > len(data):
            raise Unusable("truncated")
        v = struct.unpack_from("<I", data, pos)[0]
        pos += 4
        return v

    def text():
        nonlocal pos
        n = u32()
        v = data[pos:pos + n].decode()
        pos += n
        return v

    while True:
        if pos >= len(data):
            raise Unusable("truncated: no end marker")
        tag = data[pos:pos + 1]
        if tag == b"E":
            return out
        if tag != b"F":
            raise Unusable("malformed frame at byte %d" % pos)
        start = pos
        pos += 1
        _script, cls, name, _same = text(), text(), text(), text()
        width, height, _bg, keep = u32(), u32(), u32(), u32()
        pos += 8 * keep + 3 * width * height
        if pos > len(data):
            raise Unusable("truncated frame %s" % name)
        digest = hashlib.sha256(data[start:pos]).hexdigest()
        out.append((name, cls, width, height, digest))


def manifest_text(frames):
    lines = ["# Frames of the reference run: name class WxH sha256 (of the frame's record)."]
    lines += ["%s %s %dx%d %s" % (n, c, w, h, d) for n, c, w, h, d in frames]
    return "\n".join(lines) + "\n"


def read_manifest():
    out = {}
    with open(MANIFEST) as f:
        for line in f:
            if line.startswith("#") or not line.strip():
                continue
            name, cls, size, digest = line.split()
            out[name] = (cls, size, digest)
    return out


def write_frame(out, name, cls, width, height, background, pixels, keep=(), same_as=""):
    """Appends one frame record (the driver's layout) to the bytearray out."""
    out += b"F"
    for s in ("selftest", cls, name, same_as):
        b = s.encode()
        out += struct.pack("<I", len(b)) + b
    out += struct.pack("<IIII", width, height, background, len(keep))
    for x, y in keep:
        out += struct.pack("<II", x, y)
    for p in pixels:
        out += bytes(((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF))


# ------------------------------------------------------------------- helpers

def run(argv, **kw):
    print("+ " + " ".join(argv), flush=True)
    return subprocess.run(argv, **kw)


def pictures(diff_dir):
    """PPM pictures of differences to PNG, 4 times larger, when ImageMagick
    is there; the PPM files stay otherwise."""
    convert = shutil.which("convert")
    if not convert or not os.path.isdir(diff_dir):
        return
    for name in sorted(os.listdir(diff_dir)):
        if not name.endswith(".ppm"):
            continue
        ppm = os.path.join(diff_dir, name)
        png = ppm[:-4] + ".png"
        if subprocess.run([convert, ppm, "-scale", "400%", png]).returncode == 0:
            os.remove(ppm)
            print("difference picture: %s" % png)


def fresh_dir(path):
    shutil.rmtree(path, ignore_errors=True)
    os.makedirs(path)


# ------------------------------------------------------------------ commands

def cmd_native(args):
    work = os.path.abspath(args.work)
    os.makedirs(work, exist_ok=True)
    diff = os.path.join(work, "diff")
    fresh_dir(diff)
    native = os.path.join(work, "native.kpcf")
    reference = os.path.join(work, "wine.kpcf")
    with open(REFERENCE, "rb") as f, open(reference, "wb") as out:
        out.write(lzma.decompress(f.read()))
    if run([args.driver, native]).returncode != 0:
        print("the native driver failed")
        return 1
    rc = run([args.compare, "--tolerance", TOLERANCE, "--diff-dir", diff, native,
              reference]).returncode
    pictures(diff)
    return rc


def wine_unusable():
    """Why Wine cannot run the Windows driver here, or None."""
    wine = shutil.which("wine")
    if wine is None:
        return "Wine is not installed"
    proc = subprocess.run([wine, "--version"], capture_output=True, text=True, timeout=60)
    if proc.returncode != 0:
        return "Wine cannot start on this machine (%s)" % (
            proc.stderr.strip().splitlines() or ["exit code %d" % proc.returncode])[-1]
    return None


def cmd_wine(args):
    reason = wine_unusable()
    if reason:
        print("%s: the reference cannot be checked here" % reason)
        return 77
    wine = shutil.which("wine")
    for tool in ("wineserver", "Xvfb"):
        if shutil.which(tool) is None:
            print("%s is missing" % tool)
            return 2
    work = os.path.abspath(args.work)
    os.makedirs(work, exist_ok=True)
    prefix = os.path.abspath(args.prefix or os.path.join(work, "wineprefix"))
    out = os.path.join(work, "wine.kpcf")
    if os.path.exists(out):
        os.remove(out)
    # with-xvfb.sh stops the prefix's wineserver and the X server afterwards.
    # A new prefix is created by Wine itself on the first run.
    proc = run([XVFB, "-s", SCREEN, "--wine-prefix", prefix, "--", wine,
                os.path.abspath(args.driver), out], timeout=args.timeout)
    if proc.returncode != 0 or not os.path.exists(out):
        print("the Windows driver failed under Wine (code %d)" % proc.returncode)
        return 1
    with open(out, "rb") as f:
        data = f.read()
    frames = frames_of(data)
    if args.update:
        os.makedirs(DATA, exist_ok=True)
        with open(REFERENCE, "wb") as f:
            f.write(lzma.compress(data, preset=9 | lzma.PRESET_EXTREME))
        with open(MANIFEST, "w") as f:
            f.write(manifest_text(frames))
        print("reference updated: %d frames, %d bytes compressed" %
              (len(frames), os.path.getsize(REFERENCE)))
        return 0
    expected = read_manifest()
    changed = []
    seen = set()
    for name, cls, width, height, digest in frames:
        seen.add(name)
        want = expected.get(name)
        if want is None:
            changed.append("%s: new frame" % name)
        elif want != (cls, "%dx%d" % (width, height), digest):
            changed.append("%s (%s): pixels differ from the reference" % (name, cls))
    changed += ["%s: missing from this run" % n for n in expected if n not in seen]
    for line in changed:
        print(line)
    print("%d frames under Wine, %d differ from the reference" % (len(frames), len(changed)))
    if changed:
        print("If Wine's behaviour is meant to be the new reference, run:\n  %s wine "
              "--driver %s --update" % (sys.argv[0], args.driver))
        return 1
    return 0


def cmd_selftest(args):
    """The comparison must find each planted fault and pass the clean copy."""
    work = os.path.abspath(args.work)
    fresh_dir(work)
    w, h, bg = 8, 6, 0xFFFFFF
    stroke = [bg] * (w * h)
    for x in range(1, 7):
        stroke[2 * w + x] = 0x102030
    one_more = list(stroke)
    one_more[3 * w + 3] = 0x102030  # 1 of the 7 stroke pixels differs

    def results(frames):
        out = bytearray(MAGIC)
        for f in frames:
            write_frame(out, *f)
        out += b"E"
        return bytes(out)

    a = ("a", "w3", w, h, bg, stroke)
    b = ("b", "fill", w, h, bg, stroke)
    c = ("c", "w0", w, h, bg, stroke, [(7, 2)])
    d = ("d", "w1", w, h, bg, stroke, [], "b")
    ref = [a, b, c, d]
    a_off = ("a", "w3", w, h, bg, one_more)
    # label, run, tolerance of w3 (None: none), exit code, texts the report must have
    cases = [
        ("identical", ref, None, 0, ["0 differ; 0 checks failed"]),
        ("one pixel more in a wide stroke", [a_off, b, c, d], None, 1,
         ["frame a: 1 of 7 stroke pixels differ", "WORSE"]),
        ("the same within its tolerance", [a_off, b, c, d], "0.15", 0, ["1 differ"]),
        ("the same beyond its tolerance", [a_off, b, c, d], "0.14", 1, ["WORSE"]),
        ("a fill pixel differs", [a, ("b", "fill", w, h, bg, one_more), c, d], "0.5", 1,
         ["frame b: 1 of 7"]),
        ("a missing frame", [a, b, d], None, 1, ["frame c: in the reference, not in the run"]),
        ("an end point drawn", [a, b, ("c", "w0", w, h, bg, stroke, [(3, 2)]), d], None, 1,
         ["pixel (3,2) is 102030, must stay background"]),
        ("same-as broken", [a, b, c, ("d", "w1", w, h, bg, one_more, [], "b")], None, 1,
         ["d differs from b in 1 pixels"]),
    ]
    ref_path = os.path.join(work, "reference.kpcf")
    with open(ref_path, "wb") as f:
        f.write(results(ref))
    run_path = os.path.join(work, "run.kpcf")
    tol_path = os.path.join(work, "tolerance.txt")
    failures = 0
    for label, frames, tolerance, want_rc, want_text in cases:
        with open(run_path, "wb") as f:
            f.write(results(frames))
        argv = [args.compare, run_path, ref_path]
        if tolerance is not None:
            with open(tol_path, "w") as f:
                f.write("w3 %s\n" % tolerance)
            argv[1:1] = ["--tolerance", tol_path]
        proc = subprocess.run(argv, capture_output=True, text=True)
        ok = proc.returncode == want_rc and all(t in proc.stdout for t in want_text)
        print("%-36s %s" % (label, "ok" if ok else "NOT AS EXPECTED (code %d)" % proc.returncode))
        if not ok:
            failures += 1
            print(proc.stdout)
    print("%d passed, %d failed" % (len(cases) - failures, failures))
    return 1 if failures else 0


def cmd_sweep(args):
    reason = wine_unusable()
    if reason:
        print(reason)
        return 77
    wine = shutil.which("wine")
    first, last = (int(v) for v in args.seeds.split("-"))
    work = os.path.abspath(args.work)
    os.makedirs(work, exist_ok=True)
    prefix = os.path.abspath(args.prefix or os.path.join(work, "wineprefix"))
    seeds = list(range(first, last + 1))
    # One X server and one wineserver for all seeds.
    loop = " && ".join('"%s" "%s" --seed %d "%s/wine-%d.kpcf"' %
                       (wine, os.path.abspath(args.wine_driver), s, work, s) for s in seeds)
    if run([XVFB, "-s", SCREEN, "--wine-prefix", prefix, "--", "sh", "-c", loop]).returncode:
        print("the Windows driver failed under Wine")
        return 1
    failed = []
    for s in seeds:
        native = os.path.join(work, "native-%d.kpcf" % s)
        if run([args.native_driver, "--seed", str(s), native]).returncode:
            failed.append(s)
            continue
        diff = os.path.join(work, "diff-%d" % s)
        fresh_dir(diff)
        proc = run([args.compare, "--tolerance", TOLERANCE, "--diff-dir", diff, native,
                    os.path.join(work, "wine-%d.kpcf" % s)], capture_output=True, text=True)
        summary = [line for line in proc.stdout.splitlines() if "frames compared" in line]
        print("seed %d: %s" % (s, summary[0] if summary else proc.stdout))
        if proc.returncode:
            failed.append(s)
            print(proc.stdout)
        pictures(diff)
    print("%d passed, %d failed" % (len(seeds) - len(failed), len(failed)))
    return 1 if failed else 0


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    sub = parser.add_subparsers(dest="command", required=True)
    p = sub.add_parser("native")
    p.add_argument("--driver", required=True)
    p.add_argument("--compare", required=True)
    p.add_argument("--work", default="conformance-native")
    p.set_defaults(func=cmd_native)
    p = sub.add_parser("wine")
    p.add_argument("--driver", required=True)
    p.add_argument("--work", default="conformance-wine")
    p.add_argument("--prefix")
    p.add_argument("--timeout", type=int, default=240)
    p.add_argument("--update", action="store_true")
    p.set_defaults(func=cmd_wine)
    p = sub.add_parser("selftest")
    p.add_argument("--compare", required=True)
    p.add_argument("--work", default="conformance-selftest")
    p.set_defaults(func=cmd_selftest)
    p = sub.add_parser("sweep")
    p.add_argument("--native-driver", required=True)
    p.add_argument("--wine-driver", required=True)
    p.add_argument("--compare", required=True)
    p.add_argument("--seeds", default="2-11")
    p.add_argument("--work", default="conformance-sweep")
    p.add_argument("--prefix")
    p.set_defaults(func=cmd_sweep)
    args = parser.parse_args()
    try:
        return args.func(args)
    except (Unusable, OSError, lzma.LZMAError, subprocess.TimeoutExpired) as e:
        print("cannot run: %s" % e)
        return 2


if __name__ == "__main__":
    sys.exit(main())
