#!/usr/bin/env bash
# Smoke test of the README's run command: runs it without waiting for Enter, on a display of its own,
# and checks its summary and its screenshots; then runs it once more, with the settings by machine
# policy (--policy) and Pendlemark ended before the summary, which must fail the command, naming the
# step, instead of reporting Pendlemark resident.
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
  grep -qE "$1" "${2:-$log}" || { echo "FAIL: no line matching: $1"; fail=1; }
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

fault_log="$build/run/smoke-fault.log"
status=0
PM_RUN_FAULT=end-before-summary PM_OWN_DISPLAY=1 PM_BUILD_DIR="$build" timeout 280 bash "$root/tools/run.sh" \
  --policy --no-wait >"$fault_log" 2>&1 </dev/null || status=$?
echo "With Pendlemark ended before the summary: run.sh ended with $status"
grep -E '^run\.sh: ' "$fault_log" || true
if [ $status = 0 ] || [ $status = 124 ]; then
  echo "FAIL: run.sh did not fail by itself"; fail=1
fi
grep -q '^run\.sh: step "Summary" failed: Pendlemark is no longer resident$' "$fault_log" ||
  { echo "FAIL: no failure of the step Summary"; fail=1; }
! grep -q 'resident after a new session' "$fault_log" || { echo "FAIL: the summary still claims it"; fail=1; }
# By policy: the dialog held its values with the line, OK kept them out of Params, the update still ran.
expect '^   the dialog.s line: "Some settings are managed by your administrator\."$' "$fault_log"
expect "^   after OK, Params hold the user's own values: Server=ftp\.example\.invalid UpdateInterval=7$" "$fault_log"
expect "Pendlemark restarted as version ${next_version//./\\.}" "$fault_log"
[ "$(convert "$build/run/screenshots/settings-policy.png" -format '%k' info: 2>/dev/null || echo 0)" -gt 1 ] ||
  { echo "FAIL: no settings-policy screenshot"; fail=1; }
exit $fail
