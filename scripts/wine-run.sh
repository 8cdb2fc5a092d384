#!/bin/sh
# Runs one Windows program under Wine: the ctest emulator and the demo's launcher.
# All programs of one test run share one Wine prefix (created on first use) and one
# X display; without a display Wine hangs on window creation, so one is started here
# when the caller has none.
set -e
here=$(cd "$(dirname "$0")" && pwd)
export WINEPREFIX="${WINEPREFIX:-$here/../build/wineprefix-test}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
export WINEARCH=win64

if [ -z "$DISPLAY" ]; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi

mkdir -p "$WINEPREFIX"
(
    flock 9
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        wine wineboot -i >/dev/null 2>&1
        wineserver -w
    fi
    # Debian's Wine 8 does not find its own fonts (Courier, MS Sans Serif, System...)
    # in its data directory; give the prefix them in C:\windows\Fonts, as on Windows.
    fonts="$WINEPREFIX/drive_c/windows/Fonts"
    if [ -d /usr/share/wine/fonts ] && [ -d "$fonts" ] && [ ! -f "$fonts/coure.fon" ]; then
        cp /usr/share/wine/fonts/* "$fonts/"
    fi
) 9>"$WINEPREFIX.lock"

exec wine "$@"
