#!/usr/bin/env bash
# Builds and runs the benchmarks in the 64-bit test prefix (never part of the tests).
# Usage: tools/bench.sh [scan entries] [rounds] [fill sizes...]   (defaults: 200 5 64 512 4096)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VX_BUILD:-$root/build}
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-i686-mingw-posix.cmake" >/dev/null
cmake --build "$build" -j"$(nproc)" --target scan_bench fill_bench vx_fixtures >/dev/null
export VX_HOME=$build/wine/home WINEDEBUG=-all
. "$root/tools/wine-env.sh"
vx_display
trap 'vx_server_stop "$build/wine/p64"; vx_display_stop' EXIT
vx_prefix "$build/wine/p64" win64
export WINEPREFIX=$build/wine/p64 HOME=$VX_HOME
vx_server_start "$WINEPREFIX"
entries=${1:-200}
rounds=${2:-5}
shift $(( $# < 2 ? $# : 2 ))
wine "$build/bin/scan_bench.exe" "$entries" "$rounds" </dev/null
wine "$build/bin/fill_bench.exe" "$rounds" "$@" </dev/null
