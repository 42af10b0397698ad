#!/usr/bin/python3
"""Turns the icon's XPM source into a 4-bit (16-colour) 32x32 .ico.

Only the XPM subset the source uses is read: one character a pixel, colours as
#RRGGBB. The AND mask is all zero, so no pixel is transparent. The output
depends on nothing but the input, so builds stay byte-for-byte reproducible.
"""
import re
import struct
import sys


def read_xpm(path):
    strings = re.findall(r'"([^"]*)"', open(path, encoding="ascii").read())
    width, height, ncolours, cpp = (int(v) for v in strings[0].split()[:4])
    if (width, height, cpp) != (32, 32, 1) or ncolours > 16:
        sys.exit(f"{path}: need 32x32, one character a pixel, at most 16 colours")
    palette, index = [], {}
    for line in strings[1:1 + ncolours]:
        char, key, value = line[0], *line[1:].split()
        if key != "c" or not re.fullmatch(r"#[0-9A-Fa-f]{6}", value):
            sys.exit(f"{path}: colour line {line!r} is not 'X c #RRGGBB'")
        index[char] = len(palette)
        palette.append(bytes.fromhex(value[1:]))
    rows = strings[1 + ncolours:1 + ncolours + height]
    if len(rows) != height or any(len(r) != width for r in rows):
        sys.exit(f"{path}: the pixel rows are not 32 of 32 characters")
    try:
        pixels = [[index[c] for c in row] for row in rows]
    except KeyError as e:
        sys.exit(f"{path}: pixel {e} is not in the palette")
    return palette + [b"\0\0\0"] * (16 - len(palette)), pixels


def ico_bytes(palette, pixels):
    xor = b"".join(
        bytes((row[x] << 4) | row[x + 1] for x in range(0, 32, 2)) for row in reversed(pixels))
    and_mask = bytes(4 * 32)
    image = struct.pack("<IiiHHIIiiII", 40, 32, 64, 1, 4, 0, len(xor) + len(and_mask), 0, 0, 16, 0)
    image += b"".join(bytes((rgb[2], rgb[1], rgb[0], 0)) for rgb in palette) + xor + and_mask
    header = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", 32, 32, 16, 0, 1, 4, len(image), 22)
    return header + image


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit("usage: xpm_to_ico.py ICON.xpm OUT.ico")
    with open(sys.argv[2], "wb") as out:
        out.write(ico_bytes(*read_xpm(sys.argv[1])))
