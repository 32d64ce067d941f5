#!/usr/bin/env python3
"""Writes res/vorn.ico, the stub's window-class icon (resource 102).

One 32 x 32 image in 16 colours: a parcel with an arrow pointing into it.
The image is stored PNG-compressed (a 4-bit palette PNG with one
transparent palette entry), which Windows reads for icons of every size
since Vista; it takes about 200 bytes instead of the 744 of a bitmap
image, which matters in a stub that must fit in 17408 bytes.

Usage: tools/make-icon.py [OUTPUT]   (default res/vorn.ico)
"""
import struct
import sys
import zlib

SIZE = 32
# The colours of the 16-colour Windows palette that the image uses, at the
# front of its 4-bit palette (a PNG palette need not have all 16 entries);
# index 0 is made transparent below.
PALETTE = [(0, 0, 0), (128, 128, 128), (128, 128, 0), (255, 255, 0), (0, 0, 255)]
TRANSPARENT, OUTLINE, BOX, TAPE, ARROW = range(len(PALETTE))


def draw():
    pixels = [[TRANSPARENT] * SIZE for _ in range(SIZE)]
    for y in range(14, 30):  # the box with its outline and tape
        for x in range(4, 28):
            edge = y in (14, 29) or x in (4, 27)
            pixels[y][x] = OUTLINE if edge else TAPE if 14 <= x < 18 else BOX
    for y in range(2, 9):  # the arrow's shaft
        for x in range(13, 19):
            pixels[y][x] = ARROW
    for i, y in enumerate(range(9, 14)):  # and its head
        for x in range(9 + i, 23 - i):
            pixels[y][x] = ARROW
    return pixels


def png(pixels):
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    rows = b"".join(b"\0" + bytes((row[x] << 4) | row[x + 1] for x in range(0, SIZE, 2)) for row in pixels)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", SIZE, SIZE, 4, 3, 0, 0, 0)) +
            chunk(b"PLTE", b"".join(bytes(rgb) for rgb in PALETTE)) + chunk(b"tRNS", b"\0") +
            chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))


def icon(image):
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(image), len(directory) + 16)
    return directory + entry + image


if __name__ == "__main__":
    output = sys.argv[1] if len(sys.argv) > 1 else "res/vorn.ico"
    with open(output, "wb") as f:
        f.write(icon(png(draw())))
