// Load image from arbitrary bytes: never crashes, and a file that loads
// as valid loads again, line for line, after being written out.
#include "imageloader.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray text(reinterpret_cast<const char *>(data), qsizetype(size));
    FirmwareImage image;
    LoadReport report;
    const bool valid = loadImageFromText(text, image, &report);
    if (valid != (report.failure == LoadReport::Failure::None))
        std::abort();
    if (!valid)
        return 0;

    FirmwareImage again;
    if (!loadImageFromText(image.records.toText(), again) || !(again.records == image.records)
        || !(again.flags == image.flags))
        std::abort();
    return 0;
}
