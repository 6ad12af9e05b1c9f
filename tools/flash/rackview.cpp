#include "flash/rackview.h"

#include <algorithm>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

constexpr int kBarWidth = 20;
constexpr int kPortWidth = 20;
// Failed and slowest readers the compact view lists at most.
constexpr int kCompactReaders = 8;

QString clock(qint64 seconds)
{
    return QStringLiteral("%1:%2")
        .arg(seconds / 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

// Long device paths differ at their end (/dev/serial/by-id/usb-...-port0).
QString shortPort(const QString &port)
{
    if (port.size() <= kPortWidth)
        return port;
    return port.left(6) + QStringLiteral("...") + port.right(kPortWidth - 9);
}

// The terminal's size on the stream: a line longer than its width wraps
// and more lines than its rows scroll, and the redraw would then go back
// too few lines.
winsize terminalSize(std::FILE *stream)
{
    winsize size{};
    if (::ioctl(::fileno(stream), TIOCGWINSZ, &size) != 0 || size.ws_col == 0)
        size = {24, 80, 0, 0};
    if (size.ws_row == 0)
        size.ws_row = 24;
    return size;
}

double seconds(const ReaderResult &result)
{
    const QDateTime end = result.done ? result.ended : QDateTime::currentDateTimeUtc();
    return result.started.isValid() ? double(result.started.msecsTo(end)) / 1000.0 : 0.0;
}

QString tableLine(const Rack &rack, const ReaderResult &result)
{
    return QStringLiteral("%1 %2 %3 %4 %5\n")
        .arg(result.port, -24)
        .arg(result.status.isEmpty() ? result.outcomeName() : result.status, -40)
        .arg(QStringLiteral("%1/%2").arg(result.recordsAcknowledged).arg(rack.messagesPerReader()),
             11)
        .arg(result.retries, 7)
        .arg(seconds(result), 8, 'f', 2);
}

QString totalsLine(const Rack &rack)
{
    int completed = 0;
    qint64 records = 0;
    double longest = 0;
    // Every unit is a reader: station mode flashes several on one port.
    const QList<ReaderResult> units = rack.units();
    for (const ReaderResult &result : units) {
        completed += result.completed() ? 1 : 0;
        records += result.recordsAcknowledged;
        longest = std::max(longest, seconds(result));
    }
    return QStringLiteral("TOTAL %1 of %2 readers completed, %3 did not; %4 records; %5 s\n")
        .arg(completed)
        .arg(units.size())
        .arg(units.size() - completed)
        .arg(records)
        .arg(longest, 0, 'f', 2);
}

} // namespace

RackView::RackView(const Rack &rack, Mode mode, std::FILE *progress)
    : m_rack(rack)
    , m_mode(mode)
    , m_progress(progress)
{
    m_clock.start();
    if (m_mode == Mode::Terminal) {
        m_redrawTimer.setInterval(200); // 5 frames a second at most
        connect(&m_redrawTimer, &QTimer::timeout, this, &RackView::redraw);
        m_redrawTimer.start();
        connect(&rack, &Rack::allFinished, this, [this] {
            m_redrawTimer.stop();
            redraw();
        });
        return;
    }
    if (m_mode != Mode::Lines)
        return;
    connect(&rack, &Rack::readerStarted, this, [this](int index) {
        line(QStringLiteral("%1: started").arg(m_rack.result(index).port));
    });
    connect(&rack, &Rack::readerFailure, this, [this](int index, const ReaderFailure &failure) {
        line((failure.retrying ? QStringLiteral("%1: %2, retrying")
                               : QStringLiteral("%1: %2, abandoning the download"))
                 .arg(m_rack.result(index).port, failure.text));
    });
    connect(&rack, &Rack::readerReconnecting, this, [this](int index) {
        line(QStringLiteral("%1: connecting again").arg(m_rack.result(index).port));
    });
    connect(&rack, &Rack::readerFinished, this, [this](int index) {
        const ReaderResult &result = m_rack.result(index);
        line(QStringLiteral("%1: %2 (%3 records, %4 retries, %5 s)")
                 .arg(result.port, result.status.isEmpty() ? result.outcomeName() : result.status)
                 .arg(result.recordsAcknowledged)
                 .arg(result.retries)
                 .arg(seconds(result), 0, 'f', 1));
    });
}

void RackView::note(const QString &text)
{
    if (m_mode == Mode::Lines) {
        line(text);
        return;
    }
    std::fprintf(m_progress, "%s\n", text.toLocal8Bit().constData());
    std::fflush(m_progress);
    m_linesDrawn = 0;
}

void RackView::line(const QString &text)
{
    std::fprintf(m_progress, "%s %s\n",
                 QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs).toLatin1().constData(),
                 text.toLocal8Bit().constData());
    std::fflush(m_progress);
}

