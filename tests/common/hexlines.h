#pragma once

#include <QByteArray>
#include <QList>

#include <cstdint>

// Builds Intel HEX record lines for tests, independently of the code under test.
namespace HexLines {

// The reference example: one program line, a configuration line (never
// sent), end of file.
inline const QByteArray kThreeLines(":0400100001020304E2\r\n:02400E00F23F7F\r\n:00000001FF\r\n");

inline QByteArray record(int byteAddress, int type, const QByteArray &data)
{
    QByteArray bytes;
    bytes.append(char(data.size()));
    bytes.append(char(byteAddress >> 8));
    bytes.append(char(byteAddress & 0xFF));
    bytes.append(char(type));
    bytes.append(data);
    unsigned sum = 0;
    for (const char c : bytes)
        sum += static_cast<unsigned char>(c);
    bytes.append(char(-sum & 0xFF));
    return ':' + bytes.toHex().toUpper();
}

// A data record holding program words (low byte first) from firstWord on.
inline QByteArray words(int firstWord, const QList<std::uint16_t> &values)
{
    QByteArray data;
    for (const std::uint16_t value : values) {
        data.append(char(value & 0xFF));
        data.append(char(value >> 8));
    }
    return record(firstWord * 2, 0x00, data);
}

// Words of the 8K-word test program: word n holds n * 7, kept to 14 bits.
inline std::uint16_t programWord(int word)
{
    return std::uint16_t(word * 7 & 0x3FFF);
}

// The 8K-word test program: 1024 records of eight words, then the end record.
inline QByteArray program8K()
{
    QByteArray text;
    for (int record = 0; record < 1024; ++record) {
        QList<std::uint16_t> values;
        for (int k = 0; k < 8; ++k)
            values << programWord(record * 8 + k);
        text += words(record * 8, values) + "\r\n";
    }
    return text + ":00000001FF\r\n";
}

// Whether the line's bytes, checksum included, add up to zero modulo 256.
inline bool sumsToZero(const QByteArray &line)
{
    const QByteArray bytes = QByteArray::fromHex(line.mid(1));
    unsigned sum = 0;
    for (const char c : bytes)
        sum += static_cast<unsigned char>(c);
    return (sum & 0xFF) == 0;
}

} // namespace HexLines

// Slots: customer table at 0xF0, relay time 0xAB, facility code 0xA1/0xA2.
inline QByteArray firmware(bool codes, bool relay, bool facility, bool eeprom)
{
    QByteArray text = HexLines::words(0, {0x2800, 0x0000, 0x0000, 0x0000}) + "\r\n";
    if (facility)
        text += HexLines::words(0xA0, {0x0000, 0x340A, 0x3400, 0x0000}) + "\r\n";
    if (relay)
        text += HexLines::words(0xA8, {0x0000, 0x0000, 0x0000, 0x3432}) + "\r\n";
    if (codes) {
        text += HexLines::words(0xF0,
                                {0x0782, 0x3400, 0x3400, 0x3400, 0x3400, 0x3400, 0x3400, 0x3400})
            + "\r\n";
        text += HexLines::words(0xF8, {0x3400, 0x3400, 0x3400, 0x3400, 0x3400, 0x3400, 0x3400})
            + "\r\n";
    }
    if (eeprom)
        text += HexLines::words(0x2100, {0x0001}) + "\r\n";
    return text + ":00000001FF\r\n";
}
