#!/usr/bin/env bash
# The release as users get it, built by make package from clean clones of
# the source's commit:
# - two clones in folders of different lengths, built one after the other
#   with different umasks, give the same bytes, the bill of materials and
#   the winget manifests included, and SHA256SUMS matches them;
# - signing stops without a time-stamp server unless a test allows it, and
#   a signer that fails on the uninstaller stops the release;
# - signed with a throwaway self-signed certificate whose key is on a
#   SoftHSM2 token (PKCS#11), the program verifies, is the unsigned build
#   byte for byte once the signature is removed, and imports only KnownDLLs
#   and is at most 88 KB; the installer verifies, and is the same script's
#   build around the signed program with only its signature added; the
#   plug-ins 7z extracts from it verify; the bill of materials names its
#   files with their hashes and what they are built from, and the winget
#   manifests follow winget's schema, with the installer's hash, the
#   download address and SOURCE_DATE_EPOCH's day (one long past) given;
# - the Windows build under test (PROGRAM and DRIVER, its corvane.exe and
#   corvane-driver.exe), signed alike, starts under Wine, and an installer
#   from the same script around it, with that build's NSIS_TARGET stub,
#   installs it with a signed uninstaller, which uninstalls, folder and all.
#   On the i686 build that is the release's own installer, byte for byte;
#   where Wine runs the x86_64 build, the release is checked above, not run.
# Usage: release_test.sh SOURCE_DIR WORK_DIR VERSION PROGRAM DRIVER NSIS_TARGET
#   (WINEPREFIX set)
set -euo pipefail
tests=$(cd "$(dirname "$0")" && pwd)
source "$(dirname "$0")/../../scripts/wine-session.sh"

source_dir=$(realpath "$1")
work=$2
rm -rf "$work"
mkdir -p "$work"
work=$(realpath "$work")
version=$3
program_under_test=$(realpath "$4")
driver=$(realpath "$5")
nsis_target=${6:?usage: release_test.sh SOURCE_DIR WORK_DIR VERSION PROGRAM DRIVER NSIS_TARGET}
trap end_wine_session EXIT
# This runs inside make test; the clones' make must not join its job server.
unset MAKEFLAGS MFLAGS MAKELEVEL

artifacts=(corvane.exe "corvane-$version-install.exe" "corvane-$version.zip" "corvane-$version.spdx.json" SHA256SUMS)

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
diff -r "$first/winget" "$second/winget"
(cd "$first" && sha256sum --check --quiet SHA256SUMS)
echo "The builds are identical, and SHA256SUMS matches them."

imports=$(i686-w64-mingw32-objdump -p "$first/corvane.exe" | sed -n 's/^\s*DLL Name: //p' | sort -f | xargs)
[ "$imports" = "GDI32.dll KERNEL32.dll msvcrt.dll SHELL32.dll USER32.dll" ] ||
    { echo "corvane.exe imports $imports" >&2; exit 1; }
size=$(stat -c %s "$first/corvane.exe")
[ "$size" -le 90112 ] || { echo "corvane.exe is $size bytes" >&2; exit 1; }
echo "corvane.exe is $size bytes and imports only $imports."

echo "== Signed with a throwaway key on a SoftHSM2 token"
certificate="$work/certificate"
mkdir "$certificate"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Corvane test signer" \
    -addext extendedKeyUsage=codeSigning -keyout "$certificate/key.pem" \
    -out "$certificate/cert.pem" 2>/dev/null
openssl pkcs12 -export -inkey "$certificate/key.pem" -in "$certificate/cert.pem" \
    -passout pass:throwaway -out "$certificate/signer.p12"
mkdir "$certificate/tokens"
printf 'directories.tokendir = %s\nobjectstore.backend = file\n' "$certificate/tokens" >"$certificate/softhsm2.conf"
export SOFTHSM2_CONF="$certificate/softhsm2.conf"
softhsm2-util --init-token --free --label corvane-test --pin 2468 --so-pin 1357 >/dev/null
softhsm2-util --import "$certificate/key.pem" --token corvane-test --label signer --id 01 --pin 2468 >/dev/null
unsigned="$work/unsigned"
mkdir "$unsigned"
cp "$first/corvane.exe" "$unsigned/"
export CORVANE_SIGNING_PKCS11_MODULE=/usr/lib/softhsm/libsofthsm2.so CORVANE_SIGNING_PASSWORD=2468 \
    CORVANE_SIGNING_PKCS11_KEY="pkcs11:token=corvane-test;object=signer;type=private" \
    CORVANE_SIGNING_CERTIFICATES="$certificate/cert.pem"
if "$work/a/scripts/sign.sh" "$unsigned/corvane.exe" 2>"$work/refused.txt" ||
    ! grep -q CORVANE_SIGNING_TIMESTAMP_URL "$work/refused.txt" || ! cmp -s "$unsigned/corvane.exe" "$first/corvane.exe"; then
    echo "signing without a time stamp did not stop" >&2
    exit 1
