// Load image from arbitrary bytes: never crashes, a file found by a wildcard
// name loads as its bytes do, and a file that loads as valid loads again,
// line for line, after being written out.
#include "image/imageloader.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray text(reinterpret_cast<const char *>(data), qsizetype(size));
    FirmwareImage image;
    LoadReport report;
    const bool valid = loadImageFromText(text, image, &report);
    if (valid != (report.failure == LoadReport::Failure::None))
        std::abort();

    static QTemporaryDir dir;
    {
        QFile file(dir.filePath(QStringLiteral("Firmware.HEX")));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
            || file.write(text) != text.size())
            std::abort();
    }
    FirmwareImage fromFile;
    QString name = dir.filePath(QStringLiteral("f*.hex"));
    if (loadImage(name, fromFile) != valid || name != dir.filePath(QStringLiteral("Firmware.HEX"))
        || !(fromFile.records == image.records))
        std::abort();
    if (!valid)
        return 0;

    FirmwareImage again;
    if (!loadImageFromText(image.records.toText(), again) || !(again.records == image.records)
        || !(again.flags == image.flags))
        std::abort();
    return 0;
}
