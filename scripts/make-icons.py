#!/usr/bin/env python3
"""Draws the project's small images (window icon, port-state LEDs) as PNGs.

Run from the repository root; the results are committed under
resources/pic/, so this only needs running when an image changes.
"""
import math
import struct
import zlib


def png(path, size, pixel):
    rows = []
    for y in range(size):
        row = bytearray([0])
        for x in range(size):
            row += bytes(pixel(x, y))
        rows.append(bytes(row))
    raw = b"".join(rows)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(raw, 9)))
        f.write(chunk(b"IEND", b""))


def led(color):
    def pixel(x, y, size=32):
        c = (size - 1) / 2
        d = math.hypot(x - c, y - c)
        if d > c:
            return (0, 0, 0, 0)
        shade = 1.0 - 0.45 * d / c
        alpha = 255 if d < c - 1 else int(255 * (c - d))
        return tuple(int(v * shade) for v in color) + (max(0, alpha),)
    return pixel


def icon(x, y, size=64):
    c = (size - 1) / 2
    d = math.hypot(x - c, y - c)
    if d > c:
        return (0, 0, 0, 0)
    # A ring (the motor) with three spokes (the phases).
    ang = math.atan2(y - c, x - c)
    spoke = d < c * 0.8 and min(abs(math.sin(3 * ang / 2)), 1) < 0.12
    if d > c * 0.8 or spoke or d < c * 0.2:
        return (20, 110, 190, 255)
    return (235, 240, 245, 255)


png("resources/pic/port_open.png", 32, led((40, 200, 60)))
png("resources/pic/port_close.png", 32, led((150, 150, 150)))
png("resources/pic/app_icon.png", 64, icon)
