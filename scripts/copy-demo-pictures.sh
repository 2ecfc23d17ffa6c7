#!/usr/bin/env bash
# Copies the pictures that the README shows from the last make demo into
# docs/, as demo-NAME.png, and the discharge chart with its data as they are.
# Usage: copy-demo-pictures.sh [BUILD_DIR]   (default build/windows)
set -euo pipefail
cd "$(dirname "$0")/.."

pictures="${1:-build/windows}/demo"
for name in engaged-100 discharge-68 dark-mode countdown-12 warning-10-minutes warning-1-minute \
    after-the-end notice tray-menu about tray-icons; do
    cp "$pictures/$name.png" "docs/demo-$name.png"
done
cp "$pictures/discharge-chart.csv" "$pictures/discharge-chart.png" docs/
echo "Copied the README's pictures from $pictures into docs/"
