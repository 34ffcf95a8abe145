#!/usr/bin/env bash
# Pendlemark's main job, end to end: builds everything, installs Pendlemark with its own installer
# (silently) into a throwaway Wine prefix, serves the next version's installer as today's update
# package from a local FTP server, has Pendlemark update itself through that channel and reports each
# step as it happens, with screenshots. Pendlemark then stays running until Enter.
#
#   bash tools/run.sh [--https | --server HOST [--folder /update/]] [--policy] [--no-wait]
#
#   --https         the embedded server is an HTTPS server with an update list, its certificate from a
#                   throwaway test root that only the run's Wine prefix trusts
#   --server HOST   use this FTP server (anonymous login, passive mode) instead of the embedded one
#   --folder PATH   its folder holding the YYMMDD-update.exe packages (default /update/)
#   --policy        the server, folder and schedule come from the machine policy, over user settings
#                   that name another server; the settings dialog shows them held and is confirmed
#   --no-wait       end after the summary and stop everything started here
#
# Every step that fails ends the command with the step's name and a non-zero exit. "Resident" means
# the process whose image is Pendlemark.exe in the installation folder; its version is read from that
# image file. PM_RUN_FAULT=end-before-summary (for the smoke test) ends Pendlemark before the summary.
set -eEuo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${PM_BUILD_DIR:-$root/build}
server="" folder="/update/" wait_for_enter=1 https=0 policy=0
while [ $# -gt 0 ]; do
  case $1 in
  --server) server=${2:?--server needs a host}; shift 2 ;;
  --folder) folder=${2:?--folder needs a path}; shift 2 ;;
  --no-wait) wait_for_enter=0; shift ;;
  --https) https=1; shift ;;
  --policy) policy=1; shift ;;
  -h | --help) sed -n '2,18p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
  *) echo "unknown argument: $1 (see --help)" >&2; exit 2 ;;
  esac
done

started=$(date +%s)
current_step="Starting"
step() {
  current_step=$*
  printf '\n== [%3ds] %s\n' $(($(date +%s) - started)) "$*"
}
say() { printf '   %s\n' "$*"; }
fail() {
  echo "run.sh: step \"$current_step\" failed: $*" >&2
  exit 1
}
trap 'echo "run.sh: step \"$current_step\" failed (line $LINENO, exit $?)" >&2' ERR

step "Installing what is missing (apt-get, only when needed)"
"$root/tools/setup.sh"
step "Building the program, its installer, the next version's installer and the tests"
PM_SKIP_I686=1 PM_BUILD_DIR=$build "$root/tools/build.sh"
version=$(sed -n 's/^#define PM_VERSION_TEXT "\(.*\)"/\1/p' "$build/version/Version.h")
next_version=$(sed -n 's/^#define PM_VERSION_TEXT "\(.*\)"/\1/p' "$build/next/version/Version.h")
setup="$build/dist/Pendlemark-$version-setup.exe"
next_setup="$build/next/Pendlemark-$next_version-setup.exe"
say "installer: $setup ($(stat -c %s "$setup") bytes)"
say "next version's installer: $next_setup ($(stat -c %s "$next_setup") bytes)"

run="$build/run"
shots="$run/screenshots"
rm -rf "$shots" "$run/ftp" "$run/https"
mkdir -p "$shots" "$run/ftp/root" "$run/https/root"
ftp_pid=""
stop_all() {
  [ -n "$ftp_pid" ] && kill "$ftp_pid" 2>/dev/null
  pm_wine_stop
}

step "Starting Wine in a throwaway prefix ($run/wineprefix)"
# shellcheck source=wine-env.sh
. "$root/tools/wine-env.sh"
pm_wine_start "$run"
trap stop_all EXIT
trap 'exit 130' INT TERM
say "display $DISPLAY"
# Windows-side helper: drives Pendlemark and reports what it does; prints with CRLF endings.
demo() { "$PM_WINE" "$build/bin/pm_demo.exe" "$@" </dev/null | tr -d '\r'; }

