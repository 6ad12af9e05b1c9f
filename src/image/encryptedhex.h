#pragma once

#include "image/firmwareimage.h"

#include <QByteArray>
#include <QByteArrayView>

#include <array>
#include <cstdint>

// The encrypted hex format: a header line naming encryption, then the whole
// hex text enciphered with AES-128-CBC (zero fill) in Base64 lines of 76.
//
// The key generator's seed and multiplier, the IV and the header are fixed
// for good: encrypted files in the field decrypt only with these values.
namespace EncryptedHex {

constexpr std::uint32_t kKeySeed = 0x9E3779B9u;
constexpr std::uint32_t kKeyMultiplier = 0x2C1B3C6Du;
constexpr std::size_t kKeySize = 16;
constexpr std::array<std::uint8_t, 16> kFileIv = {
    0x3B, 0x8E, 0x1F, 0xD2, 0x64, 0xA9, 0x07, 0xC5, 0x5A, 0xF1, 0x92, 0x2E, 0xB8, 0x4D, 0x70, 0xE3,
};

// The 16 key bytes: the low byte of a 32-bit state that starts at the seed
// and is multiplied by the multiplier after every byte.
void buildFileKey(std::uint8_t (&key)[kKeySize]);

// The first line of an encrypted file written in the given year.
QByteArray headerLine(int year);

// Whether a first line marks an encrypted file: "ENCRYPT" anywhere, any case.
bool namesEncryption(QByteArrayView firstLine);

// Replaces the record list by its encrypted form (the header line and one
// entry holding the whole Base64 text) and sets held encrypted. The header
// carries the current year unless one is given.
void encryptImage(FirmwareImage &image, int year = 0);

// When the record list holds an encrypted file's form, replaces it by the
// deciphered lines and clears held encrypted; otherwise does nothing. Throws
// ECipher or ImageError when the text cannot be deciphered, and then leaves
// the image as it was.
void decryptInPlace(FirmwareImage &image);

} // namespace EncryptedHex
