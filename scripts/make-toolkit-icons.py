#!/usr/bin/env python3
"""Draws the toolkit's path-chooser icons (resources 991-997) and writes them
as .ico files into toolkit/icons/, each with 32-bit images with alpha of 48,
32, 24 and 16 pixels (the shortcut arrow also 256, stored as PNG).

    python3 scripts/make-toolkit-icons.py

The shapes are drawn on a 48-unit design square and rendered at every size
with 4x4 (256: 2x2) samples per pixel, so edges are smooth and the inside of
each shape keeps its exact colour. The output is committed; run this again
only after changing a drawing.
"""
import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "..", "toolkit", "icons")

SIZES = [48, 32, 24, 16]


def rgb(value):
    return ((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF, 255)


# ---- shapes: functions of a design point (x, y) -> inside --------------------------


def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x < x1 and y0 <= y < y1


def round_rect(x0, y0, x1, y1, r):
    def inside(x, y):
        if not (x0 <= x < x1 and y0 <= y < y1):
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return inside


def polygon(points):
    def inside(x, y):
        hit = False
        n = len(points)
        for i in range(n):
            ax, ay = points[i]
            bx, by = points[(i + 1) % n]
            if (ay > y) != (by > y):
                cross = ax + (y - ay) * (bx - ax) / (by - ay)
                if x < cross:
                    hit = not hit
        return hit
    return inside


def circle(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def arc(cx, cy, inner, outer, start_deg, end_deg):
    """A band between two radii over the angles start..end (counter-clockwise,
    0 pointing right, 90 up)."""
    def inside(x, y):
        d = math.hypot(x - cx, y - cy)
        if d < inner or d > outer:
            return False
        a = math.degrees(math.atan2(cy - y, x - cx)) % 360
        return start_deg <= a <= end_deg
    return inside


def inset_rect(x0, y0, x1, y1, e, r=0):
    return round_rect(x0 + e, y0 + e, x1 - e, y1 - e, max(r - e, 0)) if r else rect(x0 + e, y0 + e, x1 - e, y1 - e)


# ---- drawings: lists of (shape, colour), bottom first; e is the edge width ---------


def framed(shapes, x0, y0, x1, y1, r, edge, fill, e):
    shapes.append((round_rect(x0, y0, x1, y1, r) if r else rect(x0, y0, x1, y1), rgb(edge)))
    shapes.append((inset_rect(x0, y0, x1, y1, e, r), rgb(fill)))


def folder(shapes, fill, back, e):
    edge = 0x806020
    framed(shapes, 3, 8, 21, 17, 2, edge, back, e)
    framed(shapes, 3, 12, 45, 40, 2, edge, back, e)
    framed(shapes, 3, 17, 45, 41, 2, edge, fill, e)


def arrow_down(shapes, colour, edge, e):
    outline = [(19, 15), (29, 15), (29, 28), (36, 28), (24, 40), (12, 28), (19, 28)]
    shapes.append((polygon(outline), rgb(edge)))
    inner = [(19 + e, 15 + e), (29 - e, 15 + e), (29 - e, 28 + e), (36 - 2.4 * e, 28 + e), (24, 40 - 1.4 * e),
             (12 + 2.4 * e, 28 + e), (19 + e, 28 + e)]
    shapes.append((polygon(inner), rgb(colour)))


def drive(shapes, top, e):
    framed(shapes, 4, top, 44, top + 18, 3, 0x505050, 0xC8C8C8, e)
    shapes.append((rect(4 + e, top + 12, 44 - e, top + 18 - e), rgb(0xA8A8A8)))
    shapes.append((rect(9, top + 5, 30, top + 7.5), rgb(0x707070)))
    shapes.append((circle(37, top + 6, 3), rgb(0x107020)))
    shapes.append((circle(37, top + 6, 3 - e * 0.8), rgb(0x20C040)))


def draw(kind, e):
    shapes = []
    if kind == "chain_folder":
        folder(shapes, 0xF0D040, 0xD8B830, e)
        arrow_down(shapes, 0x2040E0, 0x102080, e)
    elif kind == "chain_missing":
        folder(shapes, 0xF09030, 0xD07820, e)
        arrow_down(shapes, 0x8030C0, 0x401870, e)
    elif kind == "drive":
        drive(shapes, 15, e)
    elif kind == "server":
        drive(shapes, 4, e)
        shapes.append((rect(22, 22, 26, 36), rgb(0x404040)))
        shapes.append((rect(6, 35, 42, 39), rgb(0x404040)))
        framed(shapes, 2, 32, 11, 42, 1.5, 0x203070, 0x4070D0, e)
        framed(shapes, 37, 32, 46, 42, 1.5, 0x203070, 0x4070D0, e)
    elif kind == "folder":
        folder(shapes, 0xF0D040, 0xD8B830, e)
    elif kind == "file":
        page = [(9, 3), (30, 3), (40, 13), (40, 45), (9, 45)]
        shapes.append((polygon(page), rgb(0x606060)))
        shapes.append((polygon([(9 + e, 3 + e), (30 - 0.4 * e, 3 + e), (40 - e, 13 + 0.4 * e), (40 - e, 45 - e),
                                (9 + e, 45 - e)]), rgb(0xFFFFFF)))
        shapes.append((polygon([(29, 3), (29, 14), (40, 14)]), rgb(0x606060)))
        shapes.append((polygon([(29 + e, 3 + 2.4 * e), (29 + e, 14 - e), (40 - 2.4 * e, 14 - e)]), rgb(0xDDDDDD)))
        for y in (20, 26, 32, 38):
            shapes.append((rect(14, y, 35, y + 2), rgb(0xC8CCD8)))
    elif kind == "shortcut":
        framed(shapes, 3, 3, 45, 45, 4, 0x404040, 0xFFFFFF, e)
        shapes.append((arc(33, 38, 7, 17, 90, 180), rgb(0x183C90)))
        shapes.append((rect(16, 38, 26, 41), rgb(0x183C90)))
        shapes.append((polygon([(32, 12), (32, 32), (42, 22)]), rgb(0x183C90)))
        shapes.append((arc(33, 38, 7 + e, 17 - e, 90, 180), rgb(0x2060D0)))
        shapes.append((rect(16 + e, 38, 26 - e, 41 - e), rgb(0x2060D0)))
        shapes.append((polygon([(32, 12 + 2.4 * e), (32, 32 - 2.4 * e), (42 - 2 * e, 22)]), rgb(0x2060D0)))
    return shapes


# ---- rendering and files --------------------------------------------------------------


def render(kind, size):
    """Rows top-down of (r, g, b, a) with straight alpha."""
    scale = size / 48.0
    e = max(1.0, 1.5 * scale) / scale
    shapes = draw(kind, e)
    k = 2 if size > 64 else 4
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            sr = sg = sb = sa = 0
            for sy in range(k):
                y = (py + (sy + 0.5) / k) / scale
                for sx in range(k):
                    x = (px + (sx + 0.5) / k) / scale
                    for shape, colour in reversed(shapes):
                        if shape(x, y):
                            sr += colour[0]
                            sg += colour[1]
                            sb += colour[2]
                            sa += 255
                            break
            n = k * k
            if sa == 0:
                row.append((0, 0, 0, 0))
            else:
                hits = sa // 255
                row.append((round(sr / hits), round(sg / hits), round(sb / hits), round(sa / n)))
        rows.append(row)
    return rows


def dib(rows):
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = bytearray()
    for row in reversed(rows):
        for r, g, b, a in row:
            pixels += bytes((b, g, r, a))
    stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + bytes(pixels) + bytes(mask)


def png(rows):
    size = len(rows)
    raw = bytearray()
    for row in rows:
        raw.append(0)
        for r, g, b, a in row:
            raw += bytes((r, g, b, a))

    def chunk(tag, data):
        return struct.pack(">I", len(data)) + tag + data + struct.pack(">I", zlib.crc32(tag + data) & 0xFFFFFFFF)

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def write_ico(path, kind, sizes):
    images = []
    for size in sizes:
        rows = render(kind, size)
        images.append((size, png(rows) if size >= 256 else dib(rows)))
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, data in images:
        side = 0 if size >= 256 else size
        out += struct.pack("<BBBBHHII", side, side, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for _, data in images:
        out += data
    with open(path, "wb") as f:
        f.write(out)


ICONS = [
    (991, "chain_folder", SIZES),
    (992, "chain_missing", SIZES),
    (993, "drive", SIZES),
    (994, "server", SIZES),
    (995, "folder", SIZES),
    (996, "file", SIZES),
    (997, "shortcut", [256] + SIZES),
]

if __name__ == "__main__":
    os.makedirs(OUT, exist_ok=True)
    for number, kind, sizes in ICONS:
        name = os.path.join(OUT, "path_%s.ico" % kind)
        write_ico(name, kind, sizes)
        print("%d %s" % (number, os.path.relpath(name)))
