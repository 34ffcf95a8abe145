#!/usr/bin/env bash
# How the tests and the run command start a Windows program: through Wine's 64-bit loader (the 32-bit
# one cannot run on this kernel), without address-space randomisation. With it, about one start in
# 5,000 fails inside Wine when the kernel has put something where Wine keeps its fixed pages ("failed
# to map the shared user data", c0000018): the starting program sees "Internal error." (1359), or the
# program ends at once without a word. Every Wine process inherits the setting from the one that
# started it.
# With PM_WINE_REPORT=1 a program that fails is named with its exit status and time. A test of a lane
# (PM_LANE) runs in that lane's prefix and display, where tools/test.sh has started them.
if [ -n "${PM_LANE:-}" ] && [ -f "${PM_LANE_DIR:-}/$PM_LANE.env" ]; then
  # shellcheck disable=SC1090
  . "$PM_LANE_DIR/$PM_LANE.env"
fi
started=$(date +%s%N)
setarch "$(uname -m)" -R /usr/lib/wine/wine64 "$@"
status=$?
if [ $status -ne 0 ] && [ "${PM_WINE_REPORT:-0}" = 1 ]; then
  echo "wine-exec: ${1##*/} ended with status $status after $((($(date +%s%N) - started) / 1000000)) ms" >&2
fi
exit $status
