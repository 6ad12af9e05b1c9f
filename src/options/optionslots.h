#pragma once

#include "image/memorymap.h"

#include <array>

// Where the reader firmware keeps its options: each option byte is the low
// byte of an option word (return-with-literal, high byte 0x34) at a fixed
// program-memory word address, named by the memory map.
namespace OptionSlots {

constexpr int kFacilityCodeLowWord = MemoryMap::kFacilityCodeWord;
constexpr int kFacilityCodeHighWord = MemoryMap::kFacilityCodeWord + 1;
constexpr int kRelayTimeWord = MemoryMap::kRelayTimeWord;

// The eight customer code slots, in the order the window holds them.
enum Slot { CF, C, DF, D, GF, G, A, B };
constexpr int kSlotCount = 8;

// A code's kind is fixed by its slot, never by its value.
enum class Kind { CF, DF, GF };

struct SlotInfo {
    Kind kind;
    int gridRow; // row of the customer code grid
    int highWord; // word of the code word's high byte, or of the single GF byte
    int lowWord; // word of the code word's low byte; -1 for GF kinds
};

constexpr std::array<SlotInfo, kSlotCount> kSlots = {{
    {Kind::CF, 0, 0xF1, 0xF2}, // CF
    {Kind::CF, 3, 0xF3, 0xF4}, // C
    {Kind::DF, 1, 0xF5, 0xF6}, // DF
    {Kind::DF, 4, 0xF7, 0xF8}, // D
    {Kind::GF, 2, 0xF9, -1}, // GF
    {Kind::GF, 5, 0xFA, -1}, // G
    {Kind::CF, 6, 0xFB, 0xFC}, // A
    {Kind::DF, 7, 0xFD, 0xFE}, // B
}};

// The slot shown in each grid row, and the grid's row labels.
constexpr std::array<Slot, kSlotCount> kSlotOfRow = {CF, DF, GF, C, D, G, A, B};
constexpr std::array<const char *, kSlotCount> kRowLabels
    = {"CF", "DF", "GF", "C", "D", "G", "A", "B"};

// The largest code of each kind; the smallest is 1, and 0 means an empty slot.
constexpr int maximumCode(Kind kind)
{
    return kind == Kind::CF ? 999 : kind == Kind::DF ? 9999 : 255;
}

} // namespace OptionSlots
