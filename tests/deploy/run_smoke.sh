#!/usr/bin/env bash
# Smoke test of the README's run command: runs it without waiting for Enter, on a display of its own,
# and checks its summary and its screenshots.
#   run_smoke.sh <source folder> <build folder>
set -euo pipefail
root=$1 build=$2
mkdir -p "$build/run"
log="$build/run/smoke.log"
status=0
PM_OWN_DISPLAY=1 PM_BUILD_DIR="$build" timeout 280 bash "$root/tools/run.sh" --no-wait >"$log" 2>&1 </dev/null || status=$?
grep -v '^\[[0-9]*/[0-9]*\]' "$log"
[ $status = 0 ] || { echo "FAIL: run.sh ended with $status"; exit 1; }

version=$(sed -n 's/^#define PM_VERSION_TEXT "\(.*\)"/\1/p' "$build/version/Version.h")
next_version=$(sed -n 's/^#define PM_VERSION_TEXT "\(.*\)"/\1/p' "$build/next/version/Version.h")
fail=0
expect() {
  grep -qE "$1" "$log" || { echo "FAIL: no line matching: $1"; fail=1; }
}
expect "^   package [0-9]{6}-update\.exe$"
expect "^   downloaded [1-9][0-9]* bytes in [0-9.]+ s$"
expect "^   recorded .*\\\\Pendlemark\\\\[0-9]{6}-update\.exe$"
expect "^   version ${version//./\\.} -> ${next_version//./\\.}$"
expect "package deleted from the download folder"
expect "^   autostart: Pendlemark ${next_version//./\\.} resident after a new session$"
for name in tray-menu progress settings about; do
  file="$build/run/screenshots/$name.png"
  if [ ! -s "$file" ]; then
    echo "FAIL: no screenshot $file"; fail=1; continue
  fi
  # More than one colour: not blank.
  colours=$(convert "$file" -format '%k' info:)
  [ "$colours" -gt 1 ] || { echo "FAIL: $file is blank"; fail=1; }
done
exit $fail
