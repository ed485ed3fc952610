#!/usr/bin/env bash
# Makes the README's pictures from a fresh prefix seeded with the demonstration entries, on a private
# display, so they come out the same every time: the Startup Programs page (docs/startup-page.png),
# then the QOVA page, the Options page, the History dialog and the maintenance tools
# (docs/qova-page.png, docs/options-page.png, docs/history-dialog.png, docs/maintenance-dialog.png),
# which a driver opens in the real program inside a Wine desktop window.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VX_BUILD:-$root/build}
mkdir -p "$root/docs"
rm -rf "$build/wine/shot"
VX_PREFIX=$build/wine/shot VX_HEADLESS=1 VX_SHOT=$root/docs/startup-page.png bash "$root/tools/run.sh"

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
