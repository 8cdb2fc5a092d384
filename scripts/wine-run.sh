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

# Debian's `wine` picks the 32-bit loader once wine32 is installed; the 64-bit loader,
# named here, runs 64-bit programs itself and hands 32-bit ones to the 32-bit loader.
loader=/usr/lib/wine/wine64

if [ -z "$DISPLAY" ]; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi

mkdir -p "$WINEPREFIX"
(
    flock 9
    # A prefix made before wine32 was installed (or could run) has no 32-bit system
    # (syswow64) and fails with "could not load kernel32.dll"; one made by a 32-bit-only
    # Wine cannot run 64-bit programs. Prefixes are per run and disposable: lay such a one
    # out again, once (the mark keeps an unexpected layout from being redone every call).
    made32="$WINEPREFIX/.made-with-wine32"
    if [ -f "$WINEPREFIX/system.reg" ]; then
        if grep -q '^#arch=win32' "$WINEPREFIX/system.reg" ||
           { [ ! -f "$made32" ] && [ ! -f "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ] &&
             "$here/runs-32bit.sh"; }; then
            echo "wine-run: $WINEPREFIX was made by another Wine loader; laying it out again" >&2
            wineserver -k 2>/dev/null || true
            find "$WINEPREFIX" -mindepth 1 -delete
        fi
    fi
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        "$loader" wineboot -i >/dev/null 2>&1
        wineserver -w
        if "$here/runs-32bit.sh"; then touch "$made32"; fi
    fi
    # Debian's Wine 8 does not find its own fonts (Courier, MS Sans Serif, System...)
    # in its data directory; give the prefix them in C:\windows\Fonts, as on Windows.
    fonts="$WINEPREFIX/drive_c/windows/Fonts"
    if [ -d /usr/share/wine/fonts ] && [ -d "$fonts" ] && [ ! -f "$fonts/coure.fon" ]; then
        cp /usr/share/wine/fonts/* "$fonts/"
    fi
) 9>"$WINEPREFIX.lock"

exec "$loader" "$@"
