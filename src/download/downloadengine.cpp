#include "download/downloadengine.h"

#include <QCoreApplication>
#include <QLoggingCategory>

#include <algorithm>
#include <cstdlib>

Q_LOGGING_CATEGORY(lcDownload, "corvant.download")

namespace {

constexpr int kAnimationPhases = 10;
// Only the first two bytes of a reply ever decide; the rest of a flood is
// dropped rather than kept.
constexpr qsizetype kReplyBufferSize = 256;

// The text of a download whose replies answered no message sent.
const char kOutOfStep[]
    = QT_TRANSLATE_NOOP("DownloadEngine", "Replies out of step with the messages sent");

// The first byte of a write's reply: bytes that can only answer a write.
bool answersAWrite(char byte)
{
    return std::uint8_t(byte) == Bootloader::kWriteReply
        || std::uint8_t(byte) == Bootloader::kNotAccepted;
}

// How many bytes a complete reply takes.
qsizetype replyLength(Bootloader::Reply reply)
{
    return reply == Bootloader::Reply::Acknowledged || reply == Bootloader::Reply::WriteFailed ? 2
                                                                                               : 1;
}

// A running timer is left alone: its period is not restarted.
void startIfStopped(QTimer &timer)
{
    if (!timer.isActive())
        timer.start();
}

QString socketErrorStatus(int code)
{
    return QCoreApplication::translate("DownloadEngine", "WinSock Error: %1 %2")
        .arg(code)
        .arg(socketErrorText(code));
}

// " E7 E4": every byte in hex, each after a blank.
QString hexBytes(QByteArrayView bytes)
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

} // namespace

DownloadEngine::DownloadEngine(Link &link, DownloadQuestions &questions, DownloadTiming timing,
                               QObject *parent)
    : QObject(parent)
    , m_link(link)
    , m_questions(questions)
{
    // Qt's default coarse timers fire up to 5 % early: a reply time-out of
    // 10 s must never end before 10 s.
    for (QTimer *timer :
         {&m_wakeupTimer, &m_animationTimer, &m_replyTimer, &m_searchLimitTimer, &m_quietTimer})
        timer->setTimerType(Qt::PreciseTimer);
    m_searchLimitTimer.setSingleShot(true);
    m_searchLimitTimer.setInterval(timing.searchLimit);
    m_quietTimer.setSingleShot(true);
    m_quietTimer.setInterval(timing.quiet);
    m_wakeupTimer.setInterval(timing.wakeup);
    m_animationTimer.setInterval(timing.animation);
    m_replyTimer.setInterval(timing.reply);
    m_reply.reserve(kReplyBufferSize); // kept, so a flood costs no allocation here
    connect(&m_wakeupTimer, &QTimer::timeout, this, &DownloadEngine::onWakeupTimer);
    connect(&m_animationTimer, &QTimer::timeout, this, &DownloadEngine::onAnimationTimer);
    connect(&m_replyTimer, &QTimer::timeout, this, &DownloadEngine::onReplyTimeout);
    connect(&m_searchLimitTimer, &QTimer::timeout, this, &DownloadEngine::onSearchLimit);
    connect(&m_quietTimer, &QTimer::timeout, this, &DownloadEngine::onQuietTimer);

    connect(&m_link, &Link::dataAvailable, this, &DownloadEngine::onDataAvailable);
    connect(&m_link, &Link::connected, this, &DownloadEngine::onConnected);
    connect(&m_link, &Link::disconnected, this, &DownloadEngine::onDisconnected);
    connect(&m_link, &Link::socketError, this, &DownloadEngine::onSocketError);
    connect(&m_link, &Link::lookupFailed, this, &DownloadEngine::onLookupFailed);
    connect(&m_link, &Link::lost, this, &DownloadEngine::onLinkLost);
}

QString DownloadEngine::logText(Direction direction, QByteArrayView bytes)
{
    return (direction == Direction::Sent ? QStringLiteral("tx:") : QStringLiteral("rx:"))
        + hexBytes(bytes);
}

