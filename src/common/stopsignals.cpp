#include "common/stopsignals.h"

#include <QSocketNotifier>

#include <cerrno>
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

// A closed session sends SIGHUP after (or before) SIGTERM: one request.
int kindOf(int number)
{
    return number == SIGHUP ? SIGTERM : number;
}

void onStopSignal(int number)
{
    const int savedErrno = errno;
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now); // async-signal-safe
    const long long sinceFirst
        = (now.tv_sec - firstAt.tv_sec) * 1000LL + (now.tv_nsec - firstAt.tv_nsec) / 1000000;
    char byte = 1;
    if (firstSignal == 0) {
        firstSignal = number;
        firstAt = now;
    } else if (forcingSignal != 0
               || (kindOf(number) == kindOf(firstSignal)
                   && sinceFirst <= kSameRequestSeconds * 1000LL)) {
        errno = savedErrno;
        return;
    } else {
        forcingSignal = number;
        byte = 2;
        ::signal(SIGALRM, onAlarm);
        ::alarm(kForcedGraceSeconds);
    }
    [[maybe_unused]] const auto ignored = ::write(stopPipe[1], &byte, 1);
    errno = savedErrno;
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
    action.sa_flags = SA_RESTART; // a write of the record goes on
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
