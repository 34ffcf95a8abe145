#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test under Wine in a throwaway prefix.
# Extra arguments go to ctest (for example -R framework).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${PM_BUILD_DIR:-$root/build}
"$root/tools/setup.sh"
PM_BUILD_DIR=$build "$root/tools/build.sh"
# shellcheck source=wine-env.sh
. "$root/tools/wine-env.sh"
pm_wine_start "$build"
trap pm_wine_stop EXIT
# Loopback network of the FTP test servers (127.0.0.x unless set).
export PM_TEST_NET=${PM_TEST_NET:-127.0.0}
# A test that fails is run once more before it counts as failed, and every such second try is named
# at the end: a test that needed one has a race to find, never noise to live with.
log="$build/ctest.log"
status=0
ctest --test-dir "$build" --output-on-failure --no-tests=error --repeat until-pass:2 "$@" | tee "$log" ||
  status=$?
# Named in a failed line and, later, in a passed one.
outcomes() { sed -n "s/^ *\\([0-9]*\\/[0-9]* \\)\\{0,1\\}Test *#[0-9]*: \\([^ ]*\\) .*$1.*/\\2/p" "$log" | sort -u; }
retried=$(comm -12 <(outcomes '\*\*\*') <(outcomes ' Passed '))
if [ -n "$retried" ]; then
  echo "Tests that needed a second try:"
  echo "$retried" | sed 's/^/  /'
else
  echo "Tests that needed a second try: none."
fi
exit "$status"
