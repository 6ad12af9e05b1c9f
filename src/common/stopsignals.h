#pragma once

#include <QObject>

class QSocketNotifier;

// SIGINT, SIGTERM and SIGHUP (a closed terminal or SSH session) delivered on
// the event loop. The first is reported by stopRequested() (through a pipe
// the handler writes to, the only safe way out of a signal handler). The
// same signal again within two seconds is the same request: `timeout` and a
// terminal signal the program and then its whole process group (SIGHUP and
// SIGTERM count as one kind: a closed session sends both). Any other
// second signal is reported by forceRequested(); should the event loop not
// get to it within a few seconds, the process ends with 128 + its number.
// SIGPIPE is ignored: a closed standard output must not end a download.
// One watcher per process.
class StopSignals : public QObject {
    Q_OBJECT

public:
    explicit StopSignals(QObject *parent = nullptr);
    ~StopSignals() override;

    // The first signal's number, or 0 while none came.
    static int received();
    // The second (forcing) signal's number, or 0.
    static int forced();

signals:
    void stopRequested(int signal);
    void forceRequested(int signal);

private:
    QSocketNotifier *m_notifier = nullptr;
};
