# Sourced by the scripts that run Windows programs under Wine.
# Usage: . scripts/wine-env.sh BUILD_DIR   then   mb_wine_start ... mb_wine_stop
# Gives every run its own prefix (in BUILD_DIR), its own Xvfb display unless
# MB_USE_DISPLAY=1 and DISPLAY is set, and a persistent wineserver.
MB_WINE_BUILD=${1:?build dir}
export WINEPREFIX="$MB_WINE_BUILD/wineprefix" WINEDEBUG=-all WINEARCH=win64
export WINEDLLOVERRIDES="winealsa.drv,winepulse.drv,wineoss.drv=d${MB_EXTRA_DLLOVERRIDES:+;$MB_EXTRA_DLLOVERRIDES}"
export WINE=/usr/lib/wine/wine64 WINESERVER=/usr/lib/wine/wineserver
MB_XVFB_PID=

mb_wine_start() {
  if [ "${MB_USE_DISPLAY:-0}" != 1 ] || [ -z "${DISPLAY:-}" ]; then
    local n=90
    while [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    MB_XVFB_PID=$!
    export DISPLAY=":$n"
    for _ in $(seq 50); do [ -e /tmp/.X11-unix/X$n ] && break; sleep 0.1; done
  fi
  local fresh=0
  [ -d "$WINEPREFIX" ] || fresh=1
  mkdir -p "$WINEPREFIX"
  "$WINESERVER" -p
  # The services Wine starts on first use must be up before any test runs,
  # or they keep the test runner's pipes open.
  "$WINE" wineboot -i >/dev/null 2>&1 || true
  if [ $fresh = 1 ]; then
    # No window manager under Xvfb: unmanaged windows avoid a 2 s delay per modal dialog.
    "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
  fi
}

mb_wine_stop() {
  "$WINESERVER" -k >/dev/null 2>&1 || true
  "$WINESERVER" -w >/dev/null 2>&1 || true
  if [ -n "$MB_XVFB_PID" ]; then
    kill "$MB_XVFB_PID" 2>/dev/null || true
    wait "$MB_XVFB_PID" 2>/dev/null || true
    MB_XVFB_PID=
  fi
}
