#include "flash/rackview.h"

#include <sys/ioctl.h>
#include <unistd.h>

namespace {

constexpr int kBarWidth = 20;
constexpr int kPortWidth = 20;

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

// Columns of the terminal on stderr; a line longer than that wraps, and
// the redraw would then go back too few lines.
int terminalColumns(std::FILE *stream)
{
    winsize size{};
    if (::ioctl(::fileno(stream), TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return 80;
}

double seconds(const ReaderResult &result)
{
    const QDateTime end = result.done ? result.ended : QDateTime::currentDateTimeUtc();
    return result.started.isValid() ? double(result.started.msecsTo(end)) / 1000.0 : 0.0;
}

} // namespace

RackView::RackView(const Rack &rack, Mode mode, std::FILE *progress)
    : m_rack(rack)
    , m_mode(mode)
    , m_progress(progress)
{
    if (m_mode == Mode::Terminal) {
        m_redrawTimer.setInterval(200);
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
    connect(
        &rack, &Rack::readerFailure, this,
        [this](int index, const QString &failure, bool retrying) {
            const ReaderResult &result = m_rack.result(index);
            line(retrying
                     ? QStringLiteral("%1: %2, retrying").arg(result.port, failure)
                     : QStringLiteral("%1: %2, abandoning the download").arg(result.port, failure));
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

void RackView::line(const QString &text)
{
    std::fprintf(m_progress, "%s\n", text.toLocal8Bit().constData());
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

void RackView::redraw()
{
    QByteArray text;
    if (m_drawn)
        text += "\x1b[" + QByteArray::number(m_rack.size()) + "A"; // back to the first line
    const int columns = terminalColumns(m_progress);
    for (int index = 0; index < m_rack.size(); ++index)
        text += "\r\x1b[K" + progressLine(index).left(columns - 1).toLocal8Bit() + "\n";
    std::fwrite(text.constData(), 1, std::size_t(text.size()), m_progress);
    std::fflush(m_progress);
    m_drawn = true;
}

QString RackView::summary(const Rack &rack)
{
    QString table = QStringLiteral("%1 %2 %3 %4 %5\n")
                        .arg(QStringLiteral("PORT"), -24)
                        .arg(QStringLiteral("OUTCOME"), -40)
                        .arg(QStringLiteral("RECORDS"), 11)
                        .arg(QStringLiteral("RETRIES"), 7)
                        .arg(QStringLiteral("SECONDS"), 8);
    for (int index = 0; index < rack.size(); ++index) {
        const ReaderResult &result = rack.result(index);
        table += QStringLiteral("%1 %2 %3 %4 %5\n")
                     .arg(result.port, -24)
                     .arg(result.status.isEmpty() ? result.outcomeName() : result.status, -40)
                     .arg(QStringLiteral("%1/%2")
                              .arg(result.recordsAcknowledged)
                              .arg(rack.messagesPerReader()),
                          11)
                     .arg(result.retries, 7)
                     .arg(seconds(result), 8, 'f', 2);
    }
    return table;
}
