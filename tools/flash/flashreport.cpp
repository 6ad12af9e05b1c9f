#include "flash/flashreport.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

QString isoTime(const QDateTime &time)
{
    return time.isValid() ? time.toUTC().toString(Qt::ISODateWithMs) : QString();
}

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

} // namespace

QByteArray flashReport(const FlashRequest &request, const QByteArray &imageSha256, const Rack &rack)
{
    QJsonArray readers;
    for (int index = 0; index < rack.size(); ++index) {
        const ReaderResult &result = rack.result(index);
        readers.append(QJsonObject{
            {QStringLiteral("port"), result.port},
            {QStringLiteral("outcome"), result.outcomeName()},
            {QStringLiteral("status"), result.status},
            {QStringLiteral("recordsAcknowledged"), result.recordsAcknowledged},
            {QStringLiteral("messagesSent"), result.messagesSent},
            {QStringLiteral("retries"), result.retries},
            {QStringLiteral("started"), isoTime(result.started)},
            {QStringLiteral("ended"), isoTime(result.ended)},
            {QStringLiteral("durationSeconds"),
             double(result.started.msecsTo(result.ended)) / 1000.0},
        });
    }
    const QJsonObject report{
        {QStringLiteral("program"), QStringLiteral("corvant-flash")},
        {QStringLiteral("version"), QCoreApplication::applicationVersion()},
        {QStringLiteral("firmware"), QFileInfo(request.firmware).absoluteFilePath()},
        {QStringLiteral("imageSha256"), QString::fromLatin1(imageSha256)},
        {QStringLiteral("all"), request.all},
        {QStringLiteral("options"), optionsWritten(request.options.changes)},
        {QStringLiteral("retries"), request.retries},
        {QStringLiteral("readers"), readers},
    };
    return QJsonDocument(report).toJson(QJsonDocument::Indented);
}
