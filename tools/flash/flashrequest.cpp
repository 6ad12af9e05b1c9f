#include "flash/flashrequest.h"

const char *const kFlashUsage
    = "usage: corvant-flash [options] FIRMWARE\n"
      "  -p, --port TEXT       a port text as the window takes it (COMn, HOST[:PORT], a\n"
      "                        /dev path); repeat for several readers, flashed in\n"
      "                        parallel\n"
      "  --readers FILE        the readers from a CSV file with a header row: port\n"
      "                        (required), name, site, cf, df, gf, c, d, g, a, b,\n"
      "                        relay, facility, label; an empty cell takes the command\n"
      "                        line's value\n"
      "  --rerun REPORT        the readers of an earlier report that did not complete,\n"
      "                        with the values they were given; the firmware and\n"
      "                        options must be the same\n"
      "  --eeprom              also send EEPROM data\n"
      "  --codes               also send the customer code table (implied by any code)\n"
      "  --all                 both (as mode=all)\n"
      "  --cf N --df N --gf N --c N --d N --g N --a N --b N\n"
      "                        customer codes to write into the image and send (0\n"
      "                        empties a slot)\n"
      "  --relay SECONDS       relay time to write (1.0-25.5)\n"
      "  --facility N          facility code to write (0-65535)\n"
      "  --jobs N              at most N downloads at once (default: all); the others\n"
      "                        wait in order\n"
      "  --canary N            the first N readers alone; any of them failing ends the\n"
      "                        run\n"
      "  --max-failures N|P%   once more readers failed, no further one starts\n"
      "                        (NotStarted)\n"
      "  --loop                station mode: after each unit a port searches for the\n"
      "                        next one, until Ctrl-C or --units; every unit is its own\n"
      "                        entry of the report\n"
      "  --units N             units per port in station mode\n"
      "  --sticker             print a sticker for each reader that completes, as the\n"
      "                        window's sticker button does (the label and variables of\n"
      "                        its settings file) with the reader's codes; a sticker\n"
      "                        that fails is recorded and the run goes on\n"
      "  --retries N           retries of a failed write, a time-out or a lost\n"
      "                        connection before a download is abandoned (default 3; 0:\n"
      "                        at once)\n"
      "  --search-timeout SECONDS\n"
      "                        end a reader's connect and wake-up search after SECONDS\n"
      "                        (default 60), 0 = search until interrupted\n"
      "  --reply-timeout SECONDS\n"
      "                        wait this long for each answer (default 10)\n"
      "  --report FILE         write a JSON report (one object per reader); - for\n"
      "                        standard output (the summary then goes to stderr)\n"
      "  --log FILE            append a journal: one JSON line per reader start,\n"
      "                        failure, reconnect and end, each on disk as it happens\n"
      "  --html FILE           the report as a self-contained HTML page\n"
      "  --quiet               only the totals and the readers that failed\n"
      "  --version, --help\n"
      "  corvant-flash report REPORT.json... [--merge OUT.json] [--html OUT.html]\n"
      "                        merge the reports of several runs or sites into one, and\n"
      "                        render them as one page\n"
      "exit code: 0 every reader completed, 3 any did not (or the report could not be\n"
      "written), 2 bad firmware or option values, 1 usage error, 129/130/143\n"
      "interrupted\n";

namespace {

// Seconds with an optional fraction ("2", "0.5"), from low to high.
bool takeSeconds(const QString &value, double low, double high, double &seconds)
{
    bool ok = false;
    seconds = value.toDouble(&ok);
    return ok && seconds >= low && seconds <= high;
}

} // namespace

