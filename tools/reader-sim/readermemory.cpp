#include "reader-sim/readermemory.h"

#include <cstdio>

bool ReaderMemory::holds(int first, int count)
{
    const int last = first + count - 1;
    if (first < 0 || count < 0)
        return false;
    if (count == 0)
        return first <= kEepromLast;
    const auto inOne = [&](int from, int to) { return first >= from && last <= to; };
    return inOne(0, kProgramLast) || inOne(kConfigurationFirst, kConfigurationLast)
        || inOne(kEepromFirst, kEepromLast);
}

namespace {

void appendRecord(QByteArray &hex, int byteAddress, const QByteArray &data)
{
    char line[64];
    int sum = int(data.size()) + (byteAddress >> 8) + (byteAddress & 0xFF);
    int pos = std::snprintf(line, sizeof line, ":%02X%04X00", int(data.size()), byteAddress);
    for (const char c : data) {
        const int byte = static_cast<unsigned char>(c);
        pos += std::snprintf(line + pos, sizeof line - std::size_t(pos), "%02X", byte);
        sum += byte;
    }
    std::snprintf(line + pos, sizeof line - std::size_t(pos), "%02X\r\n", -sum & 0xFF);
    hex.append(line);
}

} // namespace

QByteArray ReaderMemory::toIntelHex() const
{
    QByteArray hex;
    int runStart = -1;
    QByteArray data;
    int previous = -2;
    for (auto it = m_words.constBegin(); it != m_words.constEnd(); ++it) {
        const int word = it.key();
        if (runStart >= 0 && (word != previous + 1 || word % 8 == 0)) {
            appendRecord(hex, runStart * 2, data);
            runStart = -1;
        }
        if (runStart < 0) {
            runStart = word;
            data.clear();
        }
        data.append(char(it.value() & 0xFF));
        data.append(char(it.value() >> 8));
        previous = word;
    }
    if (runStart >= 0)
        appendRecord(hex, runStart * 2, data);
    hex.append(":00000001FF\r\n");
    return hex;
}
