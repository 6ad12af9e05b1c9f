#include "downloadprocedure.h"

#include "encryptedhex.h"
#include "recordframing.h"

#include <QLoggingCategory>

#include <cstdlib>

Q_LOGGING_CATEGORY(lcDownload, "corvant.download")

namespace {

constexpr int kAnimationPhases = 10;

// A running timer is left alone: its period is not restarted.
void startIfStopped(QTimer &timer)
{
    if (!timer.isActive())
        timer.start();
}

QString socketErrorStatus(int code)
{
    return QStringLiteral("WinSock Error: %1 %2").arg(code).arg(socketErrorText(code));
}

} // namespace

DownloadProcedure::DownloadProcedure(Link &link, Dialogs &dialogs, DownloadHost &host,
                                     DownloadTiming timing, QObject *parent)
    : QObject(parent)
    , m_link(link)
    , m_dialogs(dialogs)
    , m_host(host)
{
    // Qt's default coarse timers fire up to 5 % early: a reply time-out of
    // 10 s must never end before 10 s.
    for (QTimer *timer : {&WakeupTimer, &WaitingTimer, &DownloadTimer})
        timer->setTimerType(Qt::PreciseTimer);
    WakeupTimer.setInterval(timing.wakeup);
    WaitingTimer.setInterval(timing.animation);
    DownloadTimer.setInterval(timing.reply);
    connect(&WakeupTimer, &QTimer::timeout, this, &DownloadProcedure::WakeupTimerExpired);
    connect(&WaitingTimer, &QTimer::timeout, this, &DownloadProcedure::WaitingTimerTimer);
    connect(&DownloadTimer, &QTimer::timeout, this, &DownloadProcedure::DownloadTimerExpired);

    connect(&m_link, &Link::dataAvailable, this, &DownloadProcedure::CP1TriggerAvail);
    connect(&m_link, &Link::connected, this, &DownloadProcedure::OnWsConnect);
    connect(&m_link, &Link::disconnected, this, &DownloadProcedure::OnWsDisconnect);
    connect(&m_link, &Link::socketError, this, &DownloadProcedure::OnWsError);
    connect(&m_link, &Link::lost, this, &DownloadProcedure::OnLinkLost);
}

QString DownloadProcedure::hexBytes(QByteArrayView bytes)
{
    QString text;
    text.reserve(3 * bytes.size());
    for (const char byte : bytes) {
        text += QLatin1Char(' ');
        text += QLatin1Char("0123456789ABCDEF"[(byte >> 4) & 0xF]);
        text += QLatin1Char("0123456789ABCDEF"[byte & 0xF]);
    }
    return text;
}

int DownloadProcedure::lineCount()
{
    return int(m_host.image().records.size());
}

void DownloadProcedure::btnDownloadClick()
{
    // Painting the status below lets events in: a second press of Download
    // must not start a second download.
    if (m_link.isOpen() || m_starting)
        return;
    m_starting = true;
    struct Started
    {
        bool &flag;
        ~Started() { flag = false; }
    } started{m_starting};

    setUpPort(m_link, m_host.portText());
    const bool tcp = m_link.settings().layer == LinkSettings::Layer::Tcp;
    if (tcp)
        m_host.setBusyCursor(true);
    m_host.setStatusText(QStringLiteral("Connecting..."));
    m_host.processPendingEvents();

    // The cursor comes back and the window is refreshed however this ends,
    // before any error box is shown.
    const auto restore = [this] {
        m_host.setBusyCursor(false);
        m_host.refreshWindowState();
    };
    const int generation = m_generation;
    QString failure;
    try {
        m_link.open();
    } catch (const PortOpenError &e) {
        qCInfo(lcDownload) << "port open failed:" << e.message();
        failure = QStringLiteral("Error: could not open communication port ") + m_host.portText();
    } catch (const SocketError &e) {
        failure = socketErrorStatus(e.code());
    } catch (...) {
        restore();
        throw;
    }
    if (!failure.isEmpty()) {
        m_host.setStatusText(QString());
        restore();
        m_dialogs.message(Dialogs::Icon::Error, failure, Dialogs::Buttons::Ok);
        return;
    }
    // A connection can fail inside open() already, and that failure has then
    // ended the download: the link is not open any more.
    if (generation == m_generation && m_link.isOpen()) {
        m_linkOpen = true;
        m_host.refreshWindowState();
        if (!tcp)
            sendWakeup();
    }
    restore();
}

void DownloadProcedure::OnWsConnect()
{
    m_linkOpen = true;
    m_host.setStatusText(QStringLiteral("Connected"));
    m_host.refreshWindowState();
    sendWakeup();
}

void DownloadProcedure::OnWsDisconnect()
{
    m_linkOpen = false;
    if (m_ending)
        return; // the download is over; its closing box is open
    m_host.setStatusText(QStringLiteral("WinSock connection closed"));
    endDownload(ConnectionClosed);
}

