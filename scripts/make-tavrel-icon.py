#!/usr/bin/env python3
"""Draws Tavrel's application icon (resource 130): two document panes side
by side, the left one green, the right one orange, with a blue band across
both where a changed line runs. Writes tavrel/app/res/tavrel.ico with a 16
and a 32 pixel image (32-bit colour with alpha). Run from anywhere; the
result is committed."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "..", "tavrel", "app", "res", "tavrel.ico")

CLEAR = (0, 0, 0, 0)
FRAME = (40, 40, 60, 255)
PAPER = (250, 250, 250, 255)
LEFT = (120, 200, 120, 255)
RIGHT = (250, 170, 90, 255)
BAND = (70, 110, 220, 255)


def draw(size):
    pixels = [[CLEAR for _ in range(size)] for _ in range(size)]
    gap = max(1, size // 16)
    pane = (size - 3 * gap) // 2
    top, bottom = gap, size - gap
    band_top = size * 7 // 16
    band_bottom = band_top + max(2, size // 8)
    for index, tint in enumerate((LEFT, RIGHT)):
        left = gap + index * (pane + gap)
        right = left + pane
        for y in range(top, bottom):
            for x in range(left, right):
                edge = x in (left, right - 1) or y in (top, bottom - 1)
                if edge:
                    colour = FRAME
                elif band_top <= y < band_bottom:
                    colour = BAND
                elif (y - top) % max(2, size // 8) == 1 and x < right - 1 - pane // 4:
                    colour = tint
                else:
                    colour = PAPER
                pixels[y][x] = colour
    return pixels


def image(size):
    pixels = draw(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    rows = []
    for y in reversed(range(size)):
        rows.append(b"".join(struct.pack("BBBB", b, g, r, a) for (r, g, b, a) in pixels[y]))
    mask_row = ((size + 31) // 32) * 4
    mask = b"\0" * (mask_row * size)
    return header + b"".join(rows) + mask


def main():
    sizes = (16, 32)
    images = [image(s) for s in sizes]
    offset = 6 + 16 * len(sizes)
    out = struct.pack("<HHH", 0, 1, len(sizes))
    for size, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b"".join(images)
    with open(OUT, "wb") as handle:
        handle.write(out)


if __name__ == "__main__":
    main()
