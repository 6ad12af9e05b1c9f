// Base64 decoding of arbitrary text never crashes, and whatever is encoded
// decodes back to itself.
#include "image/base64text.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    (void)Base64Text::decode(bytes);
    const std::optional<QByteArray> back = Base64Text::decode(Base64Text::encode(bytes));
    if (!back || *back != bytes)
        std::abort();
    return 0;
}
