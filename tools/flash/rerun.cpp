#include "flash/rerun.h"

#include "flash/flashreport.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

constexpr qint64 kLargestReport = 256 * 1024 * 1024;

QString given(bool given)
{
    return given ? QStringLiteral("given") : QStringLiteral("not given");
}

QString compact(const QJsonObject &object)
{
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

// A reader's values as the options that give them.
OptionArguments::Parsed valuesOf(const QJsonObject &values, QString &reason)
{
    OptionArguments::Parsed parsed;
    for (auto it = values.begin(); it != values.end(); ++it) {
        const QString option = QStringLiteral("--") + it.key();
        if (!OptionArguments::isOptionName(option)
            || !OptionArguments::take(option, QString::number(it.value().toDouble()), parsed,
                                      reason)) {
            reason = QStringLiteral("value %1: %2").arg(it.key(), reason);
            break;
        }
    }
    return parsed;
}

} // namespace

namespace Reruns {

std::optional<QString> read(const FlashRequest &request, const QByteArray &firmwareFileSha256,
                            Rerun &rerun)
{
    const QString &path = request.rerunReport;
    const auto refuse
        = [&path](const QString &why) { return QStringLiteral("--rerun %1: %2").arg(path, why); };
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return refuse(file.errorString());
    if (file.size() > kLargestReport)
        return refuse(QStringLiteral("larger than 256 MiB: no report"));
    QJsonParseError error{};
    const QJsonObject report = QJsonDocument::fromJson(file.readAll(), &error).object();
    if (error.error != QJsonParseError::NoError
        || report.value(QLatin1String("program")).toString() != QLatin1String("corvant-flash")
        || report.value(QLatin1String("reportFormat")).toInt() != FlashRun::kReportFormat)
        return refuse(QStringLiteral("not a report of corvant-flash"));

    const QString then = report.value(QLatin1String("firmwareFileSha256")).toString();
    if (then != QString::fromLatin1(firmwareFileSha256))
        return refuse(QStringLiteral("another firmware (SHA-256 %1 then, %2 now)")
                          .arg(then, QString::fromLatin1(firmwareFileSha256)));
    const QJsonObject options = optionsWritten(request.options.changes);
    if (report.value(QLatin1String("options")).toObject() != options)
        return refuse(
            QStringLiteral("other options (%1 then, %2 now)")
                .arg(compact(report.value(QLatin1String("options")).toObject()), compact(options)));
    for (const auto &[key, now] :
         {std::pair{"eeprom", request.eeprom}, std::pair{"codes", request.codes}}) {
        const bool before = report.value(QLatin1String(key)).toBool();
        if (before != now)
            return refuse(QStringLiteral("--%1 %2 then, %3 now")
                              .arg(QLatin1String(key), given(before), given(now)));
    }

    rerun.report = QFileInfo(path).absoluteFilePath();
    rerun.runId = report.value(QLatin1String("runId")).toString();
    int line = 0;
    for (const QJsonValue &value : report.value(QLatin1String("readers")).toArray()) {
        const QJsonObject reader = value.toObject();
        ++line;
        if (reader.value(QLatin1String("outcome")).toString() == QLatin1String("Completed"))
            continue;
        ReaderEntry entry;
        entry.port = reader.value(QLatin1String("port")).toString();
        entry.name = reader.value(QLatin1String("name")).toString();
        entry.site = reader.value(QLatin1String("site")).toString();
        entry.label = reader.value(QLatin1String("label")).toString();
        entry.line = line;
        QString reason;
        entry.options = valuesOf(reader.value(QLatin1String("values")).toObject(), reason);
        if (entry.port.isEmpty() || !reason.isEmpty())
            return refuse(QStringLiteral("reader %1: %2")
                              .arg(line)
                              .arg(reason.isEmpty() ? QStringLiteral("no port") : reason));
        rerun.readers << entry;
    }
    return std::nullopt;
}

} // namespace Reruns
