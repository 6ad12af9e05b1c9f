#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

// Frame line: one line of the record list as the bootloader's write
// messages: 0xE3, word address (high, low), N, checksum (sum of the N data
// bytes), then the line's 16-bit words high byte first. Program memory
// messages are padded with zero words to end before a multiple of four
// words.
namespace RecordFraming {

constexpr qsizetype kHeaderSize = 5;
constexpr qsizetype kMaxMessage = 256;

// What of the image a download sends besides the program (configuration
// words never). The window's "Download EEPROM data" gives the first, counted
// whether shown or not; the customer code table is left out only when its
// box "Download customer codes" is shown and unchecked.
struct Options {
    bool sendEeprom = false;
    bool sendCodeTable = true;
};

// The write messages of a line; none when the line is not sent (not a data
// record, configuration words, EEPROM data or the customer code table unless
// sent: all by the line's first word address). Almost every line gives one message; a line whose
// message would exceed 256 bytes gives several, each of whole four-word groups. An odd last data
// byte belongs to no word and is not sent.
QList<QByteArray> frameLine(QByteArrayView line, const Options &options);

} // namespace RecordFraming
