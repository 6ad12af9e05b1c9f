#!/usr/bin/env python3
"""Draws the window's logo (logo.png, 140 x 70, transparent): a reader with
its keypad and the waves of a card being read, in white for the blue title
panel. Pure Python, no imaging library. usage: make-logo.py OUT.png"""
import math
import struct
import sys
import zlib

W, H = 140, 70
pixels = [[(0, 0, 0, 0)] * W for _ in range(H)]


def blend(x, y, rgb, alpha):
    """Paints over what is there; the edge's coverage becomes the alpha."""
    if 0 <= x < W and 0 <= y < H and alpha > 0:
        a = pixels[y][x][3]
        if a and rgb != pixels[y][x][:3]:
            # Over an opaque shape: mix the colours, keep it opaque.
            old = pixels[y][x]
            mixed = tuple((c * alpha + o * (255 - alpha)) // 255 for c, o in zip(rgb, old[:3]))
            pixels[y][x] = (*mixed, a)
        else:
            pixels[y][x] = (*rgb, max(a, alpha))


def covered(fn, x, y):
    """Fraction of 4x4 subsamples of pixel (x, y) inside fn."""
    inside = sum(fn(x + (i + 0.5) / 4, y + (j + 0.5) / 4) for i in range(4) for j in range(4))
    return inside / 16


def fill(fn, rgb, box):
    x0, y0, x1, y1 = box
    for y in range(max(0, y0), min(H, y1)):
        for x in range(max(0, x0), min(W, x1)):
            c = covered(fn, x, y)
            if c:
                blend(x, y, rgb, int(255 * c))


def rounded(x0, y0, x1, y1, r):
    def inside(x, y):
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return inside


WHITE = (255, 255, 255)
DARK = (0, 70, 120)

# The reader: a white body, a dark display, a 3 x 4 keypad.
fill(rounded(8, 4, 52, 66, 7), WHITE, (0, 0, 60, 70))
fill(rounded(14, 10, 46, 24, 2), DARK, (10, 8, 50, 26))
for row in range(4):
    for col in range(3):
        cx, cy = 19 + col * 11, 32 + row * 8.5
        fill(lambda x, y, cx=cx, cy=cy: (x - cx) ** 2 + (y - cy) ** 2 <= 9, DARK, (10, 26, 50, 66))

# Three waves to the right.
for k, radius in enumerate((16, 27, 38)):
    def wave(x, y, radius=radius):
        d = math.hypot(x - 58, y - 35)
        angle = math.degrees(math.atan2(y - 35, x - 58))
        return abs(d - radius) <= 2.6 and -50 <= angle <= 50
    fill(wave, WHITE, (58, 0, W, H))

raw = b"".join(b"\0" + b"".join(struct.pack("BBBB", *p) for p in row) for row in pixels)


def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", W, H, 8, 6, 0, 0, 0))
png += chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")
open(sys.argv[1], "wb").write(png)
