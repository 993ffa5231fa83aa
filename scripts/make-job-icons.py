#!/usr/bin/env python3
"""Draws the compare jobs' own icon and writes it as a committed .ico file:

    python3 scripts/make-job-icons.py

tavrel/jobs/icons/text_file.ico (resource 132): the entry-kind icon of a text
file, a white page with four text lines, in 16, 24, 32 and 48 pixels with
32-bit straight alpha. The same design on a 16 x 16 grid is the drawn glyph
the folder rows fall back to (tavrel/jobs/entry_icons.cpp).
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "..", "tavrel", "jobs", "icons", "text_file.ico")
SIZES = (16, 24, 32, 48)


def inside(u, v, left, top, right, bottom):
    return left <= u < right and top <= v < bottom


def text_page(u, v):
    """ARGB of the page at grid point (u, v), 0 outside."""
    if not inside(u, v, 2.5, 1, 13.5, 15):
        return 0
    if not inside(u, v, 3.5, 2, 12.5, 14):
        return 0xFF606870
    for line in (4.5, 7.0, 9.5, 12.0):
        if inside(u, v, 5, line - 0.6, 11, line + 0.6):
            return 0xFF4A6A9A
    return 0xFFFFFFFF


def image(size):
    """One icon image: BITMAPINFOHEADER, bottom-up BGRA rows, AND mask."""
    scale = 16.0 / size
    rows = []
    mask_rows = []
    mask_stride = ((size + 31) // 32) * 4
    for y in range(size):
        row = bytearray()
        bits = 0
        mask = bytearray(mask_stride)
        for x in range(size):
            argb = text_page((x + 0.5) * scale, (y + 0.5) * scale)
            row += struct.pack("<I", argb)
            if argb >> 24 == 0:
                mask[x // 8] |= 0x80 >> (x % 8)
        rows.append(bytes(row))
        mask_rows.append(bytes(mask))
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    return header + b"".join(reversed(rows)) + b"".join(reversed(mask_rows))


def main():
    images = [image(size) for size in SIZES]
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, data in zip(SIZES, images):
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for data in images:
        out += data
    os.makedirs(os.path.dirname(OUT), exist_ok=True)
    with open(OUT, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
