#!/usr/bin/env bash
# Makes the README's pictures of the pages (docs/<page>.png) from a fresh prefix seeded with the
# demonstration set, on a private display, so they come out the same every time.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VX_BUILD:-$root/build}
mkdir -p "$root/docs"
rm -rf "$build/wine/shot"
shoot() {  # shoot PICTURE PAGE-SWITCH
  VX_PREFIX=$build/wine/shot VX_HEADLESS=1 VX_SHOT=$root/docs/$1.png bash "$root/tools/run.sh" "$2"
}
# Startup Programs first: its RunOnce entry runs, and goes, when the next Wine session starts.
shoot startup-page -START
shoot scheduled-tasks-page -SCHEDULE
shoot services-page -SERVICE
shoot active-tasks-page -TASK
