#include "flash/rack.h"

#include "download/bootloaderprotocol.h"
#include "download/policyquestions.h"
#include "download/portlink.h"

#include <QMetaEnum>
#include <QTimer>

#include <algorithm>
#include <functional>

namespace {

// Only the first bytes of an answer decide; a flood is not kept.
constexpr qsizetype kAnswerBytesKept = 16;

// The engine's failure texts by kind.
QString failureKind(const QString &text)
{
    if (text == QLatin1String(DownloadEngine::kTimedOut))
        return QStringLiteral("Timeout");
    if (text == QLatin1String(DownloadEngine::kWriteFailed))
        return QStringLiteral("WriteFailed");
    return QStringLiteral("NotAccepted");
}

} // namespace

// The policy of one reader, handing every failure to the rack, which
// records it and asks the policy's retry budget.
class RackPolicy : public PolicyQuestions {
public:
    RackPolicy(int retries, std::function<bool(const QString &)> onFailure)
        : PolicyQuestions(retries)
        , m_onFailure(std::move(onFailure))
    {
    }
    bool retryAfterFailure(const QString &failure) override { return m_onFailure(failure); }
    bool takeRetry(const QString &failure)
    {
        const bool retry = PolicyQuestions::retryAfterFailure(failure);
        m_gaveUp = m_gaveUp || !retry;
        return retry;
    }
    bool gaveUp() const { return m_gaveUp; }
    // The next unit of a station: the whole budget, nothing given up.
    void renew()
    {
        PolicyQuestions::renew();
        m_gaveUp = false;
    }

private:
    std::function<bool(const QString &)> m_onFailure;
    bool m_gaveUp = false;
};

struct Rack::Reader {
    std::unique_ptr<PortLink> link;
    std::unique_ptr<RackPolicy> policy;
    std::unique_ptr<DownloadEngine> engine;
    QTimer restart; // the next connection after a lost one
    ReaderResult result;
    QByteArray lastSent;
    QByteArray answer; // received since lastSent
    int messagesBefore = 0;
    bool engineCounted = false; // this connection's counts are in result
};

QString ReaderResult::outcomeName() const
{
    switch (outcome) {
    case Abandoned:
        return QStringLiteral("Abandoned");
    case Running:
        return QStringLiteral("Running");
    case NotStarted:
        return QStringLiteral("NotStarted");
    default:
        return QString::fromLatin1(
            QMetaEnum::fromType<DownloadEngine::Outcome>().valueToKey(outcome));
    }
}

Rack::Rack(Setup setup, QObject *parent)
    : QObject(parent)
    , m_setup(std::move(setup))
{
    for (int index = 0; index < m_setup.readers.size(); ++index) {
        const Entry &entry = m_setup.readers.at(index);
        int messages = 0;
        for (qsizetype line = 0; line < entry.lines.size(); ++line)
            messages += int(RecordFraming::frameLine(entry.lines.at(line), entry.framing).size());
        m_messagesPerReader = std::max(m_messagesPerReader, messages);
        auto reader = std::make_unique<Reader>();
        reader->result.port = entry.port;
        reader->result.reader = index;
        reader->link = std::make_unique<PortLink>(m_setup.overrides);
        reader->policy
            = std::make_unique<RackPolicy>(m_setup.retries, [this, index](const QString &text) {
                  return failed(index, failureKind(text), text);
              });
        reader->engine
            = std::make_unique<DownloadEngine>(*reader->link, *reader->policy, m_setup.timing);
        reader->restart.setSingleShot(true);
        reader->restart.setInterval(m_setup.timing.wakeup);
        connect(&reader->restart, &QTimer::timeout, this, [this, index] {
            emit readerReconnecting(index);
            startReader(index);
        });
        Reader *r = reader.get();
        connect(r->engine.get(), &DownloadEngine::logged, this,
                [r](DownloadEngine::Direction direction, const QByteArray &bytes) {
                    if (direction == DownloadEngine::Direction::Sent) {
                        r->lastSent = bytes;
                        r->answer.clear();
                    } else if (r->answer.size() < kAnswerBytesKept) {
                        r->answer += bytes.left(kAnswerBytesKept - r->answer.size());
                    }
                });
        connect(r->engine.get(), &DownloadEngine::finished, this,
                [this, index](DownloadEngine::Outcome outcome) { engineFinished(index, outcome); });
        m_readers.push_back(std::move(reader));
    }
}

Rack::~Rack() = default;

const ReaderResult &Rack::result(int index) const
{
    return m_readers.at(std::size_t(index))->result;
}

int Rack::acknowledged(int index) const
{
    return m_readers.at(std::size_t(index))->engine->recordsAcknowledged();
}

int Rack::waitingCount() const
{
    return size() - m_next
        + int(std::count_if(m_readers.begin(), m_readers.end(),
                            [](const auto &reader) { return reader->restart.isActive(); }));
}

