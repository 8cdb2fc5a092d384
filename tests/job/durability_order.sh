#!/bin/sh
# Nothing is lost or doubled when the power goes: the job is recorded first, the merge marker is on the disk before
# the first page goes in, a page is linked into the merged file only after its data is
# there, the merged file is flushed once whole, the fax's pages are recorded before it is
# handed on, and the page images are deleted only after the hand-off copy and the record
# that it went are on stable storage; the merged file after them.
# Runs one three-page job of job_tests under Wine's relay trace and reads the order of
# FlushFileBuffers, small WriteFile (a short marker line, unpositioned; a page's 4-byte
# link, positioned) and DeleteFileA calls. Usage: durability_order.sh WINE_RUN JOB_TESTS
set -e
run=$1
tests=$2
trace=$(mktemp)
trap 'rm -f "$trace"' EXIT
"$run" reg add 'HKCU\Software\Wine\Debug' /v RelayInclude \
    /d 'KERNEL32.FlushFileBuffers;KERNEL32.WriteFile;KERNEL32.DeleteFileA' /f >/dev/null 2>&1
WINEDEBUG=+relay "$run" "$tests" --gtest_filter=Merge.PagesFromFirstToTotalInOrder \
    >/dev/null 2>"$trace"
# F: a flush; R: a marker line; L: a link; P: a page image deleted; M: the merged file deleted.
order=$(grep -E '^[0-9a-f]+:Call KERNEL32\.(FlushFileBuffers|WriteFile|DeleteFileA)' "$trace" |
    sed -E -e 's/.*FlushFileBuffers.*/F/' \
           -e 's/.*WriteFile\([0-9a-f]+,[0-9a-f]+,0*[4-9a-f],[0-9a-f]+,0+\).*/R/' \
           -e 's/.*WriteFile\([0-9a-f]+,[0-9a-f]+,0*4,[0-9a-f]+,[0-9a-f]*[1-9a-f][0-9a-f]*\).*/L/' \
           -e 's/.*JOB1_P[0-9]\.TIF.*/P/' -e 's/.*JOB1\.TIF.*/M/' -e '/^[FRLPM]$/!d' |
    tr -d '\n')
echo "durability_order: $order"
# The job is recorded (F); the marker is started (F); the first page makes the file (F), the others are linked in
# (F L F); the merged file is flushed (F), the pages line recorded (R F); the hand-off copy
# (F) and the hand-on line (F) come before the images (P) and the merged file (M) go.
case "$order" in
FFFFLFFLFFRFFFPPPM) exit 0 ;;
*) echo "durability_order: expected F F F FLF FLF F RF F F PPP M (each step flushed before the next relies on it)" >&2
   exit 1 ;;
esac
