// corvant-flash: unattended downloads for production lines, one reader or a
// whole rack at once, with no display and nobody to answer a question.
#include "common/loggingrules.h"
#include "common/programinfo.h"
#include "common/safefile.h"
#include "common/standardoutput.h"
#include "common/stopsignals.h"
#include "common/version.h"
#include "flash/flashjournal.h"
#include "flash/flashreport.h"
#include "flash/flashrequest.h"
#include "flash/rack.h"
#include "flash/rackchecks.h"
#include "flash/rackview.h"
#include "flash/readerlist.h"
#include "flash/readerplans.h"
#include "flash/reportpage.h"
#include "flash/rerun.h"
#include "flash/runrecord.h"
#include "flash/stickerprinter.h"
#include "image/imageloader.h"
#include "label/dbuslabelserver.h"
#include "settings/appsettings.h"
#include "settings/profilefile.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTimer>
#include <QUuid>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void say(std::FILE *stream, const QString &text)
{
    std::fprintf(stream, "%s\n", text.toLocal8Bit().constData());
    std::fflush(stream);
}

// Loads the firmware (the name becomes the file a wildcard found); exit
// code 2 and the reason when it cannot.
std::optional<int> loadFirmware(FlashRequest &request, FirmwareImage &image, LoadReport &report)
{
    QString name = request.firmware;
    if (!loadImage(name, image, &report)) {
        say(stderr,
            QStringLiteral("corvant-flash: %1: not a usable firmware file: %2")
                .arg(request.firmware, report.reason()));
        return FlashExit::kBadInput;
    }
    request.firmware = name;
    return std::nullopt;
}

// A firmware or value that cannot be flashed: exit code 2.
int bad(const QString &why)
{
    say(stderr, QStringLiteral("corvant-flash: %1").arg(why));
    return FlashExit::kBadInput;
}

std::chrono::milliseconds milliseconds(double seconds)
{
    return std::chrono::milliseconds(qint64(seconds * 1000.0 + 0.5));
}

