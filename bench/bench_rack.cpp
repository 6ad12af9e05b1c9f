// A rack of readers from one process, against corvant-reader-sim --count:
// 32 readers paced at 9600 bit/s with the example firmware must finish
// within 1.05 times the wire time of one reader, and 256 to 2,048 unpaced
// readers over loopback must move at least 20,000 records/s in total, with
// the CPU seconds this process spends per reader flat (within 1.5 times
// from 256 to 2,048 readers). With --jobs 64, 1,024 readers take at most
// 1.1 times as long as all at once. A readers file of 1,024 rows, each with
// its own values, is prepared within 1 s and 64 MB.
#include "benchmain.h"
#include "flash/rack.h"
#include "flash/readerplans.h"
#include "image/imageloader.h"
#include "simulatorprocess.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>

#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <unistd.h>

namespace {

const QString kExample = QStringLiteral(CORVANT_SOURCE_DIR "/examples/reader_v1.00.hex");
constexpr int kFirstRackPort = 21000;

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The simulator's ports: "listening on 127.0.0.1:PORT" once per reader.
QStringList rackPorts(const SimulatorProcess &sim, int readers)
{
    const int first = sim.address().mid(sim.address().lastIndexOf(QLatin1Char(':')) + 1).toInt();
    QStringList ports;
    for (int i = 0; i < readers; ++i)
        ports << QStringLiteral("127.0.0.1:%1").arg(first + i);
    return ports;
}

struct RackRun {
    bool completed = false;
    double seconds = 0;
    double cpu = 0;
    int records = 0; // acknowledged, all readers
};

RackRun runRack(const QStringList &ports, const FirmwareImage &image, int jobs = 0)
{
    Rack::Setup setup;
    setup.jobs = jobs;
    const RecordFraming::Options framing{.sendEeprom = false,
                                         .sendCodeTable = !image.flags.customerCodeTable};
    for (const QString &port : ports)
        setup.readers << Rack::Entry{port, image.records, framing};
    Rack rack(std::move(setup));
    QEventLoop loop;
    QObject::connect(&rack, &Rack::allFinished, &loop, &QEventLoop::quit, Qt::QueuedConnection);
    const double cpuBefore = cpuSeconds();
    QElapsedTimer clock;
    clock.start();
    rack.start();
    if (!rack.allDone())
        loop.exec();
    RackRun run;
    run.seconds = double(clock.nsecsElapsed()) / 1e9;
    run.cpu = cpuSeconds() - cpuBefore;
    run.completed = true;
    for (int i = 0; i < rack.size(); ++i) {
        run.completed = run.completed && rack.result(i).completed();
        run.records += rack.result(i).recordsAcknowledged;
    }
    return run;
}

// Bytes one download of the image puts on the line, both directions:
// wake-up and its answer, each write and its two-byte answer, the end
// message and its answer.
qint64 wireBytes(const FirmwareImage &image)
{
    qint64 bytes = 2 + 2;
    for (qsizetype line = 0; line < image.records.size(); ++line) {
        for (const QByteArray &message : RecordFraming::frameLine(
                 image.records.at(line), {.sendCodeTable = !image.flags.customerCodeTable}))
            bytes += message.size() + 2;
    }
    return bytes;
}

FirmwareImage example()
{
    FirmwareImage image;
    QString name = kExample;
    loadImage(name, image);
    return image;
}

void BM_RackPacedAt9600(benchmark::State &state)
{
    const int readers = int(state.range(0));
    constexpr int kBaud = 9600;
    SimulatorProcess sim({QStringLiteral("--count"), QString::number(readers),
                          QStringLiteral("--baud"), QString::number(kBaud)},
                         kFirstRackPort);
    const FirmwareImage image = example();
    const double wire = double(wireBytes(image)) * 10.0 / kBaud;
    for (auto _ : state) {
        const RackRun run = runRack(rackPorts(sim, readers), image);
        if (!run.completed) {
            state.SkipWithError("a download did not complete");
            return;
        }
        state.SetIterationTime(run.seconds);
        state.counters["wire_one_s"] = wire;
        state.counters["rack_s"] = run.seconds;
        state.counters["rack/wire"] = run.seconds / wire;
        state.counters["cpu_s_per_reader"] = run.cpu / readers;
    }
}
BENCHMARK(BM_RackPacedAt9600)->Arg(32)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(1);

void BM_RackUnpaced(benchmark::State &state)
{
    const int readers = int(state.range(0));
    const int jobs = int(state.range(1));
    // Below the ephemeral ports: a rack's closed connections leave their
    // client ports waiting, and a run of 2,048 free ones is rare among them.
    SimulatorProcess sim({QStringLiteral("--count"), QString::number(readers)}, kFirstRackPort);
    const FirmwareImage image = example();
    double records = 0;
    for (auto _ : state) {
        const RackRun run = runRack(rackPorts(sim, readers), image, jobs);
        if (!run.completed) {
            state.SkipWithError("a download did not complete");
            return;
        }
        state.SetIterationTime(run.seconds);
        records += run.records;
        state.counters["cpu_s_per_reader"] = run.cpu / readers;
    }
    state.counters["records/s"] = benchmark::Counter(records, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RackUnpaced)
    ->Args({256, 0})
    ->Args({1024, 0})
    ->Args({1024, 64})
    ->Args({2048, 0})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// Resident memory now, in bytes.
double residentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    return statm.readAll().split(' ').value(1).toDouble() * double(sysconf(_SC_PAGESIZE));
}

// A readers file's rows, each with its own customer code, relay time and
// facility code, prepared before the first port opens.
void BM_PlanReaders(benchmark::State &state)
{
    const int rows = int(state.range(0));
    const FirmwareImage base = example();
    FlashRequest request;
    request.firmware = kExample;
    QList<ReaderEntry> entries;
    for (int i = 0; i < rows; ++i) {
        ReaderEntry entry{QStringLiteral("127.0.0.1:%1").arg(20000 + i), {}, {}, {}, {}, i + 2};
        QString reason;
        OptionArguments::take(QStringLiteral("--gf"), QString::number(1 + i % 255), entry.options,
                              reason);
        OptionArguments::take(QStringLiteral("--relay"), QString::number(1.0 + (i % 240) / 10.0),
                              entry.options, reason);
        OptionArguments::take(QStringLiteral("--facility"), QString::number(i), entry.options,
                              reason);
        entries << entry;
    }
    for (auto _ : state) {
        const double before = residentBytes();
        ReaderSetups setups;
        if (ReaderPlans::plan(request, base, entries, setups)) {
            state.SkipWithError("a row was refused");
            return;
        }
        state.counters["extra_MB"] = (residentBytes() - before) / 1e6;
        benchmark::DoNotOptimize(setups);
    }
}
BENCHMARK(BM_PlanReaders)->Arg(1024)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_NO_GLIB", "1"); // as corvant-flash runs its rack
    return runBenchmarks<QCoreApplication>(argc, argv);
}
