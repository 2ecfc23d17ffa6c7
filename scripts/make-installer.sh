#!/usr/bin/env bash
# Builds Corvane's installer from package/corvane.nsi around one program:
# the shipped corvane.exe for the release, the scripted build for the tests.
# makensis's warnings are errors. With a certificate (see sign.sh) the
# uninstaller is signed as makensis writes it; the installer itself is
# signed by the caller.
# TARGET is NSIS's stub: x86-unicode, the release's, unless told otherwise;
# amd64-unicode for the tests of the x86_64 build.
# Usage: make-installer.sh VERSION PROGRAM ICON OUTFILE [TARGET]
set -euo pipefail

source_dir=$(cd "$(dirname "$0")/.." && pwd)
sign_uninstaller=()
[ -z "${CORVANE_SIGNING_PKCS12:-}" ] || sign_uninstaller=("-DSIGN=$source_dir/scripts/sign.sh")
makensis -V2 -WX "-XTarget ${5:-x86-unicode}" -DVERSION="$1" -DPROGRAM="$(realpath "$2")" -DICON="$(realpath "$3")" \
    -DOUTFILE="$(realpath "$4")" "${sign_uninstaller[@]}" "$source_dir/package/corvane.nsi"