void DownloadEngine::setPhase(Phase phase)
{
    if (phase == m_phase)
        return;
    m_phase = phase;
    emit phaseChanged(phase);
}

void DownloadEngine::setStatus(const QString &text)
{
    m_status = text;
    emit statusChanged(text);
}

void DownloadEngine::finish(Outcome outcome, const QString &told)
{
    m_result = {outcome,        m_status, told, m_result.notice, m_recordsAcknowledged,
                m_messagesSent, m_retries};
    emit finished(outcome);
}

void DownloadEngine::notOpened(const QString &failure, const QString &notice)
{
    stopTimers(); // the search limit counts from before the opening
    setStatus(QString());
    m_result.notice = notice;
    if (!notice.isEmpty())
        emit noticed(notice);
    setPhase(Phase::Idle);
    if (!failure.isEmpty())
        m_questions.tell(Dialogs::Icon::Error, failure);
    finish(NotOpened, failure);
}

void DownloadEngine::start(DownloadJob job)
{
    // Whoever paints while the link opens lets events in: a second start
    // must not begin a second download.
    if (isBusy() || m_link.isOpen())
        return;
    m_job = std::move(job);
    m_messagesSent = 0;
    m_retries = 0;
    m_abandoned = false;
    m_outOfStep = false;
    m_quietWait.invalidate();
    m_recordsAcknowledged = 0;
    m_result = {};
    setUpPort(m_link, m_job.portText);
    setStatus(tr("Connecting..."));
    setPhase(Phase::Opening);
    // Counts from here: a connection that never comes ends as well.
    if (m_searchLimitTimer.interval() > 0)
        m_searchLimitTimer.start();

    QString failure;
    QString notice;
    try {
        m_link.open();
    } catch (const PortOpenError &e) {
        failure = tr("Error: could not open communication port ") + m_job.portText;
        notice = e.message();
    } catch (const SocketError &e) {
        failure = socketErrorStatus(e.code());
    } catch (...) {
        setPhase(Phase::Idle);
        throw;
    }
    if (!failure.isEmpty()) {
        notOpened(failure, notice);
        return;
    }
    // A connection can be made or fail inside open() already; its event
    // has then moved the download on.
    if (m_phase != Phase::Opening)
        return;
    if (!m_link.isOpen()) {
        notOpened(QString(), QString());
        return;
    }
    if (m_link.connectsAsynchronously()) {
        setPhase(Phase::Connecting);
        return;
    }
    setPhase(Phase::Searching);
    sendWakeup();
}

void DownloadEngine::onConnected()
{
    if (m_phase != Phase::Opening && m_phase != Phase::Connecting)
        return;
    setStatus(tr("Connected"));
    setPhase(Phase::Searching);
    sendWakeup();
}

void DownloadEngine::onDisconnected()
{
    // Once the download is over (its closing box is open) the link's end
    // changes nothing.
    if (m_phase == Phase::Idle || m_phase == Phase::Closing)
        return;
    setStatus(tr("WinSock connection closed"));
    endDownload(ConnectionClosed);
}

void DownloadEngine::onSocketError(int code)
{
    if (m_phase == Phase::Idle || m_phase == Phase::Closing)
        return;
    setStatus(socketErrorStatus(code));
    endDownload(SocketFailed);
}

void DownloadEngine::onLookupFailed(int code)
{
    // A name that does not resolve is a port that did not open (its box),
    // only found later: the lookup runs in the background.
    if (m_phase != Phase::Opening && m_phase != Phase::Connecting)
        return;
    ++m_generation;
    stopTimers();
    if (m_cancelQuestionOpen)
        m_questions.withdraw();
    closeLink();
    notOpened(socketErrorStatus(code), QString());
}

void DownloadEngine::onLinkLost()
{
    // Ends like a closed TCP connection: no time-out wait, no box.
    if (m_phase == Phase::Idle || m_phase == Phase::Closing)
        return;
    setStatus(tr("Connection to %1 lost").arg(m_link.portName(false)));
    endDownload(ConnectionClosed);
}

