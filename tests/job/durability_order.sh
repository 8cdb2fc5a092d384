#!/bin/sh
# Nothing is lost when the power goes: a page image is deleted only after the merged file
# holds its page on stable storage, a page is linked into the merged file only after its
# data is there, and the merged file is deleted only after its hand-off copy is on disk.
# Runs one three-page job of job_tests under Wine's relay trace and reads the order of
# FlushFileBuffers, 4-byte WriteFile (a page's link) and DeleteFileA calls.
# Usage: durability_order.sh WINE_RUN JOB_TESTS
set -e
run=$1
tests=$2
trace=$(mktemp)
trap 'rm -f "$trace"' EXIT
"$run" reg add 'HKCU\Software\Wine\Debug' /v RelayInclude \
    /d 'KERNEL32.FlushFileBuffers;KERNEL32.WriteFile;KERNEL32.DeleteFileA' /f >/dev/null 2>&1
WINEDEBUG=+relay "$run" "$tests" --gtest_filter=Merge.PagesFromFirstToTotalInOrder \
    >/dev/null 2>"$trace"
# F: a flush; L: a link written; P: a page image deleted; M: the merged file deleted.
order=$(grep -E '^[0-9a-f]+:Call KERNEL32\.(FlushFileBuffers|WriteFile|DeleteFileA)' "$trace" |
    sed -E -e 's/.*FlushFileBuffers.*/F/' -e 's/.*WriteFile\([0-9a-f]+,[0-9a-f]+,0*4,.*/L/' \
           -e 's/.*JOB1_P[0-9]\.TIF.*/P/' -e 's/.*JOB1\.TIF.*/M/' -e '/^[FLPM]$/!d' |
    tr -d '\n')
echo "durability_order: $order"
# The first flush is the merge marker's, written before the first page goes in; the first
# page makes the file, the others are linked in.
case "$order" in
FFPFLFPFLFPF*M*) exit 0 ;;
*) echo "durability_order: expected F FP FLFP FLFP F...M (a flush before every link and deletion)" >&2
   exit 1 ;;
esac
