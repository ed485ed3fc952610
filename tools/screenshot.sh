#!/usr/bin/env bash
# Makes the README's pictures (docs/startup-page.png, and the windows tools/run.sh opens for
# VX_PICTURES) from a fresh prefix seeded with the demonstration entries, on a private display, so
# they come out the same every time.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VX_BUILD:-$root/build}
mkdir -p "$root/docs"
rm -rf "$build/wine/shot"
VX_PREFIX=$build/wine/shot VX_HEADLESS=1 VX_SHOT=$root/docs/startup-page.png VX_PICTURES=$root/docs \
  bash "$root/tools/run.sh"
