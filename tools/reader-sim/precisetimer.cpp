#include "reader-sim/precisetimer.h"

#include <QSocketNotifier>

#include <stdexcept>
#include <sys/timerfd.h>
#include <time.h>
#include <unistd.h>

PreciseTimer::PreciseTimer(QObject *parent)
    : QObject(parent)
    , m_fd(timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC))
{
    if (m_fd < 0)
        throw std::runtime_error("timerfd_create failed");
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        std::uint64_t expirations = 0;
        if (::read(m_fd, &expirations, sizeof expirations) > 0)
            emit timeout();
    });
}

PreciseTimer::~PreciseTimer()
{
    ::close(m_fd);
}

qint64 PreciseTimer::now()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

void PreciseTimer::startAt(qint64 nanoseconds)
{
    // A zero value would disarm the timer: anything due already fires at 1 ns.
    nanoseconds = std::max<qint64>(nanoseconds, 1);
    itimerspec setting{};
    setting.it_value.tv_sec = time_t(nanoseconds / 1000000000);
    setting.it_value.tv_nsec = long(nanoseconds % 1000000000);
    timerfd_settime(m_fd, TFD_TIMER_ABSTIME, &setting, nullptr);
}

void PreciseTimer::stop()
{
    const itimerspec setting{};
    timerfd_settime(m_fd, 0, &setting, nullptr);
}
