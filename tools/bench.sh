#!/usr/bin/env bash
# Builds and runs the benchmarks in a test prefix (p64 unless VX_BENCH_PREFIX=p32): the startup scan,
# the services, active tasks and scheduled tasks listings, then the add-on, ActiveX, file-type and
# hidden-file scans. Usage: tools/bench.sh [Run values] [rounds] [ActiveX controls]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VX_BUILD:-$root/build}
prefix=${VX_BENCH_PREFIX:-p64}
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-i686-mingw-posix.cmake" >/dev/null
cmake --build "$build" -j"$(nproc)" --target scan_bench areas_bench addons_bench >/dev/null
export VX_HOME=$build/wine/home WINEDEBUG=-all
. "$root/tools/wine-env.sh"
vx_display
trap 'vx_server_stop "$build/wine/$prefix"; vx_display_stop' EXIT
vx_prefix "$build/wine/$prefix" "$([ "$prefix" = p32 ] && echo win32 || echo win64)"
export WINEPREFIX=$build/wine/$prefix HOME=$VX_HOME
vx_server_start "$WINEPREFIX"
wine "$build/bin/scan_bench.exe" "${1:-200}" "${2:-5}" </dev/null
wine "$build/bin/areas_bench.exe" "${2:-5}" </dev/null
wine "$build/bin/addons_bench.exe" "${3:-200}" "${2:-5}" </dev/null