void DownloadEngine::sendMessage(QByteArrayView bytes)
{
    // A reply starts afresh with every message: leftovers of an earlier,
    // incomplete reply must not spoil it.
    m_reply.truncate(0);
    ++m_messagesSent;
    emit logged(Direction::Sent, bytes.toByteArray());
    try {
        m_link.write(bytes);
    } catch (const LinkError &e) {
        qCInfo(lcDownload) << "write failed:" << e.message();
        m_writeFailed = true;
    }
}

void DownloadEngine::sendWakeup()
{
    startIfStopped(m_wakeupTimer);
    startIfStopped(m_animationTimer);
    m_cancelRequested = m_abandoned;
    m_writeFailed = false;
    const char wakeup = char(Bootloader::kWakeup);
    sendMessage(QByteArrayView(&wakeup, 1));
}

void DownloadEngine::onWakeupTimer()
{
    m_wakeupTimer.stop();
    if (m_phase != Phase::Searching)
        return;
    if (!stopping()) {
        sendWakeup();
        return;
    }
    setStatus(QString());
    endDownload(SearchCancelled);
}

void DownloadEngine::onSearchLimit()
{
    const qint64 seconds = (m_searchLimitTimer.intervalAsDuration().count() + 999) / 1000;
    if (m_phase == Phase::Opening || m_phase == Phase::Connecting)
        setStatus(tr("No connection to %1 within %2 s").arg(m_link.portName(false)).arg(seconds));
    else if (m_phase == Phase::Searching)
        setStatus(tr("No answer from the bootloader within %1 s").arg(seconds));
    else
        return;
    endDownload(SearchTimedOut);
}

void DownloadEngine::onAnimationTimer()
{
    if (++m_animationPhase > kAnimationPhases)
        m_animationPhase = 1;
    const int steps = 5 - std::abs(m_animationPhase - 5);
    setStatus(tr("Searching for bootloader ") + QString(2 * steps, QLatin1Char(' '))
              + QStringLiteral("..."));
}

void DownloadEngine::onDataAvailable(quint16 count)
{
    if (count == 0)
        return;
    QByteArray received;
    received.reserve(count);
    for (int i = 0; i < count; ++i)
        received.append(char(m_link.readByte()));
    emit logged(Direction::Received, received);

    // One message, one answer: nothing is acted on while the message's
    // failure question is open, nor outside the phases that await a reply.
    // A late reply to a message that timed out is waited out: the line
    // must go quiet before the next message (at most a reply time-out).
    if (m_failureQuestionOpen)
        return;
    if (m_quietWait.isValid()) {
        if (m_quietWait.elapsed() < m_replyTimer.interval())
            m_quietTimer.start();
        return;
    }
    std::uint8_t sent = 0;
    switch (m_phase) {
    case Phase::Searching:
        sent = Bootloader::kWakeup;
        break;
    case Phase::Transferring:
        sent = Bootloader::kWrite;
        break;
    case Phase::Finishing:
        sent = Bootloader::kEnd;
        break;
    default:
        return;
    }
    m_reply.append(QByteArrayView(received).first(
        std::min(received.size(), kReplyBufferSize - m_reply.size())));
    // A write's reply in the end message's turn answered no message sent
    // (one that came after its time-out, or a doubled one): the replies
    // are one behind. Its bytes are passed over for the end's answer.
    if (m_phase == Phase::Finishing && answersAWrite(m_reply[0])) {
        const Bootloader::Reply write = Bootloader::decodeReply(Bootloader::kWrite, m_reply);
        if (write == Bootloader::Reply::NeedMore)
            return;
        markOutOfStep();
        m_reply.remove(0, replyLength(write));
        if (m_reply.isEmpty())
            return;
    }
    const Bootloader::Reply reply = Bootloader::decodeReply(sent, m_reply);
    if (reply == Bootloader::Reply::NeedMore)
        return;
    // The rest of this batch belongs to no message: the next reply starts
    // with the next message. A write's reply in it answered none.
    const bool unasked = m_phase != Phase::Searching && reply != Bootloader::Reply::Ignore
        && m_reply.size() > replyLength(reply) && answersAWrite(m_reply[replyLength(reply)]);
    m_reply.truncate(0);
    if (unasked)
        markOutOfStep();
    handleReply(reply);
}

