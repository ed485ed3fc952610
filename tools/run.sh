#!/usr/bin/env bash
# Builds the explorer and runs it under Wine at its Startup Programs page (or the page of a page switch
# given, such as -SERVICE), in its own prefix (build/wine/run), which is seeded the first time with a
# small demonstration set of startup entries, services and scheduled tasks; the demonstration
# programs that start at logon are started with each run.
# With a working display the explorer runs there until it is closed. Without one (or with
# VX_HEADLESS=1) it runs on a private Xvfb inside a Wine desktop window; a picture of the page is saved
# (build/screenshot.png, or VX_SHOT) and the explorer is told to quit.
# Environment: VX_ARCH win64 (default) or win32; VX_PREFIX another prefix folder; VX_RUN_SECONDS the
# time the headless run gives the page after it appears (default 2).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VX_BUILD:-$root/build}

if [ "$(id -u)" = 0 ]; then bash "$root/tools/setup.sh"; fi
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-i686-mingw-posix.cmake" >/dev/null
cmake --build "$build" -j"$(nproc)" --target VandrelixEx demo_seed ${VX_PICTURES:+demo_shot} >/dev/null

export VX_HOME=$build/wine/home WINEDEBUG=${WINEDEBUG:--all}
# shellcheck source=tools/wine-env.sh
. "$root/tools/wine-env.sh"
prefix=${VX_PREFIX:-$build/wine/run}
headless=${VX_HEADLESS:-}
if [ -z "$headless" ]; then
  headless=1
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then headless=0; fi
fi
[ "$headless" = 1 ] && unset DISPLAY  # a private Xvfb, whatever display the caller has
vx_display
trap 'vx_server_stop "$prefix"; vx_display_stop' EXIT
vx_prefix "$prefix" "${VX_ARCH:-win64}"
export WINEPREFIX=$prefix HOME=$VX_HOME
exe=$build/bin/VandrelixEx.exe
vx_server_start "$prefix"

if [ ! -f "$prefix/.vx-demo" ]; then
  echo "run: seeding demonstration startup entries into $prefix (first run only)"
  # Wine's own window captions need its Marlett and Tahoma faces inside the prefix.
  cp -n /usr/share/wine/fonts/*.ttf "$prefix/drive_c/windows/Fonts/" 2>/dev/null || true
  for seed in "$build"/bin/demo_seed*.exe; do wine "$seed" </dev/null | tr -d '\r'; done
  touch "$prefix/.vx-demo"
fi
# The demonstration programs that start at logon run while the explorer is looked at.
wine "$build/bin/demo_seed.exe" --logon </dev/null | tr -d '\r'

if [ "$headless" = 0 ]; then
  echo "run: starting VandrelixEx on $DISPLAY (close it, or run it again with -Q, to end)"
  wine "$exe" -START "$@"
  exit 0
fi

# Headless: one Wine desktop window holds the program, so captions and frames are drawn by Wine.
desktop=VandrelixRun
wine explorer "/desktop=$desktop,${VX_DESKTOP_SIZE:-820x600}" "$exe" -START "$@" </dev/null >"$build/run.log" 2>&1 &
pid=$!
sheet=
for _ in $(seq 1 150); do
  # The sheet, not the main window (which has the same caption but no size to speak of).
  sheet=$(xwininfo -root -tree 2>/dev/null | awk '/"VandrelixToGo Edition"/ && / [0-9][0-9][0-9]+x[0-9][0-9][0-9]+\+/ { print $1; exit }')
  [ -n "$sheet" ] && break
  kill -0 $pid 2>/dev/null || break
  sleep 0.2
done
shot=${VX_SHOT:-$build/screenshot.png}
if [ -n "$sheet" ]; then
  sleep "${VX_RUN_SECONDS:-2}"
  import -window "$sheet" "$shot" 2>/dev/null || true
  echo "run: VandrelixEx is running with its property sheet open"
  echo "run: screenshot saved to $shot"
  # More pictures for the README (tools/screenshot.sh names their folder in VX_PICTURES): windows
  # opened on the sheet by tools/demo/demo_shot.
  picture() {  # picture NAME DEMO_SHOT_ARGUMENTS...
    local bmp=$build/$1.bmp
    rm -f "$bmp"
    # The desktop starts the program and returns at once: the picture is there when it is written.
    wine explorer "/desktop=$desktop" "$build/bin/demo_shot.exe" "${@:2}" "$(winepath -w "$bmp")" </dev/null
    for _ in $(seq 1 150); do [ -s "$bmp" ] && break; sleep 0.2; done
    sleep 1
    if [ -s "$bmp" ] && convert "$bmp" "$VX_PICTURES/$1.png"; then
      echo "run: picture saved to $VX_PICTURES/$1.png"
    else
      echo "run: no picture $1"
    fi
    rm -f "$bmp"
  }
  if [ -n "${VX_PICTURES:-}" ]; then
    picture info-window info "Heron Sync"
    picture qova-page qova
    picture options-page options
    picture history-dialog history
    picture maintenance-dialog reset
  fi
else
  echo "run: the property sheet did not appear (log: $build/run.log)"
fi
wine explorer "/desktop=$desktop" "$exe" -Q </dev/null >/dev/null 2>&1 || true
wait $pid 2>/dev/null || true
[ -n "$sheet" ]
