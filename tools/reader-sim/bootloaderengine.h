#pragma once

#include "reader-sim/readermemory.h"

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>

// Faults the simulated reader shows on demand. Messages are the write and
// end messages, numbered from 1 in the order received (a retry is a new
// message); wake-ups are counted apart.
struct SimulatorFaults {
    QSet<int> writeFailed; // answer 0xE7 0xE5
    QSet<int> notAccepted; // answer 0xE8
    QSet<int> silent; // no answer at all
    QSet<int> closeAfter; // close the connection after answering
    int ignoreWakeups = 0; // the first n wake-ups get no answer
    bool strayByte = false; // 0x00 before the first wake-up answer
};

// The reader's bootloader protocol, free of any transport: bytes in,
// answers out.
class BootloaderEngine {
public:
    struct Answer {
        QByteArray reply; // bytes to send back (may be empty)
        bool close = false; // close the connection after sending
        bool completed = false; // the end message was answered
        QString log; // one line describing the message
    };

    explicit BootloaderEngine(SimulatorFaults faults = {});

    // Feeds received bytes; returns an answer for every message they complete.
    QList<Answer> feed(QByteArrayView bytes);
    // A new connection: an incomplete message is forgotten.
    void resetParser() { m_message.clear(); }

    const ReaderMemory &memory() const { return m_memory; }
    int messages() const { return m_messages; }

private:
    Answer complete();
    Answer write();

    SimulatorFaults m_faults;
    ReaderMemory m_memory;
    QByteArray m_message;
    int m_messages = 0;
    int m_wakeups = 0;
};
