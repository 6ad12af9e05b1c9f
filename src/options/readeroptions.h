#pragma once

#include "image/firmwareimage.h"
#include "options/customercodes.h"

#include <optional>

// The reader options as the settings panel holds them, and their writing into
// and reading out of the image.
struct ReaderOptions {
    static constexpr double kInitialRelayTimeSeconds = 5.0;
    static constexpr int kInitialFacilityCode = 10;

    CustomerSlots customerCodes{};
    double relayTimeSeconds = kInitialRelayTimeSeconds;
    qint64 facilityCode = kInitialFacilityCode;
};

namespace ReaderOptionsIo {

// The relay time byte for a time in seconds: tenths, truncated toward zero
// (2.35 s gives 23), limited to 0..255 so a time above 25.5 s is written as
// 25.5 s and never cut to the byte's width.
std::uint8_t relayTimeTenths(double seconds);

// Write relay time: the byte at 0xAB. False when the image has no slot.
bool writeRelayTime(RecordList &records, double seconds);

// Write facility code: low byte to 0xA1, then high byte to 0xA2, the value
// limited to 0..65535. True only when both were written.
bool writeFacilityCode(RecordList &records, qint64 facilityCode);

// Read relay time: the slot's byte in tenths of a second (0x32 is 5.0 s).
std::optional<int> readRelayTimeTenths(const FirmwareImage &image);

// Read facility code: high byte x 256 + low byte.
std::optional<int> readFacilityCode(const FirmwareImage &image);

} // namespace ReaderOptionsIo
