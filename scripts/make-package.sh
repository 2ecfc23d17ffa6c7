#!/usr/bin/env bash
# Builds what a Windows user downloads, into BUILD_DIR: corvane.exe, the
# installer, the zip (the program and a short text for users, with Windows
# line endings), and SHA256SUMS for all three. Two clean builds of one commit
# give the same bytes: the program carries no time stamp, the installer only
# its NSIS stub's fixed one, and every other one is the commit's
# (SOURCE_DATE_EPOCH, from git unless it is set).
# Given a code-signing certificate, a PKCS#12 file in CORVANE_SIGNING_PKCS12
# and its password in CORVANE_SIGNING_PASSWORD, the program is signed with
# Authenticode before it is packed, and so are the uninstaller and the
# installer; CORVANE_SIGNING_TIMESTAMP_URL names a time-stamp server, if one
# can be reached. Without a certificate the release is unsigned, and this
# says so.
# Usage: make-package.sh BUILD_DIR   (corvane.exe built in it)
set -euo pipefail

build=$(realpath "$1")
source_dir=$(cd "$(dirname "$0")/.." && pwd)
version=$(sed -n 's/^project(Corvane VERSION \([0-9.]*\).*/\1/p' "$source_dir/CMakeLists.txt")
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$source_dir" log -1 --format=%ct)}
export SOURCE_DATE_EPOCH
staging=$(mktemp -d)
trap 'rm -rf "$staging"' EXIT
sign="$source_dir/scripts/sign.sh"

program="$build/corvane.exe"
installer="$build/corvane-$version-install.exe"
package="$build/corvane-$version.zip"
cp "$build/shell/corvane.exe" "$program"
"$sign" "$program"
"$source_dir/scripts/make-installer.sh" "$version" "$program" "$build/resources/app.ico" "$installer"
"$sign" "$installer"
sed 's/$/\r/' "$source_dir/package/README.txt" >"$staging/README.txt"
rm -f "$package"
"$source_dir/scripts/reproducible-zip.py" "$package" "$program" "$staging/README.txt"
(cd "$build" && sha256sum "$(basename "$program")" "$(basename "$installer")" "$(basename "$package")" >SHA256SUMS)

if [ -n "${CORVANE_SIGNING_PKCS12:-}" ]; then
    echo "Signed with the certificate in $CORVANE_SIGNING_PKCS12."
else
    echo "Unsigned: set CORVANE_SIGNING_PKCS12 and CORVANE_SIGNING_PASSWORD to sign the release."
fi
echo "Release in $build: corvane.exe, $(basename "$installer"), $(basename "$package"), SHA256SUMS"
