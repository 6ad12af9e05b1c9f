#pragma once

#include "download/downloadengine.h"
#include "download/serialports.h"

#include <QDateTime>
#include <QObject>

#include <memory>
#include <vector>

class PortLink;
class RackPolicy;

// What became of one reader's download.
struct ReaderResult {
    QString port;
    bool done = false;
    // DownloadEngine::Outcome, or kNotOpened when the port did not open.
    int outcome = kNotOpened;
    QString status; // the window's status text at the end (or why the port did not open)
    QString notice; // the system's reason when the port did not open
    int recordsAcknowledged = 0;
    int messagesSent = 0;
    int retries = 0;
    QDateTime started;
    QDateTime ended;

    static constexpr int kNotOpened = -1;
    bool completed() const { return outcome == DownloadEngine::Completed; }
    // "Completed", "Cancelled"... or "NotOpened".
    QString outcomeName() const;
};

// Several readers downloaded in parallel in one event loop: each has its own
// link, engine and failure policy (Retry while retries are left, then Abort),
// with the window's timers and bytes on the wire.
class Rack : public QObject {
    Q_OBJECT

public:
    struct Setup {
        RecordList lines;
        RecordFraming::Options framing;
        QStringList ports;
        int retries = 3;
        SerialPorts::Overrides overrides;
        DownloadTiming timing;
    };

    explicit Rack(Setup setup, QObject *parent = nullptr);
    ~Rack() override;

    void start();
    // Cancels every running download for good: the search ends at its next
    // wake-up, a transfer with the end message (as the Cancel button), also
    // when a connection is made or the reader answers afterwards.
    void cancel();

    int size() const { return int(m_readers.size()); }
    const ReaderResult &result(int index) const;
    // Write messages one download sends, and how many a reader has had
    // acknowledged so far.
    int messagesPerReader() const { return m_messagesPerReader; }
    int acknowledged(int index) const;
    int retryLimit() const { return m_setup.retries; }
    bool allDone() const { return m_done == size(); }

signals:
    void readerStarted(int index);
    void readerFailure(int index, const QString &failure, bool retrying);
    void readerFinished(int index);
    void allFinished();

private:
    struct Reader;

    void finish(int index, int outcome);

    Setup m_setup;
    std::vector<std::unique_ptr<Reader>> m_readers;
    int m_messagesPerReader = 0;
    int m_done = 0;
};
