#include "image/hexrecord.h"

#include "image/memorymap.h"

#include <algorithm>
#include <array>

namespace HexRecord {

namespace {

constexpr std::array<signed char, 256> makeDigitTable()
{
    std::array<signed char, 256> table{};
    for (auto &entry : table)
        entry = -1;
    for (int c = '0'; c <= '9'; ++c)
        table[std::size_t(c)] = static_cast<signed char>(c - '0');
    for (int c = 'A'; c <= 'F'; ++c)
        table[std::size_t(c)] = static_cast<signed char>(c - 'A' + 10);
    for (int c = 'a'; c <= 'f'; ++c)
        table[std::size_t(c)] = static_cast<signed char>(c - 'a' + 10);
    return table;
}

constexpr std::array<signed char, 256> kDigits = makeDigitTable();

// Two digits known to lie inside the line; -1 when either is not hexadecimal.
inline int pairAt(const char *p)
{
    const int high = kDigits[static_cast<unsigned char>(p[0])];
    const int low = kDigits[static_cast<unsigned char>(p[1])];
    return (high | low) < 0 ? -1 : high * 16 + low;
}

bool isAcceptedType(int type)
{
    return type == kTypeData || type == kTypeEndOfFile || type == kTypeExtendedSegment
        || type == kTypeExtendedLinear;
}

} // namespace

int digitValue(char c)
{
    return kDigits[static_cast<unsigned char>(c)];
}

int byteField(QByteArrayView line, qsizetype pos)
{
    if (pos < 0 || pos + 2 > line.size())
        return -1;
    return pairAt(line.data() + pos);
}

int wordField(QByteArrayView line, qsizetype pos)
{
    const int high = byteField(line, pos);
    const int low = byteField(line, pos + 2);
    if (high < 0 || low < 0)
        return -1;
    return high * 256 + low;
}

char upperDigit(int value)
{
    return "0123456789ABCDEF"[value & 0xF];
}

namespace {

// Over count, both address bytes, type and data: count + 4 pairs. allHex
// tells whether every pair was hexadecimal.
int checksumOver(QByteArrayView line, int count, bool &allHex)
{
    int sum = 0;
    int bad = 0;
    const qsizetype pairs = std::min<qsizetype>(count + 4, (line.size() - kCountPos) / 2);
    const char *p = line.data() + kCountPos;
    for (qsizetype i = 0; i < pairs; ++i, p += 2) {
        const int value = pairAt(p);
        bad |= value;
        sum += value & 0xFF;
    }
    // Pairs beyond the line read as bad, like any other bad field.
    for (qsizetype i = pairs; i < count + 4; ++i) {
        bad = -1;
        sum += 0xFF;
    }
    allHex = bad >= 0;
    return -sum & 0xFF;
}

} // namespace

int computeChecksum(QByteArrayView line, int count)
{
    bool allHex = true;
    return checksumOver(line, count, allHex);
}

Result check(QByteArrayView line)
{
    Result result;
    const qsizetype length = line.size();

    result.count = byteField(line, kCountPos);
    if (length != 2 * qsizetype(result.count) + 11) {
        result.failed = Test::Length;
        return result;
    }

    if (wordField(line, kAddressPos) < 0) {
        result.failed = Test::Address;
        return result;
    }

    result.type = byteField(line, kTypePos);
    if (!isAcceptedType(result.type)) {
        result.failed = Test::Type;
        return result;
    }

    bool allHex = true;
    result.computed = checksumOver(line, result.count, allHex);
    result.checksum = byteField(line, length - 2);
    if ((result.checksum & 0xFF) != result.computed) {
        result.failed = Test::Checksum;
        return result;
    }

    // A bad pair counts as 0xFF above and can balance the sum by chance; a
    // record must never pass with a byte the line does not really hold.
    if (!allHex || result.checksum < 0) {
        result.failed = Test::HexDigits;
        return result;
    }

    if (result.type == kTypeData && result.count % 2 != 0) {
        result.failed = Test::OddDataLength;
        return result;
    }
    return result;
}

void addContentFlags(QByteArrayView line, ContentFlags &flags)
{
    const int count = byteField(line, kCountPos);
    const int address = wordField(line, kAddressPos);
    if (count < 2 || address < 0)
        return;

    const int firstWord = address / 2;
    const int words = count / 2;
    const int lastWord = firstWord + words - 1;

    if (lastWord >= MemoryMap::kEepromFirst)
        flags.eepromData = true;

    // Only words between the facility code and the end of the customer table
    // can be option slots the load reports.
    const int kFirst = std::max(0, MemoryMap::kFacilityCodeWord - firstWord);
    const int kLast = std::min(words - 1, MemoryMap::kCustomerTableLast - firstWord);
    for (int k = kFirst; k <= kLast; ++k) {
        const int word = firstWord + k;
        const bool customer
            = word >= MemoryMap::kCustomerTableFirst && word <= MemoryMap::kCustomerTableLast;
        const bool relay = word == MemoryMap::kRelayTimeWord;
        const bool facility = word == MemoryMap::kFacilityCodeWord;
        if (!customer && !relay && !facility)
            continue;
        const int high = std::max(0, byteField(line, kDataPos + 4 * qsizetype(k) + 2));
        if (high != MemoryMap::kOptionWordHigh)
            continue;
        flags.customerCodeTable = flags.customerCodeTable || customer;
        flags.relayTimeSlot = flags.relayTimeSlot || relay;
        flags.facilityCodeSlot = flags.facilityCodeSlot || facility;
    }
}

} // namespace HexRecord
