#!/usr/bin/env python3
"""Draws Menu.ico: 32 x 32 pixels, 16 colours. A menu card with a title bar and three
entries, the second highlighted, and an arrow pointing at it. Run it to regenerate."""
import struct
import sys

# The standard 16-colour palette (B, G, R, 0).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
    (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
    (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]  # as (R, G, B)
BLACK, NAVY, GREY, SILVER, BLUE, WHITE, RED = 0, 4, 8, 7, 12, 15, 9


def draw():
    size = 32
    pix = [[None] * size for _ in range(size)]  # None: transparent

    def rect(x0, y0, x1, y1, c):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                pix[y][x] = c

    rect(5, 3, 28, 28, BLACK)        # card border
    rect(6, 4, 27, 27, WHITE)
    rect(6, 4, 27, 8, NAVY)          # title bar
    rect(8, 6, 17, 6, WHITE)
    for i, y in enumerate((12, 17, 22)):
        if i == 1:
            rect(7, y - 1, 26, y + 2, BLUE)   # highlighted entry
            rect(10, y, 23, y + 1, WHITE)
        else:
            rect(10, y, 23, y + 1, GREY)
    rect(6, 26, 27, 27, SILVER)
    # an arrow pointing at the highlighted entry
    for x in range(5):
        rect(x, 18 - x // 2, x, 19 + x // 2, RED)
    return pix


def ico(pix):
    size = 32
    xor = bytearray()
    mask = bytearray()
    for y in reversed(range(size)):  # bottom-up rows
        row = pix[y]
        for x in range(0, size, 2):
            a = row[x] if row[x] is not None else 0
            b = row[x + 1] if row[x + 1] is not None else 0
            xor.append((a << 4) | b)
        bits = 0
        for x in range(size):
            bits = (bits << 1) | (1 if row[x] is None else 0)
        mask += struct.pack(">I", bits)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, len(xor) + len(mask), 0, 0, 16, 0)
    palette = b"".join(struct.pack("BBBB", b, g, r, 0) for r, g, b in PALETTE)
    image = header + palette + bytes(xor) + bytes(mask)
    return struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(image), 22) + image


if __name__ == "__main__":
    out = sys.argv[1] if len(sys.argv) > 1 else "Menu.ico"
    with open(out, "wb") as f:
        f.write(ico(draw()))
