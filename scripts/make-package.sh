#!/usr/bin/env bash
# Builds what a Windows user downloads, into BUILD_DIR: corvane.exe, the
# installer, the zip (the program, a short text for users, the licence and
# the third-party notices, with Windows line endings), a bill of materials
# (SPDX 2.3 JSON) and SHA256SUMS for all four; and, in BUILD_DIR/winget, the
# winget manifests of the installer. Two clean builds of one commit give the
# same bytes: the program carries no time stamp, the installer only its NSIS
# stub's fixed one, and every other one is the commit's (SOURCE_DATE_EPOCH,
# from git unless it is set).
# With a signing key (see sign.sh: a key on a PKCS#11 token, or a PKCS#12
# file, and a time-stamp server), the program is signed before it is packed,
# and so are the NSIS plug-ins, the uninstaller and the installer. Without
# one the release is unsigned, and this says so.
# The winget manifest and the bill of materials give each file's address as
# CORVANE_DOWNLOAD_URL/NAME; by default the address of the version's
# release on GitHub, set below.
# Usage: make-package.sh BUILD_DIR   (corvane.exe built in it)
set -euo pipefail

build=$(realpath "$1")
source_dir=$(cd "$(dirname "$0")/.." && pwd)
release="$build/package/release.json"
version=$(python3 -c 'import json, sys; print(json.load(open(sys.argv[1]))["version"])' "$release")
download_url=${CORVANE_DOWNLOAD_URL:-https://github.com/corvane/corvane/releases/download/v$version}
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$source_dir" log -1 --format=%ct)}
export SOURCE_DATE_EPOCH
sign="$source_dir/scripts/sign.sh"

program="$build/corvane.exe"
installer="$build/corvane-$version-install.exe"
package="$build/corvane-$version.zip"
sbom="$build/corvane-$version.spdx.json"
outputs=("$program" "$installer" "$package" "$sbom" "$build/SHA256SUMS" "$build/winget")
# A build that stops half-way leaves no release: neither an older one nor
# a part of this one.
rm -rf "${outputs[@]}"
trap 'rm -rf "${outputs[@]}"' EXIT
cp "$build/shell/corvane.exe" "$program"
"$sign" "$program"
"$source_dir/scripts/make-installer.sh" "$build" "$program" "$installer"
"$sign" "$installer"
"$source_dir/scripts/reproducible-zip.py" "$package" "$program" \
    "$build/package/README.txt" "$build/package/LICENSE.txt" "$build/package/THIRD-PARTY-NOTICES.txt"
"$source_dir/scripts/make-sbom.py" "$release" "$download_url" "$program" "$installer" "$package" >"$sbom"
(cd "$build" && sha256sum "$(basename "$program")" "$(basename "$installer")" "$(basename "$package")" \
    "$(basename "$sbom")" >SHA256SUMS)
"$source_dir/scripts/make-winget-manifests.py" "$release" "$download_url" "$installer" "$build/winget"
trap - EXIT

if [ -n "${CORVANE_SIGNING_PKCS11_KEY:-}" ]; then
    echo "Signed with the key on the PKCS#11 token."
elif [ -n "${CORVANE_SIGNING_PKCS12:-}" ]; then
    echo "Signed with the key in $CORVANE_SIGNING_PKCS12."
else
    echo "Unsigned: see scripts/sign.sh for the variables that sign the release."
fi
echo "Release in $build: corvane.exe, $(basename "$installer"), $(basename "$package"), $(basename "$sbom"), SHA256SUMS, winget/"
