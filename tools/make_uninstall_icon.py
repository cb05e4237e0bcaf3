#!/usr/bin/env python3
"""Draws the uninstaller's application icon and writes it as uninstall/uninstall.ico.

One 32 x 32 image of 256 colours: a keyboard with its cable and plug, lettered USB. Standard
library only; run it again after changing the drawing and commit the .ico it writes.
"""
import struct
import sys
from pathlib import Path

SIZE = 32

# Palette index -> (red, green, blue). Index 0 is the background, which the mask makes clear.
PALETTE = {
    0: (0, 0, 0),
    1: (40, 40, 48),     # outlines and the cable
    2: (200, 200, 204),  # keyboard body
    3: (244, 244, 248),  # key tops
    4: (128, 128, 136),  # key shadows
    5: (24, 72, 168),    # the lettering
    6: (176, 176, 184),  # the plug's metal
}

# 3 x 5 letters.
FONT = {
    "U": ["X.X", "X.X", "X.X", "X.X", "XXX"],
    "S": ["XXX", "X..", "XXX", "..X", "XXX"],
    "B": ["XX.", "X.X", "XX.", "X.X", "XX."],
}


def draw():
    pixels = [[0] * SIZE for _ in range(SIZE)]  # [y][x], y = 0 at the top

    def rect(x0, y0, x1, y1, colour):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                pixels[y][x] = colour

    # The keyboard: an outlined body with rounded corners and three rows of keys.
    rect(1, 15, 30, 28, 1)
    rect(2, 16, 29, 27, 2)
    for x, y in ((1, 15), (30, 15), (1, 28), (30, 28)):
        pixels[y][x] = 0
    for row, y in enumerate((17, 20, 23)):
        first = 3 + row
        for x in range(first, 28, 3):
            rect(x, y, x + 1, y + 1, 3)
            pixels[y + 2][x] = 4
            pixels[y + 2][x + 1] = 4
    rect(8, 26, 23, 26, 3)  # the space bar

    # The cable: up from the keyboard's back, to the plug.
    for y in range(8, 15):
        pixels[y][23] = 1
    rect(21, 5, 25, 7, 1)  # the plug's grip
    rect(22, 1, 24, 4, 6)  # its metal end
    pixels[2][23] = 1

    # "USB" at the top left.
    for index, letter in enumerate("USB"):
        for row, line in enumerate(FONT[letter]):
            for column, mark in enumerate(line):
                if mark == "X":
                    pixels[3 + row][3 + 4 * index + column] = 5
    return pixels


def icon_bytes(pixels):
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, 2 * SIZE, 1, 8, 0, 0, 0, 0, 0, 0)
    palette = b"".join(
        struct.pack("BBBB", *reversed(PALETTE.get(i, (0, 0, 0))), 0) for i in range(256))
    colours = b"".join(bytes(pixels[y]) for y in reversed(range(SIZE)))
    mask = b""
    for y in reversed(range(SIZE)):
        bits = 0
        for x in range(SIZE):
            bits = (bits << 1) | (1 if pixels[y][x] == 0 else 0)
        mask += struct.pack(">I", bits)
    image = header + palette + colours + mask
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 8, len(image), 6 + 16)
    return directory + entry + image


def main():
    target = Path(__file__).resolve().parent.parent / "uninstall" / "uninstall.ico"
    if len(sys.argv) > 1:
        target = Path(sys.argv[1])
    target.write_bytes(icon_bytes(draw()))
    print(f"wrote {target}")


if __name__ == "__main__":
    main()
