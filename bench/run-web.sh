#!/usr/bin/env bash
# The browser build's numbers (bench.sh's summary shows them): the page's
# transfer size (html + js + wasm, gzip), the first white frame after the
# page starts loading, and the rate at which a 1000-move drag is drawn, in
# headless Chromium on 127.0.0.1.
#   bench/run-web.sh OUTPUT_FOLDER
set -euo pipefail
cd "$(dirname "$0")/.."
out=$1
mkdir -p "$out"

if ! scripts/deps.sh web >&2; then
  echo "web page: not measured (Emscripten or Chromium cannot be installed here)" >>"$out/extra.txt"
  exit 0
fi
cmake --preset web >/dev/null && cmake --build --preset web >/dev/null
/usr/bin/python3 tests/web/kp_web.py --site build/web --timeout 300 measure \
  --json "$out/web.json" >/dev/null
/usr/bin/python3 - "$out/web.json" >>"$out/extra.txt" <<'PY'
import json, sys
n = json.load(open(sys.argv[1]))
sizes = ", ".join("%s %.1f" % (k, v / 1000) for k, v in n["transfer_bytes_gzip"].items())
print("web page: transfer size, gzip: %.1f KB (%s)  (target <= 150 KB)"
      % (n["transfer_kb_gzip"], sizes))
print("web page: first white frame: %.0f ms after navigation start, median of %d loads "
      "(target <= 300 ms)" % (n["first_white_frame_ms"], len(n["first_white_frame_ms_all"])))
print("web page: 1000-move drag drawn at %d moves/s, median of %d  (target >= 1000)"
      % (n["drag_moves_per_second"], len(n["drag_moves_per_second_all"])))
PY
