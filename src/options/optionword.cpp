#include "options/optionword.h"

#include "image/hexrecord.h"
#include "image/memorymap.h"

#include <algorithm>

namespace OptionWord {

namespace {

// The low (option) byte of data word k stands at 0-based position 9 + 4k,
// its high byte right after it.
constexpr qsizetype lowBytePos(int k)
{
    return HexRecord::kDataPos + 4 * qsizetype(k);
}

} // namespace

std::optional<Location> find(const RecordList &records, int wordAddress)
{
    for (qsizetype i = 0; i < records.size(); ++i) {
        const QByteArrayView line = records.at(i);
        if (line.isEmpty() || line[0] != ':')
            continue;
        const int count = std::max(0, HexRecord::byteField(line, HexRecord::kCountPos));
        if (line.size() != 2 * qsizetype(count) + 11)
            continue;
        const int address = HexRecord::wordField(line, HexRecord::kAddressPos);
        if (address < 0 || count == 0)
            continue;
        const int k = wordAddress - address / 2;
        if (k < 0 || k > count / 2 - 1)
            continue;
        const int high = std::max(0, HexRecord::byteField(line, lowBytePos(k) + 2));
        if (high != MemoryMap::kOptionWordHigh)
            continue;
        return Location{i, k};
    }
    return std::nullopt;
}

std::optional<std::uint8_t> read(const RecordList &records, int wordAddress)
{
    const std::optional<Location> location = find(records, wordAddress);
    if (!location)
        return std::nullopt;
    const QByteArrayView line = records.at(location->line);
    return std::uint8_t(std::max(0, HexRecord::byteField(line, lowBytePos(location->word))));
}

bool write(RecordList &records, int wordAddress, std::uint8_t value)
{
    const std::optional<Location> location = find(records, wordAddress);
    if (!location)
        return false;

    QByteArray line = records.at(location->line).toByteArray();
    const qsizetype pos = lowBytePos(location->word);
    line[pos] = HexRecord::upperDigit(value >> 4);
    line[pos + 1] = HexRecord::upperDigit(value);

    const int count = HexRecord::byteField(line, HexRecord::kCountPos);
    const int checksum = HexRecord::computeChecksum(line, count);
    line[line.size() - 2] = HexRecord::upperDigit(checksum >> 4);
    line[line.size() - 1] = HexRecord::upperDigit(checksum);

    records.replace(location->line, line);
    return true;
}

} // namespace OptionWord
