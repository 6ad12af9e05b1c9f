#pragma once

#include "download/downloadengine.h"
#include "download/serialports.h"

#include <QDateTime>
#include <QObject>

#include <limits>
#include <memory>
#include <vector>

// One failure of a reader's download, as the retry policy saw it.
struct ReaderFailure {
    QDateTime time;
    QString kind; // WriteFailed, NotAccepted, Timeout, ConnectionClosed, SocketFailed
    QString text; // the window's text ("Write failed", "WinSock connection closed"...)
    int message = 0; // the message it answered, counted over the reader's whole run
    int wordAddress = -1; // of the write message, or -1 (wake-up, end message)
    QByteArray answer; // the bytes received for that message
    bool retrying = false;
};

// What became of one reader's download.
struct ReaderResult {
    // The engine's outcomes, and: the retry policy gave up; still running
    // when the run was forced to end; never started (the run stopped first).
    enum Outcome {
        Completed = DownloadEngine::Completed,
        ConnectionClosed = DownloadEngine::ConnectionClosed,
        SocketFailed = DownloadEngine::SocketFailed,
        SearchCancelled = DownloadEngine::SearchCancelled,
        Cancelled = DownloadEngine::Cancelled,
        SearchTimedOut = DownloadEngine::SearchTimedOut,
        OutOfStep = DownloadEngine::OutOfStep,
        NotOpened = DownloadEngine::NotOpened,
        Abandoned,
        Running,
        NotStarted,
    };

    QString port;
    int reader = 0; // the rack's index of its port
    int unit = 1; // the unit on that port, from 1 (station mode flashes one after another)
    bool done = false;
    Outcome outcome = Running;
    QString status; // the window's status text at the end (or why the port did not open)
    QString notice; // the system's reason when the port did not open
    int recordsAcknowledged = 0;
    int messagesSent = 0; // over every connection
    int retries = 0; // failures retried, reconnects included
    int reconnects = 0;
    QList<ReaderFailure> failures;
    QDateTime started;
    QDateTime ended;

    bool completed() const { return outcome == Completed; }
    // "Completed", "Cancelled"... "NotOpened", "Abandoned", "Running".
    QString outcomeName() const;
    // Started and did not complete: what a failure threshold counts.
    bool failed() const { return done && outcome != Completed && outcome != NotStarted; }
};

// Several readers downloaded in parallel in one event loop: each has its own
// link, engine and failure policy (Retry while retries are left, then Abort;
// a lost or refused connection is a failure too, retried by connecting again
// and starting over from the wake-up), with the window's timers and bytes on
// the wire. Readers start in their order, as many at once as the jobs
// allow; a canary group goes first and alone, and a failure threshold stops
// new starts.
class Rack : public QObject {
    Q_OBJECT

public:
    // One reader: its port and what its download sends.
    struct Entry {
        QString port;
        RecordList lines;
        RecordFraming::Options framing;
    };
    struct Setup {
        QList<Entry> readers;
        int retries = 3;
        SerialPorts::Overrides overrides;
        DownloadTiming timing;
        int jobs = 0; // downloads at once; 0: all
        int canary = 0; // the first readers, alone; any failure among them stops the run
        int maxFailures = std::numeric_limits<int>::max(); // more stop new starts
        // Station mode: after each unit the port searches for the next one,
        // until `units` units (0: until stopped).
        bool loop = false;
        int units = 0;
    };

    explicit Rack(Setup setup, QObject *parent = nullptr);
    ~Rack() override;

    void start();
    // Cancels every running download for good: the search ends at its next
    // wake-up, a transfer with the end message (as the Cancel button), also
    // when a connection is made or the reader answers afterwards.
    void cancel();
    // Records every reader not yet done as still running, for a report
    // written when the process cannot wait for them.
    void forceEnd();

    int size() const { return int(m_readers.size()); }
    // The port's current (or last) unit.
    const ReaderResult &result(int index) const;
    // Every unit of every port, by port and unit; a port that was waiting
    // for its next unit when the run ended adds none.
    QList<ReaderResult> units() const;
    // Write messages one download sends, and how many a reader has had
    // acknowledged so far.
    int messagesPerReader() const { return m_messagesPerReader; }
    int acknowledged(int index) const;
    int retryLimit() const { return m_setup.retries; }
    bool allDone() const { return m_done == size(); }
    int doneCount() const { return m_done; }
    // Readers not yet started, or waiting to connect again after a lost
    // connection.
    int waitingCount() const;
    // Why readers were left NotStarted ("the canary failed"); empty when none were.
    const QString &stopReason() const { return m_stopReason; }

signals:
    void readerStarted(int index);
    void readerFailure(int index, const ReaderFailure &failure);
    void readerReconnecting(int index);
    void readerFinished(int index);
    void allFinished();

private:
    struct Reader;

    void startMore();
    void stopStarting(const QString &reason);
    void startReader(int index);
    bool failed(int index, const QString &kind, const QString &text);
    void engineFinished(int index, DownloadEngine::Outcome outcome);
    void finish(int index, ReaderResult::Outcome outcome);
    void takeCounts(Reader &reader);
    // Station mode: the port goes on with its next unit; false when it is done.
    bool nextUnit(int index);

    Setup m_setup;
    std::vector<std::unique_ptr<Reader>> m_readers;
    int m_messagesPerReader = 0;
    int m_done = 0;
    int m_next = 0; // the next reader to start
    int m_running = 0;
    int m_failed = 0;
    bool m_starting = false;
    bool m_allFinished = false;
    bool m_cancelled = false;
    QString m_stopReason;
    QList<ReaderResult> m_earlierUnits;
};
