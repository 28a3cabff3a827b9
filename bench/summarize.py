#!/usr/bin/env python3
"""Prints one table from the benchmark JSON files in a folder, with the ratios
the targets are stated in: BitBlt against memcpy, native against Wine; then
the real-display table (display.json from bench/run-display.sh): CPU per
mouse move of the program and of the X server."""
import json
import pathlib
import statistics
import sys

DISPLAY_SIZES = {"window": "600x500 window", "fhd": "maximized", "uhd": "maximized"}


def medians(folder):
    """name -> (median real time in ns, counters) over every Google Benchmark file."""
    result = {}
    for path in sorted(pathlib.Path(folder).glob("*.json")):
        try:
            data = json.loads(path.read_text())
        except ValueError:
            print(f"{path.name}: no results (its run failed)", file=sys.stderr)
            continue
        if not isinstance(data, dict):
            continue
        for b in data.get("benchmarks", []):
            if b.get("aggregate_name", "median") != "median":
                continue
            name = b.get("run_name", b["name"])
            scale = {"ns": 1, "us": 1e3, "ms": 1e6, "s": 1e9}[b.get("time_unit", "ns")]
            counters = {k: v for k, v in b.items() if k in ("px/s", "bytes_per_second", "value")}
            result[name] = (b["real_time"] * scale, counters)
    return result


def fmt_ns(ns):
    for unit, scale in (("s", 1e9), ("ms", 1e6), ("us", 1e3)):
        if ns >= scale:
            return f"{ns / scale:.2f} {unit}"
    return f"{ns:.1f} ns"


def main():
    folder = sys.argv[1]
    rows = medians(folder)
    print(f"{'benchmark':<44} {'median':>12}  extra")
    print("-" * 72)
    for name, (ns, counters) in rows.items():
        extra = ""
        if "px/s" in counters:
            extra = f"{counters['px/s'] / 1e6:.0f} Mpx/s"
        if "value" in counters:
            extra = f"{counters['value']:.0f}"
        print(f"{name:<44} {fmt_ns(ns):>12}  {extra}")

    print()
    print("ratios (medians of one run)")
    for size in ("584/461", "1920/1080"):
        blit, copy = rows.get(f"BM_BlitClient/{size}"), rows.get(f"BM_MemcpyClient/{size}")
        if blit and copy:
            print(f"  BitBlt {size} / memcpy of the same bytes: {blit[0] / copy[0]:.2f}  (target <= 1.25)")
    native, wine = rows.get("move_cycle_native_600x500"), rows.get("move_cycle_wine_600x500")
    if native and wine:
        print(f"  headless move cycle 600x500 (no present path), Wine / native: "
              f"{wine[0] / native[0]:.1f}  (target >= 5)")
    extras = pathlib.Path(folder, "extra.txt")
    if extras.exists():
        print()
        print(extras.read_text().rstrip())
    display = pathlib.Path(folder, "display.json")
    if display.exists():
        print()
        print_display(json.loads(display.read_text()))


def print_display(data):
    """CPU per move on Xvfb for each screen and program, with the ratios."""
    wine_note = ""
    if data.get("wine_build") == "win64":
        wine_note = " (Wine: a 64-bit build, this machine runs no 32-bit code)"
    hz = 1e6 / data.get("interval_us", 1000)
    print(f"real display: CPU per mouse move, {data['moves']}-move drags at {hz:.0f} Hz on Xvfb, "
          f"median of {data['reps']}{wine_note}")
    print(f"{'window':<28} {'program':<7} {'client':>10} {'program':>8} {'X':>6} {'sum':>6}"
          f" {'writes':>7}")
    print("-" * 80)
    results = data["results"]
    sizes = []
    for r in results:
        if r["size"] not in sizes:
            sizes.append(r["size"])
    noise = []
    for size in sizes:
        rows = {r["program"]: r for r in results if r["size"] == size}
        first = True
        for name in ("native", "wine", "floor"):
            r = rows.get(name)
            if r is None:
                continue
            label = ""
            if first:
                label = f"{DISPLAY_SIZES.get(size, size)} on {r['screen']}"
            first = False
            m = r["median_us_per_move"]
            client = "%dx%d" % tuple(r["client"])
            writes = f"{m['writes']:.2f}" if "writes" in m else ""
            print(f"{label:<28} {name:<7} {client:>10} {m['program']:>8.0f} {m['x']:>6.0f} "
                  f"{m['sum']:>6.0f} {writes:>7}")
            noise += [d["others_cores"] for d in r["drags"]]
        ratios = []
        sums = {n: r["median_us_per_move"]["sum"] for n, r in rows.items()}
        if "native" in sums and "floor" in sums:
            ratios.append(f"native / floor {sums['native'] / sums['floor']:.1f}")
        if "wine" in sums and "native" in sums:
            ratios.append(f"Wine / native {sums['wine'] / sums['native']:.2f}")
        if ratios:
            print(f"{'':<28} sums: {', '.join(ratios)}")
    print("program, X, sum: CPU us per move, each the median over the drags. writes: write "
          "system calls\nof the program side per move; a present of the native program or the "
          "floor flushes to the\nX server at least once, so fewer than one means presents merged "
          "(moves came while it was busy)")
    if noise:
        print(f"rest of the machine during the drags: median {statistics.median(noise):.2f}, "
              f"max {max(noise):.2f} of {data.get('cores', '?')} cores busy; load average "
              f"{data['loadavg_before'][0]:.2f} before, {data['loadavg_after'][0]:.2f} after")


if __name__ == "__main__":
    main()
