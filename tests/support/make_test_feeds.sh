#!/usr/bin/env bash
# CTest fixture: update lists made with the publisher's command, signed by the build's throwaway
# publishers, for the one package they list (261201-update.exe, a copy of <package>):
#   make_test_feeds.sh <out dir> <trust dir> <package>
# <name>.feed (and <name>.feed.p7s) for: unsigned, signed-attr, signed-noattr (signed by publisher a,
# with and without signed attributes), signed-other (publisher b), and tampered-attr, tampered-noattr
# (changed after signing).
set -euo pipefail
out=$1 trust=$2 package=$3
make=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../tools" && pwd)/make-feed.sh
rm -rf "$out"
mkdir -p "$out/folder"
cp "$package" "$out/folder/261201-update.exe"
feed() {
  local name=$1
  shift
  bash "$make" "$out/folder" --serial 100 --out "$out/$name.feed" "$@" >/dev/null
}
feed unsigned
feed signed-attr --sign "$trust/a.crt" "$trust/a.key"
feed signed-noattr --sign "$trust/a.crt" "$trust/a.key" --no-attributes
feed signed-other --sign "$trust/b.crt" "$trust/b.key"
for kind in attr noattr; do
  sed 's/^serial 100$/serial 101/' "$out/signed-$kind.feed" >"$out/tampered-$kind.feed"
  cp "$out/signed-$kind.feed.p7s" "$out/tampered-$kind.feed.p7s"
done
