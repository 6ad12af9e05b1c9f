#include "commands.h"
#include "customercodes.h"
#include "hextool.h"
#include "readeroptions.h"
#include "valuetests.h"

#include <optional>

namespace HexTool {

namespace {

// The customer code options, in slot order.
constexpr std::array<const char *, OptionSlots::kSlotCount> kCodeOptions
    = {"--cf", "--c", "--df", "--d", "--gf", "--g", "--a", "--b"};

struct PatchRequest
{
    QString input;
    QString output;
    std::array<std::optional<int>, OptionSlots::kSlotCount> codes;
    std::optional<double> relayTime;
    std::optional<qint64> facilityCode;
    bool encrypt = false;

    bool anyCode() const
    {
        return std::any_of(codes.begin(), codes.end(), [](const auto &c) { return c.has_value(); });
    }
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

        const auto codeOption = std::find_if(kCodeOptions.begin(), kCodeOptions.end(),
                                             [&](const char *name) { return option == QLatin1String(name); });
        if (codeOption != kCodeOptions.end()) {
            const auto slot = std::size_t(codeOption - kCodeOptions.begin());
            const int maximum = OptionSlots::maximumCode(OptionSlots::kSlots[slot].kind);
            bool ok = false;
            const int code = value.toInt(&ok, 10);
            if (!ok || code < 0 || code > maximum) {
                err << QStringLiteral("corvant-hextool: %1 %2: code out of range (0 - %3)\n")
                           .arg(option, value)
                           .arg(maximum);
                return kExitInvalidFile;
            }
            request.codes[slot] = code;
        } else if (option == QLatin1String("--relay")) {
            if (!ValueTests::relayTimeValid(value, QLocale::c())) {
                err << QStringLiteral("corvant-hextool: --relay %1: relay time out of range (1.0 - 25.5 seconds)\n")
                           .arg(value);
                return kExitInvalidFile;
            }
            request.relayTime = ValueTests::relayTimeValue(value, QLocale::c());
        } else if (option == QLatin1String("--facility")) {
            if (!ValueTests::facilityCodeValid(value)) {
                err << QStringLiteral("corvant-hextool: --facility %1: facility code out of range (0 - 65535)\n")
                           .arg(value);
                return kExitInvalidFile;
            }
            request.facilityCode = ValueTests::facilityCodeValue(value);
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

// The panel's values as a technician would have them after reading the
// image's values (double-click on each group) and typing the requested ones;
// what cannot be read keeps the panel's initial value.
ReaderOptions optionsFor(const FirmwareImage &image, const PatchRequest &request,
                         bool &codesReadable)
{
    ReaderOptions options;
    const std::optional<CustomerSlots> codes = CustomerCodes::read(image);
    codesReadable = codes.has_value();
    if (codes)
        options.customerCodes = *codes;
    for (std::size_t slot = 0; slot < request.codes.size(); ++slot) {
        if (request.codes[slot])
            options.customerCodes[slot] = *request.codes[slot];
    }
    if (const std::optional<int> tenths = ReaderOptionsIo::readRelayTimeTenths(image))
        options.relayTimeSeconds = *tenths / 10.0;
    if (request.relayTime)
        options.relayTimeSeconds = *request.relayTime;
    if (const std::optional<int> facility = ReaderOptionsIo::readFacilityCode(image))
        options.facilityCode = *facility;
    if (request.facilityCode)
        options.facilityCode = *request.facilityCode;
    return options;
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

    bool codesReadable = false;
    const ReaderOptions options = optionsFor(image, request, codesReadable);
    // The customer code group is shown for an image with the table; codes
    // that cannot be read and were not asked for are left as they are.
    const bool codesShown = image.flags.customerCodeTable && (codesReadable || request.anyCode());
    const ReaderOptionsIo::WriteResult written
        = ReaderOptionsIo::writeOptions(image.records, options, codesShown);

    QStringList missing;
    if (request.anyCode() && !(codesShown && written.customerCodes))
        missing << QStringLiteral("customer code table");
    if (request.relayTime && !written.relayTime)
        missing << QStringLiteral("relay time slot");
    if (request.facilityCode && !written.facilityCode)
        missing << QStringLiteral("facility code slot");
    if (!missing.isEmpty()) {
        err << QStringLiteral("corvant-hextool: %1 has no %2; nothing written\n")
                   .arg(request.input, missing.join(QStringLiteral(", no ")));
        return kExitInvalidFile;
    }
    return encryptAndSave(image, request.encrypt, request.output, out, err);
}

} // namespace HexTool
