#include "bighex.h"
#include "image/encryptedhex.h"
#include "image/imageloader.h"

#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

constexpr qsizetype kBigData = 4 * 1024 * 1024; // about 11 MB of text, 262,000 lines
constexpr qsizetype kCipherData = 1024 * 1024;

const QByteArray &bigHex()
{
    static const QByteArray text = makeBigHex(kBigData);
    return text;
}

void BM_LoadImageFromText(benchmark::State &state)
{
    const QByteArray &text = bigHex();
    for (auto _ : state) {
        FirmwareImage image;
        const bool valid = loadImageFromText(text, image);
        benchmark::DoNotOptimize(valid);
        if (!valid)
            state.SkipWithError("generated file did not load");
    }
    state.SetBytesProcessed(state.iterations() * text.size());
}
BENCHMARK(BM_LoadImageFromText)->Unit(benchmark::kMillisecond);

void BM_LoadImageFromFile(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("big.hex"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bigHex()) != bigHex().size()) {
        state.SkipWithError("cannot write the file");
        return;
    }
    file.close();
    for (auto _ : state) {
        FirmwareImage image;
        QString name = path;
        benchmark::DoNotOptimize(loadImage(name, image));
    }
    state.SetBytesProcessed(state.iterations() * bigHex().size());
}
BENCHMARK(BM_LoadImageFromFile)->Unit(benchmark::kMillisecond);

FirmwareImage cipherImage()
{
    FirmwareImage image;
    image.records = RecordList::fromText(makeBigHex(kCipherData / 45 * 16));
    return image;
}

void BM_EncryptImage1MB(benchmark::State &state)
{
    const FirmwareImage plain = cipherImage();
    for (auto _ : state) {
        FirmwareImage image = plain;
        EncryptedHex::encryptImage(image, 2026);
        benchmark::DoNotOptimize(image.records.size());
    }
    state.SetBytesProcessed(state.iterations() * plain.records.toText().size());
}
BENCHMARK(BM_EncryptImage1MB)->Unit(benchmark::kMillisecond);

void BM_DecryptInPlace1MB(benchmark::State &state)
{
    FirmwareImage encrypted = cipherImage();
    const qsizetype plainSize = encrypted.records.toText().size();
    EncryptedHex::encryptImage(encrypted, 2026);
    for (auto _ : state) {
        FirmwareImage image = encrypted;
        EncryptedHex::decryptInPlace(image);
        benchmark::DoNotOptimize(image.records.size());
    }
    state.SetBytesProcessed(state.iterations() * plainSize);
}
BENCHMARK(BM_DecryptInPlace1MB)->Unit(benchmark::kMillisecond);

// A /proc/self/status field in KiB.
qint64 statusKiB(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qsizetype(qstrlen(field))).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// The peak memory of loading a 64 MB file, as a multiple of the file's size
// (target: below 4 for any input): files of nothing but line breaks, of the
// shortest lines still allowed, and the generated firmware.
void BM_LoadPeakMemory(benchmark::State &state)
{
    constexpr qsizetype kSize = 64 * 1024 * 1024;
    QByteArray text;
    switch (state.range(0)) {
    case 0:
        text = QByteArray(kSize, '\n');
        break;
    case 1:
        text = QByteArray("\r\n").repeated(kSize / 2);
        break;
    case 2:
        text = QByteArray("xx\n").repeated(kSize / 3); // one line in three bytes: still allowed
        break;
    default:
        text = makeBigHex(kSize / 45 * 16);
        break;
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("input.hex"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size()) {
        state.SkipWithError("cannot write the file");
        return;
    }
    file.close();
    const double size = double(text.size());
    text.clear();
    text.squeeze();
    double ratio = 0;
    for (auto _ : state) {
        QFile reset(QStringLiteral("/proc/self/clear_refs"));
        if (!reset.open(QIODevice::WriteOnly) || reset.write("5") != 1) {
            state.SkipWithError("cannot reset the peak (/proc/self/clear_refs)");
            return;
        }
        reset.close();
        const qint64 before = statusKiB("VmRSS:");
        {
            FirmwareImage image;
            QString name = path;
            benchmark::DoNotOptimize(loadImage(name, image));
        }
        ratio = double(statusKiB("VmHWM:") - before) * 1024 / size;
    }
    state.counters["peak_per_file_byte"] = ratio;
}
BENCHMARK(BM_LoadPeakMemory)
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Arg(3)
    ->ArgNames({"input(0=LF,1=CRLF,2=xx-LF,3=firmware)"})
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
