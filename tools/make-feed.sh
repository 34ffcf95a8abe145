#!/usr/bin/env bash
# Writes the update list of an HTTPS update folder, for the publisher:
#
#   tools/make-feed.sh FOLDER [--sign CERT.pem KEY.pem [--no-attributes]] [--serial N] [--expires DAYS]
#                      [--rollout NAME=PERCENT ...] [--out FILE]
#
# FOLDER/Pendlemark.feed lists every YYMMDD...-update.exe of FOLDER (the suffix in any letter case, the
# date a real one) with its size and SHA-256, newest first:
#
#   Pendlemark feed 1
#   serial 42
#   expires 2026-12-20T00:00:00Z
#   package 261208-update.exe 41234 9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08
#   package 261201-update.exe 40000 <sha-256> rollout 25
#
#   --sign CERT KEY    also write FOLDER/Pendlemark.feed.p7s: a detached CMS signature (DER, SHA-256, with
#                      the signer's certificate). Without --sign an older signature is removed.
#   --no-attributes    sign without signed attributes
#   --serial N         the list's serial (default: one above the serial of the list there, else the time
#                      in seconds since 1970)
#   --expires DAYS     when the list expires, in days from now (default 7)
#   --rollout NAME=PERCENT   offer the package NAME to PERCENT (0 to 100) of the clients
#   --out FILE         write the list to FILE (and FILE.p7s) instead
#
# Both files are written aside and renamed into place, so that a web server never serves half of one.
# Exit codes: 0 written, 1 failed, 2 wrong arguments.
set -euo pipefail
usage() { sed -n '3,4p' "$0" | sed 's/^# \{0,1\}//' >&2; }
refuse() {
  echo "make-feed.sh: $*" >&2
  exit 2
}
folder="" cert="" key="" attributes=1 serial=next days=7 out=default
rollouts=()
while [ $# -gt 0 ]; do
  case $1 in
  --sign)
    [ $# -ge 3 ] || refuse "--sign needs a certificate and a key"
    cert=$2 key=$3
    shift 3
    ;;
  --no-attributes) attributes=0; shift ;;
  --serial) serial=${2-}; shift $(($# > 1 ? 2 : 1)) ;;
  --expires) days=${2-}; shift $(($# > 1 ? 2 : 1)) ;;
  --rollout) rollouts+=("${2-}"); shift $(($# > 1 ? 2 : 1)) ;;
  --out) out=${2-}; shift $(($# > 1 ? 2 : 1)) ;;
  -h | --help) sed -n '2,27p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
  -*) usage; refuse "unknown option $1" ;;
  *)
    [ -z "$folder" ] || refuse "one folder only (also $1)"
    folder=$1
    shift
    ;;
  esac
done
[ -n "$folder" ] || { usage; refuse "no folder given"; }
[ -d "$folder" ] || refuse "$folder is not a folder"
[[ $serial =~ ^([0-9]{1,18}|next)$ ]] || refuse "--serial needs a number, not \"$serial\""
[[ $days =~ ^[0-9]{1,5}$ ]] && [ "$days" -gt 0 ] || refuse "--expires needs days above 0, not \"$days\""
[ $attributes = 1 ] || [ -n "$cert" ] || refuse "--no-attributes is an option of --sign"
for file in "$cert" "$key"; do
  [ -z "$file" ] || [ -r "$file" ] || refuse "cannot read $file"
done
[ "$out" != default ] || out=$folder/Pendlemark.feed
[ -n "$out" ] && [ -d "$(dirname "$out")" ] || refuse "--out needs a file in a folder that exists, not \"$out\""

# The packages, newest first: the name starts with the date, so a reversed byte order is the date order.
packages=()
while IFS= read -r -d '' path; do
  name=${path##*/}
  if [[ $name =~ [[:space:][:cntrl:]] ]]; then
    echo "make-feed.sh: skipping \"$name\": a name in the list cannot hold blanks" >&2
  elif LC_ALL=C grep -q '[^ -~]\|[<>:"|?*\\]' <<<"$name"; then
    # Clients refuse a whole list that names one: two names apart only in a non-ASCII letter's case
    # are one file on Windows.
    echo "make-feed.sh: skipping \"$name\": a name in the list is ASCII, without <>:\"|?*\\" >&2
  elif [ "$(date -u -d "20${name:0:2}-${name:2:2}-${name:4:2}" +%y%m%d 2>/dev/null)" != "${name:0:6}" ]; then
    echo "make-feed.sh: skipping $name: it does not start with a real date" >&2
  else
    packages+=("$name")
  fi
done < <(find "$folder" -maxdepth 1 -xtype f -iname '[0-9][0-9][0-9][0-9][0-9][0-9]*-update.exe' -print0 |
  LC_ALL=C sort -rz)
[ ${#packages[@]} -gt 0 ] || echo "make-feed.sh: no YYMMDD...-update.exe in $folder: the list offers nothing" >&2

declare -A percent=()
for rollout in "${rollouts[@]}"; do
  name=${rollout%=*} value=${rollout##*=}
  [[ $rollout == *=* && $value =~ ^[0-9]{1,3}$ ]] && [ "$value" -le 100 ] ||
    refuse "--rollout needs NAME=PERCENT with a percent from 0 to 100, not \"$rollout\""
  [[ " ${packages[*]} " == *" $name "* ]] || refuse "--rollout: $name is not a package of $folder"
  percent[$name]=$value
done

previous=$(sed -n 's/^serial \([0-9]\{1,18\}\)$/\1/p' "$out" 2>/dev/null | head -n 1 || true)
if [ "$serial" = next ]; then
  if [ -n "$previous" ]; then serial=$((10#$previous + 1)); else serial=$(date -u +%s); fi
else
  serial=$((10#$serial))
  if [ -n "$previous" ] && [ "$serial" -le "$((10#$previous))" ]; then
    echo "make-feed.sh: warning: serial $serial is not above the list's $previous there; clients may refuse it" >&2
  fi
fi
expires=$(date -u -d "+$days days" +%Y-%m-%dT%H:%M:%SZ)

sha256() {
  if command -v sha256sum >/dev/null; then
    sha256sum "$1" | cut -d' ' -f1
  else
    openssl dgst -sha256 -r "$1" | cut -d' ' -f1
  fi
}
list=$(mktemp "$out.XXXXXX")
signature=""
trap 'rm -f "$list" ${signature:+"$signature"}' EXIT
{
  echo "Pendlemark feed 1"
  echo "serial $serial"
  echo "expires $expires"
  for name in "${packages[@]}"; do
    share=${percent[$name]:+ rollout ${percent[$name]}}
    echo "package $name $(stat -L -c %s "$folder/$name") $(sha256 "$folder/$name")$share"
  done
} >"$list"
chmod 644 "$list"
if [ -n "$cert" ]; then
  signature=$(mktemp "$out.p7s.XXXXXX")
  options=()
  [ $attributes = 1 ] || options+=(-noattr)
  openssl cms -sign -binary -md sha256 -outform DER -in "$list" -signer "$cert" -inkey "$key" \
    -out "$signature" "${options[@]}" || { echo "make-feed.sh: signing failed" >&2; exit 1; }
  chmod 644 "$signature"
fi
mv -f "$list" "$out"
if [ -n "$signature" ]; then
  mv -f "$signature" "$out.p7s"
elif [ -e "$out.p7s" ]; then
  # It cannot match the new list.
  rm -f "$out.p7s"
  echo "make-feed.sh: removed the signature of the earlier list, $out.p7s" >&2
fi
echo "$out: serial $serial, expires $expires, ${#packages[@]} package(s)"
if [ -n "$signature" ]; then
  thumbprint=$(openssl x509 -in "$cert" -noout -fingerprint -sha256 | sed 's/.*=//; s/://g')
  subject=$(openssl x509 -in "$cert" -noout -subject | sed 's/^subject=//')
  echo "$out.p7s: signed by $subject, SHA-256 thumbprint $thumbprint"
fi
