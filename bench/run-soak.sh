#!/usr/bin/env bash
# The soak (bench/soak.cpp): ten million moves and a hundred thousand right
# clicks through the headless host; its summary line (RSS and GDI objects at
# start and end) is appended to OUTPUT_FOLDER/extra.txt.
#   bench/run-soak.sh OUTPUT_FOLDER [MOVES [RIGHT_CLICKS]]
set -euo pipefail
cd "$(dirname "$0")/.."
out=$1
shift
mkdir -p "$out"
soak=${KP_BENCH_BUILD:-build/bench}/bench/kp-soak
[ -x "$soak" ] || { echo "build the bench preset first" >&2; exit 1; }
"$soak" "$@" | tee -a "$out/extra.txt"
