#!/usr/bin/env bash
# Runs a command on a private Xvfb display and stops the display afterwards.
#   scripts/with-xvfb.sh [-s WxHxD] [--wine-prefix DIR] -- command args...
# With --wine-prefix, WINEPREFIX is set for the command and that prefix's
# wineserver is stopped when the command ends. The command's exit code is kept.
set -euo pipefail

screen=1280x1024x24
prefix=
while [ $# -gt 0 ]; do
  case "$1" in
    -s) screen=$2; shift 2 ;;
    --wine-prefix) prefix=$2; shift 2 ;;
    --) shift; break ;;
    *) break ;;
  esac
done
[ $# -gt 0 ] || { echo "usage: $0 [-s WxHxD] [--wine-prefix DIR] -- command..." >&2; exit 2; }

fifo=$(mktemp -u)
mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp 3>"$fifo" 2>/dev/null &
xvfb_pid=$!
read -r display <"$fifo"
rm -f "$fifo"

cleanup() {
  if [ -n "$prefix" ]; then WINEPREFIX=$prefix wineserver -k 2>/dev/null || true; fi
  kill "$xvfb_pid" 2>/dev/null || true
  wait "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT

export DISPLAY=":$display"
if [ -n "$prefix" ]; then
  mkdir -p "$prefix"
  export WINEPREFIX=$prefix WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
fi
set +e
"$@"
rc=$?
set -e
exit $rc
