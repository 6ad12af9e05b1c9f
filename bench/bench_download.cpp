// Downloads an 8K-word program (1024 records of eight words) to the reader
// simulator program over loopback TCP with logging on: records per second,
// and, with the simulator pacing bytes at 9600 bit/s, how far the download
// stays above the time the bytes take on the wire.
#include "benchmain.h"
#include "download/downloadengine.h"
#include "download/portlink.h"
#include "downloadrecorder.h"
#include "hexlines.h"
#include "scripteddialogs.h"
#include "simulatorprocess.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSignalSpy>

#include <benchmark/benchmark.h>

namespace {

constexpr int kRecords = 1024;

struct Run {
    bool completed = false;
    qint64 nanoseconds = 0;
    qint64 bytes = 0; // sent and received
};

Run download(const QString &address, const QByteArray &text)
{
    PortLink link;
    ScriptedDialogs dialogs;
    DialogQuestions questions(dialogs);
    DownloadEngine engine(link, questions);
    DownloadRecorder host(engine);
    DownloadJob job;
    job.portText = address;
    job.lines = RecordList::fromText(text);
    QSignalSpy finished(&engine, &DownloadEngine::finished);

    QElapsedTimer clock;
    clock.start();
    engine.start(job);
    finished.wait(600000);
    Run run;
    run.nanoseconds = clock.nsecsElapsed();
    run.completed
        = !finished.isEmpty() && finished.at(0).at(0).toInt() == DownloadEngine::Completed;
    for (const QString &line : host.log)
        run.bytes += (line.size() - 3) / 3; // "tx:" / "rx:" and " XX" a byte
    return run;
}

void BM_DownloadOverTcp(benchmark::State &state)
{
    SimulatorProcess sim({});
    const QByteArray text = HexLines::program8K();
    for (auto _ : state) {
        const Run run = download(sim.address(), text);
        if (!run.completed) {
            state.SkipWithError("download did not complete");
            return;
        }
        state.SetIterationTime(double(run.nanoseconds) / 1e9);
    }
    state.counters["records/s"] = benchmark::Counter(double(kRecords) * double(state.iterations()),
                                                     benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DownloadOverTcp)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_DownloadPacedAt9600(benchmark::State &state)
{
    constexpr int kBaud = 9600;
    SimulatorProcess sim({QStringLiteral("--baud"), QString::number(kBaud)});
    const QByteArray text = HexLines::program8K();
    for (auto _ : state) {
        const Run run = download(sim.address(), text);
        if (!run.completed) {
            state.SkipWithError("download did not complete");
            return;
        }
        state.SetIterationTime(double(run.nanoseconds) / 1e9);
        // Stop-and-wait: every byte of both directions passes the line in turn.
        const double wire = double(run.bytes) * 10.0 / kBaud;
        state.counters["wire_s"] = wire;
        state.counters["download_s"] = double(run.nanoseconds) / 1e9;
        state.counters["overhead_%"] = 100.0 * (double(run.nanoseconds) / 1e9 - wire) / wire;
    }
}
BENCHMARK(BM_DownloadPacedAt9600)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(1);

} // namespace

int main(int argc, char **argv)
{
    return runBenchmarks<QCoreApplication>(argc, argv);
}
