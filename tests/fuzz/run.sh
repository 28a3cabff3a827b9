#!/usr/bin/env bash
# Fuzzes the program's window procedure on the headless host for a bounded
# time: builds the libFuzzer target with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer in a build folder of its own (build/fuzz),
# replays the seed corpus, the sessions on large screens and the saved
# regression inputs, then fuzzes from the corpus. Fails on any crash,
# sanitizer report, leak or failed session; the input that caused it is left
# in build/fuzz/findings/.
#   tests/fuzz/run.sh [SECONDS]      (default 60)
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds=${1:-60}
build=build/fuzz

if ! command -v clang++ >/dev/null 2>&1; then
  echo "clang++ is not installed (Debian: clang, libclang-rt-14-dev): cannot fuzz" >&2
  exit 1
fi

# The coverage ignore list goes in under a name of its content, so that the
# flags, and with them every object, change when it does.
mkdir -p "$build"
ignore=$build/coverage_ignore-$(sha1sum tests/fuzz/coverage_ignore.txt | cut -c1-12).txt
cp tests/fuzz/coverage_ignore.txt "$ignore"
flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined"
flags+=" -fno-omit-frame-pointer -fsanitize-coverage-ignorelist=$PWD/$ignore"
CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKP_FUZZ=ON \
  -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
cmake --build "$build" -j2 --target kp-fuzz-wndproc >/dev/null
fuzzer=$build/tests/fuzz/kp-fuzz-wndproc

# A screen of 7680 x 4320 holds a 127 MiB canvas, and a maximized window as
# much again in the host: allow for that under ASan.
options=(-rss_limit_mb=4096 -max_len=4096 -timeout=60)
# AddressSanitizer clears large stretches of its shadow memory by writing
# zeros, not by mapping fresh pages that the next block there faults in
# again one by one: the same checks, some per cent quicker.
export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=0:clear_shadow_mmap_threshold=1073741824
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

saved=(tests/fuzz/corpus/* tests/fuzz/large/*)
for f in tests/fuzz/regressions/*; do [ -f "$f" ] && saved+=("$f"); done
echo "replaying ${#saved[@]} saved inputs"
"$fuzzer" "${options[@]}" "${saved[@]}" >"$build/replay.log" 2>&1 || {
  cat "$build/replay.log" >&2
  echo "a saved input fails" >&2
  exit 1
}

work=$build/corpus
mkdir -p "$work" "$build/findings"
rm -f "$build/findings/"* "$build/"fuzz*.log
# One fuzzing process per core, at most two (the house limit for builds on
# the shared machines; KP_FUZZ_WORKERS overrides it). They share the corpus
# folder and reread it every second for what the others found. Inputs that
# run quicker get picked more often: a session on the largest screen takes
# forty times as long as one on a small screen.
workers=${KP_FUZZ_WORKERS:-$(nproc)}
workers=$((workers < 1 ? 1 : workers > 2 ? 2 : workers))
start=$SECONDS
pids=()
for i in $(seq "$workers"); do
  "$fuzzer" "${options[@]}" -max_total_time="$seconds" -print_final_stats=1 \
    -entropic_scale_per_exec_time=1 -artifact_prefix="$build/findings/" \
    "$work" tests/fuzz/corpus >"$build/fuzz-$i.log" 2>&1 &
  pids+=($!)
done
failed=0
runs=0
for i in $(seq "$workers"); do
  log=$build/fuzz-$i.log
  if ! wait "${pids[$((i - 1))]}"; then
    tail -60 "$log" >&2
    failed=$i
  fi
  n=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  runs=$((runs + ${n:-0}))
done
secs=$((SECONDS - start))
units=$(find "$work" -type f | wc -l)
if [ "$failed" -ne 0 ]; then
  echo "fuzzing failed ($build/fuzz-$failed.log) after $runs executions in all;" \
    "inputs in $build/findings/" >&2
  exit 1
fi
echo "fuzz: $runs executions in $secs s by $workers processes, nothing found;" \
  "corpus of $units inputs in $work"
