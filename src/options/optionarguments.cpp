#include "options/optionarguments.h"

#include "options/optionword.h"
#include "options/valuetests.h"

#include <QLocale>

#include <algorithm>
#include <cmath>

namespace OptionArguments {

namespace {

constexpr qsizetype kRelayIndex = OptionSlots::kSlotCount;
constexpr qsizetype kFacilityIndex = OptionSlots::kSlotCount + 1;

int codeSlot(const QString &option)
{
    const auto found
        = std::find_if(kCodeOptions.begin(), kCodeOptions.end(),
                       [&](const char *name) { return option == QLatin1String(name); });
    return found == kCodeOptions.end() ? -1 : int(found - kCodeOptions.begin());
}

// The option words an option needs, as (word address, what it holds) pairs.
struct NeededWord {
    int word;
    const char *holds;
};

QList<NeededWord> wordsNeeded(OptionSlots::Slot slot)
{
    const OptionSlots::SlotInfo &info = OptionSlots::kSlots[slot];
    if (info.lowWord < 0)
        return {{info.highWord, "code byte"}};
    return {{info.highWord, "code word, high byte"}, {info.lowWord, "code word, low byte"}};
}

} // namespace

std::optional<QString> valueOf(QString &option, const QStringList &arguments, qsizetype &i)
{
    const qsizetype equals = option.indexOf(QLatin1Char('='));
    if (option.startsWith(QLatin1String("--")) && equals >= 0) {
        const QString value = option.mid(equals + 1);
        option.truncate(equals);
        return value;
    }
    if (i + 1 < arguments.size())
        return arguments[++i];
    return std::nullopt;
}

bool isOptionName(const QString &option)
{
    return codeSlot(option) >= 0 || option == QLatin1String("--relay")
        || option == QLatin1String("--facility");
}

bool take(const QString &option, const QString &value, Parsed &parsed, QString &reason)
{
    // A value that is no number is told apart from one out of range.
    const auto refuse = [&](const QString &why) {
        reason = QStringLiteral("%1 %2: %3").arg(option, value, why);
        return false;
    };
    const QString notANumber = QStringLiteral("not a number");
    const QString shown = option + QLatin1Char(' ') + value;
    if (const int slot = codeSlot(option); slot >= 0) {
        const int maximum = OptionSlots::maximumCode(OptionSlots::kSlots[std::size_t(slot)].kind);
        bool ok = false;
        const int code = value.toInt(&ok, 10);
        if (!ok)
            return refuse(notANumber);
        if (code < 0 || code > maximum)
            return refuse(QStringLiteral("code out of range (0 - %1)").arg(maximum));
        parsed.changes.codes[std::size_t(slot)] = code;
        parsed.shownValues[slot] = shown;
        return true;
    }
    if (option == QLatin1String("--relay")) {
        const std::optional<double> seconds = ValueTests::relayTimeValue(value, QLocale::c());
        if (!seconds || !std::isfinite(*seconds))
            return refuse(notANumber);
        if (!ValueTests::relayTimeValid(value, QLocale::c()))
            return refuse(QStringLiteral("relay time out of range (1.0 - 25.5 seconds)"));
        parsed.changes.relayTimeSeconds = seconds;
        parsed.shownValues[kRelayIndex] = shown;
        return true;
    }
    if (option == QLatin1String("--facility")) {
        bool ok = false;
        value.trimmed().toLongLong(&ok, 10);
        if (!ok)
            return refuse(notANumber);
        if (!ValueTests::facilityCodeValid(value))
            return refuse(QStringLiteral("facility code out of range (0 - 65535)"));
        parsed.changes.facilityCode = ValueTests::facilityCodeValue(value);
        parsed.shownValues[kFacilityIndex] = shown;
        return true;
    }
    return refuse(QStringLiteral("unknown option"));
}

QStringList refusals(const RecordList &records, const Parsed &parsed)
{
    QStringList reasons;
    const auto check = [&](const QString &option, const QList<NeededWord> &needed) {
        for (const NeededWord &n : needed) {
            if (!OptionWord::find(records, n.word))
                reasons
                    << QStringLiteral("%1: no option word (34xx) at word address 0x%2 (%3)")
                           .arg(option,
                                QStringLiteral("%1").arg(n.word, 4, 16, QLatin1Char('0')).toUpper(),
                                QLatin1String(n.holds));
        }
    };
    for (std::size_t slot = 0; slot < parsed.changes.codes.size(); ++slot) {
        if (parsed.changes.codes[slot])
            check(parsed.shownValues[qsizetype(slot)], wordsNeeded(OptionSlots::Slot(slot)));
    }
    if (parsed.changes.relayTimeSeconds)
        check(parsed.shownValues[kRelayIndex], {{OptionSlots::kRelayTimeWord, "relay time"}});
    if (parsed.changes.facilityCode)
        check(parsed.shownValues[kFacilityIndex],
              {{OptionSlots::kFacilityCodeLowWord, "facility code, low byte"},
               {OptionSlots::kFacilityCodeHighWord, "facility code, high byte"}});
    return reasons;
}

} // namespace OptionArguments