# The browser's side: its folder, its launcher (a stand-in) and cvl.ini naming both.
browser="$run/browser"
rm -rf "$browser"
mkdir -p "$browser"
cp "$build/bin/cvlx.exe" "$browser/cvl.exe"
winpath=$("$PM_WINE" winepath -w "$browser" 2>/dev/null | tr -d '\r')
windir=$("$PM_WINE" winepath -u 'C:\windows' 2>/dev/null | tr -d '\r')
printf '[USER PREFS]\r\nCORVALIS DIRECTORY=%s\r\n[INSTALL]\r\nMAINDIR=%s\r\n' "$winpath" "$winpath" >"$windir/cvl.ini"

package="$(date +%y%m%d)-update.exe"
report="-"
if [ -z "$server" ] && [ $https = 1 ]; then
  # One of the addresses the test certificate names.
  host="${PM_TEST_NET:-127.0.0}.20"
  step "Starting the update server https://$host$folder (Python's http.server with ssl)"
  bash "$root/tests/support/make_test_pki.sh" "$run/pki" >/dev/null
  "$PM_WINE" "$build/bin/pm_trust_root.exe" "Z:$run/pki/root.crt" >/dev/null 2>&1 ||
    fail "the test root could not be added to the prefix's Root store"
  say "a throwaway test root, trusted in this prefix's machine Root store only"
  mkdir -p "$run/https/root/${folder#/}"
  cp "$next_setup" "$run/https/root/${folder#/}/$package"
  bash "$root/tools/make-feed.sh" "$run/https/root/${folder#/}" | sed 's/^/   /'
  : >"$run/https/report.txt"
  report=$("$PM_WINE" winepath -w "$run/https/report.txt" 2>/dev/null | tr -d '\r')
  setsid /usr/bin/python3 "$root/tests/support/https_server.py" --address "$host" --root "$run/https/root" \
    --cert "$run/pki/server.crt" --key "$run/pki/server.key" --throttle 131072 \
    --report "$run/https/report.txt" </dev/null >"$run/https/server.log" 2>&1 &
  ftp_pid=$!
  for _ in $(seq 50); do (exec 3<>"/dev/tcp/$host/443") 2>/dev/null && break; sleep 0.1; done
  server="https://$host"
  say "serving $package: Pendlemark $next_version's installer, dated today, named by Pendlemark.feed"
elif [ -z "$server" ]; then
  server="${PM_TEST_NET:-127.0.0}.70"
  step "Starting the update server ftp://$server$folder (pyftpdlib)"
  mkdir -p "$run/ftp/root/${folder#/}"
  cp "$next_setup" "$run/ftp/root/${folder#/}/$package"
  : >"$run/ftp/report.txt"
  report=$("$PM_WINE" winepath -w "$run/ftp/report.txt" 2>/dev/null | tr -d '\r')
  # Slowed down to 128 KiB/s so that the progress window can be seen (and photographed).
  setsid /usr/bin/python3 "$root/tests/support/ftp_server.py" --address "$server" --root "$run/ftp/root" \
    --throttle 131072 --report "$run/ftp/report.txt" </dev/null >"$run/ftp/server.log" 2>&1 &
  ftp_pid=$!
  for _ in $(seq 50); do (exec 3<>"/dev/tcp/$server/21") 2>/dev/null && break; sleep 0.1; done
  say "serving $package: Pendlemark $next_version's installer, dated today"
else
  step "Using the update server ftp://$server$folder"
fi

params='HKEY_CURRENT_USER\Software\Corvalis\Pendlemark\Params'
machine_policy='HKEY_LOCAL_MACHINE\Software\Policies\Corvalis\Pendlemark'
own_server=ftp.example.invalid own_folder=/elsewhere/
# Updates when asked and every 7 days (14 by policy), rather than a question at every start.
values() {
  printf '"Server"="%s"\r\n"PathToFile"="%s"\r\n"PassiveFTP"=dword:00000001\r\n"UpdateChoice"=dword:00000001\r\n' \
    "$server" "$folder"
}
if [ $policy = 1 ]; then
  step "Pointing Pendlemark at it by machine policy ($machine_policy)"
else
  step "Pointing Pendlemark at it (settings as an administrator leaves them before installing)"
