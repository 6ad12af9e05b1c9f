#include "options/imageoutput.h"

#include "image/encryptedhex.h"

namespace ImageOutput {

OptionChanges OptionChanges::fromPanel(const ReaderOptions &options, bool codesShown)
{
    OptionChanges changes;
    if (codesShown)
        changes.customerCodeGroup = options.customerCodes;
    changes.relayTimeSeconds = options.relayTimeSeconds;
    changes.facilityCode = options.facilityCode;
    return changes;
}

void OptionChanges::writeInto(RecordList &records) const
{
    if (customerCodeGroup)
        CustomerCodes::write(records, *customerCodeGroup, true);
    for (std::size_t slot = 0; slot < codes.size(); ++slot) {
        if (codes[slot])
            CustomerCodes::writeSlot(records, OptionSlots::Slot(slot), *codes[slot]);
    }
    if (relayTimeSeconds)
        ReaderOptionsIo::writeRelayTime(records, *relayTimeSeconds);
    if (facilityCode)
        ReaderOptionsIo::writeFacilityCode(records, *facilityCode);
}

void prepare(FirmwareImage &image, const OptionChanges &changes, Form form, int year)
{
    if (image.heldEncrypted)
        EncryptedHex::decryptInPlace(image);
    changes.writeInto(image.records);
    if (form == Form::Encrypted)
        EncryptedHex::encryptImage(image, year);
}

} // namespace ImageOutput
