#!/usr/bin/env bash
# Builds and runs the scan benchmarks in the 64-bit test prefix.
# Usage: tools/bench.sh [Run values] [rounds] [ActiveX controls]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VX_BUILD:-$root/build}
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-i686-mingw-posix.cmake" >/dev/null
cmake --build "$build" -j"$(nproc)" --target scan_bench areas_bench >/dev/null
export VX_HOME=$build/wine/home WINEDEBUG=-all
. "$root/tools/wine-env.sh"
vx_display
trap 'vx_server_stop "$build/wine/p64"; vx_display_stop' EXIT
vx_prefix "$build/wine/p64" win64
export WINEPREFIX=$build/wine/p64 HOME=$VX_HOME
vx_server_start "$WINEPREFIX"
wine "$build/bin/scan_bench.exe" "${1:-200}" "${2:-5}" </dev/null
wine "$build/bin/areas_bench.exe" "${3:-200}" "${2:-5}" </dev/null
