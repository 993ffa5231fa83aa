#!/usr/bin/env python3
"""Draws the help viewer's icons and writes them as .ico files.

    python3 scripts/make-quenby-icons.py

130: the program (an open page with a blue "Q" ring), 131: its small form,
132: the font reset button (a letter "A" with a return arrow). Every image is
a 32-bit BGRA bitmap with an AND mask, drawn with 4x4 supersampling.
"""
import math
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "..", "quenby", "app", "icons")


def blend(dst, src):
    sa = src[3] / 255.0
    da = dst[3] / 255.0
    oa = sa + da * (1 - sa)
    if oa <= 0:
        return (0, 0, 0, 0)
    out = [(src[i] * sa + dst[i] * da * (1 - sa)) / oa for i in range(3)]
    return (out[0], out[1], out[2], oa * 255.0)


def render(size, shapes):
    """shapes: list of (inside(x, y) -> bool over unit coordinates, rgba)."""
    pixels = []
    n = 4
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(n):
                for sx in range(n):
                    x = (px + (sx + 0.5) / n) / size
                    y = (py + (sy + 0.5) / n) / size
                    colour = (0, 0, 0, 0)
                    for inside, rgba in shapes:
                        if inside(x, y):
                            colour = blend(colour, rgba)
                    for i in range(4):
                        acc[i] += colour[i] * (colour[3] / 255.0 if i < 3 else 1)
            a = acc[3] / (n * n)
            if a > 0:
                rgb = [acc[i] / (n * n) / (a / 255.0) for i in range(3)]
            else:
                rgb = [0, 0, 0]
            row.append(tuple(int(round(min(255, max(0, v)))) for v in (rgb[0], rgb[1], rgb[2], a)))
        pixels.append(row)
    return pixels


def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x <= x1 and y0 <= y <= y1


def ring(cx, cy, r0, r1):
    return lambda x, y: r0 <= math.hypot(x - cx, y - cy) <= r1


def segment(ax, ay, bx, by, w):
    def inside(x, y):
        dx, dy = bx - ax, by - ay
        t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
        return math.hypot(x - (ax + t * dx), y - (ay + t * dy)) <= w / 2
    return inside


def arc(cx, cy, r, w, a0, a1):
    def inside(x, y):
        d = math.hypot(x - cx, y - cy)
        if abs(d - r) > w / 2:
            return False
        a = math.degrees(math.atan2(cy - y, x - cx)) % 360
        return a0 <= a <= a1 if a0 <= a1 else (a >= a0 or a <= a1)
    return inside


def triangle(p0, p1, p2):
    def sign(a, b, c):
        return (a[0] - c[0]) * (b[1] - c[1]) - (b[0] - c[0]) * (a[1] - c[1])

    def inside(x, y):
        p = (x, y)
        d1, d2, d3 = sign(p, p0, p1), sign(p, p1, p2), sign(p, p2, p0)
        neg = d1 < 0 or d2 < 0 or d3 < 0
        pos = d1 > 0 or d2 > 0 or d3 > 0
        return not (neg and pos)
    return inside


PAPER = (250, 250, 244, 255)
EDGE = (90, 100, 120, 255)
LINES = (150, 160, 180, 255)
BLUE = (40, 90, 200, 255)
DARK = (30, 30, 40, 255)
GREEN = (30, 150, 70, 255)


def program_shapes():
    return [
        (rect(0.14, 0.06, 0.86, 0.94), EDGE),
        (rect(0.18, 0.10, 0.82, 0.90), PAPER),
        (rect(0.26, 0.20, 0.74, 0.25), LINES),
        (rect(0.26, 0.31, 0.66, 0.36), LINES),
        (rect(0.26, 0.42, 0.70, 0.47), LINES),
        (ring(0.52, 0.66, 0.13, 0.21), BLUE),
        (segment(0.60, 0.74, 0.76, 0.90, 0.09), BLUE),
    ]


def reset_shapes():
    return [
        (segment(0.14, 0.80, 0.36, 0.18, 0.12), DARK),
        (segment(0.36, 0.18, 0.58, 0.80, 0.12), DARK),
        (rect(0.23, 0.55, 0.49, 0.63), DARK),
        (arc(0.70, 0.42, 0.17, 0.08, 300, 160), GREEN),
        (triangle((0.44, 0.30), (0.64, 0.30), (0.54, 0.46)), GREEN),
    ]


def bitmap_entry(pixels):
    size = len(pixels)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    body = bytearray()
    for row in reversed(pixels):
        for r, g, b, a in row:
            body += bytes((b, g, r, a))
    stride = ((size + 31) // 32) * 4
    for row in reversed(pixels):
        bits = bytearray(stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        body += bits
    return header + bytes(body)


def write_ico(path, images):
    entries = [bitmap_entry(p) for p in images]
    out = struct.pack("<HHH", 0, 1, len(entries))
    offset = 6 + 16 * len(entries)
    for pixels, data in zip(images, entries):
        size = len(pixels)
        dim = 0 if size >= 256 else size
        out += struct.pack("<BBBBHHII", dim, dim, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for data in entries:
        out += data
    with open(path, "wb") as f:
        f.write(out)


def main():
    os.makedirs(OUT, exist_ok=True)
    write_ico(os.path.join(OUT, "quenby_130.ico"), [render(s, program_shapes()) for s in (48, 32, 16)])
    write_ico(os.path.join(OUT, "quenby_131.ico"), [render(s, program_shapes()) for s in (16, 32)])
    write_ico(os.path.join(OUT, "quenby_132.ico"), [render(s, reset_shapes()) for s in (128, 32, 16)])


if __name__ == "__main__":
    main()
