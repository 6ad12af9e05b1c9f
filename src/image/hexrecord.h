#pragma once

#include "image/contentflags.h"

#include <QByteArrayView>

// Reading and checking one Intel HEX record line as the record list keeps it:
// ':' count(2) address(4) type(2) data(2N) checksum(2), digits in either case.
namespace HexRecord {

// Positions of the fields, 0-based.
constexpr qsizetype kCountPos = 1;
constexpr qsizetype kAddressPos = 3;
constexpr qsizetype kTypePos = 7;
constexpr qsizetype kDataPos = 9;

// Record types the image accepts. Extended address records are accepted but
// not applied: every record is read at its own 16-bit address.
constexpr int kTypeData = 0x00;
constexpr int kTypeEndOfFile = 0x01;
constexpr int kTypeExtendedSegment = 0x02;
constexpr int kTypeExtendedLinear = 0x04;

// The record tests, in the order a load applies them.
enum class Test {
    None, // the record passed
    Length, // line length is not 2N+11
    Address, // address field is not hexadecimal
    Type, // type other than 00, 01, 02, 04
    Checksum, // checksum field does not match
    HexDigits, // a character after ':' is not a hexadecimal digit
    OddDataLength, // data record with an odd byte count: its last byte belongs to no word
};

// Value of one hex digit, or -1.
int digitValue(char c);

// Value of the two-digit field at pos, or -1 when it is not hexadecimal or
// lies beyond the line.
int byteField(QByteArrayView line, qsizetype pos);

// Value of the four-digit field at pos, or -1.
int wordField(QByteArrayView line, qsizetype pos);

// The uppercase hex digit of a value 0-15.
char upperDigit(int value);

// The 8-bit two's complement checksum over the bytes at characters
// 1 .. 8+2N (count, address, type, data), a bad pair counting as 0xFF.
int computeChecksum(QByteArrayView line, int count);

struct Result {
    Test failed = Test::None;
    int count = -1; // byte count field, -1 when not hexadecimal
    int type = -1; // type field, -1 when not hexadecimal
    int checksum = -1; // checksum field, -1 when not hexadecimal
    int computed = 0; // checksum the record's bytes call for
};

// Tests a line that begins with ':' against every record test in order and
// stops at the first that fails. A bad count reads as -1 (asking for a line of
// 9 characters), a bad address or type fails its test, and a bad byte or
// checksum field counts as 0xFF in the checksum.
Result check(QByteArrayView line);

// Sets the content flags for the data words of an accepted record (any type):
// EEPROM data at word 0x2100 and above, and option words (high byte 0x34) at
// the customer table, relay time and facility code slots. A bad byte reads as 0.
void addContentFlags(QByteArrayView line, ContentFlags &flags);

} // namespace HexRecord
