#!/bin/sh
# Runs every test: the native ctest tree, then the Windows tree under Wine. One X
# display and one fresh Wine prefix serve the whole run.
set -e
native=$(cd "$1" && pwd)
win=$(cd "$2" && pwd)

ctest --test-dir "$native" --output-on-failure -j 2

export WINEPREFIX="$win/wineprefix-test"
rm -rf "$WINEPREFIX" "$WINEPREFIX.lock"

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

# Create the prefix once, before tests start in parallel.
"$(dirname "$0")/wine-run.sh" cmd /c exit 0 >/dev/null 2>&1 || true
ctest --test-dir "$win" --output-on-failure -j 2
