#pragma once

#include "image/recordlist.h"

#include <QString>

// Save image: writes every line followed by CR LF, replacing the file as a
// whole once every byte is on disk. Throws ImageError with the system's
// reason when the file cannot be created or written (a full disk, a target
// that is not a regular file, a read-only file); the previous file is then
// left as it was.
void saveImage(const RecordList &records, const QString &fileName);
