#!/usr/bin/env python3
"""Prints one table from the benchmark JSON files in a folder, with the ratios
the targets are stated in: BitBlt against memcpy, native against Wine; then
the real-display tables (display.json and display-wayland.json from
bench/run-display.sh): CPU per mouse move of the program and of the X server
or the Wayland compositor."""
import json
import pathlib
import statistics
import sys

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
    for name in ("display.json", "display-wayland.json"):
        display = pathlib.Path(folder, name)
        if display.exists():
            print()
            print_display(json.loads(display.read_text()))


def display_rows(results):
    """(size, {program: result}) in the order of the results."""
    sizes = []
    for r in results:
        if r["size"] not in sizes:
            sizes.append(r["size"])
    return [(size, {r["program"]: r for r in results if r["size"] == size}) for size in sizes]


def ratios_of(rows, wayland):
    sums = {n: r["median_us_per_move"]["sum"] for n, r in rows.items()}
    programs = {n: r["median_us_per_move"]["program"] for n, r in rows.items()}
    out = []
    if "native" in sums and "floor" in sums:
        out.append(f"native / floor {sums['native'] / sums['floor']:.1f}")
    if "xwayland" in sums and "floor" in sums:
        out.append(f"XWayland / floor {sums['xwayland'] / sums['floor']:.1f}")
    if "wine" in sums and "native" in sums:
        out.append(f"Wine / native {sums['wine'] / sums['native']:.2f}")
    line = f"sums: {', '.join(out)}" if out else ""
    if wayland and "native" in programs and programs.get("floor"):
        line += f"; programs: native / floor {programs['native'] / programs['floor']:.1f}"
    return line


def print_display(data):
    """CPU per move for each screen and program, with the ratios: on Xvfb
    (display.json) or on sway (display-wayland.json)."""
    wayland = data.get("display") == "wayland"
    wine_note = ""
    if data.get("wine_build") == "win64":
        wine_note = " (Wine: a 64-bit build, this machine runs no 32-bit code)"
    hz = 1e6 / data.get("interval_us", 1000)
    where = f"on {data.get('compositor', 'sway')} headless" if wayland else "on Xvfb"
    print(f"{'Wayland' if wayland else 'real display'}: CPU per mouse move, {data['moves']}-move "
          f"drags at {hz:.0f} Hz {where}, median of {data['reps']}{wine_note}")
    server, last = ("compositor", "wayvnc") if wayland else ("X", "writes")
    print(f"{'window':<28} {'program':<8} {'client':>10} {'program':>8} {server:>10} {'sum':>6}"
          f" {last:>7}")
    print("-" * 84)
    filled = "fullscreen" if wayland else "maximized"
    noise = []
    for size, rows in display_rows(data["results"]):
        first = True
        for name in ("native", "xwayland", "wine", "floor"):
            r = rows.get(name)
            if r is None:
                continue
            label = ""
            if first:
                label = f"{filled if r['maximized'] else '600x500 window'} on {r['screen']}"
            first = False
            m = r["median_us_per_move"]
            client = "%dx%d" % tuple(r["client"])
            extra = m.get("input" if wayland else "writes")
            extra = "" if extra is None else f"{extra:.0f}" if wayland else f"{extra:.2f}"
            print(f"{label:<28} {name:<8} {client:>10} {m['program']:>8.0f} {m['server']:>10.0f} "
                  f"{m['sum']:>6.0f} {extra:>7}")
            noise += [d["others_cores"] for d in r["drags"]]
        line = ratios_of(rows, wayland)
        if line:
            print(f"{'':<28} {line}")
    if wayland:
        print("program, compositor (sway, with Xwayland for xwayland), sum: CPU us per move, each "
              "the median\nover the drags; wayvnc (the input device) apart")
        native = {r["size"]: r["median_us_per_move"]["program"] for r in data["results"]
                  if r["program"] == "native"}
        if native.get("window") and "uhd" in native:
            print(f"native program, fullscreen 3840x2160 / 600x500 window: "
                  f"{native['uhd'] / native['window']:.1f}")
    else:
        print("program, X, sum: CPU us per move, each the median over the drags. writes: write "
              "system calls\nof the program side per move; a present of the native program or "
              "the floor flushes to the\nX server at least once, so fewer than one means presents "
              "merged (moves came while it was busy)")
    if noise:
        print(f"rest of the machine during the drags: median {statistics.median(noise):.2f}, "
              f"max {max(noise):.2f} of {data.get('cores', '?')} cores busy; load average "
              f"{data['loadavg_before'][0]:.2f} before, {data['loadavg_after'][0]:.2f} after")


if __name__ == "__main__":
    main()
