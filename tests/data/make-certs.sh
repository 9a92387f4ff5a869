#!/usr/bin/env bash
# Makes the certificate fixtures with the openssl command: every certificate as
# NAME.pem, NAME.der and NAME.txt (openssl x509 -text, UTF-8 names). Keys and
# certificates are made fresh on every run and never kept in the repository.
# Usage: make-certs.sh OUTDIR
set -euo pipefail
out="${1:?usage: make-certs.sh OUTDIR}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"
mkdir certs

cat > ca.cnf <<'CNF'
[ca]
default_ca = ca_default
[ca_default]
dir = .
database = index.txt
new_certs_dir = .
serial = serial
default_md = sha256
policy = pol_any
unique_subject = no
copy_extensions = none
email_in_dn = yes
[pol_any]
commonName = optional
[v3_leaf]
basicConstraints = CA:FALSE
keyUsage = digitalSignature, keyEncipherment
subjectKeyIdentifier = hash
[v3_ca]
basicConstraints = critical, CA:TRUE
keyUsage = keyCertSign, cRLSign
subjectKeyIdentifier = hash
CNF
touch index.txt

rsa_key() { openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:"$2" -out "$1.key" 2>/dev/null; }
ec_key() { openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out "$1.key"; }
sm2_key() { openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:SM2 "${@:2}" -out "$1.key"; }

# sign NAME ISSUER SUBJECT SERIALHEX START END EXT [extra openssl ca options]
# ISSUER "self" makes a self-signed certificate. START and END are given as
# openssl ca takes them: YYMMDDHHMMSSZ (UTCTime) or YYYYMMDDHHMMSSZ.
sign() {
  local name="$1" issuer="$2" subject="$3" serial="$4" start="$5" end="$6" ext="$7"
  shift 7
  echo "$serial" > serial
  openssl req -new -utf8 -key "$name.key" -subj "$subject" -multivalue-rdn -out "$name.csr"
  local who=(-cert "$issuer.pem" -keyfile "$issuer.key")
  [ "$issuer" = self ] && who=(-selfsign -keyfile "$name.key")
  local extopt=()
  [ "$ext" != none ] && extopt=(-extfile ca.cnf -extensions "$ext")
  openssl ca -batch -config ca.cnf -utf8 -multivalue-rdn -preserveDN -notext "${who[@]}" \
    -in "$name.csr" -startdate "$start" -enddate "$end" "${extopt[@]}" "$@" \
    -out "$name.pem" 2>ca.log || { cat ca.log >&2; exit 1; }
  openssl x509 -in "$name.pem" -outform DER -out "certs/$name.der"
  openssl x509 -in "$name.pem" -out "certs/$name.pem"
  openssl x509 -in "$name.pem" -noout -text -nameopt oneline,-esc_msb,utf8 > "certs/$name.txt"
}
sm3=(-md sm3 -sigopt distid:1234567812345678)

# Issuers.
rsa_key rsa-ca 2048
sign rsa-ca self "/C=CN/O=Zvit Test Bank/CN=Zvit Test RSA Root" 01 200101000000Z 401231235959Z v3_ca
ec_key ecdsa-ca
sign ecdsa-ca self "/C=CN/O=Zvit Test Bank/CN=Zvit Test ECDSA Root" 02 200101000000Z 401231235959Z v3_ca
sm2_key sm2-ca
sign sm2-ca self "/C=CN/O=Zvit Test Bank/CN=Zvit Test SM2 Root" 03 200101000000Z 401231235959Z v3_ca "${sm3[@]}"

# Key types and sizes.
rsa_key rsa1024 1024
sign rsa1024 rsa-ca "/C=CN/O=Zvit Test Bank/CN=RSA 1024 Holder" 1001 241231200000Z 341231200000Z v3_leaf
rsa_key rsa2048 2048
sign rsa2048 rsa-ca "/C=CN/ST=Beijing/L=Haidian/O=Zvit Test Bank/OU=Retail/CN=RSA 2048 Holder/emailAddress=holder@example.com" \
  1002 241231200000Z 341231200000Z v3_leaf
rsa_key rsa4096 4096
sign rsa4096 rsa-ca "/C=CN/O=Zvit Test Bank/CN=RSA 4096 Holder" 1003 241231200000Z 341231200000Z v3_leaf
rsa_key rsa-pss 2048
sign rsa-pss rsa-ca "/C=CN/O=Zvit Test Bank/CN=RSA PSS Holder" 1004 241231200000Z 341231200000Z v3_leaf \
  -sigopt rsa_padding_mode:pss -sigopt rsa_pss_saltlen:32
