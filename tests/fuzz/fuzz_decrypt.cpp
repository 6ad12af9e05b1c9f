// Decrypt in place over arbitrary encrypted text: either it deciphers, or it
// raises an error and leaves the image exactly as it was.
#include "encryptedhex.h"

#include <cstdint>
#include <cstdlib>
#include <exception>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FirmwareImage image;
    image.records.append("CORVANT ENCRYPTED");
    image.records.append(QByteArrayView(reinterpret_cast<const char *>(data), qsizetype(size)));
    image.heldEncrypted = true;
    const RecordList before = image.records;
    try {
        EncryptedHex::decryptInPlace(image);
        if (image.heldEncrypted)
            std::abort();
    } catch (const std::exception &) {
        if (!(image.records == before) || !image.heldEncrypted)
            std::abort();
    }
    return 0;
}
