#pragma once

#include "image/firmwareimage.h"
#include "options/optionslots.h"

#include <array>
#include <cstdint>
#include <optional>

// The eight customer code slots, in the order CF, C, DF, D, GF, G, A, B;
// 0 is an empty slot.
using CustomerSlots = std::array<int, OptionSlots::kSlotCount>;

namespace CustomerCodes {

// Encodings. A CF code is its table entry; a DF code the entry of its first
// three digits plus the last digit in the low four bits; a GF code is itself.
// An empty slot (0) encodes as 0. Nothing for a code outside its kind's range.
std::optional<std::uint16_t> encode(OptionSlots::Kind kind, int code);

// Decodings: 0 gives an empty slot; nothing when the word (for DF, its upper
// twelve bits) is not in the table. A DF word's low four bits are added as
// they are, even above 9.
std::optional<int> decode(OptionSlots::Kind kind, std::uint16_t word);

// Writes one slot's code bytes (high byte first); false when the code does
// not fit its kind or an option word is missing, in which case nothing of
// the slot is written.
bool writeSlot(RecordList &records, OptionSlots::Slot slot, int code);

// Write customer codes: when the customer code group is shown, writes the
// fourteen code bytes in grid-row order (each slot high byte first), every
// write attempted; true when all were written. When the group is not shown,
// writes nothing and returns true.
bool write(RecordList &records, const CustomerSlots &codes, bool groupShown);

// Read customer codes: all eight slots, or nothing when the image is held
// encrypted, a byte cannot be read or a code word is not in the table.
std::optional<CustomerSlots> read(const FirmwareImage &image);

} // namespace CustomerCodes
