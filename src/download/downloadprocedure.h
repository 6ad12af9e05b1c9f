#pragma once

#include "bootloaderprotocol.h"
#include "dialogs.h"
#include "downloadhost.h"
#include "link.h"

#include <QObject>
#include <QTimer>

#include <array>
#include <chrono>
#include <cstdint>

// Timer periods; tests shorten them.
struct DownloadTiming
{
    std::chrono::milliseconds wakeup{1000};
    std::chrono::milliseconds animation{100};
    std::chrono::milliseconds reply{10000};
};

// The download: wake-up search, one acknowledged write message per line,
// end message, Abort/Retry on failures and time-outs, five outcomes. Driven
// by the link's events, three timers, Cancel and the answers to its own
// message boxes, all on one thread. Exactly one message is outstanding at
// any time: the reply timer stops while a failure question is open, and
// replies and further failures arriving meanwhile are dropped.
class DownloadProcedure : public QObject
{
    Q_OBJECT

public:
    enum Outcome {
        Completed = 0,        // end message acknowledged after the last line
        ConnectionClosed = 1, // TCP connection closed, or the serial device gone
        SocketFailed = 2,     // TCP error
        SearchCancelled = 3,  // cancel during the search
        Cancelled = 4,        // end message acknowledged with lines left, or failure after cancel
    };

    DownloadProcedure(Link &link, Dialogs &dialogs, DownloadHost &host, DownloadTiming timing = {},
                      QObject *parent = nullptr);

    // The window's flag: a download holds the link open.
    bool linkOpen() const { return m_linkOpen; }
    // The Download action is opening the link (events may run meanwhile).
    bool starting() const { return m_starting; }
    int lineIndex() const { return m_lineIndex; }
    int recordsAcknowledged() const { return m_recordsAcknowledged; }
    bool cancelRequested() const { return m_cancelRequested; }
    // Which timers run: the search (wake-up and animation) and the reply time-out.
    bool searching() const { return WakeupTimer.isActive() && WaitingTimer.isActive(); }
    bool animating() const { return WaitingTimer.isActive(); }
    bool awaitingReply() const { return DownloadTimer.isActive(); }

    // The Download action (button, F4, unattended start).
    void btnDownloadClick();
    // Cancel, and a request to close the window while the link is open.
    void btnCancelClick();
    // Closes the link, stops the timers and refreshes the window.
    void btnDisconnectClick();

    // Event handlers; public so tests can drive them directly.
    void CP1TriggerAvail(quint16 count);
    void WakeupTimerExpired();
    void WaitingTimerTimer();
    void DownloadTimerExpired();
    void OnWsConnect();
    void OnWsDisconnect();
    void OnWsError(int code);
    void OnLinkLost();

    static QString hexBytes(QByteArrayView bytes);

signals:
    void finished(int outcome);

private:
    void sendWakeup();
    void beginTransfer();
    void sendNextRecord();
    void sendMessage(QByteArrayView bytes);
    void reportFailure(const QString &text);
    void endDownload(Outcome outcome);
    int lineCount();

    Link &m_link;
    Dialogs &m_dialogs;
    DownloadHost &m_host;

    // Children, so the download's timers can be found and checked.
    QTimer WakeupTimer{this};
    QTimer WaitingTimer{this};
    QTimer DownloadTimer{this};

    QByteArray m_transmit;                 // the message sent last
    std::array<std::uint8_t, 256> m_receive{};
    int m_receiveCount = 0;
    int m_lineIndex = 0;
    int m_partIndex = 0;                   // message within a line split in several
    int m_partCount = 1;                   // messages of the line being sent
    int m_recordsAcknowledged = 0;
    bool m_cancelRequested = false;
    int m_animationPhase = 0;
    bool m_linkOpen = false;

    bool m_starting = false;
    bool m_failureQuestionOpen = false;
    bool m_ending = false;
    // Counts ended downloads, so an answer that comes back after its
    // download ended does not act on the next one.
    int m_generation = 0;
};
