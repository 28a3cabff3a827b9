#!/usr/bin/env bash
# Runs GoogleTest tests under valgrind's memcheck: any invalid read or write,
# use of uninitialised memory, or leak (definite, indirect or possible) fails.
#   valgrind.sh TEST_BINARY GTEST_FILTER
# Exits 77 (reported by ctest as skipped) when valgrind is not installed or
# the binary is built with sanitizers, which valgrind cannot run.
set -uo pipefail
binary=$1
filter=$2
if ! command -v valgrind >/dev/null 2>&1; then
  echo "valgrind is not installed (Debian package valgrind): skipped"
  exit 77
fi
if nm -an "$binary" 2>/dev/null | grep " __asan_" >/dev/null; then
  echo "$binary is built with AddressSanitizer, which valgrind cannot run: skipped"
  exit 77
fi
exec valgrind --quiet --error-exitcode=1 --leak-check=full \
  --errors-for-leak-kinds=definite,indirect,possible --show-leak-kinds=definite,indirect,possible \
  --track-origins=yes "$binary" --gtest_filter="$filter"
