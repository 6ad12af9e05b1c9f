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

QJsonObject optionsWritten(const ImageOutput::OptionChanges &changes,
                           const QList<QPair<QString, QString>> &given)
{
    QJsonObject options;
    for (const auto &[name, value] : given) {
        if (name == QLatin1String("relay"))
            options.insert(name, changes.relayTimeSeconds.value_or(0));
        else if (name == QLatin1String("facility"))
            options.insert(name, double(changes.facilityCode.value_or(0)));
        else
            options.insert(name, value.toInt());
    }
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
        {QStringLiteral("options"),
         optionsWritten(request.options.changes, request.options.given())},
        {QStringLiteral("retries"), request.retries},
        {QStringLiteral("readers"), readers},
    };
    return QJsonDocument(report).toJson(QJsonDocument::Indented);
}
