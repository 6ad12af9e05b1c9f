#pragma once

#include <QObject>

class QSocketNotifier;

// SIGINT and SIGTERM delivered on the event loop: the first is reported by
// stopRequested() (through a pipe the handler writes to, the only safe way
// out of a signal handler); a second one ends the process at once with
// 128 + its number. One watcher per process.
class StopSignals : public QObject {
    Q_OBJECT

public:
    explicit StopSignals(QObject *parent = nullptr);
    ~StopSignals() override;

    // The first signal's number, or 0 while none came.
    static int received();

signals:
    void stopRequested(int signal);

private:
    QSocketNotifier *m_notifier = nullptr;
};