fi
export CORVANE_SIGNING_WITHOUT_TIMESTAMP_FOR_TESTS=1
# A signer that fails on the uninstaller alone, makensis's temporary file,
# stops the release with its message, and leaves none.
printf '#!/bin/sh\ncase "$1" in *.dll|*.exe) exit 0;; esac\necho "no answer from the time-stamp server" >&2\nexit 1\n' \
    >"$work/a/scripts/sign.sh"
if make -s -C "$work/a" package 2>"$work/refused.txt" || ! grep -q "no answer from the" "$work/refused.txt" ||
    [ -n "$(cd "$first" && ls -d "${artifacts[@]}" winget 2>/dev/null)" ]; then
    echo "a failed signing of the uninstaller did not stop the release" >&2
    exit 1
fi
git -C "$work/a" checkout -q scripts/sign.sh
download_url=https://downloads.test/corvane
# A day long past, so that a date taken from the clock cannot pass for it.
export SOURCE_DATE_EPOCH=1000000000
CORVANE_DOWNLOAD_URL=$download_url make -s -C "$work/a" package

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
7z x -o"$work/unpacked" "$first/corvane-$version-install.exe" >/dev/null
for plugin in "$work/unpacked/\$PLUGINSDIR/"*.dll; do
    verify "$plugin"
done
"$work/a/scripts/make-installer.sh" "$first" "$first/corvane.exe" "$work/install.exe"
"$work/a/scripts/sign.sh" "$work/install.exe"
cmp "$work/install.exe" "$first/corvane-$version-install.exe"
python3 -c 'import sys, zipfile; sys.exit(zipfile.ZipFile(sys.argv[1]).read("corvane.exe") != open(sys.argv[2], "rb").read())' \
    "$first/corvane-$version.zip" "$first/corvane.exe" || { echo "the zip does not hold the signed program" >&2; exit 1; }
(cd "$first" && sha256sum --check --quiet SHA256SUMS)
echo "The signatures verify, the plug-ins' too; the program and the installer are the unsigned builds with a signature added."
python3 "$tests/check_sbom.py" "$first" "$version" "$download_url"
python3 "$tests/check_winget_manifests.py" "$first/winget" "$first/SHA256SUMS" "$download_url" "$work/a/README.md"

echo "== The build under test, signed with the same key from a PKCS#12 file, under Wine"
unset CORVANE_SIGNING_PKCS11_KEY
export CORVANE_SIGNING_PKCS12="$certificate/signer.p12" CORVANE_SIGNING_PASSWORD=throwaway
tested="$work/tested"
mkdir "$tested"
cp "$program_under_test" "$tested/corvane.exe"
"$work/a/scripts/sign.sh" "$tested/corvane.exe"
"$work/a/scripts/make-installer.sh" "$first" "$tested/corvane.exe" "$tested/install.exe" "$nsis_target"
"$work/a/scripts/sign.sh" "$tested/install.exe"
unset CORVANE_SIGNING_PKCS12 CORVANE_SIGNING_PASSWORD CORVANE_SIGNING_WITHOUT_TIMESTAMP_FOR_TESTS
verify "$tested/corvane.exe"
verify "$tested/install.exe"
# Built for the release's processor, its installer, with the stub its toolchain names, is the release's.
pe_format() { objdump -f "$1" | sed -n 's/.*file format //p'; }
if [ "$(pe_format "$tested/corvane.exe")" = "$(pe_format "$first/corvane.exe")" ]; then
    cmp "$tested/install.exe" "$first/corvane-$version-install.exe"
    echo "It is the signed release's program, in the release's installer byte for byte."
else
    echo "It is not the release's i686 program: that was built and checked above, not run."
fi

# It starts: its status window comes up, and Exit ends it.
use_wine_prefix "$WINEPREFIX"
start_private_display 800x600
mkdir "$work/run"
cd "$work/run"
wine explorer /desktop=corvane-release,800x600 "$tested/corvane.exe" &
program_pid=$!
wine explorer /desktop=corvane-release,800x600 "$driver" exit "$(winepath -w "$work/run/done.txt")"
for _ in $(seq 300); do
    [ -s done.txt ] && break
    sleep 0.1
done
wait "$program_pid"
[ "$(cat done.txt 2>/dev/null)" = ok ] || { echo "the signed program did not start and exit" >&2; exit 1; }
echo "The signed program starts under Wine."

installed="$work/installed"
wine "$tested/install.exe" /S "/D=$(winepath -w "$installed")"
cmp "$installed/corvane.exe" "$tested/corvane.exe"
verify "$installed/uninstall.exe"
# The winget manifest's product code is the key of the uninstall entry.
product_code=$(sed -n 's/^ProductCode: "\(.*\)"$/\1/p' "$first/winget/Corvane.Corvane.installer.yaml")
wine reg query "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\${product_code:?}" >/dev/null
wine "$installed/uninstall.exe" /S "_?=$(winepath -w "$installed")"
# The folder goes last, once the uninstaller that ran from it has ended.
for _ in $(seq 100); do [ -e "$installed" ] || break; sleep 0.1; done
[ ! -e "$installed" ] || { echo "the signed uninstaller left $installed: $(ls -A "$installed")" >&2; exit 1; }
echo "The signed installer installs the signed program with a signed uninstaller, under the winget manifest's product code, and the uninstaller uninstalls."
