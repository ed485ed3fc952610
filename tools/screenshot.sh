#!/usr/bin/env bash
# Makes the README's pictures of the pages (docs/<page>.png) and of the windows tools/run.sh opens
# for VX_PICTURES, from a fresh prefix seeded with the demonstration entries, add-ons and hidden
# files, on a private display, so they come out the same every time.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VX_BUILD:-$root/build}
mkdir -p "$root/docs"
rm -rf "$build/wine/shot"
shot() {  # picture name, the page switch, and the folder for the pictures of windows on that page
  VX_PREFIX=$build/wine/shot VX_HEADLESS=1 VX_SHOT=$root/docs/$1.png VX_PICTURES=${3:-} bash "$root/tools/run.sh" "$2"
}
# Startup Programs first: its RunOnce entry runs, and goes, when the next Wine session starts.
shot startup-page -START "$root/docs"
shot ie-helpers-page -BHO
shot scheduled-tasks-page -SCHEDULE
shot services-page -SERVICE
shot active-tasks-page -TASK
shot hidden-files-page -HIDDEN
shot activex-page -ACTIVEX
