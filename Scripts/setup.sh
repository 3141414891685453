#!/usr/bin/env bash
# Installs what the build and the tests need on a Debian machine (when run as root), or says what is
# missing. Safe to run again: it only installs what is not there yet.
set -euo pipefail

need_cmds=(x86_64-w64-mingw32-g++-posix x86_64-w64-mingw32-windres cmake ninja wine Xvfb xauth python3 import convert xdotool iconv
           makensis clang ld.lld)
pkgs=(g++-mingw-w64-x86-64-posix mingw-w64-tools cmake ninja-build wine wine64 xvfb xauth python3
      imagemagick xdotool googletest fonts-ipafont-gothic libc-bin nsis clang lld)

missing=0
for c in "${need_cmds[@]}"; do command -v "$c" >/dev/null 2>&1 || missing=1; done
[ -f /usr/src/googletest/CMakeLists.txt ] || missing=1
fc-list 2>/dev/null | grep -qi ipagothic || missing=1
[ "$missing" = 0 ] && exit 0

if [ "$(id -u)" != 0 ]; then
  echo "Missing tools. Install as root: apt-get install ${pkgs[*]}" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update
apt-get install -y --no-install-recommends "${pkgs[@]}"
