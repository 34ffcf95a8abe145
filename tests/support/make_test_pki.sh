#!/usr/bin/env bash
# Makes the throwaway certificates of the HTTPS test servers (never committed):
#   make_test_pki.sh <out dir>
# Out: root.crt ("Pendlemark Test Root", which the test prefix trusts), and server certificates from it,
# all with server.key: server.crt (names every test server: IP and DNS of $PM_TEST_NET.20 to .29),
# expired.crt (the same names, valid in January 2020 only), wrong-name.crt (names another host only);
# other-root.crt, a root the prefix does not trust, and untrusted.crt from it with server.crt's names.
# The publishers that sign update lists are those of the signed packages (<build>/trust/a.crt, b.crt).
# Does nothing when <out dir> already holds the set for this $PM_TEST_NET, valid for another day.
set -euo pipefail
out=$(realpath -m "$1")
net=${PM_TEST_NET:-127.0.0}
if [ "$(cat "$out/net" 2>/dev/null)" = "$net" ] && openssl x509 -in "$out/server.crt" -noout -checkend 86400 \
  >/dev/null 2>&1; then
  exit 0
fi
# Made aside and moved in whole, so that a server never loads half a set.
mkdir -p "$(dirname "$out")"
work=$(mktemp -d "$out.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"
names=""
for host in $(seq 20 29); do names+="${names:+,}IP:$net.$host,DNS:$net.$host"; done
# Read by the configuration even where no certificate is issued.
export PM_PKI_NAMES=$names
cat >pki.cnf <<EOF
[ca]
default_ca = ca0
[ca0]
database = index.txt
serial = serial
new_certs_dir = .
default_md = sha256
policy = any
unique_subject = no
[any]
commonName = supplied
[root]
basicConstraints = critical, CA:true
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
[server]
basicConstraints = CA:false
keyUsage = critical, digitalSignature, keyEncipherment
extendedKeyUsage = serverAuth
authorityKeyIdentifier = keyid
subjectAltName = \${ENV::PM_PKI_NAMES}
EOF
key() { openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out "$1" 2>/dev/null; }
root() { # <name> <common name>
  key "$1.key"
  openssl req -new -x509 -config pki.cnf -extensions root -key "$1.key" -subj "/CN=$2" -days 3650 -sha256 \
    -out "$1.crt"
}
issue() { # <name> <issuer> <names> [openssl ca date options]
  local name=$1 issuer=$2
  PM_PKI_NAMES=$3 openssl ca -batch -notext -config pki.cnf -extensions server -cert "$issuer.crt" \
    -keyfile "$issuer.key" -in server.csr -out "$name.crt" "${@:4}" 2>/dev/null
}
key server.key
openssl req -new -key server.key -subj "/CN=Pendlemark test server" -out server.csr
: >index.txt
echo 01 >serial
root root "Pendlemark Test Root"
root other-root "Pendlemark Untrusted Root"
issue server root "$names" -days 30
issue expired root "$names" -startdate 20200101000000Z -enddate 20200201000000Z
issue wrong-name root "DNS:update.elsewhere.invalid" -days 30
issue untrusted other-root "$names" -days 30
echo "$net" >net
rm -f ./*.pem index.txt* serial* server.csr pki.cnf
mkdir -p "$out"
rm -rf "$out.old"
mv "$out" "$out.old"
mv "$work" "$out"
rm -rf "$out.old"
trap - EXIT
