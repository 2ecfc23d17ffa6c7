#!/usr/bin/env bash
# Starts corvane.exe under Wine in a desktop with a task bar, so that its
# tray icon can be seen and clicked. With a display it runs until Exit is
# chosen from the tray menu. Without one it runs on a private X server, opens
# the status window from the tray icon after the first tick, saves a
# screenshot of the desktop, prints where, and ends the program.
# Usage: run-in-wine-desktop.sh BUILD_DIR
set -euo pipefail
source "$(dirname "$0")/wine-session.sh"

build=$(realpath "$1")
program="$build/shell/corvane.exe"
driver="$build/tests/e2e/corvane-driver.exe"
desktop="/desktop=Corvane,800x600"

use_wine_prefix "$build/wineprefix-run"
trap end_wine_session EXIT
# The state file lives in the working directory.
mkdir -p "$build/run"
cd "$build/run"

if [ -n "${DISPLAY:-}" ]; then
    echo "Starting Corvane; its icon is in the tray at the bottom right. Exit it from the icon's menu."
    wine explorer "$desktop" "$program"
    exit 0
fi

screenshot="$build/corvane-screenshot.png"
start_private_display 800x600

echo "No display: running Corvane on a private X server ($DISPLAY)"
# The driver joins the running desktop, which does not wait for it; it
# reports through a file when it is done.
drive() {
    local done_file="$build/run/driver-done.txt"
    rm -f "$done_file"
    wine explorer "$desktop" "$driver" "$1" "$(winepath -w "$done_file")"
    for _ in $(seq 600); do
        [ -s "$done_file" ] && break
        sleep 0.1
    done
    [ "$(cat "$done_file" 2>/dev/null)" = ok ] || { echo "the driver could not $1 Corvane" >&2; exit 1; }
    rm -f "$done_file"
}

wine explorer "$desktop" "$program" &
program_pid=$!
drive show
sleep 1
import -window root "$screenshot"
drive exit
wait "$program_pid"
echo "Screenshot of the desktop with the status window open: $screenshot"
