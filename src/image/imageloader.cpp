#include "image/imageloader.h"

#include "common/safefile.h"
#include "image/encryptedhex.h"
#include "image/filenames.h"
#include "image/imageerror.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QFile>
#include <QLoggingCategory>

#include <exception>

Q_LOGGING_CATEGORY(lcImage, "corvant.image")

namespace {

using Failure = LoadReport::Failure;

bool fail(LoadReport &report, Failure failure, const QString &detail = {})
{
    report.failure = failure;
    report.detail = detail;
    return false;
}

QString hex2(int value)
{
    return QStringLiteral("%1").arg(value & 0xFF, 2, 16, QLatin1Char('0')).toUpper();
}

QString describeRecordFailure(const HexRecord::Result &result, qsizetype lineLength)
{
    using HexRecord::Test;
    switch (result.failed) {
    case Test::Length:
        if (result.count < 0)
            return QCoreApplication::translate("LoadReport", "the byte count is not hexadecimal");
        return QCoreApplication::translate(
                   "LoadReport", "the line is %1 characters long, its byte count %2 calls for %3")
            .arg(lineLength)
            .arg(result.count)
            .arg(2 * result.count + 11);
    case Test::Address:
        return QCoreApplication::translate("LoadReport", "the address is not hexadecimal");
    case Test::Type:
        if (result.type < 0)
            return QCoreApplication::translate("LoadReport", "the record type is not hexadecimal");
        return QCoreApplication::translate("LoadReport",
                                           "record type %1 is not accepted (00, 01, 02 or 04)")
            .arg(hex2(result.type));
    case Test::Checksum:
        return QCoreApplication::translate("LoadReport",
                                           "checksum %1, the record's bytes call for %2")
            .arg(result.checksum < 0 ? QCoreApplication::translate("LoadReport", "not hexadecimal")
                                     : hex2(result.checksum),
                 hex2(result.computed));
    case Test::HexDigits:
        return QCoreApplication::translate(
            "LoadReport", "the record holds characters that are not hexadecimal digits");
    case Test::OddDataLength:
        return QCoreApplication::translate("LoadReport",
                                           "a data record with an odd byte count (%1)")
            .arg(result.count);
    case Test::None:
        break;
    }
    return {};
}

// Reads a regular file in one piece of its own size (a file that grows
// meanwhile is read up to the size it had).
Failure readWhole(QFile &file, QByteArray &text)
{
    try {
        if (file.size() > kMaxImageFileSize)
            return Failure::TooLarge;
        text.resize(qsizetype(file.size()));
        qsizetype used = 0;
        while (used < text.size()) {
            const qint64 got = file.read(text.data() + used, text.size() - used);
            if (got < 0)
                return Failure::CannotRead;
            if (got == 0)
                break;
            used += qsizetype(got);
        }
        text.truncate(used);
        return Failure::None;
    } catch (const std::bad_alloc &) {
        return Failure::TooLarge;
    }
}

} // namespace

QString LoadReport::reason() const
{
    switch (failure) {
    case Failure::None:
        return {};
    case Failure::CannotRead:
        return QCoreApplication::translate("LoadReport", "cannot read the file: %1").arg(detail);
    case Failure::TooLarge:
        return QCoreApplication::translate("LoadReport", "the file is larger than %1 MiB")
            .arg(kMaxImageFileSize / (1024 * 1024));
    case Failure::Empty:
        return QCoreApplication::translate("LoadReport", "the file is empty");
    case Failure::EncryptedWithoutText:
        return QCoreApplication::translate(
            "LoadReport", "the first line names encryption but no encrypted text follows");
    case Failure::Decryption:
        return QCoreApplication::translate("LoadReport",
                                           "the encrypted text cannot be deciphered: %1")
            .arg(detail);
    case Failure::ZeroByte:
        return QCoreApplication::translate(
                   "LoadReport", "line %1%2: a zero byte, where a firmware file holds only text")
            .arg(line)
            .arg(wasEncrypted ? QCoreApplication::translate("LoadReport", " of the deciphered text")
                              : QString());
    case Failure::TooManyLines:
        return QCoreApplication::translate(
                   "LoadReport",
                   "%1 lines in %2 bytes: mostly empty lines, which no firmware file is")
            .arg(lines)
            .arg(detail);
    case Failure::OutOfMemory:
        return QCoreApplication::translate("LoadReport", "not enough memory to load the file");
    case Failure::NoRecords:
        return QCoreApplication::translate("LoadReport", "no line begins with ':'");
    case Failure::Record:
        return QCoreApplication::translate("LoadReport", "line %1%2: %3")
            .arg(line)
            .arg(wasEncrypted ? QCoreApplication::translate("LoadReport", " of the deciphered text")
                              : QString())
            .arg(detail);
    }
    return {};
}

