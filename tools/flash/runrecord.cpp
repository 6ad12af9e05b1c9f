#include "flash/runrecord.h"

#include "common/safefile.h"
#include "common/stopsignals.h"
#include "flash/reportpage.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

void say(const QString &text)
{
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
}

} // namespace

int RunRecord::write(int exitCode)
{
    if (m_run.signal == 0)
        m_run.signal = StopSignals::received(); // also one the loop never saw
    m_run.exitCode = exitCode;
    m_run.ended = QDateTime::currentDateTimeUtc();
    // The page first: a page not written fails the run, and the report
    // written after it says so.
    if (!m_request.htmlFile.isEmpty()) {
        QString error;
        const QJsonObject report
            = QJsonDocument::fromJson(flashReport(m_request, m_run, m_rack)).object();
        if (!SafeFile::write(m_request.htmlFile,
                             ReportPage::html({report}, QDateTime::currentDateTimeUtc()), error)) {
            say(QStringLiteral("corvant-flash: %1: %2").arg(m_request.htmlFile, error));
            exitCode = m_run.exitCode = FlashExit::kNotAllCompleted;
        }
    }
    m_journal.write(
        QStringLiteral("runEnded"),
        {{QStringLiteral("exitCode"), exitCode}, {QStringLiteral("forced"), m_run.forced}});
    const QByteArray report = flashReport(m_request, m_run, m_rack);
    QString error;
    if (m_request.reportFile == QLatin1String("-")) {
        if (std::fwrite(report.constData(), 1, std::size_t(report.size()), stdout)
                != std::size_t(report.size())
            || std::fflush(stdout) != 0 || std::ferror(stdout)) {
            say(QStringLiteral("corvant-flash: cannot write the report to standard "
                               "output: %1")
                    .arg(QString::fromLocal8Bit(std::strerror(errno))));
            if (exitCode == FlashExit::kAllCompleted)
                return FlashExit::kNotAllCompleted;
        }
    } else if (!m_request.reportFile.isEmpty()) {
        if (!SafeFile::write(m_request.reportFile, report, error)) {
            say(QStringLiteral("corvant-flash: cannot write %1: %2")
                    .arg(m_request.reportFile, error));
            if (exitCode == FlashExit::kAllCompleted)
                return FlashExit::kNotAllCompleted;
        }
    }
    return exitCode;
}

void journalRack(const Rack &rack, FlashJournal &journal)
{
    const auto port = [&rack](int index) {
        return QJsonObject{{QStringLiteral("reader"), index},
                           {QStringLiteral("port"), rack.result(index).port}};
    };
    QObject::connect(&rack, &Rack::readerStarted, &rack, [&journal, port](int index) {
        journal.write(QStringLiteral("start"), port(index));
    });
    QObject::connect(&rack, &Rack::readerFailure, &rack,
                     [&journal, port](int index, const ReaderFailure &failure) {
                         QJsonObject fields = port(index);
                         const QJsonObject record = failureRecord(failure);
                         for (auto it = record.begin(); it != record.end(); ++it)
                             fields.insert(it.key(), it.value());
                         journal.write(QStringLiteral("failure"), fields);
                     });
    QObject::connect(&rack, &Rack::readerReconnecting, &rack, [&journal, port](int index) {
        journal.write(QStringLiteral("reconnect"), port(index));
    });
    QObject::connect(&rack, &Rack::readerFinished, &rack, [&journal, &rack](int index) {
        QJsonObject fields = readerRecord(rack.result(index));
        fields.insert(QStringLiteral("reader"), index);
        journal.write(QStringLiteral("end"), fields);
    });
}