ec_key ecdsa-p256
sign ecdsa-p256 ecdsa-ca "/C=CN/O=Zvit Test Bank/CN=ECDSA P-256 Holder" 2001 241231200000Z 341231200000Z v3_leaf
rsa_key rsa-key-ecdsa-signed 2048
sign rsa-key-ecdsa-signed ecdsa-ca "/C=CN/O=Zvit Test Bank/CN=RSA Key ECDSA Signed" 2002 241231200000Z 341231200000Z v3_leaf
sm2_key sm2
sign sm2 sm2-ca "/C=CN/O=Zvit Test Bank/OU=Retail/CN=SM2 Holder" 3001 241231200000Z 341231200000Z v3_leaf "${sm3[@]}"
sm2_key sm2-explicit -pkeyopt ec_param_enc:explicit
sign sm2-explicit sm2-ca "/C=CN/O=Zvit Test Bank/CN=SM2 Explicit Curve" 3002 241231200000Z 341231200000Z v3_leaf "${sm3[@]}"
sm2_key sm2-key-rsa-signed
sign sm2-key-rsa-signed rsa-ca "/C=CN/O=Zvit Test Bank/CN=SM2 Key RSA Signed" 3003 241231200000Z 341231200000Z v3_leaf

# Serial numbers.
rsa_key serial-00abcd 2048
sign serial-00abcd rsa-ca "/C=CN/O=Zvit Test Bank/CN=Serial ABCD" ABCD 241231200000Z 341231200000Z v3_leaf
rsa_key serial-00 2048
sign serial-00 rsa-ca "/C=CN/O=Zvit Test Bank/CN=Serial Zero" 00 241231200000Z 341231200000Z v3_leaf

# Validity encodings: UTCTime at both ends of its 1950-2049 window, GeneralizedTime after it.
rsa_key utc-1950-2049 2048
sign utc-1950-2049 rsa-ca "/C=CN/O=Zvit Test Bank/CN=UTC Window" 4001 500101000000Z 491231235959Z v3_leaf
rsa_key gentime-2050 2048
sign gentime-2050 rsa-ca "/C=CN/O=Zvit Test Bank/CN=Generalized Time" 4002 241231200000Z 20500101000000Z v3_leaf

# Names.
rsa_key dn-cn-middle 2048
sign dn-cn-middle rsa-ca "/O=Bank/CN=Key Holder/OU=Retail" 5001 241231200000Z 341231200000Z v3_leaf
rsa_key dn-no-cn 2048
sign dn-no-cn rsa-ca "/C=CN/O=Zvit Test Bank/OU=Retail" 5002 241231200000Z 341231200000Z v3_leaf
rsa_key dn-multi-rdn 2048
sign dn-multi-rdn rsa-ca "/C=CN/O=Zvit Test Bank/OU=Retail+CN=Multi Holder/L=Haidian" 5003 241231200000Z 341231200000Z v3_leaf
rsa_key dn-utf8 2048
sign dn-utf8 rsa-ca "/C=CN/ST=北京/O=中国测试银行/CN=张三" 5004 241231200000Z 341231200000Z v3_leaf
ou64="$(printf 'Department of Long Organisational Unit Names Number %012d' 1)"
long="/C=CN/O=Zvit Test Bank"
for i in 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16; do long="$long/OU=${ou64:0:52}$(printf '%012d' "$i")"; done
long="$long/DC=$(head -c 300 /dev/zero | tr '\0' 'd')/CN=Long Name Holder"
rsa_key dn-long 2048
sign dn-long rsa-ca "$long" 5005 241231200000Z 341231200000Z v3_leaf
rsa_key dn-escaped 2048
sign dn-escaped rsa-ca '/C=CN/O=Bank\, Ltd/CN=Smith\, John' 5006 241231200000Z 341231200000Z v3_leaf
rsa_key v1 2048
sign v1 rsa-ca "/C=CN/O=Zvit Test Bank/CN=Version One" 6001 241231200000Z 341231200000Z none

# A key and signature the decoder does not know.
openssl genpkey -algorithm ED25519 -out ed25519.key
openssl req -x509 -key ed25519.key -subj "/C=CN/O=Zvit Test Bank/CN=Ed25519 Holder" -days 3650 \
  -set_serial 0x7001 -out ed25519.pem
openssl x509 -in ed25519.pem -outform DER -out certs/ed25519.der
openssl x509 -in ed25519.pem -out certs/ed25519.pem
openssl x509 -in ed25519.pem -noout -text -nameopt oneline,-esc_msb,utf8 > certs/ed25519.txt

mkdir -p "$out"
rm -f "$out"/*.pem "$out"/*.der "$out"/*.txt
cp certs/* "$out"/
