#include "options/readeroptions.h"

#include "options/optionslots.h"
#include "options/optionword.h"

#include <algorithm>
#include <cmath>

namespace ReaderOptionsIo {

std::uint8_t relayTimeTenths(double seconds)
{
    if (!(seconds > 0)) // also NaN
        return 0;
    // The nudge keeps one-decimal times whole: 2.3 * 10 is 22.999999999999996
    // in binary floating point and must still give 23.
    const double tenths = std::trunc(seconds * 10 + 1e-9);
    return std::uint8_t(std::min(tenths, 255.0));
}

bool writeRelayTime(RecordList &records, double seconds)
{
    return OptionWord::write(records, OptionSlots::kRelayTimeWord, relayTimeTenths(seconds));
}

bool writeFacilityCode(RecordList &records, qint64 facilityCode)
{
    const auto value = std::uint16_t(std::clamp<qint64>(facilityCode, 0, 0xFFFF));
    const bool low
        = OptionWord::write(records, OptionSlots::kFacilityCodeLowWord, std::uint8_t(value & 0xFF));
    const bool high
        = OptionWord::write(records, OptionSlots::kFacilityCodeHighWord, std::uint8_t(value >> 8));
    return low && high;
}

std::optional<int> readRelayTimeTenths(const FirmwareImage &image)
{
    if (image.heldEncrypted)
        return std::nullopt;
    const std::optional<std::uint8_t> tenths
        = OptionWord::read(image.records, OptionSlots::kRelayTimeWord);
    if (!tenths)
        return std::nullopt;
    return int(*tenths);
}

std::optional<int> readFacilityCode(const FirmwareImage &image)
{
    if (image.heldEncrypted)
        return std::nullopt;
    const std::optional<std::uint8_t> low
        = OptionWord::read(image.records, OptionSlots::kFacilityCodeLowWord);
    const std::optional<std::uint8_t> high
        = OptionWord::read(image.records, OptionSlots::kFacilityCodeHighWord);
    if (!low || !high)
        return std::nullopt;
    return *high * 256 + *low;
}

} // namespace ReaderOptionsIo
