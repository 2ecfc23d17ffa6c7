#!/usr/bin/env bash
# The release as users get it, built by make package from clean clones of
# the source's commit:
# - two clones in folders of different lengths, built one after the other
#   with different umasks, give the same bytes, and SHA256SUMS matches them;
# - signed with a throwaway self-signed certificate, the program verifies,
#   is the unsigned build byte for byte once the signature is removed, and
#   imports only KnownDLLs and stays under 40 KB; the installer verifies,
#   and is the same script's build around the signed program with only its
#   signature added;
# - the Windows build under test (PROGRAM and DRIVER, its corvane.exe and
#   corvane-driver.exe), signed alike, starts under Wine, and an installer
#   from the same script around it, with that build's NSIS_TARGET stub,
#   installs it with a signed uninstaller, which uninstalls. On the i686
#   build that is the release's own program; where Wine runs the x86_64
#   build, the i686 release is built and checked above but not run.
# Usage: release_test.sh SOURCE_DIR WORK_DIR VERSION PROGRAM DRIVER NSIS_TARGET
#   (WINEPREFIX set)
set -euo pipefail
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

imports=$(i686-w64-mingw32-objdump -p "$first/corvane.exe" | sed -n 's/^\s*DLL Name: //p' | sort -f | xargs)
[ "$imports" = "GDI32.dll KERNEL32.dll msvcrt.dll SHELL32.dll USER32.dll" ] ||
    { echo "corvane.exe imports $imports" >&2; exit 1; }
size=$(stat -c %s "$first/corvane.exe")
[ "$size" -lt 40960 ] || { echo "corvane.exe is $size bytes" >&2; exit 1; }
echo "corvane.exe is $size bytes and imports only $imports."

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
"$work/a/scripts/make-installer.sh" "$first" "$first/corvane.exe" "$work/install.exe"
"$work/a/scripts/sign.sh" "$work/install.exe"
cmp "$work/install.exe" "$first/corvane-$version-install.exe"
python3 -c 'import sys, zipfile; sys.exit(zipfile.ZipFile(sys.argv[1]).read("corvane.exe") != open(sys.argv[2], "rb").read())' \
    "$first/corvane-$version.zip" "$first/corvane.exe" || { echo "the zip does not hold the signed program" >&2; exit 1; }
(cd "$first" && sha256sum --check --quiet SHA256SUMS)
echo "The signatures verify; the program and the installer are the unsigned builds with a signature added."

echo "== The build under test, signed, under Wine"
tested="$work/tested"
mkdir "$tested"
cp "$program_under_test" "$tested/corvane.exe"
"$work/a/scripts/sign.sh" "$tested/corvane.exe"
if cmp -s "$tested/corvane.exe" "$first/corvane.exe"; then
    echo "It is the signed release's program byte for byte."
else
    echo "It is not the release's i686 program: that was built and checked above, not run."
fi
"$work/a/scripts/make-installer.sh" "$first" "$tested/corvane.exe" "$tested/install.exe" "$nsis_target"
"$work/a/scripts/sign.sh" "$tested/install.exe"
unset CORVANE_SIGNING_PKCS12 CORVANE_SIGNING_PASSWORD
verify "$tested/corvane.exe"
verify "$tested/install.exe"

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
wine "$installed/uninstall.exe" /S "_?=$(winepath -w "$installed")"
[ ! -e "$installed/corvane.exe" ] || { echo "the signed uninstaller left the program" >&2; exit 1; }
echo "The signed installer installs the signed program with a signed uninstaller, which uninstalls."
