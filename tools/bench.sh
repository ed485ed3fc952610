#!/usr/bin/env bash
# Builds and runs the benchmarks in a test prefix (p64 unless VX_BENCH_PREFIX=p32). Never part of the tests.
# Usage: tools/bench.sh [which] [arguments]
#   scan [Run values] [rounds]          the startup scan over prepared Run values (the default)
#   fill [rounds] [sizes...]            the Startup list's fill (icons) and sort by Company vs its bare scan
#   pages [rounds] [items]              the IE Helpers, ActiveX and Hidden Files lists' fills vs their scans
#   areas [rounds]                      services, active tasks and scheduled tasks listings
#   addons [ActiveX controls] [rounds]  add-on, ActiveX, file-type and hidden-file scans
#   reports [removals]                  removals with both reports against a silent local service
#   unattended [rounds]                 the -ScanLog, -Report and -Spreadsheet runs of the real program
#   info [rounds] [Run values]          what the information window reads per entry (startup, services)
#   all                                 each of the above with its defaults
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VX_BUILD:-$root/build}
prefix=${VX_BENCH_PREFIX:-p64}
which=scan
case "${1:-}" in scan|fill|pages|areas|addons|reports|unattended|info|all) which=$1; shift ;; esac
targets="${which}_bench"
[ "$which" = reports ] && targets=report_bench
[ "$which" = unattended ] && targets=VandrelixEx
[ "$which" = fill ] && targets="fill_bench vx_fixtures"
[ "$which" = pages ] && targets="pages_bench vx_fixtures"
[ "$which" = info ] && targets="info_bench vx_fixtures"
[ "$which" = all ] && targets="scan_bench fill_bench vx_fixtures areas_bench addons_bench report_bench"
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-i686-mingw-posix.cmake" >/dev/null
# shellcheck disable=SC2086
cmake --build "$build" -j"$(nproc)" --target $targets >/dev/null
export VX_HOME=$build/wine/home WINEDEBUG=-all
. "$root/tools/wine-env.sh"
vx_display
trap 'vx_server_stop "$build/wine/$prefix"; vx_display_stop' EXIT
vx_prefix "$build/wine/$prefix" "$([ "$prefix" = p32 ] && echo win32 || echo win64)"
export WINEPREFIX=$build/wine/$prefix HOME=$VX_HOME
vx_server_start "$WINEPREFIX"
run() { echo "== $1"; wine "$build/bin/$1.exe" "${@:2}" </dev/null; }
case "$which" in
  scan) run scan_bench "${1:-200}" "${2:-5}" ;;
  fill) run fill_bench "${1:-5}" "${@:2}" ;;
  pages) run pages_bench "${1:-3}" "${2:-200}" ;;
  info) run info_bench "${1:-3}" "${2:-64}" ;;
  areas) run areas_bench "${1:-5}" ;;
  addons) run addons_bench "${1:-200}" "${2:-5}" ;;
  reports) run report_bench "${1:-10}" ;;
  unattended)
    out=$(mktemp -d)
    for switch in -ScanLog:Kelvrask.log -Report:report.html -Report:report.txt -Spreadsheet:report.csv; do
      total=0; worst=0
      for _ in $(seq "${1:-5}"); do
        start=$(date +%s%N)
        wine "$build/bin/VandrelixEx.exe" "${switch%%:*}" "Z:${out//\//\\}\\${switch#*:}" </dev/null
        ms=$(( ($(date +%s%N) - start) / 1000000 )); total=$((total + ms)); [ $ms -gt $worst ] && worst=$ms
      done
      echo "${switch%%:*} ${switch#*:}: mean $((total / ${1:-5})) ms, worst $worst ms ($(stat -c %s "$out/${switch#*:}") bytes)"
    done
    rm -rf "$out" ;;
  all) run scan_bench 200 5; run fill_bench 5; run areas_bench 5; run addons_bench 200 5; run report_bench 10 ;;
esac
