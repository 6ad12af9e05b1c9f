#pragma once

#include "image/firmwareimage.h"
#include "options/customercodes.h"
#include "options/readeroptions.h"

#include <array>
#include <optional>

// Prepare the image for output, the one step before every save, download
// and tool output: decipher it when it is held encrypted, write the options,
// encipher it when an encrypted file is wanted.
namespace ImageOutput {

// The options to write; what is not named keeps the image's own value.
struct OptionChanges {
    // The whole customer code group, as the settings panel writes it: the
    // fourteen code bytes in grid-row order, each write attempted.
    std::optional<CustomerSlots> customerCodeGroup;
    // Single slots, each written whole or not at all.
    std::array<std::optional<int>, OptionSlots::kSlotCount> codes{};
    std::optional<double> relayTimeSeconds;
    std::optional<qint64> facilityCode;

    // What the window writes: the codes while their group is shown, the
    // relay time and the facility code always.
    static OptionChanges fromPanel(const ReaderOptions &options, bool codesShown);

    // Writes them in the order codes, relay time, facility code; a slot the
    // image lacks is passed over.
    void writeInto(RecordList &records) const;
};

enum class Form { Plain, Encrypted };

// Throws what EncryptedHex::decryptInPlace throws when a held encrypted
// image cannot be deciphered; the image is then left as it was. The year
// goes into an encrypted file's header (0: this year).
void prepare(FirmwareImage &image, const OptionChanges &changes, Form form = Form::Plain,
             int year = 0);

} // namespace ImageOutput
