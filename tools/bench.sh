#!/usr/bin/env bash
# Builds and runs a benchmark under Wine against a local FTP server (see bench/README.md):
#   bench.sh        download throughput and status callback cost ($PM_TEST_NET.200:21)
#   bench.sh soak   one resident Pendlemark.exe through 200 update runs ($PM_TEST_NET.201:21;
#                   PM_SOAK_RUNS sets another count)
#   bench.sh https  the HTTPS channel's transfer of 64 MB and of the small test package against a bare
#                   WinINet client and its read loop alone, and a transfer cut at half ($PM_TEST_NET.23:443,
#                   its test root trusted in the prefix only); PM_BENCH_CPUS=0 runs every Wine process on
#                   CPU 0 alone (the server stays free), PM_BENCH_ROUNDS sets the rounds (5)
#   bench.sh startup [OTHER.exe...]   start-up time and resident memory of Pendlemark.exe (and of other
#                   builds of it) beside a bare tray program on the same platform DLLs
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${PM_BUILD_DIR:-$root/build}
mode=${1:-throughput}
case $mode in
throughput) target=pm_bench_update name=bench host=200 ;;
soak) target=pm_bench_soak name=soakbench host=201 ;;
startup) target=pm_bench_startup name=startupbench host=202 ;;
https) target=pm_bench_https name=httpsbench host=23 ;;
*) echo "usage: $0 [soak | startup [OTHER.exe...]]" >&2; exit 2 ;;
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
  bash "$root/tests/support/server_fixture.sh" stop "$state" || true
  rm -rf "$work"
  pm_wine_stop
}
# Pinned, the Wine server and every Wine process it starts share those CPUs; the test server stays free.
all_cpus=$(taskset -p $$ | sed 's/.*: //')
[ "$mode" != https ] || [ -z "${PM_BENCH_CPUS:-}" ] || taskset -p -c "$PM_BENCH_CPUS" $$ >/dev/null
pm_wine_start "$build"
taskset -p "$all_cpus" $$ >/dev/null
trap stop_all EXIT
if [ "$mode" = https ]; then
  state=$build/https/$name
  bash "$root/tests/support/make_test_pki.sh" "$build/pki" >/dev/null
  "$PM_WINE" "$build/bin/pm_trust_root.exe" "Z:$build/pki/root.crt" >/dev/null
  bash "$root/tests/support/server_fixture.sh" start "$state" "$host" 443 https_server.py --root "$state/root" \
    --cert "$build/pki/server.crt" --key "$build/pki/server.key"
else
  bash "$root/tests/support/server_fixture.sh" start "$state" "$host" 21 ftp_server.py --root "$state/root" \
    --log "$state/logins.txt"
fi
rm -rf "$work"; mkdir -p "$work"
to_wine() { echo "Z:${1//\//\\}"; }
if [ "$mode" = startup ]; then
  # Each program under its own file name, so that its Linux process can be told apart; started in a
  # throwaway folder, without an update at start. The yardstick and Pendlemark.exe are compared as the
  # installer ships a program, stripped (Wine maps line tables into memory); the build as it is follows.
  objcopy=$(grep -m1 '^CMAKE_OBJCOPY:' "$build/CMakeCache.txt" | cut -d= -f2)
  "$objcopy" --strip-all "$build/bin/pm_tray_ref.exe" "$build/bin/pm_tray_ref_shipped.exe"
  "$objcopy" --strip-all "$build/bin/Pendlemark.exe" "$build/bin/pm_shipped.exe"
  programs=("$(to_wine "$build/bin/pm_tray_ref_shipped.exe")|Pendlemark reference|"
            "$(to_wine "$build/bin/pm_shipped.exe")|Pendlemark|/NoUpdateOnStartup"
            "$(to_wine "$build/bin/Pendlemark.exe")|Pendlemark|/NoUpdateOnStartup")
  number=0
  for other in "${@:2}"; do
    number=$((number + 1))
    cp "$other" "$build/bin/pm_other$number.exe"
    programs+=("$(to_wine "$build/bin/pm_other$number.exe")|Pendlemark|/NoUpdateOnStartup")
  done
  (cd "$work" && "$PM_WINE" "$build/bin/pm_bench_startup.exe" "${programs[@]}")
  rm -f "$build"/bin/pm_other*.exe "$build/bin/pm_tray_ref_shipped.exe" "$build/bin/pm_shipped.exe"
elif [ "$mode" = https ]; then
  pin=()
  [ -z "${PM_BENCH_CPUS:-}" ] || pin=(taskset -c "$PM_BENCH_CPUS")
  PM_BENCH_SERVER=https://$PM_TEST_NET.$host PM_BENCH_ROOT=$(to_wine "$state/root") PM_BENCH_WORK=$(to_wine "$work") \
    "${pin[@]}" "$PM_WINE" "$build/bin/pm_bench_https.exe"
  echo "Requests of the package, as the server saw them:"
  grep "050601-update.exe" "$state/activity.txt" | tail -2 | sed 's/^/  /'
elif [ "$mode" = soak ]; then
  PM_FTP_STATE=$build/ftp "$PM_WINE" "$build/bin/pm_bench_soak.exe"
else
  PM_BENCH_ADDRESS=$PM_TEST_NET.$host PM_BENCH_ROOT=$(to_wine "$state/root") PM_BENCH_WORK=$(to_wine "$work") \
    "$PM_WINE" "$build/bin/pm_bench_update.exe"
fi
