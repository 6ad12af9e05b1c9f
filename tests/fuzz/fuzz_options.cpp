// Reader options on arbitrary images: what is written can be read back, the
// image stays a valid firmware file, and the lines that hold no option word
// are left alone.
#include "image/imageloader.h"
#include "options/customercodes.h"
#include "options/imageoutput.h"
#include "options/readeroptions.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 8)
        return 0;
    // The first bytes choose the options, the rest is the image.
    ReaderOptions options;
    options.customerCodes
        = {data[0] * 4 % 1000, data[1] % 200,      data[2] * 40 % 10000, data[3] % 10, data[4],
           data[5] % 2,        data[6] * 4 % 1000, data[7] * 39 % 10000};
    options.relayTimeSeconds = data[1] / 10.0;
    options.facilityCode = data[2] * 257 + data[3];
    FirmwareImage image;
    if (!loadImageFromText(
            QByteArray(reinterpret_cast<const char *>(data) + 8, qsizetype(size) - 8), image)
        || image.heldEncrypted)
        return 0;
    const RecordList before = image.records;
    ImageOutput::prepare(image, ImageOutput::OptionChanges::fromPanel(options, true));

    FirmwareImage reloaded;
    if (!loadImageFromText(image.records.toText(), reloaded)
        || reloaded.records.size() != before.size())
        std::abort();
    for (qsizetype i = 0; i < before.size(); ++i) {
        if (!before.at(i).contains("34") && before.at(i) != image.records.at(i))
            std::abort(); // no option word there, yet the line changed
    }
    // A slot that can be read was written.
    const std::optional<int> tenths = ReaderOptionsIo::readRelayTimeTenths(image);
    if (tenths && *tenths != ReaderOptionsIo::relayTimeTenths(options.relayTimeSeconds))
        std::abort();
    // A facility code above 65535 is written as the largest the words hold.
    const std::optional<int> facility = ReaderOptionsIo::readFacilityCode(image);
    if (facility && *facility != int(std::min<qint64>(options.facilityCode, 65535)))
        std::abort();
    const std::optional<CustomerSlots> codes = CustomerCodes::read(image);
    if (codes && *codes != options.customerCodes)
        std::abort();
    return 0;
}
