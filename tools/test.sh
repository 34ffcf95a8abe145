#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test under Wine in a throwaway prefix; meanwhile
# the native sanitizer build, unit tests and fuzzing of src/core (tools/fuzz.sh) run at the lowest
# priority. Extra arguments go to ctest (for example -R framework); with them the fuzzers only replay
# their corpora unless PM_FUZZ_SECONDS says otherwise.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${PM_BUILD_DIR:-$root/build}
"$root/tools/setup.sh"
PM_BUILD_DIR=$build "$root/tools/build.sh"

# The Wine tests mostly wait on I/O, which leaves a core to the native part: one core at most (a
# single compile job), at the lowest priority. Its own process group, so that an interrupted run ends
# it whole.
[ $# -eq 0 ] || export PM_FUZZ_SECONDS=${PM_FUZZ_SECONDS:-0}
native_log=$build/native.log
set -m
CMAKE_BUILD_PARALLEL_LEVEL=1 PM_BUILD_DIR=$build nice -n 19 "$root/tools/fuzz.sh" >"$native_log" 2>&1 &
native_pid=$!
set +m
stop_native() { kill -- -"$native_pid" 2>/dev/null || true; }
trap stop_native EXIT

# shellcheck source=wine-env.sh
. "$root/tools/wine-env.sh"
# The deploy tests run in a lane of their own beside the others (tests/CMakeLists.txt), the run command
# in a prefix of its own: three at once, each lane's tests one after the other.
pm_wine_lane_start "$build" deploy
pm_wine_start "$build"
pm_wine_lane_wait
trap 'stop_native; pm_wine_stop; pm_wine_lane_stop "$build" deploy' EXIT
# Loopback network of the FTP test servers (127.0.0.x unless set).
export PM_TEST_NET=${PM_TEST_NET:-127.0.0}
# A test that fails is run once more before it counts as failed, and every such second try is named
# at the end: a test that needed one has a race to find, never noise to live with.
log="$build/ctest.log"
# A test program that fails without a word is named with its exit status.
export PM_WINE_REPORT=1
wine_status=0
ctest --test-dir "$build" --output-on-failure --no-tests=error --repeat until-pass:2 -j "${PM_TEST_JOBS:-3}" "$@" |
  tee "$log" ||
  wine_status=$?
# Named in a failed line and, later, in a passed one.
outcomes() { sed -n "s/^ *\\([0-9]*\\/[0-9]* \\)\\{0,1\\}Test *#[0-9]*: \\([^ ]*\\) .*$1.*/\\2/p" "$log" | sort -u; }
retried=$(comm -12 <(outcomes '\*\*\*') <(outcomes ' Passed '))

native_status=0
wine_end=$SECONDS
wait "$native_pid" || native_status=$?
echo "Native build, sanitizer tests and fuzzing of src/core ($native_log):"
sed 's/^/    /' "$native_log"
echo "Waited $((SECONDS - wine_end)) s for the native part after the Wine tests."
[ "$native_status" -eq 0 ] && echo "Native part passed." || echo "Native part FAILED."
if [ -n "$retried" ]; then
  echo "Tests that needed a second try:"
  echo "$retried" | sed 's/^/  /'
else
  echo "Tests that needed a second try: none."
fi
[ "$wine_status" -eq 0 ] && [ "$native_status" -eq 0 ]
