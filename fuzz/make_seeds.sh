#!/bin/sh
# Makes the seed corpus in fuzz/corpus: small real files from ImageMagick and libtiff,
# one per coding, bit order, byte order and strip layout the engine reads, plus a few
# it must refuse. Run by hand when the set should change; the files are committed.
# Inputs the fuzzers once found faults with are kept as found-*.tif.
set -e
here=$(cd "$(dirname "$0")" && pwd)
out=$here/corpus
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$out"
find "$out" -name '*.tif' ! -name 'found-*' -delete

/usr/bin/convert -size 72x40 xc:white -fill black -draw "rectangle 5,5 30,20" \
    -draw "circle 50,20 50,32" -draw "line 0,39 71,0" -monochrome -compress Group4 \
    -density 204x196 -units PixelsPerInch "$tmp/base.tif"
tiffcp -c none "$tmp/base.tif" "$tmp/none.tif"

seed() { name=$1; shift; tiffcp "$@" "$tmp/none.tif" "$out/$name.tif"; }
seed none -c none
seed packbits -c packbits
/usr/bin/convert "$tmp/none.tif" -compress Fax "$out/im-fax.tif"
/usr/bin/convert "$tmp/none.tif" -compress Group4 "$out/im-g4.tif"
/usr/bin/convert "$tmp/none.tif" -compress RLE "$out/im-rle.tif"
/usr/bin/convert "$tmp/none.tif" -define quantum:polarity=min-is-black -compress Group4 "$out/im-g4-minisblack.tif"
seed g3-1d -c g3:1d
seed g3-1d-fill -c g3:1d:fill
seed g3-2d -c g3:2d
seed g3-2d-fill -c g3:2d:fill
seed g4 -c g4
seed g4-lsb2msb -c g4 -f lsb2msb
seed g3-2d-lsb2msb -c g3:2d -f lsb2msb
seed none-lsb2msb -c none -f lsb2msb
seed g4-bigendian-strips -c g4 -B -r 7
seed g3-1d-bigendian-strips -c g3:1d:fill -B -r 16
seed packbits-strips -c packbits -r 3
tiffcp -c g4 "$tmp/none.tif" "$out/g3-2d.tif" "$tmp/none.tif" "$out/multipage.tif"
# Modified Huffman and Group 3 2D as the engine itself writes them (no tool here writes MH).
faxtiff=$here/../build/native/src/tiff/faxtiff
"$faxtiff" append --compression 2 "$out/ours-mh.tif" "$tmp/none.tif"
"$faxtiff" append --compression 5 "$out/ours-g3-2d.tif" "$tmp/none.tif" "$tmp/none.tif"
# Uncompressed mode inside CCITT data, which no tool here writes: put together by hand.
python3 - "$out" <<'PY'
import struct, sys

def bits(text):
    text = text.replace(" ", "")
    text += "0" * (-len(text) % 8)
    return bytes(int(text[i:i + 8], 2) for i in range(0, len(text), 8))

def tiff(path, width, rows, compression, options_tag, options, data):
    tags = [(256, 4, width), (257, 4, rows), (258, 3, 1), (259, 3, compression), (262, 3, 0),
            (273, 4, 8), (277, 3, 1), (278, 4, rows), (279, 4, len(data)), (options_tag, 4, options)]
    ifd = 8 + len(data) + len(data) % 2
    out = b"II*\0" + struct.pack("<I", ifd) + data + b"\0" * (len(data) % 2)
    out += struct.pack("<H", len(tags))
    for tag, kind, value in tags:
        out += struct.pack("<HHI", tag, kind, 1) + (struct.pack("<HH", value, 0) if kind == 3 else struct.pack("<I", value))
    out += struct.pack("<I", 0)
    open(path, "wb").write(out)

out = sys.argv[1]
row_1d = "000000001111 1 01 000001 0000001 1 11"  # B WB WWWWW, exit to black, black 2
tiff(out + "/uncompressed-g3-1d.tif", 10, 2, 3, 292, 2, bits("000000000001 " + row_1d + " 000000000001 " + row_1d))
tiff(out + "/uncompressed-g4.tif", 4, 2, 4, 293, 2, bits("0000001111 1 0000001 0 1  1 1 1  000000000001 000000000001"))
PY
# Refused: tiles, grey, colour with LZW.
seed tiled -c g4 -t -w 16 -l 16
/usr/bin/convert -size 16x8 gradient: -compress None "$out/grey.tif"
/usr/bin/convert -size 16x8 xc:red -compress LZW "$out/rgb-lzw.tif"
ls -l "$out"
