#include "download/recordframing.h"

#include "download/bootloaderprotocol.h"
#include "image/hexrecord.h"
#include "image/memorymap.h"

#include <algorithm>
#include <vector>

namespace RecordFraming {

namespace {

// Words per message when a line must be split: whole four-word groups that
// fit the 251 data bytes a message holds.
constexpr int kSplitWords = 124;

// A field that is not hexadecimal reads as 0 here.
int fieldOrZero(QByteArrayView line, qsizetype pos)
{
    return std::max(0, HexRecord::byteField(line, pos));
}

bool isSelected(int word, const Options &options)
{
    if (word >= MemoryMap::kConfigurationFirst && word <= MemoryMap::kConfigurationLast)
        return false;
    if (word >= MemoryMap::kEepromFirst && !options.sendEeprom)
        return false;
    if (word >= MemoryMap::kCustomerTableFirst && word <= MemoryMap::kCustomerTableLast
        && !options.sendCodeTable)
        return false;
    return true;
}

QByteArray message(int firstWord, const std::uint16_t *words, qsizetype count)
{
    QByteArray bytes;
    bytes.reserve(kHeaderSize + 2 * count);
    bytes.append(char(Bootloader::kWrite));
    bytes.append(char(firstWord >> 8 & 0xFF));
    bytes.append(char(firstWord & 0xFF));
    bytes.append(char(2 * count));
    bytes.append(char(0)); // checksum, below
    int sum = 0;
    for (qsizetype i = 0; i < count; ++i) {
        const int high = words[i] >> 8;
        const int low = words[i] & 0xFF;
        bytes.append(char(high));
        bytes.append(char(low));
        sum += high + low;
    }
    bytes[4] = char(sum & 0xFF);
    return bytes;
}

} // namespace

QList<QByteArray> frameLine(QByteArrayView line, const Options &options)
{
    if (line.size() < 11 || line[0] != ':')
        return {};
    if (HexRecord::byteField(line, HexRecord::kTypePos) != HexRecord::kTypeData)
        return {};

    const int firstWord = std::max(0, HexRecord::wordField(line, HexRecord::kAddressPos)) / 2;
    if (!isSelected(firstWord, options))
        return {};

    const int count = fieldOrZero(line, HexRecord::kCountPos);
    std::vector<std::uint16_t> words;
    words.reserve(std::size_t(count / 2 + 3));
    for (int k = 0; k < count / 2; ++k) {
        const qsizetype pos = HexRecord::kDataPos + 4 * qsizetype(k);
        words.push_back(std::uint16_t(fieldOrZero(line, pos + 2) << 8 | fieldOrZero(line, pos)));
    }
    if (firstWord <= MemoryMap::kProgramMemoryLast) {
        while ((firstWord + qsizetype(words.size())) % 4 != 0)
            words.push_back(0);
    }

    if (kHeaderSize + 2 * qsizetype(words.size()) <= kMaxMessage)
        return {message(firstWord, words.data(), qsizetype(words.size()))};

    // Split at word addresses that are multiples of four, so every part ends
    // on a group boundary as the bootloader writes program memory.
    QList<QByteArray> parts;
    const int end = firstWord + int(words.size());
    for (int start = firstWord; start < end;) {
        const int stop = std::min(end, (start + kSplitWords) / 4 * 4);
        parts << message(start, words.data() + (start - firstWord), stop - start);
        start = stop;
    }
    return parts;
}

} // namespace RecordFraming
