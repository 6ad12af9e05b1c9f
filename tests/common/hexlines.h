#pragma once

#include <QByteArray>
#include <QList>

#include <cstdint>

// Builds Intel HEX record lines for tests, independently of the code under test.
namespace HexLines {

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
