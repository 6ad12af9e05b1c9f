#include "options/codewordtable.h"

namespace CodeWordTable {

int lookUp(std::uint16_t word)
{
    for (int i = 0; i < kSize; ++i) {
        if (kEntries[std::size_t(i)] == word)
            return i;
    }
    return -1;
}

} // namespace CodeWordTable
