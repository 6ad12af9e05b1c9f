#include "options/valuetests.h"

#include <QCoreApplication>

namespace ValueTests {

std::optional<double> relayTimeValue(const QString &text, const QLocale &locale)
{
    bool ok = false;
    const double value = locale.toDouble(text.trimmed(), &ok);
    if (!ok)
        return std::nullopt;
    return value;
}

bool relayTimeValid(const QString &text, const QLocale &locale)
{
    const std::optional<double> value = relayTimeValue(text, locale);
    return value && *value >= kRelayTimeMinimum && *value <= kRelayTimeMaximum;
}

QString relayTimeText(double seconds, const QLocale &locale)
{
    QLocale plain = locale;
    plain.setNumberOptions(QLocale::OmitGroupSeparator);
    return plain.toString(seconds, 'f', 1);
}

qint64 facilityCodeValue(const QString &text)
{
    bool ok = false;
    const qint64 value = text.trimmed().toLongLong(&ok, 10);
    return ok ? value : -1;
}

bool facilityCodeValid(const QString &text)
{
    const qint64 value = facilityCodeValue(text);
    return value >= kFacilityCodeMinimum && value <= kFacilityCodeMaximum;
}

int rowMaximum(int row)
{
    const OptionSlots::Slot slot = OptionSlots::kSlotOfRow[std::size_t(row)];
    return OptionSlots::maximumCode(OptionSlots::kSlots[slot].kind);
}

QString codeText(int row, int code)
{
    if (code <= 0)
        return {};
    const OptionSlots::Slot slot = OptionSlots::kSlotOfRow[std::size_t(row)];
    const int digits = OptionSlots::kSlots[slot].kind == OptionSlots::Kind::DF ? 4 : 3;
    return QStringLiteral("%1").arg(code, digits, 10, QLatin1Char('0'));
}

QString CodeCheck::message() const
{
    return QCoreApplication::translate("ValueTests", "code out of range (%1 - %2)")
        .arg(minimum)
        .arg(maximum);
}

CodeCheck checkCustomerCodes(const std::array<QString, OptionSlots::kSlotCount> &rowTexts,
                             CustomerSlots &codes)
{
    for (int row = 0; row < OptionSlots::kSlotCount; ++row) {
        const QString &text = rowTexts[std::size_t(row)];
        const int maximum = rowMaximum(row);
        bool ok = false;
        int value = text.trimmed().toInt(&ok, 10);
        if (!ok)
            value = 0;
        if (!text.isEmpty() && (value < 1 || value > maximum))
            return CodeCheck{row, 1, maximum};
        codes[OptionSlots::kSlotOfRow[std::size_t(row)]] = value;
    }
    return CodeCheck{};
}

} // namespace ValueTests
