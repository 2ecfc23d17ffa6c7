#!/usr/bin/env bash
# Signs a Windows program or DLL in place with Authenticode, when a signing
# key is given; without one it leaves the file as it is. The key is either
# - on a hardware token or in a signing service, reached through PKCS#11, as
#   the keys of public code-signing certificates must be: the token's
#   PKCS#11 module in CORVANE_SIGNING_PKCS11_MODULE, the key's PKCS#11 URI
#   in CORVANE_SIGNING_PKCS11_KEY, the certificate and its chain (PEM) in
#   CORVANE_SIGNING_CERTIFICATES, and the token's PIN in
#   CORVANE_SIGNING_PASSWORD; OpenSSL reaches the module through the engine
#   of Debian's libengine-pkcs11-openssl;
# - or in a PKCS#12 file, CORVANE_SIGNING_PKCS12, with its password in
#   CORVANE_SIGNING_PASSWORD.
# A signature without a time stamp stops validating when the certificate
# expires, so CORVANE_SIGNING_TIMESTAMP_URL must name an RFC 3161
# time-stamp server. Only tests sign without one, by setting
# CORVANE_SIGNING_WITHOUT_TIMESTAMP_FOR_TESTS=1: the signing time is then
# SOURCE_DATE_EPOCH, the commit's, so that their signed builds repeat too.
# Usage: sign.sh FILE
set -euo pipefail

if [ -n "${CORVANE_SIGNING_PKCS11_KEY:-}" ]; then
    engines=$(openssl version -e | sed -n 's/^ENGINESDIR: "\(.*\)"$/\1/p')
    key=(-pkcs11engine "$engines/pkcs11.so"
         -pkcs11module "${CORVANE_SIGNING_PKCS11_MODULE:?names the PKCS#11 module of the token}"
         -certs "${CORVANE_SIGNING_CERTIFICATES:?names the certificate of the key, with its chain}"
         -key "$CORVANE_SIGNING_PKCS11_KEY")
elif [ -n "${CORVANE_SIGNING_PKCS12:-}" ]; then
    key=(-pkcs12 "$CORVANE_SIGNING_PKCS12")
else
    exit 0
fi
if [ -n "${CORVANE_SIGNING_TIMESTAMP_URL:-}" ]; then
    when=(-ts "$CORVANE_SIGNING_TIMESTAMP_URL")
elif [ "${CORVANE_SIGNING_WITHOUT_TIMESTAMP_FOR_TESTS:-}" = 1 ]; then
    when=(-time "${SOURCE_DATE_EPOCH:?}")
else
    echo "Not signed: a signature without a time stamp stops validating when the certificate" \
         "expires. Set CORVANE_SIGNING_TIMESTAMP_URL to an RFC 3161 time-stamp server," \
         "such as your certificate issuer's." >&2
    exit 1
fi
staging=$(mktemp -d)
trap 'rm -rf "$staging"' EXIT
osslsigncode sign "${key[@]}" -readpass <(printf '%s' "${CORVANE_SIGNING_PASSWORD:-}") \
    -n Corvane -h sha256 "${when[@]}" -in "$1" -out "$staging/signed" >/dev/null
mv "$staging/signed" "$1"
