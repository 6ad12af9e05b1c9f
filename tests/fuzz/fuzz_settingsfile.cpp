// The settings file over arbitrary bytes: a key the program writes can be
// read back as written, and every byte of the file that it does not write
// stays as it was.
#include "settings/profilefile.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("corvant-fwupdate.ini"));
    const QByteArray before(reinterpret_cast<const char *>(data), qsizetype(size));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
            || file.write(before) != before.size())
            std::abort();
    }
    // A section the input does not hold: the writes add it after every line.
    const QString section = QStringLiteral("corvant fuzz section");
    if (QString::fromUtf8(before).contains(section, Qt::CaseInsensitive))
        return 0;
    ProfileFile settings(path);
    const QString value = QStringLiteral("C:\\fw\\new,v2 ; \u00e9t\u00e9");
    if (!settings.write(section, QStringLiteral("Key"), value)
        || !settings.write(section, QStringLiteral("key"), value))
        std::abort();

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        std::abort();
    const QByteArray after = file.readAll();
    if (!after.startsWith(before))
        std::abort();
    ProfileFile again(path);
    if (again.read(section, QStringLiteral("KEY"), QString()) != value)
        std::abort();
    return 0;
}
