#!/usr/bin/env bash
# Installs what is missing, builds, prepares a throwaway Wine prefix with a cvl.ini and a browser
# folder, and starts Pendlemark resident under Wine (inside Xvfb when no display is set).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${PM_BUILD_DIR:-$root/build}
"$root/tools/setup.sh"
PM_SKIP_I686=1 PM_BUILD_DIR=$build "$root/tools/build.sh"
run="$build/run"
mkdir -p "$run"
# shellcheck source=wine-env.sh
. "$root/tools/wine-env.sh"
pm_wine_start "$run"
# A browser folder and a launcher folder with a stand-in launcher.
browser="$run/browser"
mkdir -p "$browser"
cp "$build/bin/cvlx.exe" "$browser/cvl.exe"
winpath=$("$PM_WINE" winepath -w "$browser" 2>/dev/null | tr -d '\r')
windir=$("$PM_WINE" winepath -u 'C:\windows' 2>/dev/null | tr -d '\r')
printf '[USER PREFS]\r\nCORVALIS DIRECTORY=%s\r\n[INSTALL]\r\nMAINDIR=%s\r\n' "$winpath" "$winpath" >"$windir/cvl.ini"
setsid "$PM_WINE" "$build/bin/Pendlemark.exe" "$@" </dev/null >"$run/pendlemark.log" 2>&1 &
echo "Pendlemark is running under Wine (DISPLAY=$DISPLAY, prefix $WINEPREFIX)."
echo "Its settings: HKCU\\Software\\Corvalis\\Pendlemark\\Params; cvl.ini: $windir/cvl.ini"
echo "Press Enter (or Ctrl+C) to stop it; 'Exit' in its tray menu also ends it."
trap pm_wine_stop EXIT
read -r _ || true
