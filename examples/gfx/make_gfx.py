#!/usr/bin/env python3
"""Draws the demo's brushes into PNG files with a tiny zlib PNG writer: python3 make_gfx.py (writes beside
itself)."""
import math
import os
import struct
import zlib


def write_png(path, width, height, pixel):
    """pixel(x, y) -> (r, g, b, a)."""
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)
    raw = b"".join(b"\0" + b"".join(bytes(pixel(x, y)) for x in range(width)) for y in range(height))
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
                + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def ball(x, y, size=64):
    # A shaded sphere whose edge fades out through the alpha channel.
    c = (size - 1) / 2
    dx, dy = (x - c) / c, (y - c) / c
    d = math.hypot(dx, dy)
    alpha = max(0.0, min(1.0, (1.0 - d) * c / 1.5))
    light = max(0.0, 1.0 - math.hypot(dx + 0.35, dy + 0.35))
    r = int(60 + 195 * light)
    g = int(30 + 120 * light)
    b = int(20 + 60 * light)
    return (r, g, b, int(255 * alpha))


def gem(x, y, size=48):
    # A diamond with a soft glow around it.
    c = (size - 1) / 2
    d = (abs(x - c) + abs(y - c)) / c
    core = d <= 0.75
    alpha = 255 if core else max(0, int(255 * (1.0 - d) * 4))
    shade = int(140 + 115 * (1 - min(d, 1)))
    return (40, shade, 255, alpha) if core else (120, 220, 255, alpha)


def flower(x, y, size=40):
    # A five-petalled flower; its outside is magenta, which the demo names as the transparent colour.
    c = (size - 1) / 2
    dx, dy = x - c, y - c
    angle = math.atan2(dy, dx) + math.pi / 2
    radius = math.hypot(dx, dy)
    edge = c * (0.55 + 0.45 * abs(math.cos(2.5 * angle)))
    return (255, 220, 40, 255) if radius <= edge else (255, 0, 255, 255)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    write_png(os.path.join(here, "ball.png"), 64, 64, ball)
    write_png(os.path.join(here, "gem.png"), 48, 48, gem)
    write_png(os.path.join(here, "flower.png"), 40, 40, flower)


if __name__ == "__main__":
    main()
