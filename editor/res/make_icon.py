#!/usr/bin/env python3
"""Draws Menu.ico at the sizes Windows asks for: small and large icons at 100% to 200% scaling
(16, 20, 24, 32, 40, 48 and 64 pixels) and 256 for the largest views of Explorer; 32 bits per
pixel, 256 stored as PNG, as Windows expects. A menu card with a
title bar and three entries, the second highlighted, and an arrow pointing at it. The design is
on a 32-pixel grid; each size snaps its edges to whole pixels, so no size is a blurred copy of
another. Run it to regenerate."""
import struct
import sys
import zlib

SIZES = (256, 64, 48, 40, 32, 24, 20, 16)

BLACK = (0, 0, 0)
NAVY = (0, 0, 128)
GREY = (128, 128, 128)
SILVER = (192, 192, 192)
BLUE = (0, 0, 255)
WHITE = (255, 255, 255)
RED = (255, 0, 0)


def draw(size):
    """The design, laid out on a 32 grid, at size pixels: None is transparent."""
    scale = size / 32
    pix = [[None] * size for _ in range(size)]

    def snap(v):
        return int(v * scale + 0.5)

    def rect(left, top, right, bottom, colour):  # pixels, end exclusive, at least one
        for y in range(top, max(bottom, top + 1)):
            for x in range(left, max(right, left + 1)):
                pix[y][x] = colour

    line = max(1, snap(1))
    left, top, right, bottom = snap(5), snap(3), snap(29), snap(29)
    rect(left, top, right, bottom, BLACK)  # the card and its border
    left, top, right, bottom = left + line, top + line, right - line, bottom - line
    rect(left, top, right, bottom, WHITE)
    rect(left, top, right, snap(9), NAVY)  # title bar
    rect(snap(8), snap(6), snap(18), snap(6) + line, WHITE)
    for i, y in enumerate((12, 17, 22)):
        if i == 1:
            rect(snap(7), snap(y - 1), snap(27), snap(y + 3), BLUE)  # highlighted entry
            rect(snap(10), snap(y), snap(24), snap(y + 2), WHITE)
        else:
            rect(snap(10), snap(y), snap(24), snap(y + 2), GREY)
    rect(left, bottom - line * 2, right, bottom, SILVER)
    # an arrow pointing at the highlighted entry
    for x in range(5):
        rect(snap(x), snap(18 - x // 2), snap(x + 1), snap(20 + x // 2), RED)
    return pix


def bgra_rows(pix):
    """Bottom-up rows of blue, green, red, alpha."""
    rows = []
    for row in reversed(pix):
        rows.append(b"".join(bytes((c[2], c[1], c[0], 255)) if c else b"\0\0\0\0" for c in row))
    return rows


def dib(pix):
    size = len(pix)
    xor = b"".join(bgra_rows(pix))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(pix):
        bits = bytearray(mask_stride)
        for x, c in enumerate(row):
            if c is None:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return header + xor + bytes(mask)


def png(pix):
    size = len(pix)
    raw = b"".join(
        b"\0" + b"".join(bytes((c[0], c[1], c[2], 255)) if c else b"\0\0\0\0" for c in row)
        for row in pix)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def ico():
    images = [png(draw(s)) if s >= 256 else dib(draw(s)) for s in SIZES]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in zip(SIZES, images):
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    return out + b"".join(images)


if __name__ == "__main__":
    out = sys.argv[1] if len(sys.argv) > 1 else "Menu.ico"
    with open(out, "wb") as f:
        f.write(ico())
