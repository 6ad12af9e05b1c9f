#include "hextool/commands.h"
#include "hextool/hextool.h"
#include "image/imageloader.h"
#include "options/customercodes.h"
#include "options/readeroptions.h"
#include "options/valuetests.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace HexTool {

namespace {

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

// The option values, as the settings panel would show them after a
// double-click on each group.
template<typename Row>
void printOptions(const FirmwareImage &image, const Row &row, QTextStream &out)
{
    const QString unreadable = QStringLiteral("cannot be read");
    if (image.flags.customerCodeTable) {
        const std::optional<CustomerSlots> codes = CustomerCodes::read(image);
        row("customer codes:",
            codes ? QString()
                  : unreadable
                    + QStringLiteral(" (a slot is missing or a code word is not in the table)"));
        for (int r = 0; codes && r < OptionSlots::kSlotCount; ++r) {
            const int code = (*codes)[OptionSlots::kSlotOfRow[std::size_t(r)]];
            QString line = QStringLiteral("  %1 %2")
                               .arg(QLatin1String(OptionSlots::kRowLabels[std::size_t(r)]), -3)
                               .arg(ValueTests::codeText(r, code));
            while (line.endsWith(QLatin1Char(' ')))
                line.chop(1);
            out << line << '\n';
        }
    }
    if (image.flags.relayTimeSlot) {
        const std::optional<int> tenths = ReaderOptionsIo::readRelayTimeTenths(image);
        row("relay time:",
            tenths ? ValueTests::relayTimeText(*tenths / 10.0, QLocale::c()) + QStringLiteral(" s")
                   : unreadable);
    }
    if (image.flags.facilityCodeSlot) {
        const std::optional<int> facility = ReaderOptionsIo::readFacilityCode(image);
        row("facility code:", facility ? QString::number(*facility) : unreadable);
    }
}

QJsonObject infoObject(const QString &fileName, const FirmwareImage &image, bool valid,
                       const LoadReport &report)
{
    const ContentFlags &flags = image.flags;
    QJsonObject object{
        {QStringLiteral("file"), fileName},
        {QStringLiteral("valid"), valid},
        {QStringLiteral("reason"), valid ? QJsonValue() : QJsonValue(report.reason())},
        {QStringLiteral("encrypted"), report.wasEncrypted},
        {QStringLiteral("lines"), image.records.size()},
        {QStringLiteral("records"), countRecordLines(image.records)},
        {QStringLiteral("eepromData"), flags.eepromData},
        {QStringLiteral("customerCodeTable"), flags.customerCodeTable},
        {QStringLiteral("relayTimeSlot"), flags.relayTimeSlot},
        {QStringLiteral("facilityCodeSlot"), flags.facilityCodeSlot},
    };
    const std::optional<CustomerSlots> codes
        = flags.customerCodeTable ? CustomerCodes::read(image) : std::nullopt;
    QJsonValue codeObject;
    if (codes) {
        QJsonObject byRow;
        for (int r = 0; r < OptionSlots::kSlotCount; ++r) {
            const int code = (*codes)[OptionSlots::kSlotOfRow[std::size_t(r)]];
            byRow.insert(QString::fromLatin1(OptionSlots::kRowLabels[std::size_t(r)]).toLower(),
                         code == 0 ? QJsonValue() : QJsonValue(code));
        }
        codeObject = byRow;
    }
    object.insert(QStringLiteral("customerCodes"), codeObject);
    const std::optional<int> tenths
        = flags.relayTimeSlot ? ReaderOptionsIo::readRelayTimeTenths(image) : std::nullopt;
    object.insert(QStringLiteral("relayTimeSeconds"),
                  tenths ? QJsonValue(*tenths / 10.0) : QJsonValue());
    const std::optional<int> facility
        = flags.facilityCodeSlot ? ReaderOptionsIo::readFacilityCode(image) : std::nullopt;
    object.insert(QStringLiteral("facilityCode"), facility ? QJsonValue(*facility) : QJsonValue());
    return object;
}

} // namespace

int info(QString fileName, QTextStream &out, bool json)
{
    FirmwareImage image;
    LoadReport report;
    const bool valid = loadImage(fileName, image, &report);
    if (json) {
        out << QJsonDocument(infoObject(fileName, image, valid, report))
                   .toJson(QJsonDocument::Indented);
        return valid ? kExitOk : kExitInvalidFile;
    }

    const auto row = [&out](const char *label, const QString &value) {
        // Trimmed, so a heading without a value ends at its colon.
        out << QStringLiteral("%1 %2").arg(QLatin1String(label), -21).arg(value).trimmed() << '\n';
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
    printOptions(image, row, out);
    return valid ? kExitOk : kExitInvalidFile;
}

} // namespace HexTool
