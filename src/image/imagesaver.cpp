#include "imagesaver.h"

#include "imageerror.h"

#include "safefile.h"

#include <QFileInfo>

void saveImage(const RecordList &records, const QString &fileName)
{
    // QSaveFile would replace a read-only file by renaming over it (and root
    // may write anything); the technician protected it, so refuse as the file
    // system does on Windows.
    const QFileInfo info(fileName);
    constexpr auto kAnyWrite = QFileDevice::WriteOwner | QFileDevice::WriteGroup
        | QFileDevice::WriteOther;
    if (info.isFile() && (!info.isWritable() || !(info.permissions() & kAnyWrite)))
        throw ImageError(QStringLiteral("%1 is read-only").arg(fileName));

    QString error;
    if (!SafeFile::write(fileName, records.toText(), error))
        throw ImageError(error);
}
