#!/usr/bin/env bash
# Builds the zip a Windows user downloads: corvane.exe and a short text on
# installing and using it, with Windows line endings.
# Usage: make-package.sh BUILD_DIR
set -euo pipefail

build=$(realpath "$1")
source_dir=$(cd "$(dirname "$0")/.." && pwd)
staging=$(mktemp -d)
trap 'rm -rf "$staging"' EXIT

cp "$build/shell/corvane.exe" "$staging/"
sed 's/$/\r/' "$source_dir/package/README.txt" >"$staging/README.txt"
package="$build/corvane-1.0.1.zip"
rm -f "$package"
(cd "$staging" && cmake -E tar cf "$package" --format=zip corvane.exe README.txt)
echo "Package: $package ($(stat -c %s "$package") bytes)"
