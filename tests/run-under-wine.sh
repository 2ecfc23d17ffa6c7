#!/usr/bin/env bash
# Runs one Windows program under Wine and passes on its exit code. The Wine
# prefix is the caller's (a folder in the build tree); nothing prompts; a
# private X server stands in when there is no display; the Wine server and
# the X server are shut down when the program ends, whatever happens.
set -euo pipefail

: "${WINEPREFIX:?WINEPREFIX must name a folder inside the build tree}"
export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

xvfb_pid=
display_file=
cleanup() {
    wineserver -k 2>/dev/null || true
    if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
    if [ -n "$display_file" ]; then rm -f "$display_file"; fi
}
trap cleanup EXIT

if [ -z "${DISPLAY:-}" ]; then
    display_file=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$display_file" 2>/dev/null &
    xvfb_pid=$!
    for _ in $(seq 100); do
        [ -s "$display_file" ] && break
        sleep 0.05
    done
    [ -s "$display_file" ] || { echo "Xvfb did not start" >&2; exit 1; }
    export DISPLAY=":$(head -n 1 "$display_file")"
fi

wine "$@"