void Rack::start()
{
    startMore();
}

void Rack::startMore()
{
    // A reader that ends while it starts (a port that does not open) comes
    // back here: the loop below goes on with it.
    if (m_starting)
        return;
    m_starting = true;
    const int jobs = m_setup.jobs > 0 ? m_setup.jobs : size();
    for (;;) {
        const bool canaryRunning = m_setup.canary > 0 && m_done < std::min(m_setup.canary, size());
        const int end = canaryRunning ? std::min(m_setup.canary, size()) : size();
        if (!m_stopReason.isEmpty() || m_running >= jobs || m_next >= end)
            break;
        const int index = m_next++;
        ++m_running;
        m_readers[std::size_t(index)]->result.started = QDateTime::currentDateTimeUtc();
        emit readerStarted(index);
        startReader(index);
    }
    m_starting = false;
    // Once nothing runs, the readers a stop left behind end as never started.
    if (m_running == 0 && !m_stopReason.isEmpty()) {
        while (m_next < size()) {
            const int index = m_next++;
            m_readers[std::size_t(index)]->result.status
                = QStringLiteral("Not started: %1").arg(m_stopReason);
            finish(index, ReaderResult::NotStarted);
        }
    }
}

void Rack::stopStarting(const QString &reason)
{
    if (m_stopReason.isEmpty())
        m_stopReason = reason;
}

void Rack::startReader(int index)
{
    Reader &reader = *m_readers[std::size_t(index)];
    DownloadJob job;
    job.portText = reader.result.port;
    job.lines = m_setup.readers.at(index).lines;
    job.framing = m_setup.readers.at(index).framing;
    job.unattended = true;
    reader.lastSent.clear();
    reader.answer.clear();
    reader.engineCounted = false;
    reader.engine->start(job);
}

void Rack::cancel()
{
    m_cancelled = true;
    stopStarting(QStringLiteral("the run was interrupted"));
    for (int index = 0; index < size(); ++index) {
        Reader &reader = *m_readers[std::size_t(index)];
        if (reader.result.done)
            continue;
        if (reader.restart.isActive()) {
            reader.restart.stop();
            reader.result.status = QStringLiteral("Download cancelled");
            finish(index, ReaderResult::Cancelled);
        } else if (!reader.engine->isBusy() && index < m_next) {
            // Station mode, between two units: nothing runs to cancel, and
            // the engine's counts are the last unit's.
            reader.engineCounted = true;
            finish(index, ReaderResult::SearchCancelled);
        } else {
            reader.engine->abandon();
        }
    }
    startMore();
}

void Rack::forceEnd()
{
    for (const auto &reader : m_readers) {
        if (reader->result.done)
            continue;
        if (!reader->result.started.isValid()) {
            reader->result.outcome = ReaderResult::NotStarted;
            reader->result.status = QStringLiteral("Not started: the run was interrupted");
            reader->result.ended = QDateTime::currentDateTimeUtc();
            continue;
        }
        reader->restart.stop();
        takeCounts(*reader);
        reader->result.outcome = ReaderResult::Running;
        reader->result.status = QStringLiteral("Still running when the run was forced to end");
        reader->result.ended = QDateTime::currentDateTimeUtc();
    }
}

bool Rack::failed(int index, const QString &kind, const QString &text)
{
    Reader &reader = *m_readers[std::size_t(index)];
    ReaderFailure failure;
    failure.time = QDateTime::currentDateTimeUtc();
    failure.kind = kind;
    failure.text = text;
    failure.message = reader.messagesBefore + reader.engine->messagesSent();
    if (reader.lastSent.size() >= 3 && std::uint8_t(reader.lastSent[0]) == Bootloader::kWrite)
        failure.wordAddress
            = std::uint8_t(reader.lastSent[1]) << 8 | std::uint8_t(reader.lastSent[2]);
    failure.answer = reader.answer;
    failure.retrying = !m_cancelled && reader.policy->takeRetry(text);
    if (failure.retrying)
        ++reader.result.retries;
    reader.result.failures << failure;
    emit readerFailure(index, failure);
    return failure.retrying;
}

