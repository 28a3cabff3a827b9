#!/usr/bin/env bash
# Fuzzes the program's window procedure on the headless host for a bounded
# time: builds the libFuzzer target with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer in a build folder of its own (build/fuzz),
# replays the seed corpus and the saved regression inputs, then fuzzes from
# the corpus. Fails on any crash, sanitizer report, leak or failed session;
# the input that caused it is left in build/fuzz/findings/.
#   tests/fuzz/run.sh [SECONDS]      (default 60)
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds=${1:-60}
build=build/fuzz

if ! command -v clang++ >/dev/null 2>&1; then
  echo "clang++ is not installed (Debian: clang, libclang-rt-14-dev): cannot fuzz" >&2
  exit 1
fi

flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined"
flags+=" -fno-omit-frame-pointer -fsanitize-coverage-ignorelist=$PWD/tests/fuzz/coverage_ignore.txt"
CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKP_FUZZ=ON \
  -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
cmake --build "$build" -j2 --target kp-fuzz-wndproc >/dev/null
fuzzer=$build/tests/fuzz/kp-fuzz-wndproc

# A screen of 7680 x 4320 holds a 127 MiB canvas, and a maximized window as
# much again in the host: allow for that under ASan.
options=(-rss_limit_mb=4096 -max_len=4096 -timeout=60)
export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

saved=(tests/fuzz/corpus/* )
for f in tests/fuzz/regressions/*; do [ -f "$f" ] && saved+=("$f"); done
echo "replaying ${#saved[@]} saved inputs"
"$fuzzer" "${options[@]}" "${saved[@]}" >"$build/replay.log" 2>&1 || {
  cat "$build/replay.log" >&2
  echo "a saved input fails" >&2
  exit 1
}

work=$build/corpus
mkdir -p "$work" "$build/findings"
rm -f "$build/findings/"*
log=$build/fuzz.log
status=0
start=$SECONDS
"$fuzzer" "${options[@]}" -max_total_time="$seconds" -print_final_stats=1 \
  -artifact_prefix="$build/findings/" "$work" tests/fuzz/corpus >"$log" 2>&1 || status=$?
runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
secs=$((SECONDS - start))
units=$(find "$work" -type f | wc -l)
if [ "$status" -ne 0 ]; then
  tail -60 "$log" >&2
  echo "fuzzing failed after ${runs:-?} executions; inputs in $build/findings/" >&2
  exit 1
fi
echo "fuzz: ${runs:-?} executions in $secs s, nothing found; corpus of $units inputs in $work"
