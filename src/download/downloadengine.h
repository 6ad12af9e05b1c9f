#pragma once

#include "download/bootloaderprotocol.h"
#include "download/downloadjob.h"
#include "download/downloadquestions.h"
#include "download/link.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <chrono>

// Timer periods; tests shorten them.
struct DownloadTiming {
    std::chrono::milliseconds wakeup{1000};
    std::chrono::milliseconds animation{100};
    std::chrono::milliseconds reply{10000};
    // Longest connect and search before the download ends as
    // SearchTimedOut; 0 searches until cancelled (the window: a person
    // presses Cancel).
    std::chrono::milliseconds searchLimit{0};
    // After a reply time-out, how long the line must have been quiet before
    // the next message goes, so that a late reply is not taken for the
    // next message's; 0 sends at once.
    std::chrono::milliseconds quiet{250};
};

// The download: wake-up search, one acknowledged write message per line,
// end message, Abort/Retry on failures and time-outs, five outcomes. Driven
// by the link's events, three timers, cancel and the answers to its own
// questions, all on one thread. Exactly one message is outstanding at any
// time: the reply timer stops while a failure question is open, and replies
// and further failures arriving meanwhile are dropped. Knows no window: it
// reports through signals and asks through DownloadQuestions.
class DownloadEngine : public QObject {
    Q_OBJECT

public:
    enum Outcome {
        Completed = 0, // end message acknowledged after the last line
        ConnectionClosed = 1, // TCP connection closed, or the serial device gone
        SocketFailed = 2, // TCP error
        SearchCancelled = 3, // cancel during the search
        Cancelled = 4, // end message acknowledged with lines left, or failure after cancel
        SearchTimedOut = 5, // no connection or no wake-up answer within the search limit
        OutOfStep = 6, // a reply came that answered no message sent
        NotOpened = 7, // the port did not open, or the host name did not resolve (its box)
    };
    Q_ENUM(Outcome)

    // What a download came to, whole when finished() is emitted.
    struct Result {
        Outcome outcome = Completed;
        QString status; // the status line's last text
        QString told; // the text of the box shown at the end, if one was
        QString notice; // the system's reason when the port did not open
        int recordsAcknowledged = 0;
        int messagesSent = 0;
        int retries = 0;
    };

    //            start()                 open() returned
    //   Idle ------------> Opening ----------------------> Searching (serial)
    //                         |  \---------------------> Connecting (TCP) --connected--> Searching
    //                         \-- open failed: its box, then Idle, NotOpened
    //   Connecting --the host name did not resolve--> its box, Idle, NotOpened
    //   Searching --EB--> Transferring --last line or cancel--> Finishing --E4--> Closing --> Idle
    //   Searching --wake-up time with cancel--> Closing
    //   any phase holding the link --closed, failed or lost--> Closing
    //   Opening, Connecting or Searching --search limit--> Closing (SearchTimedOut)
    //   Searching --a wake-up not written, at the next wake-up time--> Closing (SearchCancelled)
    //   Transferring --cancel, a write not made, a reply out of step--> Finishing
    //   Transferring or Finishing --a failure after one of those--> Closing (Cancelled)
    // Closing shows the outcome's box (the link is still open) and closes the
    // link. Orthogonal to the phase: a failure question is open, a cancel is
    // requested (cleared by each new wake-up and by the transfer's start,
    // unless abandoned), a write was not made, the replies are out of step.
    // Cancel acts at once only on a running search; while connecting, during
    // a transfer and on a search already cancelled it asks first.
    enum class Phase { Idle, Opening, Connecting, Searching, Transferring, Finishing, Closing };
    Q_ENUM(Phase)

    // The failures a front end is asked about (retryAfterFailure()), in
    // English: a window translates them as it shows them.
    static constexpr const char *kWriteFailed = QT_TRANSLATE_NOOP("DownloadEngine", "Write failed");
    static constexpr const char *kNotAccepted
        = QT_TRANSLATE_NOOP("DownloadEngine", "Write failed (data not accepted)");
    static constexpr const char *kTimedOut
        = QT_TRANSLATE_NOOP("DownloadEngine", "Communication timeout");

    enum class Direction { Sent, Received };
    Q_ENUM(Direction)

    DownloadEngine(Link &link, DownloadQuestions &questions, DownloadTiming timing = {},
                   QObject *parent = nullptr);

