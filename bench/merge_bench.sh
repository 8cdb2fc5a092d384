#!/bin/sh
# Merge benchmark: 200 text-like printer pages (1728 x 2200, Group 3 1D) merged into one
# Group 4 file by `faxtiff append --compression 4` and by libtiff's `tiffcp -c g4`, best
# of 5 runs each; then the raw-copy case (Group 4 pages appended as Group 4) against
# `cat` of the same files. The last line is ratio=tiffcp/ours.
#   usage: bench/merge_bench.sh BUILD_DIR      (the native build, e.g. build/native)
set -e
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
faxtiff=$build/src/tiff/faxtiff
[ -x "$faxtiff" ] || { echo "merge_bench: no $faxtiff; build first" >&2; exit 1; }

corpus=$build/bench/tiff-corpus
if [ ! -f "$corpus/complete" ]; then
    echo "making the corpus in $corpus ..."
    rm -rf "$corpus"
    "$here/tiff/make_corpus.py" "$corpus" 200
    touch "$corpus/complete"
fi
pages=$(ls "$corpus"/page*.tif)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM

# best OUTPUT COMMAND...: the shortest of 5 runs in seconds; OUTPUT is removed before each.
best() {
    out=$1
    shift
    min=
    for run in 1 2 3 4 5; do
        rm -f "$out"
        start=$(date +%s%N)
        "$@"
        end=$(date +%s%N)
        t=$((end - start))
        if [ -z "$min" ] || [ "$t" -lt "$min" ]; then min=$t; fi
    done
    echo "$min" | awk '{ printf "%.3f", $1 / 1e9 }'
}

# shellcheck disable=SC2086  # the page list is meant to split
ours=$(best "$work/ours.tif" "$faxtiff" append --compression 4 "$work/ours.tif" $pages)
# shellcheck disable=SC2086
theirs=$(best "$work/tiffcp.tif" tiffcp -c g4 $pages "$work/tiffcp.tif")

mkdir "$work/g4"
for p in $pages; do tiffcp -c g4 "$p" "$work/g4/$(basename "$p")"; done
g4pages=$(ls "$work"/g4/*.tif)
# shellcheck disable=SC2086
raw=$(best "$work/raw.tif" "$faxtiff" append --compression 4 "$work/raw.tif" $g4pages)
catfiles() { cat "$@" >"$work/cat.bin"; }
# shellcheck disable=SC2086
catted=$(best "$work/cat.bin" catfiles $g4pages)

count=$(echo "$pages" | wc -l)
echo "pages: $count, $(du -sk "$corpus" | cut -f1) KiB of Group 3 1D"
echo "G3 1D -> G4, faxtiff append: ${ours} s"
echo "G3 1D -> G4, tiffcp -c g4:    ${theirs} s"
echo "raw copy G4 -> G4, faxtiff append: ${raw} s"
echo "raw copy G4 -> G4, cat:            ${catted} s"
echo "$theirs $ours" | awk '{ printf "ratio=%.2f\n", $1 / $2 }'
