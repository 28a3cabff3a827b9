#!/usr/bin/env bash
# Runs every benchmark and prints one table (JSON results in build/bench/results/).
# Benchmarks measure; they never pass or fail the test suite.
set -euo pipefail
cd "$(dirname "$0")"

scripts/deps.sh bench

cmake --preset bench >/dev/null && cmake --build --preset bench >/dev/null
out=build/bench/results
mkdir -p "$out"
rm -f "$out"/*.json "$out"/extra.txt

for exe in build/bench/bench/kp-bench-*; do
  [ -x "$exe" ] || continue
  name=$(basename "$exe")
  echo "running $name" >&2
  "$exe" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
         --benchmark_out="$out/$name.json" --benchmark_out_format=json >/dev/null
done

# Measurements made outside Google Benchmark (whole program, Wine, X) write
# their own JSON next to these.
for script in bench/run-*.sh; do
  [ -x "$script" ] || continue
  echo "running $(basename "$script")" >&2
  "$script" "$out" || echo "$(basename "$script") failed" >&2
done

/usr/bin/python3 bench/summarize.py "$out"
