#!/bin/sh
# Nothing is lost or doubled when the power goes: a page's append is recorded in the
# merge marker before the merged file can hold the page, a page is linked into the merged
# file only after its data is there, a page image is deleted only after the merged file
# holds its page on stable storage, and the merged file only after its hand-off copy is.
# Runs one three-page job of job_tests under Wine's relay trace and reads the order of
# FlushFileBuffers, small WriteFile (a marker line, unpositioned; a page's 4-byte link,
# positioned) and DeleteFileA calls. Usage: durability_order.sh WINE_RUN JOB_TESTS
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
# The marker is started before the first page goes in; the first page makes the file,
# the others are linked in.
case "$order" in
FRFFPRFFLFPRFFLFPF*M*) exit 0 ;;
*) echo "durability_order: expected F RFFP RFFLFP RFFLFP F...M (each page recorded, then its data and its link each flushed before the next step)" >&2
   exit 1 ;;
esac
