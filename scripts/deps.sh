#!/usr/bin/env bash
# Makes sure the Debian packages that building and testing need are present.
# As root, installs what is missing (enabling the i386 architecture for
# 32-bit Wine); otherwise names the packages to install and fails.
# The desktop tests' packages (window manager, compositor, Debian packaging)
# are installed the same way, but where the archive cannot provide one the
# script goes on: the tests that need it are skipped and say why.
#   scripts/deps.sh run|test|bench|web
# web: what the browser build (Emscripten) and its tests in Chromium need.
set -euo pipefail

what=${1:-test}
packages=(cmake make g++ pkg-config libsdl2-dev libx11-dev libxi-dev libxext-dev libwayland-dev
          wayland-protocols libxkbcommon-dev libdecor-0-dev)
desktop=()
# bench: libxtst-dev and libxext-dev for the real-display benchmark's pacer
# and floor program, python3-matplotlib for its chart, and wine64 with the
# 64-bit MinGW for its Wine side on machines that run no 32-bit code; for its
# Wayland side sway, xwayland, wayvnc and grim, and libwayland-bin
# (wayland-scanner) for its floor client. Every Windows build draws the exe's
# icon from the SVG (librsvg2-bin's rsvg-convert, icoutils' icotool); test:
# nsis makes the installer and python3-pefile reads the exe's version
# resource back.
case "$what" in
  run) packages+=(g++-mingw-w64-i686 librsvg2-bin icoutils wine wine32:i386 xvfb xdotool
                  imagemagick python3 python3-xlib x11-utils) ;;
  test) packages+=(libgtest-dev g++-mingw-w64-i686 librsvg2-bin icoutils nsis python3-pefile wine
                   wine32:i386 xvfb xdotool imagemagick python3 python3-xlib x11-utils clang
                   libclang-rt-14-dev valgrind desktop-file-utils)
        desktop=(openbox sway xwayland wayvnc grim libfaketime x11-xserver-utils dpkg-dev lintian
                 libdecor-0-plugin-1-cairo mutter dbus-daemon pipewire-bin wireplumber
                 gstreamer1.0-pipewire gstreamer1.0-tools gstreamer1.0-plugins-base python3-gi
                 kwin-wayland breeze weston) ;;
  bench) packages+=(libbenchmark-dev libgtest-dev g++-mingw-w64-i686 librsvg2-bin icoutils wine
                    wine32:i386 xvfb xdotool python3 python3-xlib x11-utils valgrind libxtst-dev
                    python3-matplotlib wine64 g++-mingw-w64-x86-64 sway xwayland wayvnc grim
                    libwayland-bin) ;;
  web) packages=(cmake make python3 emscripten chromium chromium-driver python3-selenium
                 python3-websocket) ;;
  *) echo "usage: $0 run|test|bench|web" >&2; exit 2 ;;
esac

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}
missing=() missing_desktop=()
for p in "${packages[@]}"; do installed "$p" || missing+=("$p"); done
for p in "${desktop[@]}"; do installed "$p" || missing_desktop+=("$p"); done
[ ${#missing[@]} -eq 0 ] && [ ${#missing_desktop[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  all=("${missing[@]}" "${missing_desktop[@]}")
  echo "Missing Debian packages: ${all[*]}" >&2
  echo "Install them as root:  dpkg --add-architecture i386 && apt-get update && apt-get install ${all[*]}" >&2
  exit 1
fi

export DEBIAN_FRONTEND=noninteractive
# Another apt-get may be running on a shared machine: wait for its lock.
apt-get() { command apt-get -o DPkg::Lock::Timeout=900 "$@"; }
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  if printf '%s\n' "${missing[@]}" | grep -q ':i386$' && ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi
  apt-get update -qq
  apt-get install -y -qq "${missing[@]}" >/dev/null
elif [ ${#missing_desktop[@]} -gt 0 ]; then
  apt-get update -qq
fi
if [ ${#missing_desktop[@]} -gt 0 ]; then
  echo "Installing: ${missing_desktop[*]}"
  if ! apt-get install -y -qq "${missing_desktop[@]}" >/dev/null; then
    # One at a time, so that one the archive lacks does not keep the others out.
    for p in "${missing_desktop[@]}"; do
      apt-get install -y -qq "$p" >/dev/null 2>&1 ||
        echo "Cannot install the Debian package $p: the tests that need it are skipped." >&2
    done
  fi
fi
