#include "flash/flashreport.h"

#include "common/safefile.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSysInfo>

#include <algorithm>
#include <csignal>
#include <pwd.h>
#include <unistd.h>

QJsonObject optionsWritten(const ImageOutput::OptionChanges &changes)
{
    QJsonObject options;
    for (std::size_t slot = 0; slot < changes.codes.size(); ++slot) {
        if (changes.codes[slot])
            options.insert(QLatin1String(OptionArguments::kCodeOptions[slot] + 2),
                           *changes.codes[slot]);
    }
    if (changes.relayTimeSeconds)
        options.insert(QStringLiteral("relay"), *changes.relayTimeSeconds);
    if (changes.facilityCode)
        options.insert(QStringLiteral("facility"), double(*changes.facilityCode));
    return options;
}

namespace {

// The parts the first messages of a download belong to.
QJsonObject sentParts(const QList<ImagePart> &parts, qsizetype messages)
{
    bool program = false;
    bool eeprom = false;
    bool codes = false;
    for (qsizetype i = 0; i < std::min(messages, parts.size()); ++i) {
        program = program || parts[i] == ImagePart::Program;
        eeprom = eeprom || parts[i] == ImagePart::Eeprom;
        codes = codes || parts[i] == ImagePart::CustomerCodes;
    }
    return QJsonObject{{QStringLiteral("program"), program},
                       {QStringLiteral("eeprom"), eeprom},
                       {QStringLiteral("customerCodes"), codes}};
}

QString userName()
{
    if (const passwd *entry = ::getpwuid(::geteuid()))
        return QString::fromLocal8Bit(entry->pw_name);
    return QString::number(::geteuid());
}

} // namespace

SentLines sentLines(const RecordList &lines, const RecordFraming::Options &framing)
{
    // A line is EEPROM data or the code table by what its option decides.
    const RecordFraming::Options noEeprom{.sendEeprom = false,
                                          .sendCodeTable = framing.sendCodeTable};
    const RecordFraming::Options noCodes{.sendEeprom = framing.sendEeprom, .sendCodeTable = false};
    SentLines sent;
    for (qsizetype index = 0; index < lines.size(); ++index) {
        const QByteArrayView line = lines.at(index);
        const qsizetype messages = RecordFraming::frameLine(line, framing).size();
        if (messages == 0)
            continue;
        sent.text += line.toByteArray() + "\r\n";
        const ImagePart part = RecordFraming::frameLine(line, noEeprom).isEmpty()
            ? ImagePart::Eeprom
            : RecordFraming::frameLine(line, noCodes).isEmpty() ? ImagePart::CustomerCodes
                                                                : ImagePart::Program;
        sent.parts.append(QList<ImagePart>(messages, part));
    }
    return sent;
}

QString isoTime(const QDateTime &time)
{
    return time.isValid() ? time.toUTC().toString(Qt::ISODateWithMs) : QString();
}

QString signalName(int signal)
{
    switch (signal) {
    case SIGINT:
        return QStringLiteral("SIGINT");
    case SIGTERM:
        return QStringLiteral("SIGTERM");
    case SIGHUP:
        return QStringLiteral("SIGHUP");
    default:
        return QStringLiteral("signal %1").arg(signal);
    }
}

QJsonObject failureRecord(const ReaderFailure &failure)
{
    QJsonObject record{
        {QStringLiteral("time"), isoTime(failure.time)},
        {QStringLiteral("kind"), failure.kind},
        {QStringLiteral("text"), failure.text},
        {QStringLiteral("message"), failure.message},
        {QStringLiteral("answer"), QString::fromLatin1(failure.answer.toHex(' ').toUpper())},
        {QStringLiteral("retrying"), failure.retrying},
    };
    record.insert(QStringLiteral("wordAddress"),
                  failure.wordAddress < 0 ? QJsonValue() : QJsonValue(failure.wordAddress));
    return record;
}

QJsonObject readerRecord(const ReaderResult &result)
{
    QJsonArray failures;
    for (const ReaderFailure &failure : result.failures)
        failures.append(failureRecord(failure));
    return QJsonObject{
        {QStringLiteral("port"), result.port},
        {QStringLiteral("unit"), result.unit},
        {QStringLiteral("outcome"), result.outcomeName()},
        {QStringLiteral("status"), result.status},
        {QStringLiteral("recordsAcknowledged"), result.recordsAcknowledged},
        {QStringLiteral("messagesSent"), result.messagesSent},
        {QStringLiteral("retries"), result.retries},
        {QStringLiteral("reconnects"), result.reconnects},
        {QStringLiteral("failures"), failures},
        // Null for a reader that never started.
        {QStringLiteral("started"),
         result.started.isValid() ? QJsonValue(isoTime(result.started)) : QJsonValue()},
        {QStringLiteral("ended"), isoTime(result.ended)},
        {QStringLiteral("durationSeconds"), double(result.started.msecsTo(result.ended)) / 1000.0},
    };
}

