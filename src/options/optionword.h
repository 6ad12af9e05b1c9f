#pragma once

#include "image/recordlist.h"

#include <cstdint>
#include <optional>

// Finding, reading and patching one option byte in the record lines.
namespace OptionWord {

struct Location {
    qsizetype line; // index in the record list
    int word; // data word k within the record
};

// The first record line, from the top, that covers the word address with an
// option word (high byte 0x34). Neither the record type nor the checksum is
// looked at; a line holding another instruction there does not stop the scan.
std::optional<Location> find(const RecordList &records, int wordAddress);

// The option byte at the word address, when an option word holds it.
std::optional<std::uint8_t> read(const RecordList &records, int wordAddress);

// Writes the option byte into the found line as two upper-case digits and
// gives the line a new upper-case checksum; every other character stays.
// False, with the list unchanged, when no option word holds the address.
bool write(RecordList &records, int wordAddress, std::uint8_t value);

} // namespace OptionWord
