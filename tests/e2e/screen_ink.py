#!/usr/bin/env python3
"""Where the ink of a screen area lies: the x range of the pixels that differ
from the area's most common colour (its background).

    screen_ink.py <screen.xwd> <left> <top> <right> <bottom>

Prints "first end": the screen x of the leftmost inked column and one past
the rightmost (so end - first is the ink's width), or "none". Right and
bottom are exclusive. The picture is the screen as capture_screen copies
it: an xwd ZPixmap, 24 or 32 bits a pixel.
"""
import struct
import sys
from collections import Counter

# A pixel counts as ink when its red, green and blue differ from the
# background's by more than this in sum (anti-aliased edges stay below it).
THRESHOLD = 60


def read_xwd(path):
    data = open(path, "rb").read()
    if len(data) < 100:
        sys.exit("not an xwd picture: " + path)
    h = struct.unpack(">25I", data[:100])
    header_size, version, pixmap_format = h[0], h[1], h[2]
    width, height, byte_order = h[4], h[5], h[7]
    bits_per_pixel, bytes_per_line = h[11], h[12]
    masks, ncolors = h[14:17], h[19]
    if version != 7 or pixmap_format != 2 or bits_per_pixel not in (24, 32):
        sys.exit("unsupported xwd picture")
    start = header_size + ncolors * 12
    if start + bytes_per_line * height > len(data):
        sys.exit("short xwd picture")
    step = bits_per_pixel // 8
    order = "little" if byte_order == 0 else "big"
    shifts = [(m & -m).bit_length() - 1 for m in masks]

    def pixel(x, y):
        at = start + y * bytes_per_line + x * step
        value = int.from_bytes(data[at:at + step], order)
        return tuple((value & m) >> s for m, s in zip(masks, shifts))

    return width, height, pixel


def main():
    if len(sys.argv) != 6:
        sys.exit(__doc__)
    width, height, pixel = read_xwd(sys.argv[1])
    left, top, right, bottom = (int(v) for v in sys.argv[2:])
    left, top = max(left, 0), max(top, 0)
    right, bottom = min(right, width), min(bottom, height)
    if left >= right or top >= bottom:
        sys.exit("empty area")
    area = {(x, y): pixel(x, y) for y in range(top, bottom) for x in range(left, right)}
    background = Counter(area.values()).most_common(1)[0][0]
    inked = sorted({x for (x, _), c in area.items()
                    if sum(abs(a - b) for a, b in zip(c, background)) > THRESHOLD})
    print(f"{inked[0]} {inked[-1] + 1}" if inked else "none")


if __name__ == "__main__":
    main()
