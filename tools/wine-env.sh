# Sourced by tools/test.sh and tools/run.sh: throwaway Wine prefixes and a private X display.
# Everything lives under one folder of the build tree; the user's own ~/.wine and $HOME are never touched.

# vx_prefix DIR ARCH: make (once) a prefix of ARCH (win64 or win32) in DIR.
vx_prefix() {
  local dir=$1 arch=$2
  if [ -f "$dir/.vx-ready" ]; then return 0; fi
  rm -rf "$dir"; mkdir -p "$dir" "$VX_HOME"
  echo "wine: making $arch prefix in $dir (once)"
  # A private HOME keeps Wine's Desktop/Documents links and menu files off the real home folder.
  HOME=$VX_HOME WINEPREFIX=$dir WINEARCH=$arch WINEDEBUG=-all wineboot -i >/dev/null 2>&1 </dev/null
  HOME=$VX_HOME WINEPREFIX=$dir wineserver -w
  # Crashes end the process instead of waiting on a dialog; no audio probing.
  HOME=$VX_HOME WINEPREFIX=$dir WINEDEBUG=-all wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1 </dev/null
  HOME=$VX_HOME WINEPREFIX=$dir WINEDEBUG=-all wine reg add 'HKCU\Software\Wine\Drivers' /v Audio /d '' /f >/dev/null 2>&1 </dev/null
  # Unmanaged windows: with no window manager on the private display, Wine otherwise waits about
  # two seconds for each closed managed window to be acknowledged.
  HOME=$VX_HOME WINEPREFIX=$dir WINEDEBUG=-all wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 </dev/null
  HOME=$VX_HOME WINEPREFIX=$dir wineserver -w
  # The Desktop/Documents folders of a new prefix point at $HOME; make them real folders of the prefix.
  local u
  for u in "$dir"/drive_c/users/*/; do
    for f in Desktop Documents Downloads Music Pictures Videos Templates; do
      if [ -L "$u$f" ]; then rm -f "$u$f"; mkdir -p "$u$f"; fi
    done
  done
  touch "$dir/.vx-ready"
}

# vx_display: start Xvfb on a free display unless DISPLAY already works; sets DISPLAY and VX_XVFB_PID.
vx_display() {
  VX_XVFB_PID=
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then return 0; fi
  local n
  for n in $(seq 91 120); do
    [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    VX_XVFB_PID=$!
    local i
    for i in $(seq 1 50); do
      if DISPLAY=":$n" xdpyinfo >/dev/null 2>&1; then export DISPLAY=":$n"; return 0; fi
      kill -0 "$VX_XVFB_PID" 2>/dev/null || break
      sleep 0.1
    done
    kill "$VX_XVFB_PID" 2>/dev/null; VX_XVFB_PID=
  done
  echo "wine: could not start Xvfb" >&2
  return 1
}

vx_display_stop() {
  if [ -n "${VX_XVFB_PID:-}" ]; then kill "$VX_XVFB_PID" 2>/dev/null; wait "$VX_XVFB_PID" 2>/dev/null; fi
  VX_XVFB_PID=
}

# vx_server_start DIR: keep this prefix's wineserver and helpers up, detached from our pipes
# (ctest would otherwise wait for them after every test).
vx_server_start() {
  HOME=$VX_HOME WINEPREFIX=$1 wineserver -p </dev/null >/dev/null 2>&1
  HOME=$VX_HOME WINEPREFIX=$1 WINEDEBUG=-all wine cmd /c exit </dev/null >/dev/null 2>&1
}

vx_server_stop() {
  HOME=$VX_HOME WINEPREFIX=$1 wineserver -k >/dev/null 2>&1 || true
  HOME=$VX_HOME WINEPREFIX=$1 wineserver -w >/dev/null 2>&1 || true
}