    Phase phase() const { return m_phase; }
    // A download is under way, from the start until its end is reported.
    bool isBusy() const { return m_phase != Phase::Idle; }
    // The download holds the link open: the window's controls stay locked.
    bool holdsLink() const { return m_phase != Phase::Idle && m_phase != Phase::Opening; }
    bool failureQuestionOpen() const { return m_failureQuestionOpen; }
    bool cancelRequested() const { return m_cancelRequested; }
    bool writeFailed() const { return m_writeFailed; }
    int lineIndex() const { return m_lineIndex; }
    int recordsAcknowledged() const { return m_recordsAcknowledged; }
    // Of the current or last download.
    int messagesSent() const { return m_messagesSent; }
    int retries() const { return m_retries; }
    // Of the last download that ended.
    const Result &result() const { return m_result; }
    // The search runs and no cancel was asked for.
    bool searching() const { return m_phase == Phase::Searching && !m_cancelRequested; }
    // Which timers run: the search's animation and the reply time-out.
    bool animating() const { return m_animationTimer.isActive(); }
    bool awaitingReply() const { return m_replyTimer.isActive(); }

    // Starts a download unless one is under way: sets up and opens the link
    // named by the job's port text, then searches for the bootloader.
    void start(DownloadJob job);
    // Cancel, and a request to close the window while the link is held.
    void cancel();
    // Cancels for good, without a question: unlike Cancel (whose request a
    // connection made or a search answered afterwards forgets, as the
    // window has it), the download ends as cancelled whatever comes next.
    // For front ends with nobody at them (Ctrl-C on a production line).
    void abandon();

    // "tx: EA", "rx: E7 E4": a line of the logging window.
    static QString logText(Direction direction, QByteArrayView bytes);

signals:
    void phaseChanged(DownloadEngine::Phase phase);
    void statusChanged(const QString &text);
    void progressStarted(int maximum);
    void progressChanged(int position);
    void progressEnded();
    // Every message sent, and every batch of bytes received.
    void logged(DownloadEngine::Direction direction, const QByteArray &bytes);
    // What the system said when the port did not open, beyond the box's
    // text ("/dev/ttyS0: permission denied: add the user to the dialout group").
    void noticed(const QString &text);
    void finished(DownloadEngine::Outcome outcome);

public slots:
    // The link's and the timers' events; public so tests can drive them.
    void onDataAvailable(quint16 count);
    void onConnected();
    void onDisconnected();
    void onSocketError(int code);
    void onLookupFailed(int code);
    void onLinkLost();
    void onWakeupTimer();
    void onAnimationTimer();
    void onReplyTimeout();
    void onSearchLimit();
    void onQuietTimer();

private:
    void setPhase(Phase phase);
    void setStatus(const QString &text);
    void notOpened(const QString &failure, const QString &notice);
    void finish(Outcome outcome, const QString &told);
    void sendWakeup();
    void beginTransfer();
    void sendNextMessage();
    void sendMessage(QByteArrayView bytes);
    void handleReply(Bootloader::Reply reply);
    void askAfterFailure(const char *failure);
    void dropHeldBackBytes();
    void sendAfterFailure(bool timedOut);
    void markOutOfStep();
    void endDownload(Outcome outcome);
    void closeLink();
    void stopTimers();
    // No further message but the end (or, searching, no further wake-up).
    bool stopping() const { return m_cancelRequested || m_writeFailed || m_outOfStep; }
    int lineCount() const { return int(m_job.lines.size()); }

    Link &m_link;
    DownloadQuestions &m_questions;

    // Children, so the download's timers can be found and checked.
    QTimer m_wakeupTimer{this};
    QTimer m_animationTimer{this};
    QTimer m_replyTimer{this};
    QTimer m_searchLimitTimer{this};
    QTimer m_quietTimer{this};

    DownloadJob m_job;
    Result m_result;
    QString m_status;
    Phase m_phase = Phase::Idle;
    bool m_failureQuestionOpen = false;
    bool m_cancelQuestionOpen = false;
    bool m_cancelRequested = false;
    bool m_writeFailed = false; // the link refused the last message: no further one goes
    bool m_abandoned = false; // the cancel request outlives a new search or transfer
    bool m_outOfStep = false; // a reply answered no message: the download cannot complete
    QElapsedTimer m_quietWait; // runs while the line must go quiet before the next message
    // Counts ended downloads, so an answer that comes back after its
    // download ended does not act on the next one.
    int m_generation = 0;

    QByteArray m_reply; // bytes received since the last message was sent
    int m_lineIndex = 0;
    int m_partIndex = 0; // message within a line split in several
    int m_partCount = 1; // messages of the line being sent
    int m_recordsAcknowledged = 0;
    int m_messagesSent = 0;
    int m_retries = 0;
    int m_animationPhase = 0;
};
