#!/usr/bin/env bash
# Runs a Windows test program in a Wine desktop with a task bar and tray, so
# that the programs it starts share that desktop with it. Its output goes to
# stdout; its result comes back through a file, because the desktop does not
# pass the exit code on.
# Usage: run-in-desktop.sh TEST.exe [ARGS...]   (WINEPREFIX must be set)
set -euo pipefail
source "$(dirname "$0")/../../scripts/wine-session.sh"

: "${WINEPREFIX:?WINEPREFIX must name a folder inside the build tree}"
use_wine_prefix "$WINEPREFIX"

test_program=$1
shift
result_file=$(mktemp --tmpdir="$PWD" result.XXXXXX)
output_file=$(mktemp --tmpdir="$PWD" output.XXXXXX)
cleanup() {
    end_wine_session
    rm -f "$result_file" "$output_file"
}
trap cleanup EXIT
start_private_display 800x600

# The programs under test are handed over as Windows paths.
export_windows_paths CORVANE_EXE CORVANE_SCRIPTED_EXE CORVANE_MARKER_DLL CORVANE_POLL_TIMER_STOP_DLL CORVANE_INSTALLER
export CORVANE_RESULT_FILE
CORVANE_RESULT_FILE=$(winepath -w "$result_file")
: >"$result_file"

status=0
timeout 900 "${wine_command[@]}" explorer "/desktop=corvane-tests,800x600" "$test_program" "$@" >"$output_file" 2>&1 || status=$?
cat "$output_file"
if [ "$status" -ne 0 ]; then echo "the Wine desktop ended with status $status" >&2; exit 1; fi
result=$(tr -d '\r\n' <"$result_file")
[ "$result" = 0 ] || { echo "test program result: ${result:-none}" >&2; exit 1; }
