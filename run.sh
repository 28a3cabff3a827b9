#!/usr/bin/env bash
# Builds Kelvane Paint and starts it. Uses the native Linux program when this
# checkout builds one, otherwise the Windows build under Wine. With a display
# ($DISPLAY) the program simply opens there; without one it runs on a private
# Xvfb, plays a short demonstration (a drag, a right click, another drag),
# saves the picture to kelvane-paint.png and closes the window.
#
#   ./run.sh --web [PORT]   builds the browser version (build/web, a static
#                           folder) and serves it on http://127.0.0.1:PORT/
#                           (default 8000) until Ctrl+C.
set -euo pipefail
cd "$(dirname "$0")"

if [ "${1:-}" = "--web" ]; then
  port=${2:-8000}
  scripts/deps.sh web
  cmake --preset web >/dev/null && cmake --build --preset web >/dev/null
  echo "Kelvane Paint in the browser: http://127.0.0.1:$port/  (the page is build/web; Ctrl+C stops the server)"
  exec /usr/bin/python3 -m http.server --bind 127.0.0.1 --directory build/web "$port"
fi

scripts/deps.sh run

cmake --preset native >/dev/null && cmake --build --preset native >/dev/null
if [ -x build/native/kelvane-paint ]; then
  target=native exe=build/native/kelvane-paint
  launch=(build/native/kelvane-paint)
else
  cmake --preset win32 >/dev/null && cmake --build --preset win32 >/dev/null
  target=wine exe=build/win32/kelvane-paint.exe
  export WINEPREFIX=${WINEPREFIX:-$PWD/build/win32/run-wineprefix} WINEDEBUG=${WINEDEBUG:--all}
  launch=(wine "$exe")
fi

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  exec "${launch[@]}" "$@"
fi

echo "No display: running a demonstration on a private X server ($target build)."
status=0
/usr/bin/python3 tests/e2e/kp_e2e.py --target "$target" --exe "$exe" demo --out kelvane-paint.png || status=$?
[ -f kelvane-paint.png ] && echo "The picture is in $PWD/kelvane-paint.png"
exit $status