void DownloadProcedure::OnWsError(int code)
{
    m_linkOpen = false;
    if (m_ending)
        return;
    m_host.setStatusText(socketErrorStatus(code));
    endDownload(SocketFailed);
}

void DownloadProcedure::OnLinkLost()
{
    // Ends like a closed TCP connection: no time-out wait, no box.
    m_linkOpen = false;
    if (m_ending)
        return;
    m_host.setStatusText(QStringLiteral("Connection to %1 lost").arg(m_link.portName(false)));
    endDownload(ConnectionClosed);
}

void DownloadProcedure::sendMessage(QByteArrayView bytes)
{
    m_transmit = bytes.toByteArray();
    // A reply starts afresh with every message: leftovers of an earlier,
    // incomplete reply must not spoil it.
    m_receiveCount = 0;
    m_host.addLogLine(QStringLiteral("tx:") + hexBytes(bytes), kTransmitColour);
    try {
        m_link.write(bytes);
    } catch (const LinkError &e) {
        qCInfo(lcDownload) << "write failed:" << e.message();
        m_cancelRequested = true;
    }
}

void DownloadProcedure::sendWakeup()
{
    startIfStopped(WakeupTimer);
    startIfStopped(WaitingTimer);
    m_cancelRequested = false;
    const char wakeup = char(Bootloader::kWakeup);
    sendMessage(QByteArrayView(&wakeup, 1));
}

void DownloadProcedure::WakeupTimerExpired()
{
    WakeupTimer.stop();
    if (!m_cancelRequested) {
        sendWakeup();
        return;
    }
    m_host.setStatusText(QString());
    endDownload(SearchCancelled);
}

void DownloadProcedure::WaitingTimerTimer()
{
    if (++m_animationPhase > kAnimationPhases)
        m_animationPhase = 1;
    const int steps = 5 - std::abs(m_animationPhase - 5);
    m_host.setStatusText(QStringLiteral("Searching for bootloader ")
                         + QString(2 * steps, QLatin1Char(' ')) + QStringLiteral("..."));
}

void DownloadProcedure::CP1TriggerAvail(quint16 count)
{
    if (count == 0)
        return;
    QByteArray received;
    received.reserve(count);
    for (int i = 0; i < count; ++i) {
        const std::uint8_t byte = m_link.readByte();
        received.append(char(byte));
        // Only the first two bytes after a reset ever decide; the rest of a
        // flood is dropped rather than overrun the buffer.
        if (m_receiveCount < int(m_receive.size()))
            m_receive[std::size_t(m_receiveCount++)] = byte;
    }
    m_host.addLogLine(QStringLiteral("rx:") + hexBytes(received), kReceiveColour);

    // Replies for a download that is ending, or for a message whose failure
    // question is open, are not acted on: one message, one answer.
    if (m_ending || m_failureQuestionOpen || m_transmit.isEmpty())
        return;

    const auto sent = std::uint8_t(m_transmit[0]);
    if (sent == Bootloader::kWakeup && m_receiveCount >= 1) {
        m_receiveCount = 0;
        if (m_receive[0] == Bootloader::kWakeupReply)
            beginTransfer();
    }
    if (std::uint8_t(m_transmit[0]) == Bootloader::kWrite && m_receiveCount >= 1) {
        if (m_receive[0] == Bootloader::kWriteReply) {
            if (m_receiveCount >= 2) {
                m_receiveCount = 0;
                if (m_receive[1] == Bootloader::kWritten) {
                    ++m_recordsAcknowledged;
                    if (++m_partIndex >= m_partCount) {
                        m_partIndex = 0;
                        ++m_lineIndex;
                    }
                    sendNextRecord();
                } else if (m_receive[1] == Bootloader::kWriteFailed) {
                    reportFailure(QStringLiteral("Write failed"));
                }
            }
        } else {
            m_receiveCount = 0;
            if (m_receive[0] == Bootloader::kNotAccepted)
                reportFailure(QStringLiteral("Write failed (data not accepted)"));
        }
    }
    if (std::uint8_t(m_transmit[0]) == Bootloader::kEnd && m_receiveCount >= 1) {
        m_receiveCount = 0;
        if (m_receive[0] == Bootloader::kEndReply) {
            if (m_lineIndex < lineCount()) {
                m_host.setStatusText(QStringLiteral("Download cancelled"));
                endDownload(Cancelled);
            } else {
                m_host.setStatusText(QStringLiteral("Download completed"));
                endDownload(Completed);
            }
        }
    }
}

void DownloadProcedure::beginTransfer()
{
    m_cancelRequested = false;
    WakeupTimer.stop();
    WaitingTimer.stop();
    m_lineIndex = 0;
    m_partIndex = 0;
    m_recordsAcknowledged = 0;

    FirmwareImage &image = m_host.image();
    if (image.heldEncrypted) {
        try {
            EncryptedHex::decryptInPlace(image);
        } catch (const std::exception &e) {
            // Cannot happen for an image that loaded; nothing is then sent.
            qCWarning(lcDownload) << "image held encrypted cannot be deciphered:" << e.what();
        }
    }
    // The maximum counts the deciphered lines, so it is set after the decrypt.
    m_host.showProgress(lineCount());
    m_host.setStatusText(QStringLiteral("Downloading, please wait ..."));
    if (!image.heldEncrypted)
        ReaderOptionsIo::writeOptions(image.records, m_host.readerOptions(), m_host.customerCodesShown());
    sendNextRecord();
}

