#include "options/customercodes.h"

#include "options/codewordtable.h"
#include "options/optionword.h"

namespace CustomerCodes {

using OptionSlots::Kind;

std::optional<std::uint16_t> encode(Kind kind, int code)
{
    if (code < 0 || code > OptionSlots::maximumCode(kind))
        return std::nullopt;
    if (code == 0)
        return 0;
    switch (kind) {
    case Kind::CF:
        return CodeWordTable::kEntries[std::size_t(code)];
    case Kind::DF:
        return std::uint16_t(CodeWordTable::kEntries[std::size_t(code / 10)] | (code % 10));
    case Kind::GF:
        return std::uint16_t(code);
    }
    return std::nullopt;
}

std::optional<int> decode(Kind kind, std::uint16_t word)
{
    if (word == 0 || kind == Kind::GF)
        return int(word);
    const int index = CodeWordTable::lookUp(kind == Kind::DF ? std::uint16_t(word & 0xFFF0) : word);
    if (index < 0)
        return std::nullopt;
    return kind == Kind::DF ? 10 * index + (word & 0x000F) : index;
}

namespace {

// Writes a slot's code word, high byte first; both bytes are attempted.
bool writeWord(RecordList &records, const OptionSlots::SlotInfo &info, std::uint16_t word)
{
    if (info.lowWord < 0)
        return OptionWord::write(records, info.highWord, std::uint8_t(word));
    const bool high = OptionWord::write(records, info.highWord, std::uint8_t(word >> 8));
    const bool low = OptionWord::write(records, info.lowWord, std::uint8_t(word & 0xFF));
    return high && low;
}

} // namespace

bool writeSlot(RecordList &records, OptionSlots::Slot slot, int code)
{
    const OptionSlots::SlotInfo &info = OptionSlots::kSlots[slot];
    const std::optional<std::uint16_t> word = encode(info.kind, code);
    // All or nothing: never half a code word.
    if (!word || !OptionWord::find(records, info.highWord)
        || (info.lowWord >= 0 && !OptionWord::find(records, info.lowWord)))
        return false;
    return writeWord(records, info, *word);
}

bool write(RecordList &records, const CustomerSlots &codes, bool groupShown)
{
    if (!groupShown)
        return true;

    // Every byte is attempted: a slot whose second word is missing still
    // gets its first byte.
    bool all = true;
    for (const OptionSlots::Slot slot : OptionSlots::kSlotOfRow) {
        const OptionSlots::SlotInfo &info = OptionSlots::kSlots[slot];
        const std::optional<std::uint16_t> word = encode(info.kind, codes[slot]);
        // Slots hold only checked codes; one that does not fit is not
        // written at all rather than written wrong.
        all = (word && writeWord(records, info, *word)) && all;
    }
    return all;
}

std::optional<CustomerSlots> read(const FirmwareImage &image)
{
    if (image.heldEncrypted)
        return std::nullopt;

    CustomerSlots codes{};
    for (const OptionSlots::Slot slot : OptionSlots::kSlotOfRow) {
        const OptionSlots::SlotInfo &info = OptionSlots::kSlots[slot];
        const std::optional<std::uint8_t> high = OptionWord::read(image.records, info.highWord);
        if (!high)
            return std::nullopt;
        std::uint16_t word = *high;
        if (info.lowWord >= 0) {
            const std::optional<std::uint8_t> low = OptionWord::read(image.records, info.lowWord);
            if (!low)
                return std::nullopt;
            word = std::uint16_t(word << 8 | *low);
        }
        const std::optional<int> code = decode(info.kind, word);
        if (!code)
            return std::nullopt;
        codes[slot] = *code;
    }
    return codes;
}

} // namespace CustomerCodes
