// corvant-flash: unattended downloads for production lines, one reader or a
// whole rack at once, with no display and nobody to answer a question.
#include "app/appsettings.h"
#include "app/profilefile.h"
#include "common/corvanterror.h"
#include "common/loggingrules.h"
#include "common/safefile.h"
#include "common/stopsignals.h"
#include "common/version.h"
#include "flash/flashreport.h"
#include "flash/flashrequest.h"
#include "flash/rack.h"
#include "flash/rackview.h"
#include "image/imageloader.h"

#include <QCoreApplication>
#include <QCryptographicHash>

#include <cstdio>
#include <unistd.h>

namespace {

void say(std::FILE *stream, const QString &text)
{
    std::fprintf(stream, "%s\n", text.toLocal8Bit().constData());
}

// Loads the firmware and writes the options named into it, as the window's
// panel would; exit code 2 and the reason when it cannot.
std::optional<int> prepareFirmware(const FlashRequest &request, FirmwareImage &image)
{
    QString name = request.firmware;
    LoadReport report;
    if (!loadImage(name, image, &report)) {
        say(stderr,
            QStringLiteral("corvant-flash: %1: not a usable firmware file: %2")
                .arg(request.firmware, report.reason()));
        return FlashExit::kBadInput;
    }
    const QStringList reasons = OptionArguments::refusals(image.records, request.options);
    for (const QString &reason : reasons)
        say(stderr, QStringLiteral("corvant-flash: %1: %2").arg(request.firmware, reason));
    if (!reasons.isEmpty())
        return FlashExit::kBadInput;
    try {
        ImageOutput::prepare(image, request.options.changes);
    } catch (const CorvantError &e) {
        say(stderr, QStringLiteral("corvant-flash: %1: %2").arg(request.firmware, e.message()));
        return FlashExit::kBadInput;
    }
    return std::nullopt;
}

// Reply time-outs and wake-up periods are the window's. A test hook
// shortens the reply time-out: a test of a silent reader would otherwise
// wait 10 s per message.
DownloadTiming timing()
{
    DownloadTiming timing;
    bool ok = false;
    const int reply = qEnvironmentVariableIntValue("CORVANT_FLASH_TEST_REPLY_TIMEOUT_MS", &ok);
    if (ok && reply > 0)
        timing.reply = std::chrono::milliseconds(reply);
    return timing;
}

} // namespace

int main(int argc, char *argv[])
{
    applyDefaultLoggingRules();
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

    FirmwareImage image;
    if (const std::optional<int> failure = prepareFirmware(request, image))
        return *failure;
    const QByteArray sha256
        = QCryptographicHash::hash(image.records.toText(), QCryptographicHash::Sha256).toHex();

    // The window's [ports] mapping, read only: this program never writes
    // the settings file.
    const ProfileFile settings(
        AppSettings::location(AppSettings::fileName(QStringLiteral("corvant-fwupdate"))));
    Rack::Setup setup;
    setup.lines = image.records;
    setup.framing = {request.all, image.flags.customerCodeTable, request.all};
    setup.ports = request.ports;
    setup.retries = request.retries;
    setup.overrides = AppSettings::readPorts(settings);
    setup.timing = timing();
    Rack rack(std::move(setup));

    const RackView::Mode mode = request.quiet ? RackView::Mode::Quiet
        : ::isatty(STDERR_FILENO)             ? RackView::Mode::Terminal
                                              : RackView::Mode::Lines;
    RackView view(rack, mode, stderr);

    const StopSignals stopSignals;
    QObject::connect(&stopSignals, &StopSignals::stopRequested, &rack, &Rack::cancel);
    QObject::connect(&rack, &Rack::allFinished, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    rack.start();
    if (!rack.allDone())
        app.exec();

    std::fputs(RackView::summary(rack).toLocal8Bit().constData(), stdout);
    std::fflush(stdout);
    int exitCode = FlashExit::kAllCompleted;
    for (int index = 0; index < rack.size(); ++index) {
        if (!rack.result(index).completed())
            exitCode = FlashExit::kNotAllCompleted;
    }
    if (!request.reportFile.isEmpty()) {
        QString error;
        if (!SafeFile::write(request.reportFile, flashReport(request, sha256, rack), error)) {
            say(stderr,
                QStringLiteral("corvant-flash: cannot write %1: %2")
                    .arg(request.reportFile, error));
            exitCode = FlashExit::kNotAllCompleted;
        }
    }
    if (StopSignals::received() != 0)
        return 128 + StopSignals::received();
    return exitCode;
}
