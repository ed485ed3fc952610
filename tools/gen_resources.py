#!/usr/bin/env python3
"""Draws the program's icons, bitmaps and event sound into a folder, deterministically.

Usage: gen_resources.py OUTDIR
Writes icon<N>.ico, bitmap<N>.bmp and wave<N>.wav for the resource numbers the program uses.
Python standard library only, so the build needs nothing else.
"""
import math
import os
import struct
import sys

# Icon number -> (colour, glyph). Glyphs are simple shapes that stay readable at 16x16.
ICONS = {
    101: ((0x1e, 0x5a, 0xa8), "shield"),   # the program
    115: ((0x70, 0x70, 0x70), "square"),   # fallback
    159: ((0xc0, 0x80, 0x10), "shield"),   # the alternative tray icon
    167: ((0x2e, 0x8b, 0x57), "gear"),
    170: ((0x1e, 0x5a, 0xa8), "arrow"),    # startup programs
    173: ((0x6a, 0x3d, 0x9a), "gear"),     # services
    175: ((0x80, 0x80, 0x20), "clock"),    # recent changes
    176: ((0xb0, 0x30, 0x30), "bars"),     # active tasks
    179: ((0x30, 0x80, 0xb0), "page"),     # file types
    180: ((0x20, 0x70, 0xc0), "globe"),    # IE helpers
    181: ((0x50, 0x50, 0x50), "check"),    # options
    182: ((0x2e, 0x8b, 0x57), "clock"),    # scheduled tasks
    198: ((0x90, 0x90, 0x90), "page"),     # hidden files
    200: ((0xd0, 0x70, 0x10), "clock"),    # delayed start
    212: ((0xa0, 0x20, 0x80), "square"),   # ActiveX
}

# Bitmap number -> (width, height, colour, style).
BITMAPS = {
    133: (32, 32, (0x1e, 0x5a, 0xa8), "button"),
    134: (32, 32, (0x3a, 0x7a, 0xc8), "button"),
    135: (32, 32, (0x90, 0x90, 0x90), "button"),
    154: (48, 24, (0x90, 0x90, 0x90), "switch-off"),
    155: (48, 24, (0xb0, 0xb0, 0xb0), "switch-off"),
    156: (48, 24, (0x20, 0xa0, 0x40), "switch-on"),
    193: (48, 24, (0xd0, 0x90, 0x10), "switch-on"),
    158: (64, 64, (0x1e, 0x5a, 0xa8), "banner"),
    159: (64, 64, (0x2e, 0x8b, 0x57), "banner"),
    160: (64, 64, (0xb0, 0x30, 0x30), "banner"),
    10001: (48, 24, (0xf0, 0xd0, 0x40), "switch-on"),
}


def inside(glyph, x, y, n):
    """Whether pixel (x, y) of an n x n icon belongs to the glyph (the rest is the badge or clear)."""
    u, v = (x + 0.5) / n, (y + 0.5) / n  # 0..1, y downwards
    cx, cy = u - 0.5, v - 0.5
    r = math.hypot(cx, cy)
    if glyph == "shield":
        return abs(cx) < 0.38 - max(0.0, v - 0.55) * 0.9 and 0.1 < v < 0.95
    if glyph == "square":
        return abs(cx) < 0.38 and abs(cy) < 0.38
    if glyph == "gear":
        teeth = 0.34 + 0.08 * (1 if math.cos(8 * math.atan2(cy, cx)) > 0 else 0)
        return r < teeth and r > 0.12
    if glyph == "arrow":
        return (abs(cy) < 0.1 and -0.38 < cx < 0.1) or (cx >= 0.1 and abs(cy) < 0.38 - (cx - 0.1) * 1.2)
    if glyph == "clock":
        return r < 0.42 and not (r < 0.34 and not (abs(cx) < 0.05 and cy < 0.0) and not (abs(cy) < 0.05 and cx > 0.0))
    if glyph == "bars":
        return any(abs(cx - off) < 0.08 for off in (-0.25, 0.0, 0.25)) and cy > -0.38 + 0.2 * abs(cx * 3) - 0.1 and cy < 0.38
    if glyph == "page":
        return -0.3 < cx < 0.3 and -0.42 < cy < 0.42 and not (cx > 0.1 and cy < -0.22 and cx - 0.1 > cy + 0.42)
    if glyph == "globe":
        return r < 0.42 and not (0.3 < r < 0.34) and not (abs(cx) < 0.02 and r < 0.42 and r > 0.1)
    if glyph == "check":
        return (abs(cy - (cx + 0.05)) < 0.09 and -0.05 < cx < 0.35) or (abs(cy + (cx + 0.15) * 0.9 - 0.2) < 0.09 and -0.35 < cx < -0.05)
    return False


