#!/usr/bin/env bash
# Builds the pure logic of src/core natively with clang under AddressSanitizer and
# UndefinedBehaviorSanitizer, runs its unit tests, then every fuzz target of fuzz/ in turn.
# PM_FUZZ_SECONDS is the fuzzing time of all targets together (default 90); 0 only replays the
# corpora. Any crash, leak, undefined behaviour or broken property fails the run and names its
# reproducer. Everything it writes stays in $PM_BUILD_DIR/native (default build/native).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${PM_BUILD_DIR:-$root/build}
native=$build/native
seconds=${PM_FUZZ_SECONDS:-90}
started=$SECONDS
"$root/tools/setup.sh"

mkdir -p "$native"
if ! { CC=clang CXX=clang++ cmake -S "$root/fuzz" -B "$native" -G Ninja && cmake --build "$native"; } \
     >"$native/build.log" 2>&1; then
  cat "$native/build.log"
  echo "native build failed"
  exit 1
fi
echo "native build: $((SECONDS - started)) s"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1} UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}
failed=0
"$native/core_tests" --gtest_brief=1 || { failed=1; echo "native unit tests: FAILED"; }

# Longest input per target: room for a few entries, but no more than its parser can use.
declare -A max_len=([IniText]=1024 [PeFileVersion]=8192 [Numbers]=64 [PackageChoice]=4096 [PackageName]=256 [PathJoin]=1024 [SwitchName]=128
                    [ThumbprintList]=2048 [PackageAdmission]=512 [ServerAddress]=256 [UpdateFeed]=4096)
targets=()
for source in "$root"/fuzz/*Fuzz.cpp; do
  name=$(basename "$source" Fuzz.cpp)
  targets+=("$name")
done
share=$((seconds / ${#targets[@]}))
for name in "${targets[@]}"; do
  corpus=$native/corpus/$name artifacts=$native/artifacts/$name log=$native/fuzz-$name.log
  mkdir -p "$corpus" "$artifacts"
  # New inputs go to the first folder, in the build tree; the committed seeds are only read.
  limit=(-max_total_time="$share")
  [ "$share" -gt 0 ] || limit=(-runs=0)
  if "$native/fuzz_$name" "${limit[@]}" -max_len="${max_len[$name]:-1024}" -timeout=10 -rss_limit_mb=1024 \
       -print_final_stats=1 -artifact_prefix="$artifacts/" "$corpus" "$root/fuzz/corpus/$name" >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
    echo "fuzz $name: ${runs:-?} runs, ${rate:-?} exec/s, $(find "$corpus" -type f | wc -l) inputs in the build corpus"
  else
    failed=1
    echo "fuzz $name: FAILED (log: $log)"
    grep -E 'ERROR|runtime error|property failed|SUMMARY' "$log" | head -5 || true
    sed -n 's/.*Test unit written to /reproducer: /p' "$log"
    echo "replay: $native/fuzz_$name <reproducer>"
  fi
done
echo "native part: $((SECONDS - started)) s"
exit $failed
