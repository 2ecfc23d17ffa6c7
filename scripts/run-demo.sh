#!/usr/bin/env bash
# Plays a whole discharge on corvane-scripted.exe in a Wine desktop with a
# task bar, in about two minutes, and saves a picture of each moment worth
# seeing as PNG in BUILD_DIR/demo/. With a display the desktop opens on it;
# without one it runs on a private X server.
# Usage: run-demo.sh BUILD_DIR
set -euo pipefail
source "$(dirname "$0")/wine-session.sh"

build=$(realpath "$1")
driver="$build/tests/demo/corvane-demo.exe"
program="$build/shell/corvane-scripted.exe"
pictures="$build/demo"

use_wine_prefix "$build/wineprefix-demo"
trap end_wine_session EXIT
rm -rf "$pictures"
mkdir -p "$pictures"
# The driver saves its pictures, and the program its state, in the working folder.
cd "$pictures"
[ -n "${DISPLAY:-}" ] || echo "No display: playing the demo on a private X server"
start_private_display 800x600

# The driver is the desktop's first program, so this waits until it is done;
# its result comes back through a file, as the desktop does not pass it on.
done_file="$pictures/driver-done.txt"
wine explorer /desktop=CorvaneDemo,800x600 "$driver" "$(winepath -w "$program")" "$(winepath -w "$done_file")"
[ "$(cat "$done_file" 2>/dev/null)" = ok ] || { echo "the demo did not play to its end" >&2; exit 1; }
rm -f "$done_file"

for bitmap in *.bmp; do
    convert "$bitmap" -strip "${bitmap%.bmp}.png"
    rm "$bitmap"
done
echo "$(ls ./*.png | wc -l) pictures in $pictures"
