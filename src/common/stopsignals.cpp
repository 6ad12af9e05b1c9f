#include "common/stopsignals.h"

#include <QSocketNotifier>

#include <csignal>
#include <ctime>
#include <unistd.h>

namespace {

constexpr int kSameRequestSeconds = 2;
// How long the event loop has to write the record after a forcing signal.
constexpr unsigned kForcedGraceSeconds = 5;

int stopPipe[2] = {-1, -1};
volatile std::sig_atomic_t firstSignal = 0;
volatile std::sig_atomic_t forcingSignal = 0;
timespec firstAt{};

void onAlarm(int)
{
    _exit(128 + forcingSignal);
}

void onStopSignal(int number)
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now); // async-signal-safe
    char byte = 1;
    if (firstSignal == 0) {
        firstSignal = number;
        firstAt = now;
    } else if (forcingSignal != 0
               || (number == firstSignal && now.tv_sec - firstAt.tv_sec <= kSameRequestSeconds)) {
        return;
    } else {
        forcingSignal = number;
        byte = 2;
        ::signal(SIGALRM, onAlarm);
        ::alarm(kForcedGraceSeconds);
    }
    [[maybe_unused]] const auto ignored = ::write(stopPipe[1], &byte, 1);
}

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

} // namespace

StopSignals::StopSignals(QObject *parent)
    : QObject(parent)
{
    std::signal(SIGPIPE, SIG_IGN);
    if (::pipe(stopPipe) != 0)
        return;
    m_notifier = new QSocketNotifier(stopPipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        char byte = 0;
        if (::read(stopPipe[0], &byte, 1) != 1)
            return;
        if (byte == 1)
            emit stopRequested(firstSignal);
        else
            emit forceRequested(forcingSignal);
    });
    // Each signal blocks the others while its handler runs, so a second one
    // is always counted as the second.
    struct sigaction action { };
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    for (const int number : kStopSignals)
        sigaddset(&action.sa_mask, number);
    for (const int number : kStopSignals)
        sigaction(number, &action, nullptr);
}

StopSignals::~StopSignals()
{
    for (const int number : kStopSignals)
        std::signal(number, SIG_DFL);
}

int StopSignals::received()
{
    return firstSignal;
}

int StopSignals::forced()
{
    return forcingSignal;
}
