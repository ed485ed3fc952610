#!/usr/bin/env bash
# Builds the program and its tests, then runs every test in a 64-bit and in a 32-bit Wine prefix.
# Usage: tools/test.sh [--fresh] [ctest arguments...]   (--fresh makes new Wine prefixes first)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VX_BUILD:-$root/build}

fresh=0
if [ "${1:-}" = "--fresh" ]; then fresh=1; shift; fi

if [ "$(id -u)" = 0 ]; then bash "$root/tools/setup.sh"; fi

cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-i686-mingw-posix.cmake" >/dev/null
cmake --build "$build" -j"$(nproc)"

export VX_HOME=$build/wine/home
export WINEDEBUG=-all
# shellcheck source=tools/wine-env.sh
. "$root/tools/wine-env.sh"
[ $fresh = 1 ] && rm -rf "$build/wine"

cleanup() {
  for p in p64 p32; do [ -d "$build/wine/$p" ] && vx_server_stop "$build/wine/$p"; done
  vx_display_stop
}
trap cleanup EXIT

# The display must exist before the first Wine process of a prefix starts.
vx_display
vx_prefix "$build/wine/p64" win64
vx_prefix "$build/wine/p32" win32

status=0
total_pass=0; total_fail=0; total_skip=0
tally() {  # reads ctest's summary line from a log
  local line pass fail count skip
  line=$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$1" | tail -1) || true
  [ -n "$line" ] || return 0
  fail=$(echo "$line" | sed -E 's/.* ([0-9]+) tests? failed.*/\1/')
  count=$(echo "$line" | sed -E 's/.*out of ([0-9]+).*/\1/')
  skip=$(grep -c '(Skipped)$' "$1" || true)
  pass=$((count - fail - skip))
  total_pass=$((total_pass + pass)); total_fail=$((total_fail + fail)); total_skip=$((total_skip + skip))
}

echo "== host checks"
# ctest lists the Windows tests by running them, so even these checks need a prefix.
(
  export WINEPREFIX=$build/wine/p64 HOME=$VX_HOME
  vx_server_start "$WINEPREFIX"
  ctest --test-dir "$build" -L host --output-on-failure "$@" >"$build/ctest-host.log" 2>&1
) || status=1
grep -E 'tests passed|import|Failed|\*\*\*' "$build/ctest-host.log" || true
tally "$build/ctest-host.log"

# One prefix after the other: ctest rewrites its list of Windows tests when it sees a newer build,
# and two runs at once would read each other's half-written lists. Within a prefix the tests run in
# turn, since they share its registry.
for p in p64 p32; do
  echo "== tests in the $p prefix ($( [ $p = p64 ] && echo '64-bit Windows, WoW64' || echo '32-bit Windows'))"
  (
    export WINEPREFIX=$build/wine/$p HOME=$VX_HOME
    vx_server_start "$WINEPREFIX"
    ctest --test-dir "$build" -L wine --output-on-failure "$@" >"$build/ctest-$p.log" 2>&1
  ) || status=1
  grep -v -E '^\s*Start +[0-9]+:|Test +#[0-9]+: .* Passed|^Internal ctest|^Test project|^Label Time|^wine +=|^\s*$' \
    "$build/ctest-$p.log" || true
  tally "$build/ctest-$p.log"
done

# The end-to-end tests leave a picture of each page they use per prefix (<page>-page-<prefix>.bmp).
for shot in "$build"/*-page-p64.bmp "$build"/*-page-p32.bmp; do
  [ -f "$shot" ] || continue
  convert "$shot" "${shot%.bmp}.png" 2>/dev/null && rm -f "$shot" && shot=${shot%.bmp}.png
  echo "picture of a page: $shot"
done

echo "tests: $total_pass passed, $total_fail failed, $total_skip skipped"
exit $status
