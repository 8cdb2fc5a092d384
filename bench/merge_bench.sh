#!/bin/sh
# Merge benchmark: 200 text-like printer pages (1728 x 2200, Group 3 1D) merged into one
# Group 4 file by `faxtiff append --compression 4` and by libtiff's `tiffcp -c g4`; then
# the raw-copy case (Group 4 pages appended as Group 4) against `cat` of the same files.
# The two sides of each pair run in turn, best of 7 each, so a load that comes and goes
# weighs on both alike. The last line is ratio=tiffcp/ours.
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

# elapsed OUTPUT COMMAND...: runs COMMAND once, OUTPUT removed first; prints nanoseconds.
elapsed() {
    rm -f "$1"
    shift
    start=$(date +%s%N)
    "$@" >&2
    end=$(date +%s%N)
    echo $((end - start))
}

# race OUT_A COMMAND_A OUT_B COMMAND_B: each command (a function) 7 times, in turn;
# sets best_a and best_b to the shortest of each in seconds.
race() {
    best_a=
    best_b=
    for run in 1 2 3 4 5 6 7; do
        a=$(elapsed "$1" "$2")
        b=$(elapsed "$3" "$4")
        if [ -z "$best_a" ] || [ "$a" -lt "$best_a" ]; then best_a=$a; fi
        if [ -z "$best_b" ] || [ "$b" -lt "$best_b" ]; then best_b=$b; fi
    done
    best_a=$(echo "$best_a" | awk '{ printf "%.3f", $1 / 1e9 }')
    best_b=$(echo "$best_b" | awk '{ printf "%.3f", $1 / 1e9 }')
}

# shellcheck disable=SC2086  # the page lists are meant to split
ours() { "$faxtiff" append --compression 4 "$work/ours.tif" $pages; }
# shellcheck disable=SC2086
theirs() { tiffcp -c g4 $pages "$work/tiffcp.tif"; }
race "$work/ours.tif" ours "$work/tiffcp.tif" theirs
ours_s=$best_a
theirs_s=$best_b

mkdir "$work/g4"
for p in $pages; do tiffcp -c g4 "$p" "$work/g4/$(basename "$p")"; done
g4pages=$(ls "$work"/g4/*.tif)
# shellcheck disable=SC2086
raw() { "$faxtiff" append --compression 4 "$work/raw.tif" $g4pages; }
# shellcheck disable=SC2086
catted() { cat $g4pages >"$work/cat.bin"; }
race "$work/raw.tif" raw "$work/cat.bin" catted

count=$(echo "$pages" | wc -l)
echo "pages: $count, $(du -sk "$corpus" | cut -f1) KiB of Group 3 1D"
echo "G3 1D -> G4, faxtiff append: ${ours_s} s"
echo "G3 1D -> G4, tiffcp -c g4:    ${theirs_s} s"
echo "raw copy G4 -> G4, faxtiff append: ${best_a} s"
echo "raw copy G4 -> G4, cat:            ${best_b} s"
echo "$theirs_s $ours_s" | awk '{ printf "ratio=%.2f\n", $1 / $2 }'
