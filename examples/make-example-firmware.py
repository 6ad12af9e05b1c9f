#!/usr/bin/env python3
"""Writes the bundled example firmware: a made-up reader program in the layout
of the real ones (program words, option words, EEPROM data, configuration
word), as Intel HEX in 16-byte records. Deterministic: the same file every run.

usage: make-example-firmware.py OUT.hex
"""
import random
import sys

OPTION = 0x3400            # return-with-literal: option byte in the low half


def program_words():
    rng = random.Random(20261208)
    words = {}
    for address in range(0x0000, 0x0400):
        words[address] = rng.randrange(0x0000, 0x3FFF) & 0x37FF  # never an option word
    words[0x00A1] = OPTION | 0x0A   # facility code 10, low byte
    words[0x00A2] = OPTION | 0x00   # facility code, high byte
    words[0x00AB] = OPTION | 0x32   # relay time 5.0 s
    words[0x00F0] = 0x0782          # addwf PCL: the jump into the code table
    for address in range(0x00F1, 0x00FF):
        words[address] = OPTION     # eight empty customer code slots
    return words


def record(byte_address, rtype, data):
    body = bytes([len(data), byte_address >> 8, byte_address & 0xFF, rtype]) + bytes(data)
    checksum = (-sum(body)) & 0xFF
    return ":" + body.hex().upper() + "%02X" % checksum


def data_records(words):
    """Words (low byte first) in records of eight words, split where they stop."""
    lines = []
    addresses = sorted(words)
    run = []
    for address in addresses:
        if run and (address != run[-1] + 1 or len(run) == 8):
            lines.append(emit(run, words))
            run = []
        run.append(address)
    if run:
        lines.append(emit(run, words))
    return lines


def emit(run, words):
    data = []
    for address in run:
        data += [words[address] & 0xFF, words[address] >> 8]
    return record(run[0] * 2, 0x00, data)


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    lines = [record(0x0000, 0x04, [0x00, 0x00])]
    lines += data_records(program_words())
    lines += data_records({0x2007: 0x3F72})                            # configuration word
    lines += data_records({0x2100 + i: (0x10 + i) for i in range(16)})  # EEPROM data
    lines.append(record(0x0000, 0x01, []))
    with open(sys.argv[1], "w", newline="\r\n") as out:
        out.write("\n".join(lines) + "\n")


main()
