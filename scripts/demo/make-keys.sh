#!/usr/bin/env bash
# Makes the demo's two virtual keys with openssl certificates:
#   DEMO-RSA  an RSA key pair with a signing and an exchange certificate
#   DEMO-SM2  an SM2 key pair with a signing certificate (SM3 with SM2)
# usage: make-keys.sh TARNVKEY CERT_DIR PIN
# Keys of an earlier run are deleted first; nothing else in the store is touched.
set -euo pipefail
tarnvkey="$1" dir="$2" pin="$3"
mkdir -p "$dir"
cd "$dir"
sm3=(-sm3 -sigopt distid:1234567812345678)

printf 'basicConstraints=critical,CA:FALSE\nkeyUsage=critical,digitalSignature,nonRepudiation\n' > sign.ext
printf 'basicConstraints=critical,CA:FALSE\nkeyUsage=critical,keyEncipherment,dataEncipherment,keyAgreement\n' > exch.ext

# RSA: one bank CA, one holder key pair certified twice.
openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out rsa-ca.key 2>/dev/null
openssl req -x509 -new -key rsa-ca.key -sha256 -days 3650 -utf8 \
  -subj "/C=CN/O=Demo Bank/CN=Demo Bank RSA CA" -out rsa-ca.pem
openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out rsa-holder.key 2>/dev/null
openssl req -new -key rsa-holder.key -utf8 -subj "/C=CN/O=Demo Bank/OU=Retail/CN=Li Lei" -out rsa-holder.csr
for usage in sign exch; do
  openssl x509 -req -in rsa-holder.csr -CA rsa-ca.pem -CAkey rsa-ca.key -sha256 -days 1825 \
    -set_serial "0x$([ $usage = sign ] && echo 1001 || echo 1002)" -extfile $usage.ext \
    -out rsa-$usage.pem 2>/dev/null
done

# SM2: its own CA, signatures over SM3 with the standard signer id.
openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:SM2 -out sm2-ca.key
openssl req -x509 -new -key sm2-ca.key "${sm3[@]}" -days 3650 -utf8 \
  -subj "/C=CN/O=Demo Bank/CN=Demo Bank SM2 CA" -out sm2-ca.pem
openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:SM2 -out sm2-holder.key
openssl req -new -key sm2-holder.key "${sm3[@]}" -utf8 \
  -subj "/C=CN/O=Demo Bank/OU=Corporate/CN=Han Meimei" -out sm2-holder.csr
openssl x509 -req -in sm2-holder.csr -CA sm2-ca.pem -CAkey sm2-ca.key "${sm3[@]}" \
  -vfyopt distid:1234567812345678 -days 1825 -set_serial 0x2001 -extfile sign.ext \
  -out sm2-sign.pem 2>/dev/null

for serial in DEMO-RSA DEMO-SM2; do
  "$tarnvkey" unplug "$serial" >/dev/null 2>&1 || true
  "$tarnvkey" delete "$serial" >/dev/null 2>&1 || true
done
"$tarnvkey" create DEMO-RSA --label "Demo RSA key" --pin "$pin" --pin-changed
"$tarnvkey" import DEMO-RSA rsa-sign.pem --container rsa-main --type rsa --usage sign
"$tarnvkey" import DEMO-RSA rsa-exch.pem --container rsa-main --type rsa --usage exch
"$tarnvkey" create DEMO-SM2 --label "Demo SM2 key" --pin "$pin" --pin-changed
"$tarnvkey" import DEMO-SM2 sm2-sign.pem --container sm2-main --type sm2 --usage sign
