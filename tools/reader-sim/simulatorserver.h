#pragma once

#include "reader-sim/bootloaderengine.h"
#include "reader-sim/precisetimer.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>

#include <deque>

class QSocketNotifier;
class QTcpServer;
class QTcpSocket;

// The simulated reader on a transport: one TCP client at a time on loopback,
// or the master side of a pseudo-terminal. Optionally paces every byte in
// both directions as a serial line would (10 bits a byte), and splits
// replies into single bytes.
class SimulatorServer : public QObject {
    Q_OBJECT

public:
    struct Options {
        SimulatorFaults faults;
        bool splitReplies = false;
        int baud = 0; // 0: no pacing
    };

    explicit SimulatorServer(Options options, QObject *parent = nullptr);
    ~SimulatorServer() override;

    // Listens on 127.0.0.1; port 0 picks a free one. Returns the port, or
    // throws std::runtime_error.
    quint16 listenTcp(quint16 port);
    void stopListening();
    // Creates a pseudo-terminal and, when linkPath is given, a symbolic link
    // to its device there. Returns the device path, or throws.
    QString openPty(const QString &linkPath = {});

    const BootloaderEngine &engine() const { return m_engine; }
    // Bytes received and sent, for the wire time of paced runs.
    qint64 bytesExchanged() const { return m_bytesExchanged; }

signals:
    void completed();
    void logLine(const QString &line);

private:
    struct Pending {
        QByteArray bytes;
        qint64 due;
        bool closeAfter = false;
    };

    void received(const QByteArray &bytes);
    void pump();
    void answer(const BootloaderEngine::Answer &answer);
    void transmit(const QByteArray &bytes);
    void closeConnection();
    void acceptConnection();
    void readPty();
    void schedule();

    Options m_options;
    BootloaderEngine m_engine;
    qint64 m_byteTime = 0; // nanoseconds a byte takes on the line
    std::deque<Pending> m_incoming;
    std::deque<Pending> m_outgoing;
    qint64 m_lastIncomingDue = 0;
    qint64 m_lastOutgoingDue = 0;
    qint64 m_bytesExchanged = 0;
    bool m_completedPending = false; // emit completed() once the answer is out
    PreciseTimer m_timer;

    QTcpServer *m_server = nullptr;
    QPointer<QTcpSocket> m_client;
    int m_ptyMaster = -1;
    int m_ptyKeep = -1; // our own open slave: no hang-up while the utility has it closed
    QSocketNotifier *m_ptyNotifier = nullptr;
    QString m_ptyLink;
};
