#!/usr/bin/env python3
"""Writes the status dialog's icon "STA_FTP" (a server, a file and the copy between them)
as a 32 by 32 icon file of 16 colours, from the picture below. The module's own resource
script (driver/tarvoftp.rc) holds it: the dialogs run with the module's instance, which is
where a template's icon is looked up.

Each letter is a colour of the standard 16-colour palette; '.' is transparent.

Usage: status_icon.py output.ico
"""

import struct
import sys

PICTURE = [
    "................................",
    "................................",
    "................................",
    ".KKKKKKKKKK..........KKKKKK.....",
    ".KSSSSSSSSK..........KWWWWKG....",
    ".KSSSSSSSSK..........KWWWWKGG...",
    ".KSGGGGGGSK..........KWWWWKGGG..",
    ".KSWWWWWWSK..........KWWWWKKKKK.",
    ".KSSSSSSSSK..........KWWWWWWWWK.",
    ".KSGGGGGGSK..........KWWWWWWWWK.",
    ".KSWWWWWWSK..........KWGGGGGGWK.",
    ".KSSSSSSSSK..........KWWWWWWWWK.",
    ".KSGGGGGGSK..........KWWWWWWWWK.",
    ".KSWWWWWWSK..B....B..KWGGGGGGWK.",
    ".KSSSSSSSSK.BB....BB.KWWWWWWWWK.",
    ".KSSSSSSSSKBBBBBBBBBBKWWWWWWWWK.",
    ".KSSSSSSSSKBBBBBBBBBBKWGGGGGGWK.",
    ".KSSSSSSSSK.BB....BB.KWWWWWWWWK.",
    ".KSSSSSSSSK..B....B..KWWWWWWWWK.",
    ".KSSSSSSSSK..........KWGGGGGGWK.",
    ".KSSSSSSSSK..........KWWWWWWWWK.",
    ".KSSSSSSSSK..........KWWWWWWWWK.",
    ".KSSSSSSSSK..........KWGGGGGGWK.",
    ".KSSSSSSSSK..........KWWWWWWWWK.",
    ".KSGGGSLLSK..........KWWWWWWWWK.",
    ".KSSSSSLLSK..........KWGGGGGGWK.",
    ".KSSSSSSSSK..........KWWWWWWWWK.",
    ".KSSSSSSSSK..........KWWWWWWWWK.",
    ".KKKKKKKKKK..........KKKKKKKKKK.",
    "................................",
    "................................",
    "................................",
]

# The 16-colour palette as Windows gives it, by letter: (red, green, blue).
PALETTE = [
    ("K", (0x00, 0x00, 0x00)), ("R", (0x80, 0x00, 0x00)), ("D", (0x00, 0x80, 0x00)),
    ("O", (0x80, 0x80, 0x00)), ("N", (0x00, 0x00, 0x80)), ("P", (0x80, 0x00, 0x80)),
    ("T", (0x00, 0x80, 0x80)), ("S", (0xC0, 0xC0, 0xC0)), ("G", (0x80, 0x80, 0x80)),
    ("r", (0xFF, 0x00, 0x00)), ("L", (0x00, 0xFF, 0x00)), ("Y", (0xFF, 0xFF, 0x00)),
    ("B", (0x00, 0x00, 0xFF)), ("F", (0xFF, 0x00, 0xFF)), ("A", (0x00, 0xFF, 0xFF)),
    ("W", (0xFF, 0xFF, 0xFF)),
]


def icon_file(picture):
    size = len(picture)
    if size != 32 or any(len(row) != size for row in picture):
        raise ValueError("the picture must be 32 rows of 32 letters")
    index = {letter: i for i, (letter, _) in enumerate(PALETTE)}
    colours = bytearray()
    mask = bytearray()
    # Bitmap rows run from the bottom up; the colour rows hold two pixels a byte, the mask
    # rows one bit a pixel (1: transparent), each row a multiple of four bytes.
    for row in reversed(picture):
        pixels = [index.get(letter, 0) for letter in row]
        if any(letter != "." and letter not in index for letter in row):
            raise ValueError(f"unknown colour in {row!r}")
        colours += bytes(pixels[i] << 4 | pixels[i + 1] for i in range(0, size, 2))
        bits = 0
        for letter in row:
            bits = bits << 1 | (letter == ".")
        mask += bits.to_bytes(size // 8, "big")
    palette = b"".join(bytes((blue, green, red, 0)) for _, (red, green, blue) in PALETTE)
    # The image's height counts the colour rows and the mask rows together.
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 4, 0,
                         len(colours) + len(mask), 0, 0, 16, 0)
    image = header + palette + bytes(colours) + bytes(mask)
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(image), 6 + 16)
    return directory + entry + image


def main(argv):
    if len(argv) != 1:
        print(__doc__, file=sys.stderr)
        return 2
    with open(argv[0], "wb") as out:
        out.write(icon_file(PICTURE))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
