#include "bighex.h"
#include "encryptedhex.h"
#include "imageloader.h"

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

} // namespace

BENCHMARK_MAIN();
