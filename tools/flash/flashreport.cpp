#include "flash/flashreport.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSysInfo>

#include <csignal>
#include <pwd.h>
#include <unistd.h>

namespace {

// The options written, by their names without dashes ("cf", "relay").
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

QString userName()
{
    if (const passwd *entry = ::getpwuid(::geteuid()))
        return QString::fromLocal8Bit(entry->pw_name);
    return QString::number(::geteuid());
}

} // namespace

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
        {QStringLiteral("outcome"), result.outcomeName()},
        {QStringLiteral("status"), result.status},
        {QStringLiteral("recordsAcknowledged"), result.recordsAcknowledged},
        {QStringLiteral("messagesSent"), result.messagesSent},
        {QStringLiteral("retries"), result.retries},
        {QStringLiteral("reconnects"), result.reconnects},
        {QStringLiteral("failures"), failures},
        {QStringLiteral("started"), isoTime(result.started)},
        {QStringLiteral("ended"), isoTime(result.ended)},
        {QStringLiteral("durationSeconds"), double(result.started.msecsTo(result.ended)) / 1000.0},
    };
}

QByteArray flashReport(const FlashRequest &request, const FlashRun &run, const Rack &rack)
{
    const QJsonObject sent{
        {QStringLiteral("program"), true},
        {QStringLiteral("eeprom"), request.eeprom},
        {QStringLiteral("customerCodes"), run.customerCodesSent},
    };
    QJsonArray readers;
    for (int index = 0; index < rack.size(); ++index) {
        QJsonObject reader = readerRecord(rack.result(index));
        reader.insert(QStringLiteral("sent"), sent);
        reader.insert(QStringLiteral("sentSha256"), QString::fromLatin1(run.sentSha256));
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
        {QStringLiteral("firmware"), QFileInfo(request.firmware).absoluteFilePath()},
        {QStringLiteral("firmwareFileSha256"), QString::fromLatin1(run.firmwareFileSha256)},
        {QStringLiteral("imageSha256"), QString::fromLatin1(run.imageSha256)},
        {QStringLiteral("sentSha256"), QString::fromLatin1(run.sentSha256)},
        {QStringLiteral("sent"), sent},
        {QStringLiteral("all"), request.eeprom && request.codes},
        {QStringLiteral("options"), optionsWritten(request.options.changes)},
        {QStringLiteral("retries"), request.retries},
        {QStringLiteral("searchTimeoutSeconds"), request.searchTimeout},
        {QStringLiteral("replyTimeoutSeconds"), request.replyTimeout},
        {QStringLiteral("readers"), readers},
    };
    if (run.signal != 0) {
        report.insert(QStringLiteral("signal"), signalName(run.signal));
        report.insert(QStringLiteral("interrupted"),
                      run.forced ? QStringLiteral("forced") : QStringLiteral("signal"));
    }
    return QJsonDocument(report).toJson(QJsonDocument::Indented);
}
