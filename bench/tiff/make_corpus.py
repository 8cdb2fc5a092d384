#!/usr/bin/env python3
"""Writes COUNT text-like fax pages, 1728 x 2200 at 204 x 196 dpi, CCITT Group 3 1D
with byte-aligned EOLs as the printer writes them, into OUTDIR as page000.tif ...

ImageMagick renders one sheet of text lines (starting it once per page would take
minutes); each page takes its lines from the sheet in its own seeded order, then
libtiff's ppm2tiff codes it. The same COUNT always gives the same files."""
import os
import random
import subprocess
import sys

WIDTH, LENGTH = 1728, 2200
ROW_BYTES = WIDTH // 8
LINE_HEIGHT = 34
SHEET_LINES = 120
FONT = "/usr/share/fonts/type1/urw-base35/NimbusSans-Regular.t1"
WORDS = ("fax invoice the quarterly report shipment delivery of and customer account number "
         "payment due please remit total amount order reference dear sir madam regards "
         "enclosed attached schedule meeting tuesday office contract signature page "
         "1234 5678 2024 EUR USD No. Ltd. GmbH street phone").split()


def render_sheet(path):
    rng = random.Random(7)
    args = ["/usr/bin/convert", "-size", f"{WIDTH}x{SHEET_LINES * LINE_HEIGHT}", "xc:white",
            "-fill", "black", "-pointsize", "24"]
    if os.path.exists(FONT):
        args += ["-font", FONT]
    for i in range(SHEET_LINES):
        text = " ".join(rng.choice(WORDS) for _ in range(rng.randint(5, 14)))
        args += ["-annotate", f"+0+{i * LINE_HEIGHT + 26}", text]
    subprocess.run(args + ["-threshold", "50%", path], check=True)


def read_pbm(path):
    with open(path, "rb") as f:
        data = f.read()
    fields, at = [], 0
    while len(fields) < 3:
        while data[at:at + 1].isspace():
            at += 1
        start = at
        while not data[at:at + 1].isspace():
            at += 1
        fields.append(data[start:at])
    assert fields[0] == b"P4" and int(fields[1]) == WIDTH
    return data[at + 1:]


def compose(sheet, number):
    rng = random.Random(number)
    rows = [bytes(ROW_BYTES)] * LENGTH
    y = 100 + rng.randint(0, 40)
    margin = rng.randint(8, 14)
    while y + LINE_HEIGHT < LENGTH - 80:
        if rng.random() < 0.12:
            y += LINE_HEIGHT  # a blank line between paragraphs
            continue
        line = rng.randrange(SHEET_LINES)
        for r in range(LINE_HEIGHT):
            src = sheet[(line * LINE_HEIGHT + r) * ROW_BYTES:][:ROW_BYTES - margin - 4]
            rows[y + r] = bytes(margin) + src + bytes(ROW_BYTES - margin - len(src))
        y += LINE_HEIGHT
    return b"P4\n%d %d\n" % (WIDTH, LENGTH) + b"".join(rows)


def main():
    outdir, count = sys.argv[1], int(sys.argv[2])
    os.makedirs(outdir, exist_ok=True)
    sheet_path = os.path.join(outdir, "sheet.pbm")
    render_sheet(sheet_path)
    sheet = read_pbm(sheet_path)
    for n in range(count):
        pbm = os.path.join(outdir, "page.pbm")
        tif = os.path.join(outdir, f"page{n:03d}.tif")
        with open(pbm, "wb") as f:
            f.write(compose(sheet, n))
        subprocess.run(["ppm2tiff", "-c", "g3:1d:fill", "-R", "204", "-r", str(LENGTH), pbm, tif], check=True)
        subprocess.run(["tiffset", "-s", "283", "196", tif], check=True)
    os.remove(os.path.join(outdir, "page.pbm"))
    os.remove(sheet_path)


if __name__ == "__main__":
    main()
