#!/usr/bin/env bash
# How the tests start a Windows program: through the 64-bit Wine loader (the 32-bit one cannot run on
# this kernel). A program that fails without a word, as one that never reached its main does, is
# named with its exit status and time, so that such a failure can be told apart.
started=$(date +%s%N)
/usr/lib/wine/wine64 "$@"
status=$?
if [ $status -ne 0 ]; then
  echo "wine-exec: ${1##*/} ended with status $status after $((($(date +%s%N) - started) / 1000000)) ms" >&2
fi
exit $status