void DownloadEngine::handleReply(Bootloader::Reply reply)
{
    switch (reply) {
    case Bootloader::Reply::WakeupAnswered:
        beginTransfer();
        break;
    case Bootloader::Reply::Acknowledged:
        ++m_recordsAcknowledged;
        if (++m_partIndex >= m_partCount) {
            m_partIndex = 0;
            ++m_lineIndex;
        }
        sendNextMessage();
        break;
    case Bootloader::Reply::WriteFailed:
        askAfterFailure(kWriteFailed);
        break;
    case Bootloader::Reply::NotAccepted:
        askAfterFailure(kNotAccepted);
        break;
    case Bootloader::Reply::EndAnswered:
        if (m_lineIndex < lineCount()) {
            setStatus(tr("Download cancelled"));
            endDownload(Cancelled);
        } else {
            setStatus(tr("Download completed"));
            endDownload(Completed);
        }
        break;
    case Bootloader::Reply::NeedMore:
    case Bootloader::Reply::Ignore:
        break;
    }
}

void DownloadEngine::beginTransfer()
{
    m_cancelRequested = m_abandoned;
    m_writeFailed = false;
    m_wakeupTimer.stop();
    m_animationTimer.stop();
    m_searchLimitTimer.stop();
    m_lineIndex = 0;
    m_partIndex = 0;
    m_recordsAcknowledged = 0;
    emit progressStarted(lineCount());
    setStatus(tr("Downloading, please wait ..."));
    setPhase(Phase::Transferring);
    sendNextMessage();
}

void DownloadEngine::sendNextMessage()
{
    m_replyTimer.stop();
    QByteArray message;
    for (;;) {
        if (m_lineIndex >= lineCount() || stopping()) {
            message = QByteArray(1, char(Bootloader::kEnd));
            setPhase(Phase::Finishing);
            break;
        }
        emit progressChanged(m_lineIndex);
        const QList<QByteArray> parts
            = RecordFraming::frameLine(m_job.lines.at(m_lineIndex), m_job.framing);
        if (m_partIndex < parts.size()) {
            message = parts[m_partIndex];
            m_partCount = int(parts.size());
            break;
        }
        m_partIndex = 0;
        ++m_lineIndex;
    }
    sendMessage(message);
    startIfStopped(m_replyTimer);
}

void DownloadEngine::markOutOfStep()
{
    if (m_outOfStep)
        return;
    qCInfo(lcDownload) << "a reply answered no message sent";
    // Which write the reader took is unknown now: no further line goes.
    m_outOfStep = true;
}

void DownloadEngine::onReplyTimeout()
{
    m_replyTimer.stop();
    if (m_phase == Phase::Transferring || m_phase == Phase::Finishing)
        askAfterFailure(kTimedOut);
}

void DownloadEngine::askAfterFailure(const char *failure)
{
    if (stopping()) {
        endDownload(Cancelled);
        return;
    }
    if (m_failureQuestionOpen)
        return;

    // No time-out while the question is open: its answer sends the one next
    // message.
    m_replyTimer.stop();
    m_failureQuestionOpen = true;
    const int generation = m_generation;
    const bool retry = m_questions.retryAfterFailure(QString::fromLatin1(failure));
    m_failureQuestionOpen = false;
    if (generation != m_generation)
        return; // the connection ended the download meanwhile

    dropHeldBackBytes();
    if (retry) {
        ++m_retries;
    } else {
        m_cancelRequested = true;
        setStatus(tr("Cancelling..."));
    }
    sendAfterFailure(failure == kTimedOut);
}

void DownloadEngine::sendAfterFailure(bool timedOut)
{
    if (!timedOut || m_quietTimer.interval() <= 0) {
        sendNextMessage();
        return;
    }
    m_quietWait.start();
    m_quietTimer.start();
}

