#include "hextool/commands.h"
#include "hextool/hextool.h"
#include "options/optionword.h"
#include "options/valuetests.h"

#include <cmath>
#include <optional>

namespace HexTool {

namespace {

// The customer code options, in slot order.
constexpr std::array<const char *, OptionSlots::kSlotCount> kCodeOptions
    = {"--cf", "--c", "--df", "--d", "--gf", "--g", "--a", "--b"};

struct PatchRequest {
    QString input;
    QString output;
    ImageOutput::OptionChanges changes; // single slots only: the rest stays
    bool encrypt = false;
    // Each option as given ("--cf 12"), for messages: the code slots in slot
    // order, then the relay time and the facility code.
    QStringList shownValues = QStringList(OptionSlots::kSlotCount + 2);
};

// Parses the arguments after "patch". Returns the exit code of a failure, or
// nothing when the request is complete. Values are checked with the settings
// panel's ranges, except that 0 empties a customer code slot as on the
// utility's command line.
std::optional<int> parse(const QStringList &arguments, PatchRequest &request, QTextStream &err)
{
    QStringList positional;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        QString option = arguments[i];
        if (!option.startsWith(QLatin1String("--"))) {
            positional << option;
            continue;
        }
        if (option == QLatin1String("--encrypt")) {
            request.encrypt = true;
            continue;
        }
        QString value;
        const qsizetype equals = option.indexOf(QLatin1Char('='));
        if (equals >= 0) {
            value = option.mid(equals + 1);
            option.truncate(equals);
        } else if (i + 1 < arguments.size()) {
            value = arguments[++i];
        } else {
            err << QStringLiteral("corvant-hextool: %1 needs a value\n").arg(option);
            return kExitUsage;
        }

        // A value that is no number is told apart from one out of range.
        const auto notANumber = [&err, &option, &value] {
            err << QStringLiteral("corvant-hextool: %1 %2: not a number\n").arg(option, value);
            return kExitInvalidFile;
        };
        const auto codeOption
            = std::find_if(kCodeOptions.begin(), kCodeOptions.end(),
                           [&](const char *name) { return option == QLatin1String(name); });
        if (codeOption != kCodeOptions.end()) {
            const auto slot = std::size_t(codeOption - kCodeOptions.begin());
            const int maximum = OptionSlots::maximumCode(OptionSlots::kSlots[slot].kind);
            bool ok = false;
            const int code = value.toInt(&ok, 10);
            if (!ok)
                return notANumber();
            if (code < 0 || code > maximum) {
                err << QStringLiteral("corvant-hextool: %1 %2: code out of range (0 - %3)\n")
                           .arg(option, value)
                           .arg(maximum);
                return kExitInvalidFile;
            }
            request.changes.codes[slot] = code;
            request.shownValues[qsizetype(slot)] = option + QLatin1Char(' ') + value;
        } else if (option == QLatin1String("--relay")) {
            const std::optional<double> seconds = ValueTests::relayTimeValue(value, QLocale::c());
            if (!seconds || !std::isfinite(*seconds))
                return notANumber();
            if (!ValueTests::relayTimeValid(value, QLocale::c())) {
                err << QStringLiteral("corvant-hextool: --relay %1: relay time out of range (1.0 - "
                                      "25.5 seconds)\n")
                           .arg(value);
                return kExitInvalidFile;
            }
            request.changes.relayTimeSeconds = seconds;
            request.shownValues[OptionSlots::kSlotCount] = option + QLatin1Char(' ') + value;
        } else if (option == QLatin1String("--facility")) {
            bool ok = false;
            value.trimmed().toLongLong(&ok, 10);
            if (!ok)
                return notANumber();
            if (!ValueTests::facilityCodeValid(value)) {
                err << QStringLiteral("corvant-hextool: --facility %1: facility code out of range "
                                      "(0 - 65535)\n")
                           .arg(value);
                return kExitInvalidFile;
            }
            request.changes.facilityCode = ValueTests::facilityCodeValue(value);
            request.shownValues[OptionSlots::kSlotCount + 1] = option + QLatin1Char(' ') + value;
        } else {
            err << QStringLiteral("corvant-hextool: unknown option %1\n").arg(option);
            return kExitUsage;
        }
    }
    if (positional.size() != 2)
        return kExitUsage;
    request.input = positional[0];
    request.output = positional[1];
    return std::nullopt;
}

// The option words a requested option needs, as (word address, what it
// holds) pairs.
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

// Why each requested option cannot be written; empty when all can.
QStringList refusals(const RecordList &records, const PatchRequest &request)
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
    for (std::size_t slot = 0; slot < request.changes.codes.size(); ++slot) {
        if (request.changes.codes[slot])
            check(request.shownValues[qsizetype(slot)], wordsNeeded(OptionSlots::Slot(slot)));
    }
    if (request.changes.relayTimeSeconds)
        check(request.shownValues[OptionSlots::kSlotCount],
              {{OptionSlots::kRelayTimeWord, "relay time"}});
    if (request.changes.facilityCode)
        check(request.shownValues[OptionSlots::kSlotCount + 1],
              {{OptionSlots::kFacilityCodeLowWord, "facility code, low byte"},
               {OptionSlots::kFacilityCodeHighWord, "facility code, high byte"}});
    return reasons;
}

} // namespace

int patch(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    PatchRequest request;
    if (const std::optional<int> failure = parse(arguments, request, err))
        return *failure;

    FirmwareImage image;
    if (!loadValid(request.input, image, err))
        return kExitInvalidFile;

    // Only what the options name changes: every other slot, and the
    // formatting of every line not written, stays byte for byte.
    const QStringList reasons = refusals(image.records, request);
    if (!reasons.isEmpty()) {
        for (const QString &reason : reasons)
            err << QStringLiteral("corvant-hextool: %1: %2\n").arg(request.input, reason);
        err << QStringLiteral("corvant-hextool: nothing written\n");
        return kExitInvalidFile;
    }
    return writeOutput(image, request.changes, request.encrypt, request.output, out, err);
}

} // namespace HexTool
