#!/usr/bin/env python3
"""Turns text pixel maps into 16-colour Windows bitmaps and icons.

A map file holds comment lines starting with '#', one line 'WxH', then H rows
of W characters, one per pixel, in the standard 16-colour palette:

  k black    r maroon   g green    y olive    b navy     m purple   t teal
  . silver   d grey     R red      G lime     Y yellow   B blue     M fuchsia
  C aqua     w white    - transparent (icons only)

usage: pixmap.py bmp OUT.bmp MAP
       pixmap.py ico OUT.ico MAP [MAP ...]
"""
import struct
import sys

PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
CODES = "krgybmt.dRGYBMCw"
TRANSPARENT = "-"


def read_map(path):
    with open(path) as f:
        lines = [l.rstrip("\n") for l in f if not l.startswith("#")]
    width, height = (int(v) for v in lines[0].split("x"))
    rows = lines[1:1 + height]
    if len(rows) != height:
        sys.exit(f"{path}: expected {height} rows, found {len(rows)}")
    for n, row in enumerate(rows):
        if len(row) != width:
            sys.exit(f"{path}: row {n + 1} has {len(row)} pixels, expected {width}")
        bad = set(row) - set(CODES) - {TRANSPARENT}
        if bad:
            sys.exit(f"{path}: row {n + 1} has unknown pixels {sorted(bad)}")
        rows[n] = row
    return width, height, rows


def palette_bytes():
    return b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)


def pixel_bits(width, rows):
    """4-bit colour rows, bottom-up, each padded to 4 bytes."""
    out = b""
    stride = ((width * 4 + 31) // 32) * 4
    for row in reversed(rows):
        indices = [0 if c == TRANSPARENT else CODES.index(c) for c in row]
        if len(indices) % 2:
            indices.append(0)
        line = bytes((indices[i] << 4) | indices[i + 1] for i in range(0, len(indices), 2))
        out += line.ljust(stride, b"\0")
    return out


def mask_bits(width, rows):
    """1-bit transparency rows, bottom-up, each padded to 4 bytes."""
    out = b""
    stride = ((width + 31) // 32) * 4
    for row in reversed(rows):
        bits = 0
        for c in row:
            bits = (bits << 1) | (1 if c == TRANSPARENT else 0)
        bits <<= (-width) % 8
        line = bits.to_bytes((width + 7) // 8, "big") if width else b""
        out += line.ljust(stride, b"\0")
    return out


def info_header(width, height, image_size):
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, 4, 0, image_size, 0, 0, 16, 0)


def write_bmp(out, path):
    width, height, rows = read_map(path)
    if any(TRANSPARENT in r for r in rows):
        sys.exit(f"{path}: bitmaps cannot have transparent pixels")
    bits = pixel_bits(width, rows)
    header = info_header(width, height, len(bits)) + palette_bytes()
    offset = 14 + len(header)
    with open(out, "wb") as f:
        f.write(struct.pack("<2sIHHI", b"BM", offset + len(bits), 0, 0, offset))
        f.write(header + bits)


def write_ico(out, paths):
    images = []
    for path in paths:
        width, height, rows = read_map(path)
        bits = pixel_bits(width, rows) + mask_bits(width, rows)
        images.append((width, height, info_header(width, height * 2, 0) + palette_bytes() + bits))
    offset = 6 + 16 * len(images)
    directory = struct.pack("<HHH", 0, 1, len(images))
    for width, height, data in images:
        directory += struct.pack("<BBBBHHII", width % 256, height % 256, 16, 0, 1, 4,
                                 len(data), offset)
        offset += len(data)
    with open(out, "wb") as f:
        f.write(directory + b"".join(data for _, _, data in images))


def main(argv):
    if len(argv) >= 4 and argv[1] == "bmp":
        write_bmp(argv[2], argv[3])
    elif len(argv) >= 4 and argv[1] == "ico":
        write_ico(argv[2], argv[3:])
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv)
