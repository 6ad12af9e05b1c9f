#!/bin/sh
# Writes the reference hex files of the image tests with tools independent of
# ours: srec_cat (Debian package srecord) and Python's intelhex
# (python3-intelhex). Their output is committed; run this again only to
# renew them.
set -eu
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Program memory 0x000-0x1FF with option words at words 0xA1 (facility code),
# 0xAB (relay time) and 0xF1 (customer code table), EEPROM data at word
# 0x2100 (byte 0x4200).
/usr/bin/python3 - "$tmp" <<'PY'
import sys
out = sys.argv[1]
prog = bytearray((i * 7 + 3) & 0x33 for i in range(0x200))
for word, low in ((0xA1, 0x0A), (0xAB, 0x32), (0xF1, 0x00)):
    prog[2 * word] = low
    prog[2 * word + 1] = 0x34
open(out + "/prog.bin", "wb").write(prog)
open(out + "/eeprom.bin", "wb").write(bytes(range(0x20)))
PY

srec_cat "$tmp/prog.bin" -binary "$tmp/eeprom.bin" -binary -offset 0x4200 \
    -o srec_cat-options.hex -intel
# Above 64 KiB srec_cat adds extended linear address records.
srec_cat "$tmp/prog.bin" -binary -offset 0x1FF00 -o srec_cat-above-64k.hex -intel

/usr/bin/python3 - "$tmp" <<'PY'
import sys
from intelhex import IntelHex
tmp = sys.argv[1]
ih = IntelHex()
ih.frombytes(open(tmp + "/prog.bin", "rb").read(), offset=0)
ih.frombytes(open(tmp + "/eeprom.bin", "rb").read(), offset=0x4200)
ih.write_hex_file("intelhex-options.hex", write_start_addr=False)
PY