void DownloadProcedure::sendNextRecord()
{
    DownloadTimer.stop();
    QByteArray message;
    for (;;) {
        if (m_lineIndex >= lineCount() || m_cancelRequested) {
            message = QByteArray(1, char(Bootloader::kEnd));
            break;
        }
        m_host.setProgressPosition(m_lineIndex);
        const QList<QByteArray> parts
            = RecordFraming::frameLine(m_host.image().records.at(m_lineIndex), m_host.frameOptions());
        if (m_partIndex < parts.size()) {
            message = parts[m_partIndex];
            m_partCount = int(parts.size());
            break;
        }
        m_partIndex = 0;
        ++m_lineIndex;
    }
    sendMessage(message);
    startIfStopped(DownloadTimer);
}

void DownloadProcedure::DownloadTimerExpired()
{
    DownloadTimer.stop();
    reportFailure(QStringLiteral("Communication timeout"));
}

void DownloadProcedure::reportFailure(const QString &text)
{
    if (m_cancelRequested) {
        endDownload(Cancelled);
        return;
    }
    if (m_failureQuestionOpen)
        return;

    // No time-out while the technician decides: the question's answer sends
    // the one next message.
    DownloadTimer.stop();
    m_failureQuestionOpen = true;
    const int generation = m_generation;
    const Dialogs::Answer answer
        = m_dialogs.message(Dialogs::Icon::Error, text, Dialogs::Buttons::AbortRetry);
    m_failureQuestionOpen = false;
    if (generation != m_generation)
        return; // the connection ended the download meanwhile

    // Replies that came while the box was open were held back by the link
    // (no new data event inside its own handler); they belong to the message
    // that failed and must not spoil the answer to the next one.
    if (const qint64 stale = m_link.bytesWaiting(); stale > 0) {
        QByteArray dropped;
        for (qint64 i = 0; i < stale; ++i)
            dropped.append(char(m_link.readByte()));
        m_host.addLogLine(QStringLiteral("rx:") + hexBytes(dropped), kReceiveColour);
    }

    if (answer != Dialogs::Answer::Retry) {
        m_cancelRequested = true;
        m_host.setStatusText(QStringLiteral("Cancelling..."));
    }
    sendNextRecord();
}

void DownloadProcedure::btnCancelClick()
{
    if (!m_link.isOpen())
        return;
    if (!WaitingTimer.isActive()) {
        const int generation = m_generation;
        const Dialogs::Answer answer
            = m_dialogs.message(Dialogs::Icon::Warning, QStringLiteral("Are you sure to abort the download?"),
                                Dialogs::Buttons::YesNo);
        if (answer != Dialogs::Answer::Yes)
            return;
        if (generation != m_generation) {
            // The download ended while the question was open; the next
            // search clears the request again.
            m_cancelRequested = true;
            return;
        }
    }
    m_cancelRequested = true;
    WaitingTimer.stop();
    m_host.setStatusText(QStringLiteral("Cancelling..."));
}

void DownloadProcedure::endDownload(Outcome outcome)
{
    m_ending = true;
    ++m_generation;
    WakeupTimer.stop();
    WaitingTimer.stop();
    DownloadTimer.stop();
    m_host.hideProgress();

    Dialogs::Icon icon = Dialogs::Icon::None;
    QString text;
    if (outcome == Completed) {
        icon = m_recordsAcknowledged >= 1 ? Dialogs::Icon::Information : Dialogs::Icon::Warning;
        text = m_recordsAcknowledged >= 1
            ? QStringLiteral("Download successfully completed")
            : QStringLiteral("Warning: download completed, but no records have been sent");
        if (m_host.autoMode()) {
            // Unattended: nobody would answer the box; the program ends.
            m_host.setStatusText(text);
            btnDisconnectClick();
            m_ending = false;
            emit finished(outcome);
            m_host.finishUnattended();
            return;
        }
    } else if (outcome == Cancelled) {
        icon = Dialogs::Icon::Warning;
        text = QStringLiteral("Download cancelled");
    }
    if (!text.isEmpty())
        m_dialogs.message(icon, text, Dialogs::Buttons::Ok);

    btnDisconnectClick();
    m_ending = false;
    emit finished(outcome);
}

void DownloadProcedure::btnDisconnectClick()
{
    if (m_link.isOpen()) {
        if (m_linkOpen) {
            m_linkOpen = false;
            try {
                m_link.close();
            } catch (const std::exception &e) {
                qCInfo(lcDownload) << "closing the link failed:" << e.what();
            }
        }
        WakeupTimer.stop();
        WaitingTimer.stop();
        DownloadTimer.stop();
    }
    m_host.refreshWindowState();
}
