#!/usr/bin/env python3
"""Writes a code word table: 1000 lines of four hex digits, entry 0 being 0000
and entries 1 to 999 distinct, non-zero, with their low four bits zero (the
DF digit goes there). Deterministic: the same table every run.

This made codewords.txt once; the table must never change afterwards, since
readers in the field decode their codes with it. A site with its own table
replaces codewords.txt instead.

usage: make-codewords.py OUT"""
import random
import sys

if len(sys.argv) != 2:
    sys.exit(__doc__)
rng = random.Random(0xC0DE5EED)
upper = rng.sample(range(1, 0x1000), 999)  # the upper twelve bits
with open(sys.argv[1], "w", newline="\n") as out:
    out.write("0000\n")
    for value in upper:
        out.write("%04X\n" % (value << 4))
