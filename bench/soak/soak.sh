#!/bin/sh
# The soak: SOAK_JOBS seeded print jobs (default 200, seed SOAK_SEED) through the
# installed program in a fresh Wine prefix, with faults, then the account of every page.
# Needs root for the small disk (a size-limited tmpfs, drive S: in the prefix).
# Usage: bench/soak/soak.sh WIN_BUILD_DIR [WORK_DIR]   (WORK_DIR: WIN_BUILD_DIR/soak)
set -e
here=$(cd "$(dirname "$0")" && pwd)
win=$(cd "$1" && pwd)
work=${2:-$win/soak}
if [ -z "$DISPLAY" ]; then
    exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$win" "$work"
fi
mkdir -p "$work/small-disk"
work=$(cd "$work" && pwd)
mountpoint -q "$work/small-disk" && umount "$work/small-disk"
mount -t tmpfs -o size=1m,mode=0777 kelvarin-soak-disk "$work/small-disk"
cleanup() {
    WINEPREFIX="$work/prefix" wineserver -k 2>/dev/null || true
    umount "$work/small-disk" 2>/dev/null || true
}
trap cleanup EXIT INT TERM
python3 "$here/soak.py" "$win" "$work"
