#!/usr/bin/env bash
# Makes the README's pictures (docs/<name>.png) from a fresh prefix seeded with the demonstration
# entries, add-ons and hidden files, on a private display, so they come out the same every time: the
# pages, then the QOVA page, the Options page, the History dialog and the maintenance tools, which a
# driver opens in the real program inside a Wine desktop window.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VX_BUILD:-$root/build}
mkdir -p "$root/docs"
rm -rf "$build/wine/shot"
shot() {  # picture name, then the page switch
  VX_PREFIX=$build/wine/shot VX_HEADLESS=1 VX_SHOT=$root/docs/$1.png bash "$root/tools/run.sh" "$2"
}
shot startup-page -START
shot ie-helpers-page -BHO
shot hidden-files-page -HIDDEN
shot activex-page -ACTIVEX

cmake --build "$build" -j"$(nproc)" --target VandrelixEx Vandrelix demo_shots >/dev/null
export VX_HOME=$build/wine/home WINEDEBUG=-all
# shellcheck source=tools/wine-env.sh
. "$root/tools/wine-env.sh"
prefix=$build/wine/shot
unset DISPLAY
vx_display
trap 'vx_server_stop "$prefix"; vx_display_stop' EXIT
export WINEPREFIX=$prefix HOME=$VX_HOME
vx_server_start "$prefix"
pictures=$build/shots
rm -rf "$pictures"; mkdir -p "$pictures"
wine explorer "/desktop=VandrelixShots,${VX_DESKTOP_SIZE:-820x600}" "$build/bin/demo_shots.exe" \
  "$(winepath -w "$pictures")" </dev/null | tr -d '\r'
for name in qova-page options-page history-dialog maintenance-dialog; do
  if [ -f "$pictures/$name.bmp" ]; then
    convert "$pictures/$name.bmp" "$root/docs/$name.png"
    echo "screenshot: docs/$name.png"
  else
    echo "screenshot: no picture of $name" >&2
  fi
done
