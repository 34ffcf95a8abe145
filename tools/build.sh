#!/usr/bin/env bash
# Builds the 64-bit program and tests into $PM_BUILD_DIR (default build/), and checks the 32-bit build.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${PM_BUILD_DIR:-$root/build}
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPM_BUILD_TESTS=ON >/dev/null
cmake --build "$build"
if [ "${PM_SKIP_I686:-0}" != 1 ]; then
  cmake -S "$root" -B "$build-i686" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPM_BUILD_TESTS=OFF \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-i686-w64-mingw32.cmake" >/dev/null
  cmake --build "$build-i686"
fi
