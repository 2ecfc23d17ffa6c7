# Sourced by the scripts that run Windows programs under Wine.
#   use_wine_prefix DIR           a quiet Wine (no debug output, no Mono or
#                                 Gecko installer prompts) in that prefix,
#                                 which makes no desktop menu entries on
#                                 this machine for the shortcuts it gets
#   export_windows_paths VAR...   turns each variable that is set from a
#                                 Linux path into the Windows path of it
#   start_private_display WxH     without a display, an Xvfb of that size on
#                                 a free display number, exported as DISPLAY
#   end_wine_session              ends the prefix's Wine server and that Xvfb;
#                                 callers run it from their EXIT trap
#   wine, winepath                as the commands, with the loader this
#                                 machine can run; "${wine_command[@]}" is
#                                 wine for commands that run another, such
#                                 as timeout

wine_session_xvfb_pid=
wine_session_display_file=

# Debian's wine command, and winepath through it, take the 32-bit loader
# whenever wine32 is installed, even where the kernel cannot run it ("Exec
# format error"). There both go to the 64-bit loader, which runs the x86_64
# build.
wine_command=(wine)
if [ -x /usr/lib/wine/wine ] && [ -x /usr/lib/wine/wine64 ] &&
    ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
    wine_command=(env WINELOADER=/usr/lib/wine/wine64 /usr/lib/wine/wine64)
    wine() { "${wine_command[@]}" "$@"; }
    winepath() { wine winepath.exe "$@"; }
fi

use_wine_prefix() {
    export WINEPREFIX="$1" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
}

export_windows_paths() {
    local variable
    for variable in "$@"; do
        if [ -n "${!variable:-}" ]; then export "$variable=$(winepath -w "${!variable}")"; fi
    done
}

start_private_display() {
    [ -z "${DISPLAY:-}" ] || return 0
    wine_session_display_file=$(mktemp)
    Xvfb -displayfd 3 -screen 0 "$1x24" -nolisten tcp 3>"$wine_session_display_file" 2>/dev/null &
    wine_session_xvfb_pid=$!
    local _
    for _ in $(seq 100); do
        [ -s "$wine_session_display_file" ] && break
        sleep 0.05
    done
    [ -s "$wine_session_display_file" ] || { echo "Xvfb did not start" >&2; return 1; }
    export DISPLAY=":$(head -n 1 "$wine_session_display_file")"
}

end_wine_session() {
    wineserver -k 2>/dev/null || true
    if [ -n "$wine_session_xvfb_pid" ]; then kill "$wine_session_xvfb_pid" 2>/dev/null || true; fi
    if [ -n "$wine_session_display_file" ]; then rm -f "$wine_session_display_file"; fi
    wine_session_xvfb_pid=
}
