#!/usr/bin/env bash
# CTest fixture: update lists made with the publisher's command, signed by the build's throwaway
# publishers, for the one package they list (261201-update.exe, a copy of <package>):
#   make_test_feeds.sh <out dir> <trust dir> <package>
# <name>.feed (and <name>.feed.p7s) for: unsigned, signed-attr, signed-noattr (signed by publisher a,
# with and without signed attributes), signed-other (publisher b), tampered-attr, tampered-noattr
# (changed after signing), signed-two (by a and b), signed-sha1 (by a, SHA-1) and signed-nodigest (by
# a, signed attributes without the message digest).
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
# Signatures a client must refuse although publisher a made them.
sign() {
  local name=$1
  shift
  cp "$out/unsigned.feed" "$out/$name.feed"
  openssl cms -sign -binary -outform DER -in "$out/$name.feed" -out "$out/$name.feed.p7s" "$@"
}
sign signed-two -md sha256 -signer "$trust/a.crt" -inkey "$trust/a.key" -signer "$trust/b.crt" -inkey "$trust/b.key"
sign signed-sha1 -md sha1 -signer "$trust/a.crt" -inkey "$trust/a.key"
sign signed-nodigest -md sha256 -signer "$trust/a.crt" -inkey "$trust/a.key"
/usr/bin/python3 "$(dirname "${BASH_SOURCE[0]}")/strip_message_digest.py" "$out/signed-nodigest.feed.p7s" \
  "$trust/a.key" "$out/signed-nodigest.feed.p7s"
