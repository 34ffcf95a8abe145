#!/usr/bin/env bash
# Builds and runs a benchmark under Wine against a local FTP server (see bench/README.md):
#   bench.sh        download throughput and status callback cost ($PM_TEST_NET.200:21)
#   bench.sh soak   one resident Pendlemark.exe through 200 update runs ($PM_TEST_NET.201:21;
#                   PM_SOAK_RUNS sets another count)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${PM_BUILD_DIR:-$root/build}
mode=${1:-throughput}
case $mode in
throughput) target=pm_bench_update name=bench host=200 ;;
soak) target=pm_bench_soak name=soakbench host=201 ;;
*) echo "usage: $0 [soak]" >&2; exit 2 ;;
esac
"$root/tools/setup.sh"
PM_SKIP_I686=1 PM_BUILD_DIR=$build "$root/tools/build.sh"
cmake --build "$build" --target "$target"
# shellcheck source=wine-env.sh
. "$root/tools/wine-env.sh"
export PM_TEST_NET=${PM_TEST_NET:-127.0.0}
state=$build/ftp/$name
work=$build/bench-work
stop_all() {
  bash "$root/tests/support/ftp_fixture.sh" stop "$state" || true
  rm -rf "$work"
  pm_wine_stop
}
pm_wine_start "$build"
trap stop_all EXIT
bash "$root/tests/support/ftp_fixture.sh" start "$state" "$host"
rm -rf "$work"; mkdir -p "$work"
to_wine() { echo "Z:${1//\//\\}"; }
if [ "$mode" = soak ]; then
  PM_FTP_STATE=$build/ftp "$PM_WINE" "$build/bin/pm_bench_soak.exe"
else
  PM_BENCH_ADDRESS=$PM_TEST_NET.$host PM_BENCH_ROOT=$(to_wine "$state/root") PM_BENCH_WORK=$(to_wine "$work") \
    "$PM_WINE" "$build/bin/pm_bench_update.exe"
fi
