#!/bin/sh
# Runs every test: the native ctest tree, then each Windows tree (64-bit, 32-bit) under
# Wine. One X display serves the whole run; each Windows tree gets one fresh Wine prefix.
# Where the kernel cannot run 32-bit programs the 32-bit tree is skipped, loudly, unless
# KELVARIN_REQUIRE_32BIT=1 (CI) makes that a failure.
# Usage: run-tests.sh NATIVE_DIR WIN64_DIR WIN32_DIR
set -e
here=$(cd "$(dirname "$0")" && pwd)
native=$(cd "$1" && pwd)
win64=$(cd "$2" && pwd)
win32=$(cd "$3" && pwd)

ctest --test-dir "$native" --output-on-failure -j 2

displayfile=$(mktemp)
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$displayfile" 2>/dev/null &
xvfb=$!
while [ ! -s "$displayfile" ]; do sleep 0.1; done
export DISPLAY=":$(cat "$displayfile")"
rm -f "$displayfile"
cleanup() {
    WINEPREFIX="$WINEPREFIX" wineserver -k 2>/dev/null || true
    kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT INT TERM

for win in "$win64" "$win32"; do
    if [ "$win" = "$win32" ] && ! "$here/runs-32bit.sh"; then
        message="32-bit Windows tests NOT RUN: this machine cannot run 32-bit programs (wine32:i386 missing, or a kernel with ia32_emulation off)"
        if [ "${KELVARIN_REQUIRE_32BIT:-0}" = 1 ]; then
            echo "run-tests: FAILED: $message" >&2
            exit 1
        fi
        echo "run-tests: *** $message ***" >&2
        ctest --test-dir "$win" --output-on-failure -L no-wine
        continue
    fi
    export WINEPREFIX="$win/wineprefix-test"
    rm -rf "$WINEPREFIX" "$WINEPREFIX.lock"
    # Create the prefix once, before tests start in parallel.
    "$here/wine-run.sh" cmd /c exit 0 >/dev/null 2>&1 || true
    ctest --test-dir "$win" --output-on-failure -j 2
    wineserver -k 2>/dev/null || true
done