fi
{
  printf 'Windows Registry Editor Version 5.00\r\n\r\n'
  if [ $policy = 1 ]; then
    printf '[%s]\r\n' "$machine_policy"
    values
    printf '"UpdateInterval"=dword:0000000e\r\n\r\n[%s]\r\n"Server"="%s"\r\n"PathToFile"="%s"\r\n' "$params" \
      "$own_server" "$own_folder"
  else
    printf '[%s]\r\n' "$params"
    values
  fi
} >"$run/settings.reg"
"$PM_WINE" reg import "$("$PM_WINE" winepath -w "$run/settings.reg" 2>/dev/null | tr -d '\r')" >/dev/null 2>&1
say "Server=$server PathToFile=$folder PassiveFTP=1 UpdateChoice=1"
[ $policy = 0 ] || say "by policy, with UpdateInterval=14; the user's own settings: Server=$own_server PathToFile=$own_folder"

step "Installing Pendlemark $version silently: Pendlemark-$version-setup.exe /S"
"$PM_WINE" "$setup" /S || fail "the installer ended with $?"
resident=$(demo resident 30000) || fail "no resident Pendlemark after the installation"
read -r pid running_version image <<<"$resident"
say "installed into ${image%\\*}"
say "resident: Pendlemark $running_version, pid $pid, started by the installer"
reg_value() { "$PM_WINE" reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | sed -n 's/.*REG_[A-Z]* *//p'; }
autostart=$(reg_value 'HKCU\Software\Microsoft\Windows\CurrentVersion\Run' Pendlemark)
say "autostart: $autostart"
listed=$("$PM_WINE" uninstaller --list 2>/dev/null | tr -d '\r' | sed -n 's/^.*|||//p' | paste -sd,)
entry=$(reg_value 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Pendlemark' DisplayVersion)
say "Apps & Features (Wine's uninstaller --list): $listed $entry"

# A screenshot of the display cropped to "x y width height" of a window, with a margin in pixels
# (default 40) around it.
shot() {
  local file="$shots/$1.png" margin=${6:-40}
  local x=$(($2 - margin)) y=$(($3 - margin)) w=$(($4 + 2 * margin)) h=$(($5 + 2 * margin))
  [ $x -lt 0 ] && x=0
  [ $y -lt 0 ] && y=0
  import -window root -display "$DISPLAY" -crop "${w}x${h}+${x}+${y}" +repage "$file" </dev/null
  say "screenshot: $file"
}

# The progress window alone, and only while it is there: a picture of whatever else the screen shows
# would pass for it. Still in the same place after the picture, or the picture is dropped.
shot_progress() {
  local caption="Updating Corvalis..." rect after
  if rect=$(demo window "$caption" 3000) && [ -n "$rect" ]; then
    # shellcheck disable=SC2086
    shot progress $rect 0
    after=$(demo window "$caption" 0) || after=""
    [ "$after" = "$rect" ] && return 0
    rm -f "$shots/progress.png"
  fi
  say "no progress window seen"
}

step "The tray menu, the settings dialog"
rect=$(demo tray-menu) || fail "the tray menu did not open"
# shellcheck disable=SC2086
shot tray-menu $rect
demo close-menu
demo command 32774 # &Settings...
rect=$(demo window "Corvalis's Wayrail Settings") || fail "the settings dialog did not open"
if [ $policy = 1 ]; then
  # id enabled visible checked text, for each control
  controls=$(demo controls "Corvalis's Wayrail Settings")
  for id in 1011 1013 1012 1004 1010 1015; do
    read -r _ enabled visible checked text <<<"$(grep "^$id " <<<"$controls")"
    [ "$visible" = 1 ] || continue
    state=$([ "$enabled" = 1 ] && echo "the user's" || echo "held, disabled")
    [ "$checked" = 1 ] && text="[x] $text"
    [ $id = 1015 ] && say "the dialog's line: \"$text\"" || say "$text: $state"
  done
  grep -q "^1015 1 1 0 Some settings are managed by your administrator\.$" <<<"$controls" ||
    fail "the settings dialog does not say that some settings are managed"
  grep -q '^1004 0 1 0 14$' <<<"$controls" || fail "the settings dialog does not hold the policy's interval"
  # shellcheck disable=SC2086
  shot settings-policy $rect
  demo answer "Corvalis's Wayrail Settings" 1 # OK: the user's choices are saved, the policy's are not
  own=$(reg_value "$params" Server) interval=$(reg_value "$params" UpdateInterval)
  say "after OK, Params hold the user's own values: Server=$own UpdateInterval=$((interval))"
  [ "$own" = "$own_server" ] && [ $((interval)) = 7 ] || fail "a policy value reached the user's settings"
else
  # shellcheck disable=SC2086
  shot settings $rect
  demo answer "Corvalis's Wayrail Settings" 2
fi

step "&Update Now (the tray menu's command): Pendlemark $version updates itself"
demo command 32775
summary=()
progress_shot=0
while IFS= read -r line; do
  line=${line%$'\r'}
  case $line in
  SUMMARY*) summary+=("${line#SUMMARY }"); continue ;;
  esac
  say "$line"
  # During the (slowed) download the progress window shows; over HTTPS its bar moves, so it is taken
  # once bytes have arrived.
  if [ $https = 1 ]; then moment="*received *"; else moment="*package found*"; fi
  # shellcheck disable=SC2053
  if [ $progress_shot = 0 ] && [[ $line == *"server: sending $package"* && $https = 0 || $line == $moment ]]; then
    progress_shot=1
    shot_progress
  fi
