#!/usr/bin/env bash
# Builds and runs the benchmarks under Wine against a local FTP server ($PM_TEST_NET.200:21).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${PM_BUILD_DIR:-$root/build}
"$root/tools/setup.sh"
PM_SKIP_I686=1 PM_BUILD_DIR=$build "$root/tools/build.sh"
cmake --build "$build" --target pm_bench_update
# shellcheck source=wine-env.sh
. "$root/tools/wine-env.sh"
export PM_TEST_NET=${PM_TEST_NET:-127.0.0}
state=$build/ftp/bench
work=$build/bench-work
stop_all() {
  bash "$root/tests/support/ftp_fixture.sh" stop "$state" || true
  rm -rf "$work"
  pm_wine_stop
}
pm_wine_start "$build"
trap stop_all EXIT
bash "$root/tests/support/ftp_fixture.sh" start "$state" 200
rm -rf "$work"; mkdir -p "$work"
to_wine() { echo "Z:${1//\//\\}"; }
PM_BENCH_ADDRESS=$PM_TEST_NET.200 PM_BENCH_ROOT=$(to_wine "$state/root") PM_BENCH_WORK=$(to_wine "$work") \
  "$PM_WINE" "$build/bin/pm_bench_update.exe"
