#include "image/imagesaver.h"

#include "common/safefile.h"
#include "image/imageerror.h"

void saveImage(const RecordList &records, const QString &fileName)
{
    // A read-only file is refused too: the technician protected it.
    QString error;
    if (!SafeFile::write(fileName, records.toText(), error))
        throw ImageError(error);
}