bool loadImageFromText(QByteArray text, FirmwareImage &image, LoadReport *reportOut)
{
    LoadReport local;
    LoadReport &report = reportOut ? *reportOut : local;
    report = LoadReport();
    image.heldEncrypted = false;
    image.flags = ContentFlags();

    try {
        if (const qsizetype zero = RecordList::lineOfStrayZero(text)) {
            report.line = zero;
            return fail(report, Failure::ZeroByte);
        }
        const qsizetype maximum = RecordList::maximumLines(text.size());
        const qsizetype lines = RecordList::countLines(text, maximum);
        if (lines > maximum) {
            report.lines = RecordList::countLines(text); // all of them, for the reason
            return fail(report, Failure::TooManyLines, QString::number(text.size()));
        }
        image.records = RecordList::fromText(std::move(text), lines);
        if (image.records.isEmpty())
            return fail(report, Failure::Empty);

        if (EncryptedHex::namesEncryption(image.records.at(0))) {
            image.heldEncrypted = true;
            report.wasEncrypted = true;
            EncryptedHex::decryptInPlace(image);
        }

        bool anyRecord = false;
        for (qsizetype i = 0; i < image.records.size(); ++i) {
            const QByteArrayView line = image.records.at(i);
            if (line.isEmpty() || line[0] != ':')
                continue;
            anyRecord = true;
            ++report.records;
            const HexRecord::Result result = HexRecord::check(line);
            if (result.failed != HexRecord::Test::None) {
                report.failedTest = result.failed;
                report.line = i + 1;
                return fail(report, Failure::Record, describeRecordFailure(result, line.size()));
            }
            HexRecord::addContentFlags(line, image.flags);
        }

        if (!anyRecord) {
            return fail(report,
                        image.heldEncrypted ? Failure::EncryptedWithoutText : Failure::NoRecords);
        }
        return true;
    } catch (const std::bad_alloc &) {
        return fail(report, Failure::OutOfMemory);
    } catch (const StrayZeroError &e) {
        report.line = e.line();
        return fail(report, Failure::ZeroByte);
    } catch (const CorvantError &e) {
        // Only deciphering raises anything else: cipher and format errors
        // alike make the file invalid.
        return fail(report, Failure::Decryption, e.message());
    }
}

bool loadImage(QString &fileName, FirmwareImage &image, LoadReport *reportOut)
{
    LoadReport local;
    LoadReport &report = reportOut ? *reportOut : local;
    report = LoadReport();
    image.heldEncrypted = false;
    image.flags = ContentFlags();

    if (fileName.isEmpty())
        return fail(report, Failure::CannotRead,
                    QCoreApplication::translate("LoadReport", "no file name"));
    fileName = resolveFileName(fileName);

    // A FIFO or a device would block the open or never end: only regular
    // files are read.
    QFile file;
    QString error;
    if (!SafeFile::openForReading(file, fileName, error))
        return fail(report, Failure::CannotRead, error);

    QByteArray text;
    const Failure readFailure = readWhole(file, text);
    if (readFailure != Failure::None)
        return fail(report, readFailure, file.errorString());

    const QByteArray fileSha256
        = QCryptographicHash::hash(text, QCryptographicHash::Sha256).toHex();
    const bool valid = loadImageFromText(std::move(text), image, &report);
    report.fileSha256 = fileSha256;
    if (!valid)
        qCDebug(lcImage) << "load of" << fileName << "failed:" << report.reason();
    return valid;
}
