#!/bin/sh
# The power-cut check of a real job (crash_check.py): records a job of the tree's setup
# under strace, with our imaging control and with the vendor-built one, and checks every
# state a crash during it can leave.
# Usage: bench/crashcheck/crashcheck.sh WIN_BUILD_DIR NATIVE_BUILD_DIR WORK_DIR [--short]
#        [--control=ours|vendor]
# WORK_DIR gets the prefixes (laid out afresh) and the traces, under ours/ and vendor/.
set -e
if [ $# -lt 3 ]; then
    echo "usage: $0 WIN_BUILD_DIR NATIVE_BUILD_DIR WORK_DIR [--short] [--control=ours|vendor]" >&2
    exit 2
fi
here=$(cd "$(dirname "$0")" && pwd)
if [ -z "$DISPLAY" ]; then
    exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi
export PYTHONPATH="$here/../soak${PYTHONPATH:+:$PYTHONPATH}" PYTHONDONTWRITEBYTECODE=1
exec python3 "$here/crash_check.py" "$@"
