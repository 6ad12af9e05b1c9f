#include "hextool.h"

#include "encryptedhex.h"
#include "imageerror.h"
#include "imageloader.h"
#include "imagesaver.h"

namespace HexTool {

namespace {

const char kUsage[] = "usage: corvant-hextool info FILE\n"
                      "       corvant-hextool encrypt IN OUT\n"
                      "       corvant-hextool decrypt IN OUT\n"
                      "\n"
                      "info     tells whether FILE is a usable firmware file (plain or encrypted)\n"
                      "         and what it holds; exit 0 when valid, 2 when not\n"
                      "encrypt  writes IN as an encrypted hex file to OUT\n"
                      "decrypt  writes IN as a plain hex file to OUT\n"
                      "\n"
                      "OUT is replaced only once it is completely written.\n";

QString yesNo(bool value)
{
    return value ? QStringLiteral("yes") : QStringLiteral("no");
}

qsizetype countRecordLines(const RecordList &records)
{
    qsizetype count = 0;
    for (qsizetype i = 0; i < records.size(); ++i) {
        const QByteArrayView line = records.at(i);
        count += !line.isEmpty() && line[0] == ':';
    }
    return count;
}

int usage(QTextStream &err)
{
    err << kUsage;
    return kExitUsage;
}

int info(QString fileName, QTextStream &out)
{
    FirmwareImage image;
    LoadReport report;
    const bool valid = loadImage(fileName, image, &report);

    const auto row = [&out](const char *label, const QString &value) {
        out << QStringLiteral("%1 %2\n").arg(QLatin1String(label), -21).arg(value);
    };
    row("file:", fileName);
    row("valid:", valid ? QStringLiteral("yes") : QStringLiteral("no - ") + report.reason());
    row("encrypted:", yesNo(report.wasEncrypted));
    row("lines:", QString::number(image.records.size()));
    row("records:", QString::number(countRecordLines(image.records)));
    row("EEPROM data:", yesNo(image.flags.eepromData));
    row("customer code table:", yesNo(image.flags.customerCodeTable));
    row("relay time slot:", yesNo(image.flags.relayTimeSlot));
    row("facility code slot:", yesNo(image.flags.facilityCodeSlot));
    out.flush();
    return valid ? kExitOk : kExitInvalidFile;
}

int convert(QString input, const QString &output, bool encrypt, QTextStream &out,
            QTextStream &err)
{
    FirmwareImage image;
    LoadReport report;
    if (!loadImage(input, image, &report)) {
        err << QStringLiteral("corvant-hextool: %1: not a usable firmware file: %2\n")
                   .arg(input, report.reason());
        return kExitInvalidFile;
    }
    try {
        if (encrypt)
            EncryptedHex::encryptImage(image);
        saveImage(image.records, output);
    } catch (const ImageError &e) {
        err << QStringLiteral("corvant-hextool: cannot write %1: %2\n").arg(output, e.message());
        return kExitWriteFailed;
    } catch (const std::exception &e) {
        err << QStringLiteral("corvant-hextool: cannot write %1: %2\n")
                   .arg(output, QString::fromUtf8(e.what()));
        return kExitWriteFailed;
    }
    out << QStringLiteral("wrote %1 (%2)\n")
               .arg(output, encrypt ? QStringLiteral("encrypted") : QStringLiteral("plain"));
    return kExitOk;
}

} // namespace

int run(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    const QString command = arguments.value(0);
    int result = kExitUsage;
    if (command == QLatin1String("info") && arguments.size() == 2)
        result = info(arguments[1], out);
    else if (command == QLatin1String("encrypt") && arguments.size() == 3)
        result = convert(arguments[1], arguments[2], true, out, err);
    else if (command == QLatin1String("decrypt") && arguments.size() == 3)
        result = convert(arguments[1], arguments[2], false, out, err);
    else if (arguments.size() == 1
             && (command == QLatin1String("--help") || command == QLatin1String("-h"))) {
        out << kUsage;
        result = kExitOk;
    } else {
        result = usage(err);
    }
    out.flush();
    err.flush();
    return result;
}

} // namespace HexTool
