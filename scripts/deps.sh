#!/usr/bin/env bash
# Makes sure the Debian packages that building and testing need are present.
# As root, installs what is missing (enabling the i386 architecture for
# 32-bit Wine); otherwise names the packages to install and fails.
#   scripts/deps.sh run|test|bench
set -euo pipefail

what=${1:-test}
packages=(cmake make g++ pkg-config libsdl2-dev libx11-dev libxi-dev)
# bench: libxtst-dev and libxext-dev for the real-display benchmark's pacer
# and floor program, python3-matplotlib for its chart, and wine64 with the
# 64-bit MinGW for its Wine side on machines that run no 32-bit code.
case "$what" in
  run) packages+=(g++-mingw-w64-i686 wine wine32:i386 xvfb xdotool imagemagick python3 python3-xlib
                  x11-utils) ;;
  test) packages+=(libgtest-dev g++-mingw-w64-i686 wine wine32:i386 xvfb xdotool imagemagick
                   python3 python3-xlib x11-utils clang libclang-rt-14-dev valgrind desktop-file-utils) ;;
  bench) packages+=(libbenchmark-dev libgtest-dev g++-mingw-w64-i686 wine wine32:i386 xvfb xdotool
                    python3 python3-xlib x11-utils valgrind libxtst-dev libxext-dev
                    python3-matplotlib wine64 g++-mingw-w64-x86-64) ;;
  *) echo "usage: $0 run|test|bench" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "Missing Debian packages: ${missing[*]}" >&2
  echo "Install them as root:  dpkg --add-architecture i386 && apt-get update && apt-get install ${missing[*]}" >&2
  exit 1
fi

echo "Installing: ${missing[*]}"
if printf '%s\n' "${missing[@]}" | grep -q ':i386$' && ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq "${missing[@]}" >/dev/null
