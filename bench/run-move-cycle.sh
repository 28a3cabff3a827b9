#!/usr/bin/env bash
# The move cycle natively (headless host) and the same source built for
# Windows under Wine on a private Xvfb: one run, one ratio.
#   bench/run-move-cycle.sh OUTPUT_FOLDER
set -euo pipefail
cd "$(dirname "$0")/.."
out=$1
mkdir -p "$out"

native=${KP_BENCH_BUILD:-build/bench}/bench/kp-move-cycle
[ -x "$native" ] || { echo "build the bench preset first" >&2; exit 1; }
"$native" move_cycle_native_600x500 584 461 20000 >"$out/move-cycle-native-600.json"
"$native" move_cycle_native_1920x1080 1920 1080 4000 >"$out/move-cycle-native-1920.json"

win=build/bench-win32
cmake -S . -B "$win" -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/i686-w64-mingw32.cmake" \
      -DCMAKE_BUILD_TYPE=Release -DKP_BUILD_BENCH=ON -DKP_BUILD_TESTS=OFF >/dev/null
cmake --build "$win" -j2 --target kp-move-cycle >/dev/null
prefix=$PWD/$win/wineprefix
export WINEDEBUG=-all
# The client is sized to 584 x 461, the 600 x 500 window's client on Windows 10.
scripts/with-xvfb.sh -s 2560x1440x24 --wine-prefix "$prefix" -- \
  bash -c "wineboot -i >/dev/null 2>&1; wine '$win/bench/kp-move-cycle.exe' move_cycle_wine_600x500 584 461 4000" \
  | tr -d '\r' | grep '^{' >"$out/move-cycle-wine-600.json"
