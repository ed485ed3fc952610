#!/bin/sh
# Runs a Windows test executable under Wine in the prefix the harness chose.
export WINEPREFIX="${WINEPREFIX:?WINEPREFIX must name a test prefix (tools/test.sh sets it)}"
export WINEDEBUG="${WINEDEBUG:--all}"
exec wine "$@" </dev/null
