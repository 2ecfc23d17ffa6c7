#!/usr/bin/env bash
# Signs a Windows program in place with Authenticode when a code-signing
# certificate is given: a PKCS#12 file in CORVANE_SIGNING_PKCS12 and its
# password in CORVANE_SIGNING_PASSWORD. CORVANE_SIGNING_TIMESTAMP_URL names
# a time-stamp server; without one the signing time is SOURCE_DATE_EPOCH,
# the commit's, so a signed build is repeatable too. Without a certificate
# it leaves the file as it is.
# Usage: sign.sh FILE   (SOURCE_DATE_EPOCH set)
set -euo pipefail

[ -n "${CORVANE_SIGNING_PKCS12:-}" ] || exit 0
staging=$(mktemp -d)
trap 'rm -rf "$staging"' EXIT
when=(-time "${SOURCE_DATE_EPOCH:?}")
[ -z "${CORVANE_SIGNING_TIMESTAMP_URL:-}" ] || when=(-ts "$CORVANE_SIGNING_TIMESTAMP_URL")
osslsigncode sign -pkcs12 "$CORVANE_SIGNING_PKCS12" \
    -readpass <(printf '%s' "${CORVANE_SIGNING_PASSWORD:-}") \
    -n Corvane -h sha256 "${when[@]}" -in "$1" -out "$staging/signed" >/dev/null
mv "$staging/signed" "$1"
