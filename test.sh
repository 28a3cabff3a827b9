#!/usr/bin/env bash
# Runs every test: unit, layer conformance and whole-program tests of the
# native build, the sanitizer build, the end-to-end and conformance suites of
# the Windows build under Wine, and the browser build's page in Chromium.
# Installs what is missing first.
set -uo pipefail
cd "$(dirname "$0")"

scripts/deps.sh test || exit 1

failed=()
stage() {
  local name=$1; shift
  echo "=== $name"
  if ! "$@"; then failed+=("$name"); fi
}

build() {
  cmake --preset "$1" >/dev/null && cmake --build --preset "$1"
}

stage "native build" build native
stage "native tests" ctest --preset native -j2 -LE chaos
stage "chaos: hostile desktops on a real X server" ctest --preset native -L chaos
stage "win32 build" build win32
stage "win32 tests (Wine)" ctest --preset win32
if [ -f tests/sanitize.sh ]; then
  stage "sanitizer build and tests" tests/sanitize.sh
fi
# The browser build and its tests in headless Chromium, where Emscripten and
# Chromium can be installed (a failing install is reported, not a failure).
if scripts/deps.sh web; then
  stage "web build" build web
  stage "web tests (Chromium)" ctest --preset web
else
  echo "=== web build and tests: SKIPPED: Emscripten, Chromium, ChromeDriver and Selenium" \
       "(scripts/deps.sh web) cannot be installed here"
fi
if [ -x tests/fuzz/run.sh ]; then
  stage "fuzzing the window procedure (60 s)" tests/fuzz/run.sh 60
fi

echo
if [ ${#failed[@]} -gt 0 ]; then
  echo "FAILED: ${failed[*]}"
  exit 1
fi
echo "All test stages passed."
