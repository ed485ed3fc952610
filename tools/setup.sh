#!/usr/bin/env bash
# Installs what the build and the tests need, from Debian packages only.
# Safe to run again: it installs only what is missing. Needs root.
set -euo pipefail

need=()
have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

pkgs=(
  cmake make python3
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 mingw-w64-i686-dev
  wine wine64 wine32:i386 libwine:i386
  xvfb xauth x11-utils imagemagick fonts-wine
  googletest
  chntpw libparse-win32registry-perl chromium   # outside readers of the reports and the .reg export
)

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  updated=0
fi

for p in "${pkgs[@]}"; do have "$p" || need+=("$p"); done

if [ ${#need[@]} -gt 0 ]; then
  echo "setup: installing ${need[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi

# Debian ships only wine64 in PATH on amd64 (as /usr/bin/wine via the wine package); make sure both exist.
command -v wine >/dev/null || { echo "setup: wine not found after install" >&2; exit 1; }
command -v i686-w64-mingw32-g++-posix >/dev/null || { echo "setup: mingw posix compiler missing" >&2; exit 1; }
[ -f /usr/src/googletest/CMakeLists.txt ] || { echo "setup: googletest sources missing" >&2; exit 1; }
echo "setup: ok"
