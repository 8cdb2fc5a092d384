#!/bin/sh
# Runs every test: the native ctest tree and the Windows trees (64-bit, 32-bit) under
# Wine, all side by side: the Windows tests mostly wait on Wine and on the program, so
# together they take little longer than the longest tree alone. Each Windows tree has
# its own X display and one fresh Wine prefix. Each tree's lines are marked with its name.
# Where the kernel cannot run 32-bit programs the 32-bit tree is skipped, loudly, unless
# KELVARIN_REQUIRE_32BIT=1 makes that a failure. The short soak runs in one Windows tree:
# the 32-bit one (the product's bitness) where it runs, else the 64-bit one; the short
# power-cut check runs in the 64-bit tree.
# Each part's time goes to TIMES (see timed.sh), and the whole list is printed at the end.
# Usage: run-tests.sh TIMES NATIVE_DIR WIN64_DIR WIN32_DIR
set -e
here=$(cd "$(dirname "$0")" && pwd)
times=$1
native=$(cd "$2" && pwd)
win64=$(cd "$3" && pwd)
win32=$(cd "$4" && pwd)

print_times() {
    echo "run-tests: how long each part took:"
    [ -f "$times" ] && sed 's/^/  /' "$times"
}
trap print_times EXIT

run_native_tree() {
    "$here/timed.sh" "$times" "tests native" ctest --test-dir "$native" --output-on-failure -j 2
}

run_windows_tree() {
    win=$1
    shift
    displayfile=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$displayfile" 2>/dev/null &
    xvfb=$!
    while [ ! -s "$displayfile" ]; do sleep 0.1; done
    export DISPLAY=":$(cat "$displayfile")"
    rm -f "$displayfile"
    export WINEPREFIX="$win/wineprefix-test"
    rm -rf "$WINEPREFIX" "$WINEPREFIX.lock"
    # Create the prefix once, before tests start in parallel, and keep its Wine server and
    # the services it starts up to the end: started by a test, they would keep that test's
    # output pipe open, and ctest would wait for it as long as any other test runs.
    "$here/wine-run.sh" cmd /c exit 0 >/dev/null 2>&1 || true
    wineserver -w
    wineserver -p >/dev/null 2>&1
    "$here/wine-run.sh" cmd /c exit 0 >/dev/null 2>&1 || true
    status=0
    "$here/timed.sh" "$times" "tests $(basename "$win")" \
        ctest --test-dir "$win" --output-on-failure -j 2 "$@" || status=$?
    wineserver -k 2>/dev/null || true
    kill "$xvfb" 2>/dev/null || true
    return "$status"
}

trees="$native $win64"
win64_exclude=""
if "$here/runs-32bit.sh"; then
    trees="$trees $win32"
    win64_exclude="-E ^soak_short$"
else
    message="32-bit Windows tests NOT RUN: this machine cannot run 32-bit programs (wine32:i386 missing, or a kernel with ia32_emulation off)"
    if [ "${KELVARIN_REQUIRE_32BIT:-0}" = 1 ]; then
        echo "run-tests: FAILED: $message" >&2
        exit 1
    fi
    echo "run-tests: *** $message ***" >&2
    "$here/timed.sh" "$times" "tests win32 (no Wine)" \
        ctest --test-dir "$win32" --output-on-failure -L no-wine
fi

# The Wine prefixes and the soak's and crash check's files take about 2 GB: a full disk
# shows in the log as the first thing to look at.
echo "run-tests: $(df -Ph "$win64" | awk 'NR == 2 { print $4 }') free for the build trees"

# Each tree's exit status goes to its file test-status.
pids=""
for tree in $trees; do
    name=$(basename "$tree")
    rm -f "$tree/test-status"
    run=run_windows_tree
    extra=""
    [ "$tree" = "$native" ] && run=run_native_tree
    [ "$tree" = "$win64" ] && extra=$win64_exclude
    { { status=0; $run "$tree" $extra || status=$?; echo "$status" > "$tree/test-status"; } 2>&1 |
        sed -u "s/^/[$name] /"; } &
    pids="$pids $!"
done
wait $pids
failed=""
for tree in $trees; do
    [ "$(cat "$tree/test-status" 2>/dev/null)" = 0 ] || failed="$failed $(basename "$tree")"
done
[ -z "$failed" ] || { echo "run-tests: tests failed in:$failed" >&2; exit 1; }
