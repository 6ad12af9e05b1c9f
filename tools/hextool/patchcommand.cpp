#include "hextool/commands.h"
#include "hextool/hextool.h"
#include "options/optionarguments.h"

#include <optional>

namespace HexTool {

namespace {

struct PatchRequest {
    QString input;
    QString output;
    OptionArguments::Parsed options;
    bool encrypt = false;
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
        const std::optional<QString> value = OptionArguments::valueOf(option, arguments, i);
        if (!value) {
            err << QStringLiteral("corvant-hextool: %1 needs a value\n").arg(option);
            return kExitUsage;
        }

        if (!OptionArguments::isOptionName(option)) {
            err << QStringLiteral("corvant-hextool: unknown option %1\n").arg(option);
            return kExitUsage;
        }
        QString reason;
        if (!OptionArguments::take(option, *value, request.options, reason)) {
            err << QStringLiteral("corvant-hextool: %1\n").arg(reason);
            return kExitInvalidFile;
        }
    }
    if (positional.size() != 2)
        return kExitUsage;
    request.input = positional[0];
    request.output = positional[1];
    return std::nullopt;
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
    const QStringList reasons = OptionArguments::refusals(image.records, request.options);
    if (!reasons.isEmpty()) {
        for (const QString &reason : reasons)
            err << QStringLiteral("corvant-hextool: %1: %2\n").arg(request.input, reason);
        err << QStringLiteral("corvant-hextool: nothing written\n");
        return kExitInvalidFile;
    }
    return writeOutput(image, request.options.changes, request.encrypt, request.output, out, err);
}

} // namespace HexTool
