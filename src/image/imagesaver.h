#pragma once

#include "recordlist.h"

#include <QString>

// Save image: writes every line followed by CR LF, replacing the file as a
// whole. Throws ImageError when the file cannot be created or written; the
// previous file is then left as it was.
void saveImage(const RecordList &records, const QString &fileName);
