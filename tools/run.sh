#!/usr/bin/env bash
# Builds the explorer and runs it under Wine in its own prefix (build/wine/run).
# With a working display it runs there until it is closed. Without one it starts a private Xvfb,
# lets the program come up, saves a screenshot, shows whether the main window exists, then quits it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VX_BUILD:-$root/build}

if [ "$(id -u)" = 0 ]; then bash "$root/tools/setup.sh"; fi
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-i686-mingw-posix.cmake" >/dev/null
cmake --build "$build" -j"$(nproc)" --target VandrelixEx

export VX_HOME=$build/wine/home WINEDEBUG=${WINEDEBUG:--all}
# shellcheck source=tools/wine-env.sh
. "$root/tools/wine-env.sh"
prefix=$build/wine/run
headless=1
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then headless=0; fi
vx_display
trap 'vx_server_stop "$prefix"; vx_display_stop' EXIT
vx_prefix "$prefix" "${VX_ARCH:-win64}"
export WINEPREFIX=$prefix HOME=$VX_HOME
exe=$build/bin/VandrelixEx.exe

if [ $headless = 0 ]; then
  echo "run: starting VandrelixEx on $DISPLAY (close it, or run it again with -Q, to end)"
  exec wine "$exe" "$@"
fi

vx_server_start "$prefix"
wine "$exe" "$@" </dev/null >"$build/run.log" 2>&1 &
pid=$!
for _ in $(seq 1 100); do
  xwininfo -root -tree 2>/dev/null | grep -q '"Loading\.\.\."\|"VandrelixToGo Edition"' && break
  kill -0 $pid 2>/dev/null || break
  sleep 0.2
done
sleep "${VX_RUN_SECONDS:-2}"
shot=$build/screenshot.png
import -window root "$shot" 2>/dev/null || true
if xwininfo -root -tree 2>/dev/null | grep -q '"Loading\.\.\."\|"VandrelixToGo Edition"'; then
  echo "run: VandrelixEx is running: its main window is present on $DISPLAY"
  found=1
else
  echo "run: the main window of VandrelixEx did not appear (log: $build/run.log)"
  found=0
fi
echo "run: screenshot saved to $shot"
wine "$exe" -Q </dev/null >/dev/null 2>&1 || true
wait $pid 2>/dev/null || true
[ $found = 1 ]
