#!/usr/bin/env bash
# Makes throwaway publishers and signed test packages for the trust tests (never committed):
#   make_signed_packages.sh <out dir> <package.exe> [<name>=<variant.exe> ...]
# Out: a.sha256, b.sha256 and expired.sha256 (certificate thumbprints), and the packages signed-a.exe,
# signed-b.exe, unsigned.exe, tampered-a.exe (one byte changed after signing by a), expired.exe (signed,
# without time stamp, by a certificate that expired long ago) and not-pe.exe; each variant signed by a
# as signed-a-<name>.exe.
set -euo pipefail
out=$1
package=$(realpath "$2")
variants=()
for variant in "${@:3}"; do variants+=("${variant%%=*}=$(realpath "${variant#*=}")"); done
rm -rf "$out"
mkdir -p "$out"
cd "$out"
for who in a b; do
  openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 30 -keyout "$who.key" -out "$who.crt" \
    -subj "/CN=Pendlemark test publisher $who" -addext "extendedKeyUsage=codeSigning" 2>/dev/null
  openssl x509 -in "$who.crt" -noout -fingerprint -sha256 | sed 's/.*=//; s/://g' >"$who.sha256"
  osslsigncode sign -certs "$who.crt" -key "$who.key" -h sha256 -n "Pendlemark test package" \
    -in "$package" -out "signed-$who.exe" >/dev/null
done
for variant in "${variants[@]}"; do
  osslsigncode sign -certs a.crt -key a.key -h sha256 -n "Pendlemark test package" \
    -in "${variant#*=}" -out "signed-a-${variant%%=*}.exe" >/dev/null
done
# A certificate valid for one month of 2020 only.
openssl req -newkey rsa:2048 -nodes -keyout expired.key -out expired.csr -subj "/CN=Pendlemark expired publisher" \
  2>/dev/null
mkdir -p ca && : >ca/index.txt && echo 01 >ca/serial
printf '%s\n' '[ca]' 'default_ca = ca0' '[ca0]' 'database = ca/index.txt' 'serial = ca/serial' \
  'new_certs_dir = ca' 'default_md = sha256' 'policy = any' 'x509_extensions = ext' '[any]' \
  'commonName = supplied' '[ext]' 'extendedKeyUsage = codeSigning' >ca.cnf
openssl ca -batch -config ca.cnf -selfsign -keyfile expired.key -in expired.csr -out expired.crt \
  -startdate 20200101000000Z -enddate 20200201000000Z 2>/dev/null
openssl x509 -in expired.crt -noout -fingerprint -sha256 | sed 's/.*=//; s/://g' >expired.sha256
osslsigncode sign -certs expired.crt -key expired.key -h sha256 -in "$package" -out expired.exe >/dev/null
cp "$package" unsigned.exe
cp signed-a.exe tampered-a.exe
# A byte in the code, well inside what the signature's digest covers.
printf '\xAA' | dd of=tampered-a.exe bs=1 seek=4096 conv=notrunc status=none
cmp -s signed-a.exe tampered-a.exe && { echo "tampering changed nothing" >&2; exit 1; }
printf 'This is a text file, not a program.\r\n%.0s' {1..100} >not-pe.exe
