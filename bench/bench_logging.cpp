// What the logging window costs a download: the 8K-word test program to the
// reader simulator program over loopback TCP, once with the logging window
// closed and once with it open, lines added as the main window adds them.
// The window may make a download at most 10 % slower. Run under xvfb-run
// for a real X server; offscreen, painting goes to memory.
#include "app/tformlogging.h"
#include "benchmain.h"
#include "download/downloadengine.h"
#include "download/portlink.h"
#include "hexlines.h"
#include "scripteddialogs.h"
#include "simulatorprocess.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSignalSpy>

#include <benchmark/benchmark.h>

namespace {

// Seconds for one download, or a negative number when it did not complete.
double download(const QString &address, const RecordList &lines, TFormLogging &log)
{
    PortLink link;
    ScriptedDialogs dialogs;
    DialogQuestions questions(dialogs);
    DownloadEngine engine(link, questions);
    log.follow(engine);
    QSignalSpy finished(&engine, &DownloadEngine::finished);
    DownloadJob job;
    job.portText = address;
    job.lines = lines;
    QElapsedTimer clock;
    clock.start();
    engine.start(job);
    finished.wait(600000);
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    if (finished.isEmpty() || finished.at(0).at(0).toInt() != DownloadEngine::Completed)
        return -1;
    return seconds;
}

void BM_LoggingWindowOpenVersusClosed(benchmark::State &state)
{
    SimulatorProcess sim({});
    const RecordList lines = RecordList::fromText(HexLines::program8K());
    double closedTotal = 0;
    double openTotal = 0;
    for (auto _ : state) {
        TFormLogging closed;
        const double closedSeconds = download(sim.address(), lines, closed);
        TFormLogging open;
        open.show();
        QApplication::processEvents();
        const double openSeconds = download(sim.address(), lines, open);
        if (closedSeconds < 0 || openSeconds < 0) {
            state.SkipWithError("download did not complete");
            return;
        }
        closedTotal += closedSeconds;
        openTotal += openSeconds;
        state.SetIterationTime(closedSeconds + openSeconds);
    }
    state.counters["closed_s"] = closedTotal / double(state.iterations());
    state.counters["open_s"] = openTotal / double(state.iterations());
    state.counters["open/closed"] = openTotal / closedTotal;
}
BENCHMARK(BM_LoggingWindowOpenVersusClosed)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    return runBenchmarks<QApplication>(argc, argv);
}
