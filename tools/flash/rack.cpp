#include "flash/rack.h"

#include "download/policyquestions.h"
#include "download/portlink.h"

#include <QMetaEnum>

#include <functional>

// The policy of one reader, telling the rack of every failure it answers.
class RackPolicy : public PolicyQuestions {
public:
    RackPolicy(int retries, std::function<void(const QString &, bool)> onFailure)
        : PolicyQuestions(retries)
        , m_onFailure(std::move(onFailure))
    {
    }
    bool retryAfterFailure(const QString &failure) override
    {
        const bool retry = PolicyQuestions::retryAfterFailure(failure);
        m_onFailure(failure, retry);
        return retry;
    }

private:
    std::function<void(const QString &, bool)> m_onFailure;
};

struct Rack::Reader {
    std::unique_ptr<PortLink> link;
    std::unique_ptr<RackPolicy> policy;
    std::unique_ptr<DownloadEngine> engine;
    ReaderResult result;
};

QString ReaderResult::outcomeName() const
{
    if (outcome == kNotOpened)
        return QStringLiteral("NotOpened");
    return QString::fromLatin1(QMetaEnum::fromType<DownloadEngine::Outcome>().valueToKey(outcome));
}

Rack::Rack(Setup setup, QObject *parent)
    : QObject(parent)
    , m_setup(std::move(setup))
{
    for (qsizetype line = 0; line < m_setup.lines.size(); ++line)
        m_messagesPerReader
            += int(RecordFraming::frameLine(m_setup.lines.at(line), m_setup.framing).size());
    for (int index = 0; index < m_setup.ports.size(); ++index) {
        auto reader = std::make_unique<Reader>();
        reader->result.port = m_setup.ports.at(index);
        reader->link = std::make_unique<PortLink>(m_setup.overrides);
        reader->policy = std::make_unique<RackPolicy>(
            m_setup.retries, [this, index](const QString &failure, bool retrying) {
                emit readerFailure(index, failure, retrying);
            });
        reader->engine
            = std::make_unique<DownloadEngine>(*reader->link, *reader->policy, m_setup.timing);
        DownloadEngine *engine = reader->engine.get();
        ReaderResult *result = &reader->result;
        connect(engine, &DownloadEngine::statusChanged, this,
                [result](const QString &text) { result->status = text; });
        connect(engine, &DownloadEngine::noticed, this,
                [result](const QString &text) { result->notice = text; });
        connect(engine, &DownloadEngine::finished, this,
                [this, index](DownloadEngine::Outcome outcome) { finish(index, outcome); });
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

void Rack::start()
{
    for (int index = 0; index < size(); ++index) {
        Reader &reader = *m_readers[std::size_t(index)];
        DownloadJob job;
        job.portText = reader.result.port;
        job.lines = m_setup.lines;
        job.framing = m_setup.framing;
        job.unattended = true;
        reader.result.started = QDateTime::currentDateTimeUtc();
        emit readerStarted(index);
        reader.engine->start(job);
        // A port that did not open ends no download.
        if (!reader.result.done && !reader.engine->isBusy())
            finish(index, ReaderResult::kNotOpened);
    }
}

void Rack::cancel()
{
    for (const auto &reader : m_readers) {
        if (!reader->result.done)
            reader->engine->abandon();
    }
}

void Rack::finish(int index, int outcome)
{
    Reader &reader = *m_readers[std::size_t(index)];
    if (reader.result.done)
        return;
    reader.result.done = true;
    reader.result.outcome = outcome;
    reader.result.ended = QDateTime::currentDateTimeUtc();
    // What the window would have told in a box (why the port did not open,
    // "Download cancelled") says more than the status line left behind it.
    if (!reader.policy->told().isEmpty())
        reader.result.status = reader.policy->told().last();
    if (!reader.result.notice.isEmpty())
        reader.result.status += QStringLiteral(" (%1)").arg(reader.result.notice);
    reader.result.recordsAcknowledged = reader.engine->recordsAcknowledged();
    reader.result.messagesSent = reader.engine->messagesSent();
    reader.result.retries = reader.engine->retries();
    ++m_done;
    emit readerFinished(index);
    if (allDone())
        emit allFinished();
}