def icon_image(colour, glyph, n):
    """A 32-bit BMP-in-ICO image: BITMAPINFOHEADER, bottom-up BGRA pixels, AND mask."""
    rows = []
    for y in range(n - 1, -1, -1):
        row = bytearray()
        for x in range(n):
            if inside(glyph, x, y, n):
                b, g, r = colour[2], colour[1], colour[0]
                row += bytes((b, g, r, 255))
            else:
                row += bytes((0, 0, 0, 0))
        rows.append(bytes(row))
    pixels = b"".join(rows)
    mask_row = ((n + 31) // 32) * 4
    mask = bytes(mask_row * n)  # alpha carries the shape; the mask is all "opaque"
    header = struct.pack("<IiiHHIIiiII", 40, n, n * 2, 1, 32, 0, len(pixels) + len(mask), 0, 0, 0, 0)
    return header + pixels + mask


def write_icon(path, colour, glyph):
    images = [icon_image(colour, glyph, n) for n in (32, 16)]
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for n, data in zip((32, 16), images):
        out += struct.pack("<BBBBHHII", n, n, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for data in images:
        out += data
    with open(path, "wb") as f:
        f.write(out)


def bitmap_pixel(width, height, colour, style, x, y):
    grey = (0xd4, 0xd0, 0xc8)
    if style == "button":
        edge = x in (0, width - 1) or y in (0, height - 1)
        return (0x40, 0x40, 0x40) if edge else (colour if inside("shield", x, y, width) else grey)
    if style.startswith("switch"):
        r = height / 2 - 2
        knob_x = width - height / 2 if style == "switch-on" else height / 2
        if math.hypot(x + 0.5 - knob_x, y + 0.5 - height / 2) < r - 2:
            return (0xff, 0xff, 0xff)
        body = abs(y + 0.5 - height / 2) < r and r <= x + 0.5 <= width - r or \
            math.hypot(x + 0.5 - r - 2, y + 0.5 - height / 2) < r or \
            math.hypot(x + 0.5 - width + r + 2, y + 0.5 - height / 2) < r
        return colour if body else grey
    # banner: a diagonal gradient of the colour
    t = (x + y) / float(width + height)
    return tuple(int(c * (0.6 + 0.4 * t)) for c in colour)


def write_bitmap(path, width, height, colour, style):
    row_bytes = (width * 3 + 3) & ~3
    pixels = bytearray()
    for y in range(height - 1, -1, -1):
        row = bytearray()
        for x in range(width):
            r, g, b = bitmap_pixel(width, height, colour, style, x, y)
            row += bytes((b, g, r))
        row += bytes(row_bytes - len(row))
        pixels += row
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    head = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    with open(path, "wb") as f:
        f.write(head + info + pixels)


def write_wave(path):
    rate, seconds = 11025, 0.18
    count = int(rate * seconds)
    samples = bytearray()
    for i in range(count):
        t = i / rate
        envelope = min(1.0, i / 200.0) * min(1.0, (count - i) / 400.0)
        value = math.sin(2 * math.pi * 880 * t) * 0.5 + math.sin(2 * math.pi * 1320 * t) * 0.25
        samples.append(int(128 + 100 * envelope * value))
    fmt = struct.pack("<HHIIHH", 1, 1, rate, rate, 1, 8)
    data = b"fmt " + struct.pack("<I", len(fmt)) + fmt + b"data" + struct.pack("<I", len(samples)) + bytes(samples)
    with open(path, "wb") as f:
        f.write(b"RIFF" + struct.pack("<I", 4 + len(data)) + b"WAVE" + data)


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    for number, (colour, glyph) in ICONS.items():
        write_icon(os.path.join(out, "icon%d.ico" % number), colour, glyph)
    for number, (w, h, colour, style) in BITMAPS.items():
        write_bitmap(os.path.join(out, "bitmap%d.bmp" % number), w, h, colour, style)
    write_wave(os.path.join(out, "wave170.wav"))


if __name__ == "__main__":
    main()
