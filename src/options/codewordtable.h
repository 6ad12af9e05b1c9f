#pragma once

#include <array>
#include <cstdint>

// The code word table: 1000 distinct 16-bit code words, low four bits zero.
// The reader family's firmware decodes customer codes with the same table.
// The entries come from codewords.txt (or the site's own table, see the
// README), checked and converted when the program is built.
namespace CodeWordTable {

constexpr int kSize = 1000;
extern const std::array<std::uint16_t, kSize> kEntries;

// The index of the first entry equal to the word, or -1.
int lookUp(std::uint16_t word);

} // namespace CodeWordTable
