# Sourced: starts a throwaway Wine prefix inside $1 (a build folder; $2 names the prefix's folder there,
# wineprefix unless given) with an X display, a persistent wineserver and a keep-alive program;
# pm_wine_stop ends all of it. pm_wine_lane_start and pm_wine_lane_stop do the same for a test lane.
pm_wine_start() {
  local build=$1
  export WINEPREFIX="$build/${2:-wineprefix}" WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  PM_WINE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/wine-exec.sh"
  PM_WINESERVER=/usr/lib/wine/wineserver64
  [ -x "$PM_WINESERVER" ] || PM_WINESERVER=/usr/lib/wine/wineserver
  export PM_WINE PM_WINESERVER
  PM_XVFB_PID=""
  if [ -z "${DISPLAY:-}" ] || [ "${PM_OWN_DISPLAY:-0}" = 1 ]; then
    local fifo; fifo=$(mktemp -u); mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
    PM_XVFB_PID=$!
    local number; read -r number <"$fifo"; rm -f "$fifo"
    export DISPLAY=":$number"
  fi
  rm -rf "$WINEPREFIX"; mkdir -p "$WINEPREFIX"
  "$PM_WINESERVER" -p >/dev/null 2>&1
  "$PM_WINE" wineboot -i >/dev/null 2>&1
  # Without a window manager Wine otherwise waits 2 s on every closing box or removed tray icon;
  # a crash must end the process, not wait on a dialog.
  "$PM_WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  "$PM_WINE" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
  "$PM_WINESERVER" -k || true
  "$PM_WINESERVER" -w || true
  "$PM_WINESERVER" -p >/dev/null 2>&1
  "$PM_WINE" wineboot >/dev/null 2>&1
  PM_KEEPALIVE_PID=""
  if [ -f "$build/bin/pm_keepalive.exe" ]; then
    setsid "$PM_WINE" "$build/bin/pm_keepalive.exe" </dev/null >/dev/null 2>&1 &
    PM_KEEPALIVE_PID=$!
  fi
}

pm_wine_stop() {
  # The keep-alive may have ended with its session already, and its number gone to another process.
  if [ -n "${PM_KEEPALIVE_PID:-}" ] && grep -qa pm_keepalive "/proc/$PM_KEEPALIVE_PID/cmdline" 2>/dev/null; then
    kill "$PM_KEEPALIVE_PID" 2>/dev/null
  fi
  "$PM_WINESERVER" -k 2>/dev/null || true
  [ -n "${PM_XVFB_PID:-}" ] && kill "$PM_XVFB_PID" 2>/dev/null
  return 0
}

# A test lane: a prefix (wineprefix-LANE) and display of its own beside the main ones, for the tests that
# tools/wine-exec.sh runs there (PM_LANE=LANE), so that both lanes can run at once; started in the
# background, ready once pm_wine_lane_wait has returned.
pm_wine_lane_start() {
  local build=$1 lane=$2
  mkdir -p "$build/lanes"
  rm -f "$build/lanes/$lane.env" "$build/lanes/$lane.pids"
  (
    export PM_OWN_DISPLAY=1
    pm_wine_start "$build" "wineprefix-$lane"
    echo "$PM_XVFB_PID ${PM_KEEPALIVE_PID:-}" >"$build/lanes/$lane.pids"
    printf 'export WINEPREFIX=%q DISPLAY=%q\n' "$WINEPREFIX" "$DISPLAY" >"$build/lanes/$lane.env"
  ) </dev/null >/dev/null 2>&1 &
  PM_LANE_STARTER=$!
  export PM_LANE_DIR="$build/lanes"
}

pm_wine_lane_wait() {
  wait "$PM_LANE_STARTER" 2>/dev/null || true
}

pm_wine_lane_stop() {
  local build=$1 lane=$2 xvfb keepalive
  [ -f "$build/lanes/$lane.pids" ] || return 0
  read -r xvfb keepalive <"$build/lanes/$lane.pids"
  if [ -n "$keepalive" ] && grep -qa pm_keepalive "/proc/$keepalive/cmdline" 2>/dev/null; then
    kill "$keepalive" 2>/dev/null
  fi
  WINEPREFIX="$build/wineprefix-$lane" "$PM_WINESERVER" -k 2>/dev/null || true
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
  rm -f "$build/lanes/$lane.env" "$build/lanes/$lane.pids"
  return 0
}
