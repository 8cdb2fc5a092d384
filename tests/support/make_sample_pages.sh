#!/bin/sh
# Sample fax pages made by ImageMagick, as the printer driver writes them: one page
# per file, 1728 x 2292 at 204 x 196 dpi, CCITT Group 3 1D. Each has its own shapes.
set -e
out=$1
mkdir -p "$out"
page() {
    /usr/bin/convert -size 1728x2292 xc:white -fill black "$@" -monochrome -compress Fax \
        -density 204x196 -units PixelsPerInch -define quantum:polarity=min-is-white "$tmp"
    mv "$tmp" "$target"
}
tmp="$out/.page.tmp.tif"
target="$out/page1.tif"; page -draw "rectangle 100,100 600,400" -draw "circle 900,1200 900,1500"
target="$out/page2.tif"; page -draw "rectangle 200,1800 1500,1900" -draw "line 0,0 1727,2291"
target="$out/page3.tif"; page -draw "circle 300,300 300,600" -draw "rectangle 1000,100 1100,2200"
