#!/usr/bin/env python3
"""Draws the program's artwork: a glossy blue ball.

Writes kelvara.bmp (64 x 64, 24 bits per pixel, on the dialog's background
colour so that it blends in) and kelvara.ico (64 x 64, 256 colours, with a
transparency mask). Both are checked in; run this again only to change them.
Standard library only.
"""
import math
import pathlib
import struct

SIZE = 64
BACKGROUND = (241, 245, 248)  # the dialog's own background
CENTRE = 31.5
RADIUS = 29.0
LIGHT = (-0.45, -0.55, 0.70)  # from the upper left, towards the viewer
RAMP = [(0.0, (14, 34, 96)), (0.55, (36, 104, 214)), (0.82, (110, 170, 245)), (1.0, (250, 252, 255))]
# Windows swaps these exact greys for system colours when it loads a bitmap
# with LR_LOADMAP3DCOLORS, which would put holes into the ball.
SYSTEM_GREYS = {128, 192, 223}


def ramp_colour(t):
    t = min(max(t, 0.0), 1.0)
    for (t0, c0), (t1, c1) in zip(RAMP, RAMP[1:]):
        if t <= t1:
            f = (t - t0) / (t1 - t0)
            return tuple(round(a + (b - a) * f) for a, b in zip(c0, c1))
    return RAMP[-1][1]


def shade(x, y):
    """Light value (0 to 1) of the ball at a point, or None outside it."""
    dx, dy = (x - CENTRE) / RADIUS, (y - CENTRE) / RADIUS
    d2 = dx * dx + dy * dy
    if d2 > 1.0:
        return None
    dz = math.sqrt(1.0 - d2)
    norm = math.sqrt(sum(c * c for c in LIGHT))
    diffuse = max(0.0, (dx * LIGHT[0] + dy * LIGHT[1] + dz * LIGHT[2]) / norm)
    specular = diffuse ** 24
    return min(1.0, 0.15 + 0.6 * diffuse + 0.5 * specular)


def coverage(x, y):
    """How much of the pixel the ball covers, from 4 x 4 samples."""
    inside = 0
    for sy in range(4):
        for sx in range(4):
            px, py = x + (sx + 0.5) / 4 - 0.5, y + (sy + 0.5) / 4 - 0.5
            if (px - CENTRE) ** 2 + (py - CENTRE) ** 2 <= RADIUS * RADIUS:
                inside += 1
    return inside / 16


def avoid_system_greys(colour):
    r, g, b = colour
    if r == g == b and r in SYSTEM_GREYS:
        b += 1
    return (r, g, b)


def ball_light(x, y):
    # The edge pixels take the light of the nearest point inside the ball.
    light = shade(x, y)
    if light is None:
        dx, dy = x - CENTRE, y - CENTRE
        scale = (RADIUS - 0.01) / math.hypot(dx, dy)
        light = shade(CENTRE + dx * scale, CENTRE + dy * scale)
    return light


def write_bitmap(path):
    rows = []
    for y in reversed(range(SIZE)):  # bottom-up
        row = bytearray()
        for x in range(SIZE):
            cover = coverage(x, y)
            if cover == 0:
                colour = BACKGROUND
            else:
                ball = ramp_colour(ball_light(x, y))
                colour = tuple(round(bg + (c - bg) * cover) for c, bg in zip(ball, BACKGROUND))
            r, g, b = avoid_system_greys(colour)
            row += bytes((b, g, r))
        rows.append(bytes(row))
    pixels = b"".join(rows)
    info = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    path.write_bytes(header + info + pixels)


def write_icon(path):
    # Palette: entry 0 is the transparent black, the rest a ramp of the ball's shades.
    shades = 255
    palette = [(0, 0, 0)] + [avoid_system_greys(ramp_colour(i / (shades - 1))) for i in range(shades)]
    colour_rows, mask_rows = [], []
    for y in reversed(range(SIZE)):
        indices, mask = bytearray(), 0
        for x in range(SIZE):
            if coverage(x, y) >= 0.5:
                indices.append(1 + round(ball_light(x, y) * (shades - 1)))
                mask <<= 1
            else:
                indices.append(0)
                mask = (mask << 1) | 1
        colour_rows.append(bytes(indices))
        mask_rows.append(mask.to_bytes(SIZE // 8, "big"))
    body = b"".join(colour_rows) + b"".join(mask_rows)
    info = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 8, 0, len(body), 0, 0, 256, 0)
    table = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    image = info + table + body
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 8, len(image), 6 + 16)
    path.write_bytes(directory + entry + image)


if __name__ == "__main__":
    here = pathlib.Path(__file__).resolve().parent
    write_bitmap(here / "kelvara.bmp")
    write_icon(here / "kelvara.ico")
