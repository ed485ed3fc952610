#!/usr/bin/env bash
# Makes the README's picture of the Startup Programs page (docs/startup-page.png) from a fresh prefix
# seeded with the demonstration entries, on a private display, so it comes out the same every time.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VX_BUILD:-$root/build}
mkdir -p "$root/docs"
rm -rf "$build/wine/shot"
VX_PREFIX=$build/wine/shot VX_HEADLESS=1 VX_SHOT=$root/docs/startup-page.png bash "$root/tools/run.sh"
