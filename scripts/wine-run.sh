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
# Every new prefix is a copy of this one, laid out once by wineboot (about 25 s).
template="$here/../build/wineprefix-template"

if [ -z "$DISPLAY" ]; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi

# Succeeds when the prefix $1 was laid out by this Wine and this loader. One made before
# wine32 was installed (or could run) has no 32-bit system (syswow64) and fails with
# "could not load kernel32.dll"; one made by a 32-bit-only Wine cannot run 64-bit
# programs; one made by another version of Wine would be updated in place at its first
# start (Wine's own rule: the time of its wine.inf), and a copy's program files are the
# template's. The mark .made-with-wine32 keeps an unexpected layout from being redone
# every call.
made_by_this_wine() {
    [ -f "$1/system.reg" ] && ! grep -q '^#arch=win32' "$1/system.reg" &&
        [ "$(tr -d '\r' 2>/dev/null <"$1/.update-timestamp")" = "$(stat -c %Y /usr/share/wine/wine.inf)" ] &&
        { [ -f "$1/.made-with-wine32" ] || [ -f "$1/drive_c/windows/syswow64/kernel32.dll" ] ||
          ! "$here/runs-32bit.sh"; }
}

make_template() {
    rm -rf "$template"
    mkdir -p "$template"
    WINEPREFIX="$template" "$loader" wineboot -i >/dev/null 2>&1
    WINEPREFIX="$template" wineserver -w
    if "$here/runs-32bit.sh"; then touch "$template/.made-with-wine32"; fi
    # Debian's Wine 8 does not find its own fonts (Courier, MS Sans Serif, System...)
    # in its data directory; give the prefix them in C:\windows\Fonts, as on Windows.
    if [ -d /usr/share/wine/fonts ]; then
        cp /usr/share/wine/fonts/* "$template/drive_c/windows/Fonts/"
    fi
}

# Lays out the prefix as a copy of the template. Wine only reads its program files (1.2
# of a prefix's 1.3 GB), so the copy shares them with the template by hard links where
# the two lie on one file system (else it copies them too); everything else (the
# registry, win.ini, the user's folders) is the prefix's own.
copy_template() {
    cp -al "$template/." "$WINEPREFIX/" 2>/dev/null ||
        cp -a --remove-destination "$template/." "$WINEPREFIX/"
    find "$WINEPREFIX" -type f ! \( -iname '*.dll' -o -iname '*.exe' -o -iname '*.drv' \
        -o -iname '*.sys' -o -iname '*.ocx' -o -iname '*.acm' -o -iname '*.cpl' \
        -o -iname '*.ax' -o -iname '*.tlb' -o -iname '*.nls' \) \
        -exec sh -c 'for f; do cp -p "$f" "$f.own" && mv -f "$f.own" "$f" || exit 1; done' sh {} +
    # It names the template's own Wine server directory.
    rm -f "$WINEPREFIX/wineserver"
}

mkdir -p "$WINEPREFIX"
(
    flock 9
    if [ -f "$WINEPREFIX/system.reg" ] && ! made_by_this_wine "$WINEPREFIX"; then
        echo "wine-run: $WINEPREFIX was made by another Wine or loader; laying it out again" >&2
        wineserver -k 2>/dev/null || true
        find "$WINEPREFIX" -mindepth 1 -delete
    fi
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        (
            flock 8
            made_by_this_wine "$template" || make_template
            copy_template
        ) 8>"$template.lock"
    fi
) 9>"$WINEPREFIX.lock"

exec "$loader" "$@"
