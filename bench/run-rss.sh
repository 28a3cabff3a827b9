#!/usr/bin/env bash
# Peak RSS of the program against its canvas (bench.sh's summary shows it).
#   bench/run-rss.sh OUTPUT_FOLDER
set -euo pipefail
cd "$(dirname "$0")/.."
"${KP_BENCH_BUILD:-build/bench}/bench/kp-rss" >>"$1/extra.txt"