void DownloadEngine::onQuietTimer()
{
    if (!m_quietWait.isValid() || (m_phase != Phase::Transferring && m_phase != Phase::Finishing))
        return;
    // Bytes still waiting came during the wait: it starts again (within
    // the cap of a reply time-out).
    if (m_link.bytesWaiting() > 0 && m_quietWait.elapsed() < m_replyTimer.interval()) {
        dropHeldBackBytes();
        m_quietTimer.start();
        return;
    }
    m_quietWait.invalidate();
    dropHeldBackBytes();
    sendNextMessage();
}

void DownloadEngine::dropHeldBackBytes()
{
    // Replies that came while the question was open were held back by the
    // link (no new data event inside its own handler); they belong to the
    // message that failed and must not spoil the answer to the next one.
    const qint64 stale = m_link.bytesWaiting();
    if (stale <= 0)
        return;
    QByteArray dropped;
    for (qint64 i = 0; i < stale; ++i)
        dropped.append(char(m_link.readByte()));
    emit logged(Direction::Received, dropped);
}

void DownloadEngine::cancel()
{
    if (!m_link.isOpen() || m_phase == Phase::Idle || m_phase == Phase::Closing)
        return;
    // A running search is cancelled at once; anything else (connecting, a
    // transfer, a search already cancelled) only when confirmed.
    if (!searching()) {
        const int generation = m_generation;
        m_cancelQuestionOpen = true;
        const bool confirmed = m_questions.confirmCancel();
        m_cancelQuestionOpen = false;
        if (!confirmed)
            return;
        if (generation != m_generation) {
            // The download ended while the question was open; the next
            // search clears the request again.
            m_cancelRequested = true;
            return;
        }
    }
    m_cancelRequested = true;
    m_animationTimer.stop();
    setStatus(tr("Cancelling..."));
}

void DownloadEngine::abandon()
{
    if (!m_link.isOpen() || m_phase == Phase::Idle || m_phase == Phase::Closing)
        return;
    m_abandoned = true;
    m_cancelRequested = true;
    m_animationTimer.stop();
    setStatus(tr("Cancelling..."));
}

void DownloadEngine::endDownload(Outcome outcome)
{
    setPhase(Phase::Closing);
    ++m_generation;
    stopTimers();
    emit progressEnded();
    // A question about this download that is still open asks about nothing
    // now: its answer would act on no download.
    if (m_failureQuestionOpen || m_cancelQuestionOpen)
        m_questions.withdraw();

    if (m_outOfStep && (outcome == Completed || outcome == Cancelled)) {
        outcome = OutOfStep;
        setStatus(tr(kOutOfStep));
    }
    Dialogs::Icon icon = Dialogs::Icon::None;
    QString text;
    if (outcome == OutOfStep) {
        icon = Dialogs::Icon::Error;
        text = tr(kOutOfStep);
    } else if (outcome == Completed) {
        icon = m_recordsAcknowledged >= 1 ? Dialogs::Icon::Information : Dialogs::Icon::Warning;
        text = m_recordsAcknowledged >= 1
            ? tr("Download successfully completed")
            : tr("Warning: download completed, but no records have been sent");
    } else if (outcome == Cancelled) {
        icon = Dialogs::Icon::Warning;
        text = tr("Download cancelled");
    }
    QString told;
    if (outcome == Completed && m_job.unattended) {
        setStatus(text); // nobody would answer the box
    } else if (!text.isEmpty()) {
        told = text;
        m_questions.tell(icon, text);
    }

    closeLink();
    setPhase(Phase::Idle);
    finish(outcome, told);
}

void DownloadEngine::stopTimers()
{
    m_wakeupTimer.stop();
    m_animationTimer.stop();
    m_replyTimer.stop();
    m_searchLimitTimer.stop();
    m_quietTimer.stop();
    m_quietWait.invalidate();
}

void DownloadEngine::closeLink()
{
    if (!m_link.isOpen())
        return;
    try {
        m_link.close();
    } catch (const LinkError &e) {
        qCInfo(lcDownload) << "closing the link failed:" << e.message();
    }
}
