#!/usr/bin/env bash
# The publisher's command, natively: the list it writes, its signature as openssl reads it, and the
# arguments it refuses without touching what is there.
#   make_feed_test.sh <make-feed.sh> <trust dir: a.crt, a.key, b.key of the signed packages>
set -uo pipefail
tool=$1 trust=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
expect() { [ "$2" = "$3" ] || fail "$1: expected \"$2\", got \"$3\""; }
feed() { bash "$tool" "$@" >/dev/null 2>"$work/stderr"; }
sha() { printf '%s' "$1" | sha256sum | cut -d' ' -f1; }

dir=$work/update
mkdir -p "$dir" "$dir/261210-update.exe"
printf one >"$dir/261201-UPDATE.EXE"
printf four >"$dir/261208-update.exe"
printf three >"$dir/261208b-update.exe"
for skipped in 260230-update.exe "261209 x-update.exe" x261211-update.exe 261212-update.exe.part readme.txt; do
  printf skipped >"$dir/$skipped"
done

# The fields: newest first, real dates only, the rollout where asked; expiry in days from now.
feed "$dir" --serial 42 --expires 3 --rollout 261201-UPDATE.EXE=25 || fail "a plain list: exit $?"
expect "the list" "Pendlemark feed 1
serial 42
package 261208b-update.exe 5 $(sha three)
package 261208-update.exe 4 $(sha four)
package 261201-UPDATE.EXE 3 $(sha one) rollout 25" "$(grep -v '^expires ' "$dir/Pendlemark.feed")"
expires=$(sed -n 's/^expires \([0-9-]*T[0-9:]*Z\)$/\1/p' "$dir/Pendlemark.feed")
off=$(($(date -u -d "$expires" +%s) - $(date -u +%s) - 3 * 86400))
[ "${off#-}" -le 60 ] || fail "expires $expires is not three days from now"
grep -q $'\r' "$dir/Pendlemark.feed" && fail "the list has CR line ends"
expect "what was skipped" 2 "$(grep -c 'skipping' "$work/stderr")"

# The serial: one above the list's, else the time.
feed "$dir" && expect "the next serial" "serial 43" "$(sed -n 2p "$dir/Pendlemark.feed")"
mkdir "$work/fresh"
feed "$work/fresh" || fail "an empty folder: exit $?"
serial=$(sed -n 's/^serial //p' "$work/fresh/Pendlemark.feed")
off=$((serial - $(date -u +%s)))
[ "${off#-}" -le 60 ] || fail "a first serial $serial is not the time"

# Signatures, with and without signed attributes: intact, over exactly the list, with the signer inside.
for attributes in "" --no-attributes; do
  what="signed ${attributes:-with attributes}"
  feed "$dir" --sign "$trust/a.crt" "$trust/a.key" $attributes || fail "$what: exit $?"
  p7s=$dir/Pendlemark.feed.p7s
  openssl cms -verify -binary -inform DER -in "$p7s" -content "$dir/Pendlemark.feed" -noverify -out /dev/null \
    2>/dev/null || fail "$what: the signature does not verify"
  sed 's/^serial .*/serial 1/' "$dir/Pendlemark.feed" >"$work/changed"
  openssl cms -verify -binary -inform DER -in "$p7s" -content "$work/changed" -noverify -out /dev/null \
    2>/dev/null && fail "$what: a changed list verifies"
  structure=$(openssl cms -cmsout -print -inform DER -in "$p7s")
  expect "$what: signer" "$(openssl x509 -in "$trust/a.crt" -noout -subject)" \
    "$(openssl pkcs7 -inform DER -in "$p7s" -print_certs -noout | grep '^subject=')"
  # SHA-256 in the message's list and the signer's; the digest of the list as a signed attribute or not.
  expect "$what: digests" 2 "$(grep -c 'algorithm: sha256 (' <<<"$structure")"
  expect "$what: signed digest" "$([ -n "$attributes" ] && echo 0 || echo 1)" \
    "$(grep -c 'object: messageDigest' <<<"$structure")"
done

# A failed signing (a key that is not the certificate's) leaves list and signature as they were.
files() { cat "$dir/Pendlemark.feed" "$dir/Pendlemark.feed.p7s" | sha256sum; }
before=$(files)
feed "$dir" --sign "$trust/a.crt" "$trust/b.key"
expect "a wrong key" 1 $?
expect "a wrong key: the files" "$before" "$(files)"

# Wrong arguments: exit 2, nothing written.
while IFS='|' read -r what arguments; do
  # shellcheck disable=SC2086
  feed $arguments
  expect "$what: exit" 2 $?
  expect "$what: the files" "$before" "$(files)"
done <<EOF
unknown option|$dir --latest
rollout of a name not there|$dir --rollout 261211-update.exe=10
rollout of a skipped name|$dir --rollout 260230-update.exe=10
rollout above 100|$dir --rollout 261208-update.exe=101
rollout below 0|$dir --rollout 261208-update.exe=-1
rollout without a percent|$dir --rollout 261208-update.exe
serial not a number|$dir --serial 4x
serial without a number|$dir --serial
out without a file|$dir --out
expiry of 0 days|$dir --expires 0
no-attributes without sign|$dir --no-attributes
sign without a key|$dir --sign $trust/a.crt
sign with a missing file|$dir --sign $trust/a.crt $work/none.key
no folder|
a missing folder|$work/none
EOF

# --out: the list and its signature elsewhere; an unsigned list then drops the signature it replaces.
feed "$dir" --out "$work/list.feed" --sign "$trust/a.crt" "$trust/a.key" || fail "--out: exit $?"
openssl cms -verify -binary -inform DER -in "$work/list.feed.p7s" -content "$work/list.feed" -noverify \
  -out /dev/null 2>/dev/null || fail "--out: the signature does not verify"
expect "--out leaves the folder's list" "$before" "$(files)"
feed "$dir"
[ -e "$dir/Pendlemark.feed.p7s" ] && fail "an unsigned list keeps the old signature"
expect "files left aside" "" "$(find "$dir" "$work" -maxdepth 1 -name '*.feed.*' ! -name '*.p7s')"

[ "$failures" -eq 0 ] && echo "make-feed.sh: all checks passed"
[ "$failures" -eq 0 ]
