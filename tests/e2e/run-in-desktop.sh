#!/usr/bin/env bash
# Runs a Windows test program in a Wine desktop with a task bar and tray, so
# that the programs it starts share that desktop with it. Its output goes to
# stdout; its result comes back through a file, because the desktop does not
# pass the exit code on.
# Usage: run-in-desktop.sh TEST.exe [ARGS...]   (WINEPREFIX must be set)
set -euo pipefail

: "${WINEPREFIX:?WINEPREFIX must name a folder inside the build tree}"
export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

test_program=$1
shift
result_file=$(mktemp --tmpdir="$PWD" result.XXXXXX)
output_file=$(mktemp --tmpdir="$PWD" output.XXXXXX)
xvfb_pid=
display_file=
cleanup() {
    wineserver -k 2>/dev/null || true
    if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
    rm -f "$result_file" "$output_file" ${display_file:+"$display_file"}
}
trap cleanup EXIT

if [ -z "${DISPLAY:-}" ]; then
    display_file=$(mktemp)
    Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$display_file" 2>/dev/null &
    xvfb_pid=$!
    for _ in $(seq 100); do
        [ -s "$display_file" ] && break
        sleep 0.05
    done
    [ -s "$display_file" ] || { echo "Xvfb did not start" >&2; exit 1; }
    export DISPLAY=":$(head -n 1 "$display_file")"
fi

# The programs under test are handed over as Windows paths.
for variable in CORVANE_EXE CORVANE_SCRIPTED_EXE CORVANE_BASELINE_EXE; do
    if [ -n "${!variable:-}" ]; then export "$variable=$(winepath -w "${!variable}")"; fi
done
export CORVANE_RESULT_FILE
CORVANE_RESULT_FILE=$(winepath -w "$result_file")
: >"$result_file"

status=0
timeout 900 wine explorer "/desktop=corvane-tests,800x600" "$test_program" "$@" >"$output_file" 2>&1 || status=$?
cat "$output_file"
if [ "$status" -ne 0 ]; then echo "the Wine desktop ended with status $status" >&2; exit 1; fi
result=$(tr -d '\r\n' <"$result_file")
[ "$result" = 0 ] || { echo "test program result: ${result:-none}" >&2; exit 1; }
