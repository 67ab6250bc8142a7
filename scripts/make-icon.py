#!/usr/bin/env python3
"""Draws the search window's icon (a magnifying glass over a page) into app/norvel.ico.

The icon is committed; run this only to change it. Sizes 16 and 32, 32-bit colour with
alpha, stored as the BMP images an .ico holds, with no imaging library needed.
"""
import math
import struct
import sys


def pixel(size, x, y):
    """RGBA of one pixel of the icon at the given size."""
    s = size / 32.0
    fx, fy = (x + 0.5) / s, (y + 0.5) / s  # in 32-pixel units
    # The glass: a ring left of centre, its handle towards the bottom right.
    d = math.hypot(fx - 12, fy - 14)
    if 6 <= d <= 8.5:
        return (40, 60, 140, 255)
    if d < 6:
        return (200, 225, 255, 255)
    hx, hy = fx - 12, fy - 14
    along = (hx + hy) / math.sqrt(2)
    across = abs(hx - hy) / math.sqrt(2)
    if 8 <= along <= 17 and across <= 2.2:
        return (90, 60, 30, 255)
    # The page behind it.
    if 11 <= fx <= 30 and 1 <= fy <= 27:
        if fx < 12 or fx > 29 or fy < 2 or fy > 26:
            return (110, 110, 110, 255)
        if int(fy) % 4 == 0 and 13 <= fx <= 28:
            return (150, 150, 150, 255)
        return (255, 255, 255, 255)
    return (0, 0, 0, 0)


def image(size):
    rows = []
    for y in range(size - 1, -1, -1):  # bottom-up rows
        row = b""
        for x in range(size):
            r, g, b, a = pixel(size, x, y)
            row += bytes((b, g, r, a))
        rows.append(row)
    xor = b"".join(rows)
    mask_row = ((size + 31) // 32) * 4
    and_mask = bytes(mask_row * size)  # alpha decides; the mask is all opaque
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(and_mask),
                         0, 0, 0, 0)
    return header + xor + and_mask


def main(path):
    sizes = (16, 32)
    images = [image(s) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for s, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", s, s, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b"".join(images)
    with open(path, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "app/norvel.ico")