done < <("$PM_WINE" "$build/bin/pm_demo.exe" watch "$report" 180000)
[ $progress_shot = 1 ] || say "no progress window seen"
wait $! || {
  echo "The update did not end with the new version resident (pm_demo watch ended with status $?)." >&2
  exit 1
}

step "Logging on again: a new Wine session starts Pendlemark from its autostart value"
"$PM_WINE" wineboot --end-session >/dev/null 2>&1 || true
"$PM_WINESERVER" -k 2>/dev/null || true
"$PM_WINESERVER" -w 2>/dev/null || true
"$PM_WINESERVER" -p >/dev/null 2>&1
"$PM_WINE" wineboot >/dev/null 2>&1
resident=$(demo resident 30000) || fail "no resident Pendlemark after a new session"
read -r pid running_version image <<<"$resident"
say "resident: Pendlemark $running_version, pid $pid, $image"
[ "$running_version" = "$next_version" ] || fail "the resident Pendlemark is $running_version, not $next_version"

step "The about box of the new version"
demo command 57664 # &About Pendlemark...
rect=$(demo window "About Pendlemark") || fail "the about box did not open"
# shellcheck disable=SC2086
shot about $rect
demo answer "About Pendlemark" 1

if [ "${PM_RUN_FAULT:-}" = end-before-summary ]; then
  step "Ending Pendlemark (PM_RUN_FAULT)"
  demo command 32776 # E&xit
  sleep 2
fi

step "Summary"
# Checked again now: the same process, still running from the image of the new version.
resident=$(demo resident 2000) || fail "Pendlemark is no longer resident"
[ "$resident" = "$pid $running_version $image" ] || fail "another Pendlemark is resident: $resident"
summary+=("autostart: Pendlemark $running_version resident after a new session")
for line in "${summary[@]}"; do say "$line"; done
for file in "$shots"/*.png; do
  # A blank picture has no spread of colours at all.
  spread=$(convert "$file" -format '%[fx:standard_deviation]' info: 2>/dev/null || echo 0)
  say "screenshot $(basename "$file" .png): $file (spread $spread)"
done
say "took $(($(date +%s) - started)) s in all"

[ $wait_for_enter = 1 ] || exit 0
echo
echo "Pendlemark $running_version is resident under Wine (pid $pid, DISPLAY=$DISPLAY, prefix $WINEPREFIX)."
echo "Its settings: HKCU\\Software\\Corvalis\\Pendlemark\\Params; cvl.ini: $windir/cvl.ini"
echo "Press Enter (or Ctrl+C) to stop it and everything started here."
read -r _ || true