QByteArray flashReport(const FlashRequest &request, const FlashRun &run, const Rack &rack)
{
    const QJsonObject sent = sentParts(run.messageParts, run.messageParts.size());
    QJsonArray readers;
    for (const ReaderResult &unit : rack.units()) {
        QJsonObject reader = readerRecord(unit);
        const ReaderPlan &plan = run.plans.at(unit.reader);
        // What reached the reader: the parts of the messages it acknowledged.
        reader.insert(QStringLiteral("sent"), sentParts(plan.parts, unit.recordsAcknowledged));
        reader.insert(QStringLiteral("sentSha256"), QString::fromLatin1(plan.sentSha256));
        reader.insert(QStringLiteral("values"), optionsWritten(plan.values));
        if (const auto sticker = run.stickers.constFind({unit.reader, unit.unit});
            sticker != run.stickers.cend()) {
            QJsonObject printed{{QStringLiteral("printed"), sticker->isEmpty()}};
            if (!sticker->isEmpty())
                printed.insert(QStringLiteral("error"), *sticker);
            reader.insert(QStringLiteral("sticker"), printed);
        }
        for (const auto &[key, text] : {std::pair{"name", plan.name}, std::pair{"site", plan.site},
                                        std::pair{"label", plan.label}}) {
            if (!text.isEmpty())
                reader.insert(QLatin1String(key), text);
        }
        readers.append(reader);
    }
    QJsonObject report{
        {QStringLiteral("reportFormat"), FlashRun::kReportFormat},
        {QStringLiteral("program"), QStringLiteral("corvant-flash")},
        {QStringLiteral("version"), QCoreApplication::applicationVersion()},
        {QStringLiteral("runId"), run.runId},
        {QStringLiteral("host"), QSysInfo::machineHostName()},
        {QStringLiteral("user"), userName()},
        {QStringLiteral("started"), isoTime(run.started)},
        {QStringLiteral("ended"), isoTime(run.ended)},
        {QStringLiteral("exitCode"), run.exitCode},

        {QStringLiteral("firmwareFileSha256"), QString::fromLatin1(run.firmwareFileSha256)},
        {QStringLiteral("imageSha256"), QString::fromLatin1(run.imageSha256)},
        {QStringLiteral("sentSha256"), QString::fromLatin1(run.sentSha256)},
        {QStringLiteral("sent"), sent},
        {QStringLiteral("all"), request.eeprom && request.codes},
        {QStringLiteral("eeprom"), request.eeprom},
        {QStringLiteral("codes"), request.codes},
        {QStringLiteral("jobs"), request.jobs},
        {QStringLiteral("canary"), request.canary},
        {QStringLiteral("loop"), request.loop},
        {QStringLiteral("options"), optionsWritten(request.options.changes)},
        {QStringLiteral("retries"), request.retries},
        {QStringLiteral("searchTimeoutSeconds"), request.searchTimeout},
        {QStringLiteral("replyTimeoutSeconds"), request.replyTimeout},
        {QStringLiteral("readers"), readers},
    };
    // A name that is no UTF-8 would reach JSON as unpaired surrogates, which
    // JSON tools turn into U+FFFD: its bytes travel beside it.
    const QByteArray firmware
        = SafeFile::nativeName(QFileInfo(request.firmware).absoluteFilePath());
    report.insert(QStringLiteral("firmware"), QString::fromUtf8(firmware));
    if (QString::fromUtf8(firmware).toUtf8() != firmware)
        report.insert(QStringLiteral("firmwareBytes"), QString::fromLatin1(firmware.toBase64()));
    if (request.maxFailures >= 0)
        report.insert(QStringLiteral("maxFailures"),
                      QString(QString::number(request.maxFailures)
                              + (request.maxFailuresPercent ? QStringLiteral("%") : QString())));
    if (!rack.stopReason().isEmpty())
        report.insert(QStringLiteral("stopped"), rack.stopReason());
    if (!run.continuesRunId.isEmpty())
        report.insert(QStringLiteral("continues"),
                      QJsonObject{{QStringLiteral("runId"), run.continuesRunId},
                                  {QStringLiteral("report"), run.continuesReport}});
    if (!request.readersFile.isEmpty())
        report.insert(QStringLiteral("readersFile"),
                      QFileInfo(request.readersFile).absoluteFilePath());
    if (run.signal != 0) {
        report.insert(QStringLiteral("signal"), signalName(run.signal));
        report.insert(QStringLiteral("interrupted"),
                      run.forced ? QStringLiteral("forced") : QStringLiteral("signal"));
    }
    return QJsonDocument(report).toJson(QJsonDocument::Indented);
}
