# Sourced by the scripts that run Windows programs: a private Xvfb display and
# a private Wine prefix, started before any wine command and ended afterwards.
#   wine_env_start <prefix-dir>   exports DISPLAY, WINEPREFIX, WINEDEBUG
#   wine_env_stop                 ends the prefix's wineserver and the display

WINE64=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver64

wine_env_start() {
  local prefix=$1
  export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  local fd_file
  fd_file=$(mktemp)
  Xvfb -displayfd 1 -screen 0 1280x1024x24 -nolisten tcp >"$fd_file" 2>/dev/null &
  TAVRIK_XVFB_PID=$!
  local i
  for i in $(seq 1 100); do
    [ -s "$fd_file" ] && break
    sleep 0.1
  done
  if [ ! -s "$fd_file" ]; then
    echo "Xvfb did not start" >&2
    rm -f "$fd_file"
    return 1
  fi
  export DISPLAY=":$(head -n1 "$fd_file")"
  rm -f "$fd_file"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    "$WINE64" wineboot --init >/dev/null 2>&1 || true
    "$WINESERVER" -w
  fi
  [ -f "$WINEPREFIX/system.reg" ] || { echo "wineboot could not create $WINEPREFIX" >&2; return 1; }
}

wine_env_stop() {
  [ -n "${WINEPREFIX:-}" ] && "$WINESERVER" -k >/dev/null 2>&1 || true
  if [ -n "${TAVRIK_XVFB_PID:-}" ]; then
    kill "$TAVRIK_XVFB_PID" 2>/dev/null || true
    wait "$TAVRIK_XVFB_PID" 2>/dev/null || true
    TAVRIK_XVFB_PID=
  fi
}