// Whether two names reach the same file (links followed).
bool sameFile(const QString &a, const QString &b)
{
    struct stat first { };
    struct stat second { };
    return ::stat(SafeFile::nativeName(a).constData(), &first) == 0
        && ::stat(SafeFile::nativeName(b).constData(), &second) == 0
        && first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

// Why the run must not start although its request is sound: a port named
// twice, too few open files, nowhere to write the record, or a record that
// would replace one of the program's inputs. Empty when it can.
QString refusal(const FlashRequest &request, const SerialPorts::Overrides &overrides,
                const QString &settingsFile)
{
    QString why = RackChecks::sameReaderTwice(request.ports, overrides);
    if (why.isEmpty())
        why = RackChecks::openFileLimit(request.ports);
    const bool reportFile
        = !request.reportFile.isEmpty() && request.reportFile != QLatin1String("-");
    if (why.isEmpty() && reportFile)
        why = SafeFile::cannotWrite(request.reportFile);
    if (why.isEmpty() && !request.htmlFile.isEmpty())
        why = SafeFile::cannotWrite(request.htmlFile);
    for (const auto &[option, output] :
         {std::pair{"--report", request.reportFile}, std::pair{"--log", request.logFile},
          std::pair{"--html", request.htmlFile}}) {
        if (!why.isEmpty() || output.isEmpty() || output == QLatin1String("-"))
            continue;
        if (sameFile(output, request.firmware))
            why = QStringLiteral("%1 %2 is the firmware file").arg(QLatin1String(option), output);
        else if (sameFile(output, settingsFile))
            why = QStringLiteral("%1 %2 is the settings file").arg(QLatin1String(option), output);
    }
    if (why.isEmpty() && reportFile && !request.logFile.isEmpty()
        && (sameFile(request.reportFile, request.logFile)
            || QFileInfo(request.reportFile).absoluteFilePath()
                == QFileInfo(request.logFile).absoluteFilePath()))
        why = QStringLiteral("--report and --log name the same file");
    return why;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc >= 2 && std::strcmp(argv[1], "report") == 0) {
        QStringList arguments;
        for (int i = 2; i < argc; ++i)
            arguments << SafeFile::nameFromNative(QByteArray(argv[i]));
        return ReportPage::command(arguments);
    }
    if (const std::optional<int> answered
        = answerVersionOrHelp(argc, argv, "corvant-flash", kFlashUsage))
        return *answered;
    applyDefaultLoggingRules();
    // Qt's own event loop keeps its socket notifiers in a hash; the GLib
    // loop's list costs every reader's write a walk over all readers.
    qputenv("QT_NO_GLIB", "1");
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("corvant-flash"));
    QCoreApplication::setApplicationVersion(QStringLiteral(CORVANT_VERSION));

    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << SafeFile::nameFromNative(QByteArray(argv[i]));
    FlashRequest request;
    if (const std::optional<FlashRefusal> refusal = parseFlashRequest(arguments, request)) {
        say(stderr, QStringLiteral("corvant-flash: %1").arg(refusal->message));
        if (refusal->exitCode == FlashExit::kUsage)
            std::fputs(kFlashUsage, stderr);
        return refusal->exitCode;
    }
    if (request.help) {
        std::fputs(kFlashUsage, stdout);
        return 0;
    }
    if (request.version) {
        say(stdout, QStringLiteral("corvant-flash %1").arg(QCoreApplication::applicationVersion()));
        return 0;
    }
    // From here on a closed terminal or pipe costs neither a download nor
    // the record.
    const StopSignals stopSignals;

    FlashRun run;
    run.runId = QUuid::createUuid().toString(QUuid::WithoutBraces);
    run.started = QDateTime::currentDateTimeUtc();
    FirmwareImage base;
    LoadReport loaded;
    if (const std::optional<int> failure = loadFirmware(request, base, loaded))
        return *failure;
    run.firmwareFileSha256 = loaded.fileSha256; // of the very bytes loaded
    FirmwareImage image;
    for (const QString &reason : ReaderPlans::prepared(base, request.options, image))
        return bad(QStringLiteral("%1: %2").arg(request.firmware, reason));
    const RecordFraming::Options framing
        = ReaderPlans::framing(request, base, request.options.changes);
    run.imageSha256 = ReaderPlans::sha256(image.records.toText());
    const SentLines sent = sentLines(image.records, framing);
    run.sentSha256 = ReaderPlans::sha256(sent.text);
    run.messageParts = sent.parts;

    QList<ReaderEntry> entries;
    if (!request.rerunReport.isEmpty()) {
        Rerun rerun;
        if (const std::optional<QString> refused
            = Reruns::read(request, run.firmwareFileSha256, rerun))
            return bad(*refused);
        if (rerun.readers.isEmpty()) {
            say(stderr,
                QStringLiteral("corvant-flash: every reader of %1 completed: nothing "
                               "to flash")
                    .arg(request.rerunReport));
            return FlashExit::kAllCompleted;
        }
        entries = rerun.readers;
        run.continuesRunId = rerun.runId;
        run.continuesReport = rerun.report;
    } else if (!request.readersFile.isEmpty()) {
        if (const std::optional<QString> refused = ReaderList::read(request.readersFile, entries))
            return bad(*refused);
    } else {
        for (const QString &port : request.ports)
            entries << ReaderEntry{port, {}, {}, {}, {}, 0};
    }
    ReaderSetups readers;
    if (const std::optional<QString> refused = ReaderPlans::plan(request, base, entries, readers))
        return bad(*refused);
    run.plans = readers.plans;
    Rack::Setup setup;
    setup.readers = std::move(readers.readers);
    request.ports.clear(); // the checks below see the readers file's ports too
    for (const ReaderEntry &entry : entries)
        request.ports << entry.port;

    // The window's [ports] mapping, read only: this program never writes
    // the settings file.
    const QString settingsFile
        = AppSettings::location(AppSettings::fileName(QStringLiteral("corvant-fwupdate")));
    const ProfileFile settings(settingsFile);
    const SerialPorts::Overrides overrides = AppSettings::readPorts(settings);
    FlashJournal journal;
    QString why = refusal(request, overrides, settingsFile);
    if (why.isEmpty() && !request.logFile.isEmpty() && !journal.open(request.logFile, why))
        why = QStringLiteral("%1: %2").arg(request.logFile, why);
    if (!why.isEmpty()) {
        say(stderr, QStringLiteral("corvant-flash: %1").arg(why));
        return FlashExit::kUsage;
    }

    setup.retries = request.retries;
    setup.overrides = overrides;
    setup.timing.reply = milliseconds(request.replyTimeout);
    setup.timing.searchLimit = milliseconds(request.searchTimeout);
    setup.jobs = request.jobs;
    setup.canary = request.canary;
    setup.maxFailures = failureLimit(request, int(setup.readers.size()));
    setup.loop = request.loop;
    setup.units = request.units;
    Rack rack(std::move(setup));

    // With the report on standard output, everything else goes to standard error.
    std::FILE *summaryStream = request.reportFile == QLatin1String("-") ? stderr : stdout;
    const RackView::Mode mode = request.quiet ? RackView::Mode::Quiet
        : ::isatty(STDERR_FILENO)             ? RackView::Mode::Terminal
                                              : RackView::Mode::Lines;
    RackView view(rack, mode, stderr);
    journal.write(
        QStringLiteral("run"),
        {{QStringLiteral("runId"), run.runId},
         {QStringLiteral("firmware"), QString::fromUtf8(SafeFile::nativeName(request.firmware))},
         {QStringLiteral("readers"), rack.size()}});
    journalRack(rack, journal);
    RunRecord record(request, run, rack, journal);

    // Stickers through the label server on the session bus, with the
    // window's label settings.
    std::unique_ptr<DBusLabelServer> labelServer;
    std::unique_ptr<StickerPrinter> stickers;
    if (request.sticker) {
        labelServer = std::make_unique<DBusLabelServer>(QStringList{
            QCoreApplication::applicationDirPath() + QStringLiteral("/corvant-label-server")});
        const AppSettings window = AppSettings::read(settings, QString());
        stickers = std::make_unique<StickerPrinter>(
            *labelServer,
            Sticker::LabelSettings{window.labelFile, window.firmwareVariable, window.codesVariable},
            Sticker::firmwareText(request.firmware));
        QObject::connect(&rack, &Rack::readerFinished, &app, [&](int index) {
            const ReaderResult &unit = rack.result(index);
            if (!unit.completed())
                return;
            const ReaderPlan &plan = run.plans.at(index);
            const QString failed = stickers->print(plan.codes, plan.label);
            run.stickers.insert({index, unit.unit}, failed);
            if (!failed.isEmpty())
                view.note(QStringLiteral("%1: no sticker: %2").arg(unit.port, failed));
        });
    }

    // Readers still running when they cannot be waited for are recorded
    // as such, the record is written, and the process ends at once (a
    // serial port's close could wait on its line).
    const auto forceEnd = [&](int exitCode) {
        if (rack.allDone())
            return; // every download ended meanwhile: the normal end follows
        run.forced = true;
        rack.forceEnd();
        say(stderr, QStringLiteral("corvant-flash: ended before every download did"));
        record.write(exitCode);
        ::_exit(exitCode);
    };
    QTimer deadline;
    deadline.setSingleShot(true);
    // The end message's answer, or the search's next wake-up, and a margin.
    deadline.setInterval(milliseconds(request.replyTimeout) + std::chrono::milliseconds(1500));
    QObject::connect(&deadline, &QTimer::timeout, &app,
                     [&] { forceEnd(128 + StopSignals::received()); });
    QObject::connect(&stopSignals, &StopSignals::stopRequested, &app, [&](int signal) {
        run.signal = signal;
        view.note(QStringLiteral("corvant-flash: %1: ending each download (waiting up to %2 s; "
                                 "Ctrl-C again after 2 s ends at once)")
                      .arg(signalName(signal))
                      .arg(qint64(std::ceil(request.replyTimeout + 1.5))));
        rack.cancel();
        if (!rack.allDone())
            deadline.start();
    });
    QObject::connect(&stopSignals, &StopSignals::forceRequested, &app,
                     [&](int signal) { forceEnd(128 + signal); });
    QObject::connect(&rack, &Rack::allFinished, &deadline, &QTimer::stop);
    QObject::connect(&rack, &Rack::allFinished, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    rack.start();
    if (!rack.allDone())
        app.exec();

    int exitCode = FlashExit::kAllCompleted;
    for (const ReaderResult &unit : rack.units()) {
        if (!unit.completed())
            exitCode = FlashExit::kNotAllCompleted;
    }
    if (StopSignals::received() != 0)
        exitCode = 128 + StopSignals::received();
    exitCode = record.write(exitCode);
    const QString summary
        = request.quiet ? RackView::failedAndTotals(rack) : RackView::summary(rack);
    errno = 0;
    const int putError
        = std::fputs(summary.toLocal8Bit().constData(), summaryStream) < 0 ? errno : 0;
    // A summary that never arrived (> /dev/full) fails the run.
    if (!standardOutputWritten("corvant-flash", putError) && exitCode == FlashExit::kAllCompleted)
        exitCode = FlashExit::kNotAllCompleted;
    return exitCode;
}
