#include "image/encryptedhex.h"

#include "image/base64text.h"
#include "image/cipher.h"
#include "image/imageerror.h"

#include <QCoreApplication>
#include <QDate>

#include <openssl/crypto.h>

namespace EncryptedHex {

namespace {

constexpr int kKeyBits = 128;

// The key exists only for one cipher run and is wiped however the run ends.
class FileKey {
public:
    FileKey() { buildFileKey(m_bytes); }
    ~FileKey() { OPENSSL_cleanse(m_bytes, sizeof m_bytes); }
    FileKey(const FileKey &) = delete;
    FileKey &operator=(const FileKey &) = delete;

    const std::uint8_t *data() const { return m_bytes; }

private:
    std::uint8_t m_bytes[kKeySize];
};

} // namespace

void buildFileKey(std::uint8_t (&key)[kKeySize])
{
    std::uint32_t state = kKeySeed;
    for (std::uint8_t &byte : key) {
        byte = std::uint8_t(state & 0xFF);
        state *= kKeyMultiplier;
    }
}

QByteArray headerLine(int year)
{
    return QByteArrayLiteral("CORVANT ENCRYPTED HEX FILE - AES-128-CBC - ")
        + QByteArray::number(year);
}

bool namesEncryption(QByteArrayView firstLine)
{
    static constexpr QByteArrayView kMark("ENCRYPT");
    // Only ASCII letters can match the mark, so ASCII upper-casing suffices.
    for (qsizetype i = 0; i + kMark.size() <= firstLine.size(); ++i) {
        qsizetype k = 0;
        while (k < kMark.size()) {
            char c = firstLine[i + k];
            if (c >= 'a' && c <= 'z')
                c = char(c - 'a' + 'A');
            if (c != kMark[k])
                break;
            ++k;
        }
        if (k == kMark.size())
            return true;
    }
    return false;
}

void encryptImage(FirmwareImage &image, int year)
{
    QByteArray ciphertext;
    {
        const FileKey key;
        CipherState state;
        encryptInit(state, CipherId::Aes, CipherMode::Cbc, CipherPadding::ZeroFill, kKeyBits,
                    key.data(), kKeySize);
        const QByteArray plaintext = image.records.toText();
        ciphertext.resize(plaintext.size() + 16);
        const std::size_t length = encryptBuffer(
            state, reinterpret_cast<const std::uint8_t *>(plaintext.constData()),
            std::size_t(plaintext.size()), reinterpret_cast<std::uint8_t *>(ciphertext.data()),
            std::size_t(ciphertext.size()), kFileIv.data(), kFileIv.size());
        ciphertext.resize(qsizetype(length));
        encryptFinalise(state);
    }

    RecordList encrypted;
    encrypted.append(headerLine(year > 0 ? year : QDate::currentDate().year()));
    encrypted.append(Base64Text::encode(ciphertext));
    image.records = std::move(encrypted);
    image.heldEncrypted = true;
}

void decryptInPlace(FirmwareImage &image)
{
    const RecordList &records = image.records;
    if (records.size() < 2 || !namesEncryption(records.at(0)))
        return;

    QByteArray text;
    for (qsizetype i = 1; i < records.size(); ++i) {
        text.append(records.at(i));
        text.append("\r\n", 2);
    }
    // Blanks and control characters at either end need no stripping: the
    // decoder skips them wherever they stand.
    std::optional<QByteArray> decoded = Base64Text::decode(text);
    if (!decoded)
        throw ImageError(QCoreApplication::translate(
            "LoadReport", "the Base64 text is not whole groups of four characters"));
    if (decoded->isEmpty())
        throw ImageError(
            QCoreApplication::translate("LoadReport", "the encrypted text holds no data"));

    QByteArray &buffer = *decoded;
    {
        const FileKey key;
        CipherState state;
        decryptInit(state, CipherId::Aes, CipherMode::Cbc, CipherPadding::ZeroFill, kKeyBits,
                    key.data(), kKeySize);
        decryptBuffer(state, reinterpret_cast<std::uint8_t *>(buffer.data()),
                      std::size_t(buffer.size()), kFileIv.data(), kFileIv.size());
        decryptFinalise(state);
    }

    // Zero bytes belong only to the fill at the end; one inside the text is
    // a garbled block, whose lines would otherwise go missing unnoticed.
    if (const qsizetype line = RecordList::lineOfStrayZero(buffer))
        throw StrayZeroError(line);
    const qsizetype maximum = RecordList::maximumLines(buffer.size());
    const qsizetype lines = RecordList::countLines(buffer, maximum);
    if (lines > maximum)
        throw ImageError(
            QCoreApplication::translate(
                "LoadReport", "%1 lines in %2 bytes: mostly empty lines, which no firmware file is")
                .arg(RecordList::countLines(buffer))
                .arg(buffer.size()));
    // The first zero byte ends the text, which drops the padding.
    image.records = RecordList::fromText(std::move(buffer), lines);
    image.heldEncrypted = false;
}

} // namespace EncryptedHex