int failureLimit(const FlashRequest &request, int readers)
{
    if (request.maxFailures < 0)
        return readers;
    // "10%" of 25 readers allows 2 failures: the third stops the run.
    return request.maxFailuresPercent ? request.maxFailures * readers / 100 : request.maxFailures;
}

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
        if (option == QLatin1String("--all") || option == QLatin1String("--eeprom")
            || option == QLatin1String("--codes")) {
            request.eeprom = request.eeprom || option != QLatin1String("--codes");
            request.codes = request.codes || option != QLatin1String("--eeprom");
            continue;
        }
        if (option == QLatin1String("--quiet") || option == QLatin1String("--loop")
            || option == QLatin1String("--sticker")) {
            (option == QLatin1String("--loop")          ? request.loop
                 : option == QLatin1String("--sticker") ? request.sticker
                                                        : request.quiet)
                = true;
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
        } else if (option == QLatin1String("--readers") || option == QLatin1String("--rerun")) {
            if (value.isEmpty())
                return usage(QStringLiteral("%1: an empty file name").arg(option));
            (option == QLatin1String("--rerun") ? request.rerunReport : request.readersFile)
                = value;
        } else if (option == QLatin1String("--jobs") || option == QLatin1String("--canary")
                   || option == QLatin1String("--units")) {
            bool ok = false;
            const int count = value.toInt(&ok, 10);
            if (!ok || count < 1 || count > 100000)
                return usage(
                    QStringLiteral("%1 %2: a whole number from 1 to 100000").arg(option, value));
            (option == QLatin1String("--jobs")        ? request.jobs
                 : option == QLatin1String("--units") ? request.units
                                                      : request.canary)
                = count;
        } else if (option == QLatin1String("--max-failures")) {
            bool ok = false;
            request.maxFailuresPercent = value.endsWith(QLatin1Char('%'));
            request.maxFailures = value.chopped(request.maxFailuresPercent ? 1 : 0).toInt(&ok, 10);
            if (!ok || request.maxFailures < 0
                || (request.maxFailuresPercent && request.maxFailures > 100))
                return usage(
                    QStringLiteral("--max-failures %1: a number of readers, or a percentage "
                                   "from 0% to 100%")
                        .arg(value));
        } else if (option == QLatin1String("--retries")) {
            bool ok = false;
            request.retries = value.toInt(&ok, 10);
            if (!ok || request.retries < 0 || request.retries > 1000)
                return usage(
                    QStringLiteral("--retries %1: a whole number from 0 to 1000").arg(value));
        } else if (option == QLatin1String("--search-timeout")) {
            if (!takeSeconds(value, 0, 86400, request.searchTimeout))
                return usage(
                    QStringLiteral("--search-timeout %1: seconds from 0 to 86400").arg(value));
        } else if (option == QLatin1String("--reply-timeout")) {
            if (!takeSeconds(value, 0.01, 3600, request.replyTimeout))
                return usage(
                    QStringLiteral("--reply-timeout %1: seconds from 0.01 to 3600").arg(value));
        } else if (option == QLatin1String("--report") || option == QLatin1String("--log")
                   || option == QLatin1String("--html")) {
            if (value.isEmpty())
                return usage(QStringLiteral("%1: an empty file name").arg(option));
            (option == QLatin1String("--log")        ? request.logFile
                 : option == QLatin1String("--html") ? request.htmlFile
                                                     : request.reportFile)
                = value;
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
    const int sources = int(!request.ports.isEmpty()) + int(!request.readersFile.isEmpty())
        + int(!request.rerunReport.isEmpty());
    if (sources == 0)
        return usage(QStringLiteral("no port given (-p COMn, -p HOST[:PORT], -p /dev/..., "
                                    "--readers FILE or --rerun REPORT)"));
    if (sources > 1)
        return usage(QStringLiteral("the readers come from one of --port, --readers and --rerun"));
    if (request.units > 0 && !request.loop)
        return usage(QStringLiteral("--units counts the units of --loop"));
    // A station port without --units runs until stopped: the ports after it
    // would never get their turn.
    if (request.loop && request.units == 0 && (request.jobs > 0 || request.canary > 0))
        return usage(QStringLiteral("--loop with --jobs or --canary needs --units"));
    request.firmware = positional.front();
    // A code named and not sent would leave the reader without it.
    for (const auto &code : request.options.changes.codes)
        request.codes = request.codes || code.has_value();
    return badValue;
}
