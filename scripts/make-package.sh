#!/usr/bin/env bash
# Builds what a Windows user downloads, into BUILD_DIR: corvane.exe, the
# installer, the zip (the program, a short text for users, the licence and
# the third-party notices, with Windows line endings) and SHA256SUMS for
# all three. Two clean builds of one commit give the
# same bytes: the program carries no time stamp, the installer only its NSIS
# stub's fixed one, and every other one is the commit's (SOURCE_DATE_EPOCH,
# from git unless it is set).
# With a signing key (see sign.sh: a key on a PKCS#11 token, or a PKCS#12
# file, and a time-stamp server), the program is signed before it is packed,
# and so are the NSIS plug-ins, the uninstaller and the installer. Without
# one the release is unsigned, and this says so.
# Usage: make-package.sh BUILD_DIR   (corvane.exe built in it)
set -euo pipefail

build=$(realpath "$1")
source_dir=$(cd "$(dirname "$0")/.." && pwd)
release="$build/package/release.json"
version=$(python3 -c 'import json, sys; print(json.load(open(sys.argv[1]))["version"])' "$release")
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$source_dir" log -1 --format=%ct)}
export SOURCE_DATE_EPOCH
sign="$source_dir/scripts/sign.sh"

program="$build/corvane.exe"
installer="$build/corvane-$version-install.exe"
package="$build/corvane-$version.zip"
cp "$build/shell/corvane.exe" "$program"
"$sign" "$program"
"$source_dir/scripts/make-installer.sh" "$build" "$program" "$installer"
"$sign" "$installer"
rm -f "$package"
"$source_dir/scripts/reproducible-zip.py" "$package" "$program" \
    "$build/package/README.txt" "$build/package/LICENSE.txt" "$build/package/THIRD-PARTY-NOTICES.txt"
(cd "$build" && sha256sum "$(basename "$program")" "$(basename "$installer")" "$(basename "$package")" >SHA256SUMS)

if [ -n "${CORVANE_SIGNING_PKCS11_KEY:-}" ]; then
    echo "Signed with the key on the PKCS#11 token."
elif [ -n "${CORVANE_SIGNING_PKCS12:-}" ]; then
    echo "Signed with the key in $CORVANE_SIGNING_PKCS12."
else
    echo "Unsigned: see scripts/sign.sh for the variables that sign the release."
fi
echo "Release in $build: corvane.exe, $(basename "$installer"), $(basename "$package"), SHA256SUMS"
