#!/usr/bin/env bash
# The release as users get it, built by make package from clean clones of
# the source's commit:
# - two clones in folders of different lengths, built one after the other
#   with different umasks, give the same bytes, and SHA256SUMS matches them;
# - signed with a throwaway self-signed certificate, the program verifies,
#   is the unsigned build byte for byte once the signature is removed, and
#   still starts under Wine; the installer verifies, is the same script's
#   build around the signed program with only its signature added, installs
#   the signed program with a signed uninstaller, and that uninstalls.
# Usage: release_test.sh SOURCE_DIR WORK_DIR VERSION   (WINEPREFIX set)
set -euo pipefail
source "$(dirname "$0")/../../scripts/wine-session.sh"

source_dir=$(realpath "$1")
work=$2
rm -rf "$work"
mkdir -p "$work"
work=$(realpath "$work")
version=${3:?usage: release_test.sh SOURCE_DIR WORK_DIR VERSION}
trap end_wine_session EXIT
# This runs inside make test; the clones' make must not join its job server.
unset MAKEFLAGS MFLAGS MAKELEVEL

artifacts=(corvane.exe "corvane-$version-install.exe" "corvane-$version.zip" SHA256SUMS)

build_clone() {
    git clone -q --no-hardlinks "$source_dir" "$1"
    make -s -C "$1" package
}

echo "== Two clean builds of $(git -C "$source_dir" rev-parse --short HEAD)"
build_clone "$work/a"
(umask 077 && build_clone "$work/second-clone-in-a-longer-folder-name")
first="$work/a/build/windows"
second="$work/second-clone-in-a-longer-folder-name/build/windows"
for artifact in "${artifacts[@]}"; do
    cmp "$first/$artifact" "$second/$artifact"
done
(cd "$first" && sha256sum --check --quiet SHA256SUMS)
echo "The builds are identical, and SHA256SUMS matches them."

echo "== Signed with a throwaway certificate"
certificate="$work/certificate"
mkdir "$certificate"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Corvane test signer" \
    -addext extendedKeyUsage=codeSigning -keyout "$certificate/key.pem" \
    -out "$certificate/cert.pem" 2>/dev/null
openssl pkcs12 -export -inkey "$certificate/key.pem" -in "$certificate/cert.pem" \
    -passout pass:throwaway -out "$certificate/signer.p12"
unsigned="$work/unsigned"
mkdir "$unsigned"
cp "$first/corvane.exe" "$unsigned/"
export CORVANE_SIGNING_PKCS12="$certificate/signer.p12" CORVANE_SIGNING_PASSWORD=throwaway
make -s -C "$work/a" package

verify() {
    osslsigncode verify -CAfile "$certificate/cert.pem" -in "$1" >"$work/verify.txt"
    grep -q "Signature verification: ok" "$work/verify.txt" || { cat "$work/verify.txt"; exit 1; }
}
verify "$first/corvane.exe"
osslsigncode remove-signature -in "$first/corvane.exe" -out "$work/stripped.exe" >/dev/null
cmp "$work/stripped.exe" "$unsigned/corvane.exe"
# The signed installer holds the signed program and uninstaller, so the
# unsigned installer it must be is built here around those. Compared
# signed, since remove-signature leaves the checksum and padding it added.
verify "$first/corvane-$version-install.exe"
export SOURCE_DATE_EPOCH
SOURCE_DATE_EPOCH=$(git -C "$work/a" log -1 --format=%ct)
"$work/a/scripts/make-installer.sh" "$version" "$first/corvane.exe" "$first/resources/app.ico" "$work/install.exe"
"$work/a/scripts/sign.sh" "$work/install.exe"
cmp "$work/install.exe" "$first/corvane-$version-install.exe"
unset CORVANE_SIGNING_PKCS12 CORVANE_SIGNING_PASSWORD
python3 -c 'import sys, zipfile; sys.exit(zipfile.ZipFile(sys.argv[1]).read("corvane.exe") != open(sys.argv[2], "rb").read())' \
    "$first/corvane-$version.zip" "$first/corvane.exe" || { echo "the zip does not hold the signed program" >&2; exit 1; }
(cd "$first" && sha256sum --check --quiet SHA256SUMS)
echo "The signatures verify; the program and the installer are the unsigned builds with a signature added."

# It starts: its status window comes up, and Exit ends it.
use_wine_prefix "$WINEPREFIX"
start_private_display 800x600
mkdir "$work/run"
cd "$work/run"
wine explorer /desktop=corvane-release,800x600 "$first/corvane.exe" &
program_pid=$!
wine explorer /desktop=corvane-release,800x600 "$first/tests/e2e/corvane-driver.exe" exit "$(winepath -w "$work/run/done.txt")"
for _ in $(seq 300); do
    [ -s done.txt ] && break
    sleep 0.1
done
wait "$program_pid"
[ "$(cat done.txt 2>/dev/null)" = ok ] || { echo "the signed program did not start and exit" >&2; exit 1; }
echo "The signed program starts under Wine."

installed="$work/installed"
wine "$first/corvane-$version-install.exe" /S "/D=$(winepath -w "$installed")"
cmp "$installed/corvane.exe" "$first/corvane.exe"
verify "$installed/uninstall.exe"
wine "$installed/uninstall.exe" /S "_?=$(winepath -w "$installed")"
[ ! -e "$installed/corvane.exe" ] || { echo "the signed uninstaller left the program" >&2; exit 1; }
echo "The signed installer installs the signed program with a signed uninstaller, which uninstalls."
