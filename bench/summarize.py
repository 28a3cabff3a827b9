#!/usr/bin/env python3
"""Prints one table from the benchmark JSON files in a folder, with the ratios
the targets are stated in: BitBlt against memcpy, native against Wine."""
import json
import pathlib
import sys


def medians(folder):
    """name -> (median real time in ns, counters) over every Google Benchmark file."""
    result = {}
    for path in sorted(pathlib.Path(folder).glob("*.json")):
        data = json.loads(path.read_text())
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
        print(f"  move cycle 600x500, Wine / native: {wine[0] / native[0]:.1f}  (target >= 5)")
    extras = pathlib.Path(folder, "extra.txt")
    if extras.exists():
        print()
        print(extras.read_text().rstrip())


if __name__ == "__main__":
    main()
