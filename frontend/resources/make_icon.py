#!/usr/bin/env python3
"""Draws the frontend's icon, frontend.ico: a white eighth note on a blue tile
with a small orange package block, at 32x32 and 16x16 in 32-bit colour.

    python3 frontend/resources/make_icon.py   # rewrites frontend.ico beside this script
"""
import math
import os
import struct

TILE = (0x1F, 0x5F, 0x8B)
NOTE = (0xFF, 0xFF, 0xFF)
BLOCK = (0xF2, 0x9B, 0x30)
SUBSAMPLES = 4


def inside_tile(x, y):
    radius = 0.18
    cx = min(max(x, radius), 1 - radius)
    cy = min(max(y, radius), 1 - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def inside_note(x, y):
    # A tilted oval head, a stem rising from its right side and a flag.
    dx, dy = x - 0.40, y - 0.70
    angle = math.radians(-25)
    u = dx * math.cos(angle) - dy * math.sin(angle)
    v = dx * math.sin(angle) + dy * math.cos(angle)
    head = (u / 0.15) ** 2 + (v / 0.10) ** 2 <= 1
    stem = 0.50 <= x <= 0.56 and 0.18 <= y <= 0.68
    flag = 0.56 <= x <= 0.74 and 0.18 + (x - 0.56) * 0.9 <= y <= 0.30 + (x - 0.56) * 1.2
    return head or stem or flag


def inside_block(x, y):
    return 0.66 <= x <= 0.86 and 0.62 <= y <= 0.82


def colour_at(x, y):
    if inside_block(x, y):
        return BLOCK
    if inside_note(x, y):
        return NOTE
    if inside_tile(x, y):
        return TILE
    return None


def pixel(size, px, py):
    """Averages the subsamples of one pixel: (b, g, r, a)."""
    total = [0, 0, 0]
    covered = 0
    for sy in range(SUBSAMPLES):
        for sx in range(SUBSAMPLES):
            colour = colour_at((px + (sx + 0.5) / SUBSAMPLES) / size, (py + (sy + 0.5) / SUBSAMPLES) / size)
            if colour is not None:
                covered += 1
                total = [t + c for t, c in zip(total, colour)]
    if covered == 0:
        return (0, 0, 0, 0)
    r, g, b = (round(t / covered) for t in total)
    return (b, g, r, round(255 * covered / SUBSAMPLES ** 2))


def icon_image(size):
    """A BITMAPINFOHEADER, the colour rows and the transparency mask, both bottom-up."""
    rows = [[pixel(size, x, y) for x in range(size)] for y in range(size)]
    colours = b"".join(bytes(channel for p in row for channel in p) for row in reversed(rows))
    mask_stride = ((size + 31) // 32) * 4
    mask = b""
    for row in reversed(rows):
        bits = 0
        for x, p in enumerate(row):
            if p[3] == 0:
                bits |= 1 << (mask_stride * 8 - 1 - x)
        mask += bits.to_bytes(mask_stride, "big")
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(colours) + len(mask), 0, 0, 0, 0)
    return header + colours + mask


def main():
    images = [icon_image(size) for size in (32, 16)]
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = len(directory) + 16 * len(images)
    entries = b""
    for size, image in zip((32, 16), images):
        entries += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "frontend.ico")
    with open(path, "wb") as out:
        out.write(directory + entries + b"".join(images))


if __name__ == "__main__":
    main()