QString RackView::progressLine(int index) const
{
    const ReaderResult &result = m_rack.result(index);
    const int total = std::max(1, m_rack.messagesPerReader());
    const int done = result.done ? result.recordsAcknowledged : m_rack.acknowledged(index);
    const int filled = std::min(kBarWidth, done * kBarWidth / total);
    const double elapsed = seconds(result);
    QString remaining = QStringLiteral("--:-- left");
    if (result.done)
        remaining = result.completed() ? QStringLiteral("done") : result.outcomeName();
    else if (done > 0)
        remaining = clock(qint64(elapsed * double(total - done) / double(done)))
            + QStringLiteral(" left");
    return QStringLiteral("%1 [%2%3] %4/%5 %6% %7, %8")
        .arg(shortPort(result.port), -kPortWidth)
        .arg(QString(filled, QLatin1Char('#')), QString(kBarWidth - filled, QLatin1Char('-')))
        .arg(done, 5)
        .arg(total)
        .arg(std::min(100, done * 100 / total), 3)
        .arg(clock(qint64(elapsed)), remaining);
}

QList<QByteArray> RackView::readerLines() const
{
    QList<QByteArray> lines;
    for (int index = 0; index < m_rack.size(); ++index)
        lines << progressLine(index).toLocal8Bit();
    return lines;
}

QList<QByteArray> RackView::compactLines(int rows) const
{
    int running = 0;
    int failed = 0;
    qint64 acknowledged = 0;
    QList<int> listed; // failed first, then the running ones, slowest first
    QList<int> runningReaders;
    for (int index = 0; index < m_rack.size(); ++index) {
        const ReaderResult &result = m_rack.result(index);
        acknowledged += result.done ? result.recordsAcknowledged : m_rack.acknowledged(index);
        if (result.done && !result.completed()) {
            ++failed;
            listed << index;
        } else if (!result.done) {
            ++running;
            runningReaders << index;
        }
    }
    std::stable_sort(runningReaders.begin(), runningReaders.end(), [this](int a, int b) {
        return m_rack.acknowledged(a) < m_rack.acknowledged(b);
    });
    listed += runningReaders;
    const double elapsed = std::max(0.001, double(m_clock.elapsed()) / 1000.0);
    const double rate = double(acknowledged) / elapsed;
    const qint64 left = qint64(m_rack.size()) * m_rack.messagesPerReader() - acknowledged;
    QList<QByteArray> lines{
        QStringLiteral("%1/%2 done, %3 running, %4 failed, %5 waiting; %6 records/s, %7 left")
            .arg(m_rack.doneCount() - failed)
            .arg(m_rack.size())
            .arg(running)
            .arg(failed)
            .arg(m_rack.waitingCount())
            .arg(qint64(rate))
            .arg(rate > 0 && running > 0 ? clock(qint64(double(left) / rate))
                                         : QStringLiteral("--:--"))
            .toLocal8Bit()};
    for (const int index : listed.first(
             std::min<qsizetype>(listed.size(), std::min(kCompactReaders, std::max(0, rows - 3)))))
        lines << progressLine(index).toLocal8Bit();
    return lines;
}

void RackView::redraw()
{
    const winsize size = terminalSize(m_progress);
    const int rows = size.ws_row;
    const QList<QByteArray> lines = m_rack.size() > rows - 2 ? compactLines(rows) : readerLines();
    QByteArray text;
    if (m_linesDrawn > 0)
        text += "\x1b[" + QByteArray::number(m_linesDrawn) + "A"; // back to the first line
    for (const QByteArray &line : lines)
        text += "\r\x1b[K" + line.left(size.ws_col - 1) + "\n";
    // A frame shorter than the last one clears the rest.
    if (lines.size() < m_linesDrawn)
        text += "\x1b[J";
    std::fwrite(text.constData(), 1, std::size_t(text.size()), m_progress);
    std::fflush(m_progress);
    m_linesDrawn = int(lines.size());
}

QString RackView::summary(const Rack &rack)
{
    QString table = QStringLiteral("%1 %2 %3 %4 %5\n")
                        .arg(QStringLiteral("PORT"), -24)
                        .arg(QStringLiteral("OUTCOME"), -40)
                        .arg(QStringLiteral("RECORDS"), 11)
                        .arg(QStringLiteral("RETRIES"), 7)
                        .arg(QStringLiteral("SECONDS"), 8);
    for (const ReaderResult &result : rack.units())
        table += tableLine(rack, result);
    return table + totalsLine(rack);
}

QString RackView::failedAndTotals(const Rack &rack)
{
    QString text;
    for (const ReaderResult &result : rack.units()) {
        if (!result.completed())
            text += tableLine(rack, result);
    }
    return text + totalsLine(rack);
}
