#!/usr/bin/env bash
# Runs one Windows program under Wine and passes on its exit code. The Wine
# prefix is the caller's (a folder in the build tree); a private X server
# stands in when there is no display; the Wine server and the X server are
# shut down when the program ends, whatever happens.
set -euo pipefail
source "$(dirname "$0")/../scripts/wine-session.sh"

: "${WINEPREFIX:?WINEPREFIX must name a folder inside the build tree}"
use_wine_prefix "$WINEPREFIX"
trap end_wine_session EXIT
start_private_display 1024x768
# The DPI that a user's display scaling sets, where a test asks for one.
if [ -n "${CORVANE_WINE_DPI:-}" ]; then
    wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$CORVANE_WINE_DPI" /f >/dev/null
fi
# A program the test starts beside itself is handed over as a Windows path.
export_windows_paths CORVANE_BARE_TRAY_EXE

wine "$@"
