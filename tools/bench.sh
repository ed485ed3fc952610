#!/usr/bin/env bash
# Builds and runs a benchmark in the 64-bit test prefix.
# Usage: tools/bench.sh [scan] [entries] [rounds]   the startup scan over prepared Run values
#        tools/bench.sh reports [removals]          removals with both reports and a silent service
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VX_BUILD:-$root/build}
bench=scan_bench
case "${1:-}" in
  scan) shift ;;
  reports) bench=report_bench; shift ;;
esac
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-i686-mingw-posix.cmake" >/dev/null
cmake --build "$build" -j"$(nproc)" --target "$bench" >/dev/null
export VX_HOME=$build/wine/home WINEDEBUG=-all
. "$root/tools/wine-env.sh"
vx_display
trap 'vx_server_stop "$build/wine/p64"; vx_display_stop' EXIT
vx_prefix "$build/wine/p64" win64
export WINEPREFIX=$build/wine/p64 HOME=$VX_HOME
vx_server_start "$WINEPREFIX"
if [ "$bench" = scan_bench ]; then
  wine "$build/bin/scan_bench.exe" "${1:-200}" "${2:-5}" </dev/null
else
  wine "$build/bin/report_bench.exe" "${1:-10}" </dev/null
fi
