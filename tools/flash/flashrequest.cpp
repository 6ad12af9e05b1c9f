#include "flash/flashrequest.h"

const char *const kFlashUsage
    = "usage: corvant-flash [options] FIRMWARE\n"
      "  -p, --port TEXT        a port text as the window takes it (COMn, HOST[:PORT], a /dev\n"
      "                         path); repeat for several readers, downloaded in parallel\n"
      "  --all                  also send EEPROM data and the customer code table (as mode=all)\n"
      "  --cf N --df N --gf N --c N --d N --g N --a N --b N\n"
      "                         customer codes to write into the image (0 empties a slot)\n"
      "  --relay SECONDS        relay time to write (1.0-25.5)\n"
      "  --facility N           facility code to write (0-65535)\n"
      "  --retries N            retries of a failed write or a time-out before the download is\n"
      "                         abandoned (default 3), 0 = abandon at once\n"
      "  --report FILE          write a JSON report (one object per reader)\n"
      "  --quiet                only the summary\n"
      "  --version, --help\n"
      "exit code: 0 every reader completed, 3 any did not (or the report could not be\n"
      "written), 2 bad firmware or option values, 1 usage error, 130/143 interrupted\n";

std::optional<FlashRefusal> parseFlashRequest(const QStringList &arguments, FlashRequest &request)
{
    const auto usage = [](const QString &message) {
        return FlashRefusal{FlashExit::kUsage, message};
    };
    QStringList positional;
    bool optionsEnded = false;
    // A usage error wins over a bad value, whichever comes first.
    std::optional<FlashRefusal> badValue;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        QString option = arguments[i];
        if (optionsEnded || !option.startsWith(QLatin1Char('-')) || option == QLatin1String("-")) {
            positional << option;
            continue;
        }
        if (option == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        if (option == QLatin1String("--all")) {
            request.all = true;
            continue;
        }
        if (option == QLatin1String("--quiet")) {
            request.quiet = true;
            continue;
        }
        if (option == QLatin1String("--help") || option == QLatin1String("-h")) {
            request.help = true;
            continue;
        }
        if (option == QLatin1String("--version")) {
            request.version = true;
            continue;
        }
        const std::optional<QString> given = OptionArguments::valueOf(option, arguments, i);
        if (!given)
            return usage(QStringLiteral("%1 needs a value").arg(option));
        const QString &value = *given;

        if (option == QLatin1String("-p") || option == QLatin1String("--port")) {
            if (value.trimmed().isEmpty())
                return usage(QStringLiteral("%1: an empty port").arg(option));
            request.ports << value;
        } else if (option == QLatin1String("--retries")) {
            bool ok = false;
            request.retries = value.toInt(&ok, 10);
            if (!ok || request.retries < 0 || request.retries > 1000)
                return usage(
                    QStringLiteral("--retries %1: a whole number from 0 to 1000").arg(value));
        } else if (option == QLatin1String("--report")) {
            request.reportFile = value;
        } else if (OptionArguments::isOptionName(option)) {
            QString reason;
            if (!OptionArguments::take(option, value, request.options, reason) && !badValue)
                badValue = FlashRefusal{FlashExit::kBadInput, reason};
        } else {
            return usage(QStringLiteral("unknown option %1").arg(option));
        }
    }
    if (request.help || request.version)
        return badValue;
    if (positional.size() != 1)
        return usage(positional.isEmpty() ? QStringLiteral("no firmware file given")
                                          : QStringLiteral("one firmware file only"));
    if (request.ports.isEmpty())
        return usage(QStringLiteral("no port given (-p COMn, -p HOST[:PORT] or -p /dev/...)"));
    request.firmware = positional.front();
    return badValue;
}
