#!/bin/sh
# Draws the program's icon, src/app/tavon.ico (committed): a fax page with lines of text
# on blue, drawn on a 16-pixel grid at 16, 32 and 48 pixels so each size stays sharp.
# Usage: make-icon.sh [OUTPUT.ico]
set -e
out=${1:-$(dirname "$0")/../src/app/tavon.ico}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
blue='#1d4e89'
# rect K X0 Y0 X1 Y1: the grid cells X0..X1, Y0..Y1 at K pixels per cell.
rect() { echo "rectangle $(($2 * $1)),$(($3 * $1)) $((($4 + 1) * $1 - 1)),$((($5 + 1) * $1 - 1))"; }
for k in 1 2 3; do
    size=$((16 * k))
    convert -size ${size}x${size} xc:"$blue" \
        -fill white -draw "$(rect $k 3 4 12 11)" \
        -fill "$blue" -draw "$(rect $k 4 6 11 6)" -draw "$(rect $k 4 8 11 8)" \
        -draw "$(rect $k 4 10 9 10)" \
        -define png:color-type=6 "$work/$size.png"
done
convert "$work/16.png" "$work/32.png" "$work/48.png" "$out"
