#!/usr/bin/env python3
"""Writes a big Intel HEX file: DATA bytes (default 4 MiB) in 16-byte records,
an extended linear address record before every 64 KiB, CR LF line ends.
The same layout as bench/bighex.cpp. usage: make-big-hex.py OUT [DATA]"""
import sys


def record(address, rtype, data):
    body = bytes([len(data), (address >> 8) & 0xFF, address & 0xFF, rtype]) + bytes(data)
    return ":%s%02X\r\n" % (body.hex().upper(), -sum(body) & 0xFF)


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__)
    size = int(sys.argv[2]) if len(sys.argv) == 3 else 4 * 1024 * 1024
    lines = []
    for offset in range(0, size, 16):
        if offset % 0x10000 == 0:
            lines.append(record(0, 0x04, [(offset >> 24) & 0xFF, (offset >> 16) & 0xFF]))
        data = [((offset + i) * 131 >> 3) & 0xFF for i in range(16)]
        lines.append(record(offset & 0xFFFF, 0x00, data))
    lines.append(record(0, 0x01, []))
    with open(sys.argv[1], "w", newline="") as out:
        out.write("".join(lines))


main()
