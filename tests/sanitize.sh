#!/usr/bin/env bash
# Builds the native tests with AddressSanitizer, UndefinedBehaviorSanitizer and
# LeakSanitizer and runs them all (the end-to-end suites excepted: they drive
# X and SDL, whose own allocations are not ours to judge).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset sanitize >/dev/null
cmake --build --preset sanitize
# Leaks of other projects' libraries that we cannot fix are listed there.
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
ctest --preset sanitize
