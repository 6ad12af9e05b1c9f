// Decrypt in place over arbitrary encrypted text: either it deciphers, or it
// raises an error and leaves the image exactly as it was. And the same bytes
// as plain lines: enciphered and deciphered again they are the same lines.
#include "image/cipher.h"
#include "image/encryptedhex.h"

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
    } catch (const ECipherConsistency &) {
        std::abort(); // a caller's bug reached by data
    } catch (const std::exception &) {
        if (!(image.records == before) || !image.heldEncrypted)
            std::abort();
    }

    FirmwareImage plain;
    plain.records
        = RecordList::fromText(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    if (plain.records.isEmpty() || plain.records.at(0).startsWith("\xEF\xBB\xBF"))
        return 0; // no text to encipher, or a second byte-order mark the first line would lose
    FirmwareImage roundTrip = plain;
    EncryptedHex::encryptImage(roundTrip, 2026);
    try {
        EncryptedHex::decryptInPlace(roundTrip);
        if (!(roundTrip.records == plain.records) || roundTrip.heldEncrypted)
            std::abort();
    } catch (const ECipherConsistency &) {
        std::abort();
    } catch (const std::exception &) {
        // Only a text of mostly empty lines is refused.
        const QByteArray text = plain.records.toText();
        if (RecordList::countLines(text) <= RecordList::maximumLines(text.size()))
            std::abort();
    }
    return 0;
}
