#include "bighex.h"

#include <cstdio>

namespace {

void appendRecord(QByteArray &text, int address, int type, const unsigned char *data, int count)
{
    char line[64];
    int sum = count + (address >> 8) + (address & 0xFF) + type;
    int pos = std::snprintf(line, sizeof line, ":%02X%04X%02X", count, address & 0xFFFF, type);
    for (int i = 0; i < count; ++i) {
        pos += std::snprintf(line + pos, sizeof line - std::size_t(pos), "%02X", data[i]);
        sum += data[i];
    }
    std::snprintf(line + pos, sizeof line - std::size_t(pos), "%02X\r\n", -sum & 0xFF);
    text.append(line);
}

} // namespace

QByteArray makeBigHex(qsizetype dataBytes)
{
    QByteArray text;
    text.reserve(dataBytes / 16 * 45 + 64);
    unsigned char data[16];
    for (qsizetype offset = 0; offset < dataBytes; offset += 16) {
        if (offset % 0x10000 == 0) {
            const unsigned char upper[2] = {static_cast<unsigned char>(offset >> 24),
                                            static_cast<unsigned char>(offset >> 16)};
            appendRecord(text, 0, 0x04, upper, 2);
        }
        for (int i = 0; i < 16; ++i)
            data[i] = static_cast<unsigned char>((offset + i) * 131 >> 3);
        appendRecord(text, int(offset & 0xFFFF), 0x00, data, 16);
    }
    appendRecord(text, 0, 0x01, nullptr, 0);
    return text;
}
