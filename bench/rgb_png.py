"""Writes an 8-bit RGB PNG from its scanlines, for the benchmarks' pictures.

`rows` is the image data as the format stores it before compression: each
row a filter byte (0) and then width x 3 bytes of red, green and blue.
"""
import struct
import zlib


def write_rgb_png(path, width, height, rows):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(bytes(rows), 6)) + chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)
