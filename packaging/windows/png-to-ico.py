#!/usr/bin/env python3
"""Wraps PNG pictures into one Windows .ico (PNG entries, which Windows reads since Vista).
   png-to-ico.py OUT.ico IN.png..."""
import struct
import sys


def png_size(data):
    if data[:8] != b"\x89PNG\r\n\x1a\n" or data[12:16] != b"IHDR":
        raise SystemExit("not a PNG file")
    return struct.unpack(">II", data[16:24])


def main():
    out, pictures = sys.argv[1], [open(name, "rb").read() for name in sys.argv[2:]]
    header = struct.pack("<HHH", 0, 1, len(pictures))
    offset = len(header) + 16 * len(pictures)
    entries, bodies = b"", b""
    for data in pictures:
        width, height = png_size(data)
        if width > 256 or height > 256:
            raise SystemExit("an icon picture is at most 256 pixels wide and high")
        # 256 is written as 0.
        entries += struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
        bodies += data
    with open(out, "wb") as ico:
        ico.write(header + entries + bodies)


main()