void Rack::engineFinished(int index, DownloadEngine::Outcome outcome)
{
    Reader &reader = *m_readers[std::size_t(index)];
    // What the window would have told in a box (why the port did not open,
    // "Download cancelled") says more than the status line left behind it.
    const DownloadEngine::Result &ended = reader.engine->result();
    reader.result.status = ended.told.isEmpty() ? ended.status : ended.told;
    reader.result.notice = ended.notice;
    // A converter that reboots comes back; a serial device that went away
    // does not come back by itself.
    const bool connectionFailed
        = (outcome == DownloadEngine::ConnectionClosed || outcome == DownloadEngine::SocketFailed)
        && reader.link->settings().layer == LinkSettings::Layer::Tcp;
    if (connectionFailed && !reader.policy->gaveUp()
        && failed(
            index,
            QString::fromLatin1(QMetaEnum::fromType<DownloadEngine::Outcome>().valueToKey(outcome)),
            reader.result.status)) {
        // Over again from the wake-up once the converter had time to come back.
        takeCounts(reader);
        reader.engineCounted = true;
        reader.messagesBefore = reader.result.messagesSent;
        ++reader.result.reconnects;
        reader.restart.start();
        return;
    }
    finish(index, ReaderResult::Outcome(outcome));
}

void Rack::takeCounts(Reader &reader)
{
    if (reader.engineCounted)
        return; // between two connections: taken when the last one ended
    reader.result.recordsAcknowledged = reader.engine->recordsAcknowledged();
    reader.result.messagesSent = reader.messagesBefore + reader.engine->messagesSent();
}

QList<ReaderResult> Rack::units() const
{
    QList<ReaderResult> all = m_earlierUnits;
    for (const auto &reader : m_readers) {
        const ReaderResult &last = reader->result;
        const bool waitedOnly = last.unit > 1 && last.recordsAcknowledged == 0
            && (last.outcome == ReaderResult::SearchCancelled
                || last.outcome == ReaderResult::NotStarted);
        if (!waitedOnly)
            all << last;
    }
    std::stable_sort(all.begin(), all.end(), [](const ReaderResult &a, const ReaderResult &b) {
        return std::pair(a.reader, a.unit) < std::pair(b.reader, b.unit);
    });
    return all;
}

bool Rack::nextUnit(int index)
{
    Reader &reader = *m_readers[std::size_t(index)];
    const ReaderResult &unit = reader.result;
    if (!m_setup.loop || m_cancelled || !m_stopReason.isEmpty()
        || unit.outcome == ReaderResult::NotOpened
        || (m_setup.units > 0 && unit.unit >= m_setup.units))
        return false;
    // No unit came within the search time: the port goes on waiting.
    const bool noUnit = unit.unit > 1 && unit.outcome == ReaderResult::SearchTimedOut;
    if (!noUnit)
        m_earlierUnits << unit;
    ReaderResult next;
    next.port = unit.port;
    next.reader = index;
    next.unit = noUnit ? unit.unit : unit.unit + 1;
    reader.result = next;
    reader.policy->renew();
    reader.messagesBefore = 0;
    // The next unit after the reader restarted into its firmware, or was
    // taken from the jig.
    QTimer::singleShot(m_setup.timing.wakeup, this, [this, index] {
        Reader &r = *m_readers[std::size_t(index)];
        if (r.result.done || m_cancelled)
            return;
        if (!m_stopReason.isEmpty()) {
            // Stopped while the port waited: no further unit, and no entry.
            r.engineCounted = true;
            finish(index, ReaderResult::SearchCancelled);
            return;
        }
        r.result.started = QDateTime::currentDateTimeUtc();
        emit readerStarted(index);
        startReader(index);
    });
    return true;
}

void Rack::finish(int index, ReaderResult::Outcome outcome)
{
    Reader &reader = *m_readers[std::size_t(index)];
    if (reader.result.done)
        return;
    reader.result.done = true;
    reader.result.outcome = outcome;
    reader.result.ended = QDateTime::currentDateTimeUtc();
    if (outcome != ReaderResult::Completed && outcome != ReaderResult::OutOfStep
        && reader.policy->gaveUp() && !reader.result.failures.isEmpty()) {
        // Given up by the policy, not cancelled by anyone: the last failure
        // is what happened.
        reader.result.outcome = ReaderResult::Abandoned;
        reader.result.status = reader.result.failures.last().text;
    }
    if (!reader.result.notice.isEmpty())
        reader.result.status += QStringLiteral(" (%1)").arg(reader.result.notice);
    const bool started = outcome != ReaderResult::NotStarted;
    if (started)
        takeCounts(reader);
    // A station that saw no unit within the search time was only waiting.
    const bool waited = reader.result.unit > 1 && outcome == ReaderResult::SearchTimedOut;
    if (reader.result.failed() && !waited) {
        ++m_failed;
        if (index < m_setup.canary)
            stopStarting(QStringLiteral("the canary failed (%1)").arg(reader.result.port));
        else if (m_failed > m_setup.maxFailures)
            stopStarting(QStringLiteral("more than %1 readers failed").arg(m_setup.maxFailures));
    }
    emit readerFinished(index);
    if (started && nextUnit(index))
        return;
    ++m_done;
    if (started)
        --m_running;
    startMore();
    // Once, also when the last ones ended inside startMore().
    if (allDone() && !m_allFinished) {
        m_allFinished = true;
        emit allFinished();
    }
}
