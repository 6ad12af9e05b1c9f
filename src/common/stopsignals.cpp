#include "common/stopsignals.h"

#include <QSocketNotifier>

#include <csignal>
#include <unistd.h>

namespace {

int stopPipe[2] = {-1, -1};
volatile std::sig_atomic_t firstSignal = 0;

void onStopSignal(int number)
{
    if (firstSignal != 0)
        _exit(128 + number);
    firstSignal = number;
    const char byte = 1;
    [[maybe_unused]] const auto ignored = ::write(stopPipe[1], &byte, 1);
}

} // namespace

StopSignals::StopSignals(QObject *parent)
    : QObject(parent)
{
    if (::pipe(stopPipe) != 0)
        return;
    m_notifier = new QSocketNotifier(stopPipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        char byte = 0;
        [[maybe_unused]] const auto ignored = ::read(stopPipe[0], &byte, 1);
        m_notifier->setEnabled(false);
        emit stopRequested(firstSignal);
    });
    // Each signal blocks the other while its handler runs, so a second one
    // is always counted as the second.
    struct sigaction action { };
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    sigaddset(&action.sa_mask, SIGINT);
    sigaddset(&action.sa_mask, SIGTERM);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

StopSignals::~StopSignals()
{
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
}

int StopSignals::received()
{
    return firstSignal;
}
