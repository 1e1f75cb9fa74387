#!/usr/bin/env python3
"""shows_map.py SCREEN.png: exit status 0 when the screenshot shows a drawn
map: the light land colour over a tenth of the map area at least, and
darker grey street lines on it. Reads the 8-bit RGB(A) PNGs the
screenshots are saved as, without an image library."""
import struct
import sys
import zlib


def read_png(path):
    data = open(path, "rb").read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        sys.exit("shows_map: %s is not a PNG" % path)
    pos, idat, width, height, colour = 8, b"", 0, 0, 0
    while pos < len(data):
        size, tag = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + size]
        if tag == b"IHDR":
            width, height, depth, colour = struct.unpack(">IIBB", body[:10])
            if depth != 8 or colour not in (2, 6):
                sys.exit("shows_map: only 8-bit RGB and RGBA")
        elif tag == b"IDAT":
            idat += body
        pos += 12 + size
    bpp = 4 if colour == 6 else 3
    stride = width * bpp
    raw = zlib.decompress(idat)
    rows, prev = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - bpp] if i >= bpp else 0
            b = prev[i]
            c = prev[i - bpp] if i >= bpp else 0
            if kind == 1:
                line[i] = (line[i] + a) & 255
            elif kind == 2:
                line[i] = (line[i] + b) & 255
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(line)
        prev = line
    return width, height, bpp, rows


def main():
    width, height, bpp, rows = read_png(sys.argv[1])
    land = dark = total = 0
    for y in range(0, min(height, 420), 4):
        for x in range(0, min(width, 740), 4):
            r, g, b = rows[y][x * bpp:x * bpp + 3]
            total += 1
            land += r > 225 and g > 220 and b > 205 and r - b > 4
            dark += r < 200 and abs(r - g) < 20 and abs(g - b) < 20
    print("land %d, grey %d of %d" % (land, dark, total))
    sys.exit(0 if land > total // 10 and dark > 0 else 1)


if __name__ == "__main__":
    main()
