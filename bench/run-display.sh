#!/usr/bin/env bash
# CPU per mouse move on a real display: the path a user runs, present
# included (unlike the headless move cycle, whose present only records a
# rectangle). A left drag of 2000 motion events, one per millisecond like a
# 1000 Hz mouse, each a segment of a few pixels; the CPU time (utime + stime)
# of the program's processes and of the display server over the drag only,
# per move. Five drags each, every program started afresh for each, medians.
#
# X11: a private 24-bit Xvfb, the moves sent through XTEST. Three programs:
# the native build (build/bench/kelvane-paint), the Windows build under Wine
# (the exe's process and wineserver count as the program; Wine's helper
# processes are recorded but not counted) and kp-floor, the bench's own bare
# Xlib + MIT-SHM client that draws each segment and puts just its bounding
# box: the least a correct program can cost. Three sizes: the 600 x 500
# window on a 1280 x 1024 screen, and the window maximized (its X window
# configured to the screen) on 1920 x 1080 and on 3840 x 2160.
#
# Wayland: sway headless (pixman) as an unprivileged user, the moves sent
# through wayvnc's virtual pointer; the compositor's side is sway (with its
# Xwayland for the program through XWayland), wayvnc is reported apart.
# Three programs: the native build on Wayland, the same through XWayland,
# and kp-wl-floor, a bare wl_shm + xdg-shell client that damages only each
# segment and commits paced by frame callbacks. Two sizes: the 600 x 500
# window on a 1280 x 1024 output, and fullscreen on 3840 x 2160. Every move
# must show in the final picture.
#
# The pacer (bench/display/drag.cpp) and the orchestration
# (bench/display/measure.py, wayland.py) explain how the start and the end of
# a drag are found without counting the pacer or its own probes. Only the
# real binaries are driven, so any build of the program can be measured
# again.
#
#   bench/run-display.sh OUTPUT_FOLDER [--docs] [measure.py run options...]
#     --docs            also write the charts to docs/bench-display.png and
#                       docs/bench-display-wayland.png
#     --moves N --reps N --displays x11,wayland --sizes window,fhd,uhd
#     --programs native,wine,floor,xwayland
# Writes OUTPUT_FOLDER/display.json, display-wayland.json and their charts
# (bench-display*.png; logs of the programs in OUTPUT_FOLDER/display-logs);
# bench/summarize.py OUTPUT_FOLDER prints the tables. About three and a half
# minutes on X11, one and a half on Wayland.
set -euo pipefail
cd "$(dirname "$0")/.."
out=$1
shift
extra=()
wine_wanted=yes prev=
for arg in "$@"; do
  if [ "$arg" = --docs ]; then extra+=(--docs docs/bench-display.png); else extra+=("$arg"); fi
  # Wine is built only when its X11 drags are asked for.
  case "$prev" in
    --displays) [[ ,$arg, == *,x11,* ]] || wine_wanted=no ;;
    --programs) [[ ,$arg, == *,wine,* ]] || wine_wanted=no ;;
  esac
  prev=$arg
done
mkdir -p "$out"

build=${KP_BENCH_BUILD:-build/bench}
for exe in kelvane-paint bench/kp-drag bench/kp-floor; do
  [ -x "$build/$exe" ] || { echo "build the bench preset first (no $build/$exe)" >&2; exit 1; }
done
[ -x "$build/bench/kp-wl-floor" ] ||
  echo "no $build/bench/kp-wl-floor (libwayland-dev, wayland-protocols): no Wayland floor" >&2

# The Windows program, built like the move cycle's Windows side. Where the
# kernel runs no 32-bit code (some virtual machines: the 32-bit Wine loader
# fails with "Exec format error") the same sources are built for 64-bit
# Windows and run by the 64-bit loader instead; the results say which.
if [ $wine_wanted = no ]; then
  wine_build=none loader=()
elif WINEDEBUG=-all wine --version >/dev/null 2>&1; then
  wine_build=win32 toolchain=i686-w64-mingw32 loader=()
elif [ -x /usr/lib/wine/wine64 ]; then
  echo "32-bit Wine cannot run here: measuring a 64-bit build under wine64" >&2
  wine_build=win64 toolchain=x86_64-w64-mingw32 loader=(--wine-loader /usr/lib/wine/wine64)
else
  echo "Wine cannot run here: measuring the native program and the floor only" >&2
  wine_build=none loader=(--programs native,floor,xwayland)
fi
win=build/bench-$wine_build
if [ "$wine_build" != none ]; then
  cmake -S . -B "$win" -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/$toolchain.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DKP_BUILD_BENCH=ON -DKP_BUILD_TESTS=OFF >/dev/null
  cmake --build "$win" -j2 --target kelvane-paint >/dev/null
fi

echo "machine load before: $(cut -d' ' -f1-3 /proc/loadavg)" >&2
/usr/bin/python3 bench/display/measure.py run --out "$out" \
  --native "$build/kelvane-paint" --drag "$build/bench/kp-drag" --floor "$build/bench/kp-floor" \
  --wl-floor "$build/bench/kp-wl-floor" \
  --wine-exe "$win/kelvane-paint.exe" --wineprefix "$PWD/$win/display-wineprefix" \
  --wine-build "$wine_build" "${loader[@]}" "${extra[@]}"
echo "machine load after: $(cut -d' ' -f1-3 /proc/loadavg)" >&2
